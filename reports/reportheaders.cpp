#include "reports/reportheaders.h"

namespace kw::reports {

Element &addCompanyLine(Band &title, int y)
{
    return title.addLabel(0, y, kDefaultCompany).named(QStringLiteral("lblCompany")).centred().face(kTahoma).size(14);
}

Element &addListingHeader(Band &title, const QString &titleCaption)
{
    title.addSystem(8, 8, SystemData::Date).face(kArial).size(8);
    addCompanyLine(title, 24);
    return title.addLabel(0, 48, titleCaption).named(QStringLiteral("lblTitle")).centred().face(kArial).size(10);
}

Element &addMasterGearHeader(Band &title, const QString &titleCaption)
{
    title.addSystem(8, 8, SystemData::DateTime, QStringLiteral("Printed: ")).face(kArial).size(6);
    addCompanyLine(title, 24);
    return title.addLabel(0, 48, titleCaption).named(QStringLiteral("lblTitle")).centred().face(kArial).size(10);
}

Element &addOfficeHeader(Band &title, const QString &titleCaption)
{
    title.addSystem(9, 8, SystemData::DateTime, QStringLiteral("Printed: ")).face(kTahoma).size(6);
    addCompanyLine(title, 8);
    return title.addLabel(0, 32, titleCaption).named(QStringLiteral("lblTitle")).centred().face(kTahoma).size(10);
}

QString inspTypeCaption(const QString &inspType)
{
    if (inspType == QLatin1String("N"))
        return QStringLiteral("None");
    if (inspType == QLatin1String("D"))
        return QStringLiteral("Day");
    if (inspType == QLatin1String("Y"))
        return QStringLiteral("Year");
    return {};
}

} // namespace kw::reports
