#include "app/setuptexts.h"

namespace kw::app {

const QList<QPair<QString, QString>> &SetupTexts::defaults()
{
    static const QList<QPair<QString, QString>> list = {
        {QStringLiteral("Company"), QStringLiteral("Your Company Name Here")},
        {QStringLiteral("AlseOfficer"), QStringLiteral("ALSE Officer Name")},
        {QStringLiteral("Prepared"), QStringLiteral("Prepared By Name")},
        {QStringLiteral("Authorized"), QStringLiteral("Authorized By Name")},
        {QStringLiteral("Approved"), QStringLiteral("Approved By Name")},
    };
    return list;
}

QString *SetupTexts::byName(const QString &name)
{
    if (name == QLatin1String("Company")) return &Company;
    if (name == QLatin1String("AlseOfficer")) return &AlseOfficer;
    if (name == QLatin1String("Prepared")) return &Prepared;
    if (name == QLatin1String("Authorized")) return &Authorized;
    if (name == QLatin1String("Approved")) return &Approved;
    return nullptr;
}

} // namespace kw::app
