#pragma once
// The table engine's exception class: carries the engine's own message text,
// which the application shows unchanged in its default error handler.
#include <QString>
#include <stdexcept>

namespace kw::data {

class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
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
