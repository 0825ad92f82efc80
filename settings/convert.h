#pragma once
// The runtime's text conversions, with its error texts.
#include <QString>
#include "core/error.h"

namespace kw::settings {

// A text that does not convert ("'%s' is not a valid integer value").
class EConvertError : public kw::core::Error {
public:
    using kw::core::Error::Error;
};

// Decimal signed 32-bit integer; blanks around the number are allowed.
qint32 StrToInt(const QString &text);
double StrToFloat(const QString &text);

} // namespace kw::settings
