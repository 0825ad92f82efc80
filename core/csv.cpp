#include "core/csv.h"

namespace kw::core {

QString csvField(const QString &value)
{
    const bool quote = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"'))
        || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))
        || value.startsWith(QLatin1Char(' ')) || value.endsWith(QLatin1Char(' '));
    if (!quote)
        return value;
    QString q = value;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString csvRow(const QStringList &values)
{
    QStringList fields;
    fields.reserve(values.size());
    for (const QString &v : values)
        fields << csvField(v);
    return fields.join(QLatin1Char(','));
}

} // namespace kw::core
