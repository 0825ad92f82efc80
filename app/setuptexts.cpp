#include "app/setuptexts.h"

#include "settings/setuptexts.h"

namespace kw::app {

const QList<QPair<QString, QString>> &SetupTexts::defaults()
{
    return kw::settings::setupTextDefaults();
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
