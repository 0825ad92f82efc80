#include "app/reportprinting.h"

#include "app/frmmain.h"
#include "app/pages/equiplistpage.h"
#include "app/pages/gearpage.h"
#include "app/pages/handreceiptpage.h"
#include "app/pages/inspectionspage.h"
#include "app/pages/officesuppliespage.h"
#include "app/pages/partslistpage.h"
#include "app/pages/survivalpage.h"
#include "app/pages/techmanualspage.h"
#include "app/preview/reportpreview.h"
#include "reports/equipmentreports.h"
#include "reports/hrdfreport.h"
#include "reports/hrreport.h"
#include "reports/officereports.h"

namespace kw::app {

using kw::reports::Report;

kw::reports::SetupTexts setupTextsOf(TfrmMain &frm)
{
    kw::reports::SetupTexts texts;
    for (const auto &[name, def] : SetupTexts::defaults())
        if (const QString *t = frm.setupTexts().byName(name))
            texts.insert(name, *t);
    return texts;
}

void previewReport(TfrmMain &frm, Report &report)
{
    kw::reports::fillCallerLabels(report, setupTextsOf(frm));
    TReportPreview preview(frm.printSetup(), &frm);
    preview.previewReport(report);
}

namespace {

// Steps 1 to 4 for a report made from the data module and the page's state.
template <class R, class... Args>
void run(TfrmMain &frm, Args &&...args)
{
    R report(frm.dm, std::forward<Args>(args)...);
    previewReport(frm, report);
}

} // namespace

void btnHrdfPrintClick(TfrmMain &frm)
{
    kw::reports::THrdfReport report(frm.dm);
    previewReport(frm, report);
    // The holders grid comes back to its first holder.
    frm.dm.tblHrdf.first();
}

void btnAlsePrintClick(TfrmMain &frm)
{
    run<kw::reports::THrReport>(frm);
}

void btnInspAllClick(TfrmMain &frm)
{
    run<kw::reports::TInspReport>(frm);
}

void btnInspDueClick(TfrmMain &frm)
{
    run<kw::reports::TInspDueReport>(frm, frm.dueByDate());
}

void btnGearPrintClick(TfrmMain &frm)
{
    run<kw::reports::TGearReport>(frm, frm.page<GearPage>()->categoryIndex());
}

void btnSurvivalListClick(TfrmMain &frm)
{
    run<kw::reports::TSurvivalReport>(frm);
}

void btnListPrintClick(TfrmMain &frm)
{
    run<kw::reports::TfrmGearMasterReport>(frm, frm.page<EquipListPage>()->categoryIndex());
}

void btnPartsInventoryClick(TfrmMain &frm)
{
    run<kw::reports::TfrmInventory>(frm);
}

void btnPartsListClick(TfrmMain &frm)
{
    run<kw::reports::TfrmPartsList>(frm, frm.page<OfficeSuppliesPage>()->categoryIndex(), setupTextsOf(frm));
}

void btnMstrPartsListClick(TfrmMain &frm)
{
    run<kw::reports::TfrmPartsMstrList>(frm, frm.page<PartsListPage>()->categoryIndex());
}

void btnTechManListClick(TfrmMain &frm)
{
    run<kw::reports::TfrmTechMan>(frm);
}

void attachReports(TfrmMain &frm)
{
    TfrmMain *f = &frm;
    auto attach = [f](Page *page, const char *button, void (*click)(TfrmMain &)) {
        if (page)
            page->setPrintHandler(QLatin1String(button), [f, click] { click(*f); });
    };
    attach(frm.page<HandReceiptPage>(), "btnHrdfPrint", btnHrdfPrintClick);
    attach(frm.page<HandReceiptPage>(), "btnAlsePrint", btnAlsePrintClick);
    attach(frm.page<InspectionsPage>(), "btnInspAll", btnInspAllClick);
    attach(frm.page<InspectionsPage>(), "btnInspDue", btnInspDueClick);
    attach(frm.page<GearPage>(), "btnGearPrint", btnGearPrintClick);
    attach(frm.page<SurvivalPage>(), "btnSurvivalList", btnSurvivalListClick);
    attach(frm.page<EquipListPage>(), "btnListPrint", btnListPrintClick);
    attach(frm.page<OfficeSuppliesPage>(), "btnPartsInventory", btnPartsInventoryClick);
    attach(frm.page<OfficeSuppliesPage>(), "btnPartsList", btnPartsListClick);
    attach(frm.page<PartsListPage>(), "btnMstrPartsList", btnMstrPartsListClick);
    attach(frm.page<TechManualsPage>(), "btnTechManList", btnTechManListClick);
}

} // namespace kw::app
