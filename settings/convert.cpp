#include "settings/convert.h"

#include <limits>

namespace kw::settings {

qint32 StrToInt(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        negative = t[i++] == QLatin1Char('-');
    qint64 value = 0;
    const int firstDigit = i;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            break;
    }
    const qint64 signedValue = negative ? -value : value;
    if (i == firstDigit || i != t.size() || signedValue > std::numeric_limits<qint32>::max()
        || signedValue < std::numeric_limits<qint32>::min())
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return qint32(signedValue);
}

double StrToFloat(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return v;
}

} // namespace kw::settings
