#include "reports/catalog.h"

#include "data/shop/categoryfilters.h"
#include "data/shop/dmmain.h"
#include "reports/equipmentreports.h"
#include "reports/hrdfreport.h"
#include "reports/hrreport.h"
#include "reports/officereports.h"

#include <functional>
#include "core/error.h"

namespace kw::reports {

void fillCallerLabels(Report &report, const kw::settings::SetupTexts &texts)
{
    const std::pair<const char *, QString> labels[] = {
        {"lblCompany", texts.Company}, {"lblCompanyFrom", texts.Company}, {"lblAlseOfficer", texts.AlseOfficer}};
    for (const auto &[label, text] : labels)
        if (Element *e = report.element(QLatin1String(label)))
            e->caption = text;
}

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw kw::core::Error(message);
}

// Texts: the setup texts, for the reports that print more of them than
// the company line.
using Factory = std::function<std::unique_ptr<Report>(kw::data::TdmMain &, const ReportOptions &, const kw::settings::SetupTexts &)>;

struct Entry {
    ReportName name;
    Factory create;
};

std::unique_ptr<Report> holders(kw::data::TdmMain &dm, const ReportOptions &, const kw::settings::SetupTexts &)
{
    dm.tblHrdf.open();
    return std::make_unique<THrdfReport>(dm);
}

std::unique_ptr<Report> handReceipt(kw::data::TdmMain &dm, const ReportOptions &o, const kw::settings::SetupTexts &)
{
    if (!o.holder)
        fail(QStringLiteral("hand-receipt needs --holder HR"));
    dm.tblHrdf.open();
    dm.tblList.open();
    dm.tblHr.open();
    if (!dm.tblHrdf.findKey({*o.holder}))
        fail(QStringLiteral("There is no holder with HR number %1").arg(*o.holder));
    return std::make_unique<THrReport>(dm);
}

// The tab index of a page with `tabs` tabs.
int tabOf(const QString &report, const ReportOptions &o, int tabs)
{
    if (o.tab < 0 || o.tab >= tabs)
        fail(QStringLiteral("%1 has tabs 0 to %2, not %3").arg(report).arg(tabs - 1).arg(o.tab));
    return o.tab;
}

std::unique_ptr<Report> inspections(kw::data::TdmMain &dm, const ReportOptions &, const kw::settings::SetupTexts &)
{
    dm.qryInsp.open(); // in its due-date order, as the page opens it
    return std::make_unique<TInspReport>(dm);
}

std::unique_ptr<Report> inspectionsDue(kw::data::TdmMain &dm, const ReportOptions &o, const kw::settings::SetupTexts &)
{
    if (!o.through.isValid())
        fail(QStringLiteral("inspections-due needs --through YYYY-MM-DD"));
    dm.qryInsp.open();
    return std::make_unique<TInspDueReport>(dm, o.through);
}

std::unique_ptr<Report> gear(kw::data::TdmMain &dm, const ReportOptions &o, const kw::settings::SetupTexts &)
{
    const int tab = tabOf(QStringLiteral("gear"), o, 7);
    dm.qryGear.open();
    kw::data::applyCategoryFilter(dm.qryGear, kw::data::gearCategoryFilter(tab));
    return std::make_unique<TGearReport>(dm, tab);
}

std::unique_ptr<Report> kits(kw::data::TdmMain &dm, const ReportOptions &, const kw::settings::SetupTexts &)
{
    dm.tblKits.open();
    return std::make_unique<TSurvivalReport>(dm);
}

std::unique_ptr<Report> gearMaster(kw::data::TdmMain &dm, const ReportOptions &o, const kw::settings::SetupTexts &)
{
    const int tab = tabOf(QStringLiteral("gear-master"), o, 9);
    dm.tblList.open();
    kw::data::applyCategoryFilter(dm.tblList, kw::data::masterListCategoryFilter(tab));
    return std::make_unique<TfrmGearMasterReport>(dm, tab);
}

std::unique_ptr<Report> inventory(kw::data::TdmMain &dm, const ReportOptions &, const kw::settings::SetupTexts &)
{
    dm.tblDrawer.open();
    dm.tblBin.open();
    dm.qryParts.open(); // the parts as the office supplies page opens them
    return std::make_unique<TfrmInventory>(dm);
}

std::unique_ptr<Report> parts(kw::data::TdmMain &dm, const ReportOptions &o, const kw::settings::SetupTexts &texts)
{
    const int tab = tabOf(QStringLiteral("parts"), o, 6);
    dm.qryParts.open();
    kw::data::applyCategoryFilter(dm.qryParts, kw::data::stockCategoryFilter(tab));
    return std::make_unique<TfrmPartsList>(dm, tab, texts);
}

std::unique_ptr<Report> partsMaster(kw::data::TdmMain &dm, const ReportOptions &o, const kw::settings::SetupTexts &)
{
    const int tab = tabOf(QStringLiteral("parts-master"), o, 6);
    dm.tblPartsList.open();
    kw::data::applyCategoryFilter(dm.tblPartsList, kw::data::stockCategoryFilter(tab));
    return std::make_unique<TfrmPartsMstrList>(dm, tab);
}

std::unique_ptr<Report> manuals(kw::data::TdmMain &dm, const ReportOptions &, const kw::settings::SetupTexts &)
{
    dm.tblTechMan.open(); // in binder and book order
    return std::make_unique<TfrmTechMan>(dm);
}

const QList<Entry> &entries()
{
    static const QList<Entry> all = {
        {{QStringLiteral("holders"), QString()}, holders},
        {{QStringLiteral("hand-receipt"), QStringLiteral("--holder HR")}, handReceipt},
        {{QStringLiteral("inspections"), QString()}, inspections},
        {{QStringLiteral("inspections-due"), QStringLiteral("--through YYYY-MM-DD")}, inspectionsDue},
        {{QStringLiteral("gear"), QStringLiteral("[--tab N]")}, gear},
        {{QStringLiteral("kits"), QString()}, kits},
        {{QStringLiteral("gear-master"), QStringLiteral("[--tab N]")}, gearMaster},
        {{QStringLiteral("inventory"), QString()}, inventory},
        {{QStringLiteral("parts"), QStringLiteral("[--tab N]")}, parts},
        {{QStringLiteral("parts-master"), QStringLiteral("[--tab N]")}, partsMaster},
        {{QStringLiteral("manuals"), QString()}, manuals},
    };
    return all;
}

} // namespace

const QList<ReportName> &reportNames()
{
    static const QList<ReportName> names = [] {
        QList<ReportName> n;
        for (const Entry &e : entries())
            n << e.name;
        return n;
    }();
    return names;
}

std::unique_ptr<Report> createNamedReport(kw::data::TdmMain &dm, const QString &name, const ReportOptions &options,
                                          const kw::settings::SetupTexts &texts)
{
    for (const Entry &e : entries())
        if (e.name.name == name) {
            std::unique_ptr<Report> r = e.create(dm, options, texts);
            fillCallerLabels(*r, texts);
            return r;
        }
    QStringList known;
    for (const ReportName &n : reportNames())
        known << n.name;
    fail(QStringLiteral("Unknown report %1; the reports are: %2").arg(name, known.join(QStringLiteral(", "))));
}

} // namespace kw::reports
