#pragma once
// The table engine's exception class: carries the engine's own message text,
// which the application shows unchanged in its default error handler.
#include "core/error.h"

#include <QString>

namespace kw::data {

class EngineError : public kw::core::Error {
public:
    using kw::core::Error::Error;
};

// Raised by a table's close when its rows are stored but a derived file
// (an index, the validity checks) could not be written: a warning, not a
// loss, since the next open rebuilds what is missing or stale.
class DerivedFilesError : public EngineError {
public:
    using EngineError::EngineError;
};

// A table held open for writing by another program (or another open of
// this one): nothing of it may be changed or replaced meanwhile.
class TableBusy : public EngineError {
public:
    using EngineError::EngineError;
};

// Raised when a keyed table already holds a row with the same key.
class KeyViolation : public EngineError {
public:
    KeyViolation() : EngineError(QStringLiteral("Key violation.")) {}
};

// A required field left empty: "Field '%s' must have a value".
inline EngineError requiredValueMissing(const QString &label)
{
    return EngineError(QStringLiteral("Field '%1' must have a value").arg(label));
}

} // namespace kw::data
