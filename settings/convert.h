#pragma once
// The runtime's text conversions, with its error texts.
#include <QString>
#include <stdexcept>

namespace kw::settings {

// A text that does not convert ("'%s' is not a valid integer value").
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

// Decimal signed 32-bit integer; blanks around the number are allowed.
qint32 StrToInt(const QString &text);
double StrToFloat(const QString &text);

} // namespace kw::settings
