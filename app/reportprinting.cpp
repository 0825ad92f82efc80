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

void btnHrdfPrintClick(TfrmMain &frm)
{
    kw::reports::THrdfReport report(frm.dm);
    previewReport(frm, report);
    // The holders grid comes back to its first holder.
    frm.dm.tblHrdf.first();
}

void btnAlsePrintClick(TfrmMain &frm)
{
    kw::reports::THrReport report(frm.dm);
    previewReport(frm, report);
}

void btnInspAllClick(TfrmMain &frm)
{
    kw::reports::TInspReport report(frm.dm);
    previewReport(frm, report);
}

void btnInspDueClick(TfrmMain &frm)
{
    kw::reports::TInspDueReport report(frm.dm, frm.dueByDate());
    previewReport(frm, report);
}

void btnGearPrintClick(TfrmMain &frm)
{
    kw::reports::TGearReport report(frm.dm, frm.page<GearPage>()->selectedTab());
    previewReport(frm, report);
}

void btnSurvivalListClick(TfrmMain &frm)
{
    kw::reports::TSurvivalReport report(frm.dm);
    previewReport(frm, report);
}

void btnListPrintClick(TfrmMain &frm)
{
    kw::reports::TfrmGearMasterReport report(frm.dm, frm.page<EquipListPage>()->categoryIndex());
    previewReport(frm, report);
}

void btnPartsInventoryClick(TfrmMain &frm)
{
    kw::reports::TfrmInventory report(frm.dm);
    previewReport(frm, report);
}

void btnPartsListClick(TfrmMain &frm)
{
    kw::reports::TfrmPartsList report(frm.dm, frm.page<OfficeSuppliesPage>()->categoryIndex(), setupTextsOf(frm));
    previewReport(frm, report);
}

void btnMstrPartsListClick(TfrmMain &frm)
{
    kw::reports::TfrmPartsMstrList report(frm.dm, frm.page<PartsListPage>()->categoryIndex());
    previewReport(frm, report);
}

void btnTechManListClick(TfrmMain &frm)
{
    kw::reports::TfrmTechMan report(frm.dm);
    previewReport(frm, report);
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
