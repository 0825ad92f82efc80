#include "app/reportprinting.h"

#include "app/pages/page.h"
#include "app/preview/reportpreview.h"
#include "data/shop/dmmain.h"
#include "reports/catalog.h"
#include "reports/equipmentreports.h"
#include "reports/hrdfreport.h"
#include "reports/hrreport.h"
#include "reports/officereports.h"

namespace kw::app {

using kw::reports::Report;

void previewReport(const ReportContext &ctx, Report &report)
{
    kw::reports::fillCallerLabels(report, ctx.texts);
    TReportPreview preview(ctx.printSetup, ctx.owner);
    preview.previewReport(report);
}

namespace {

// Steps 1 to 4 for a report made from the data module and the page's state.
template <class R, class... Args>
void run(const ReportContext &ctx, Args &&...args)
{
    R report(ctx.dm, std::forward<Args>(args)...);
    previewReport(ctx, report);
}

} // namespace

void btnHrdfPrintClick(const ReportContext &ctx)
{
    kw::reports::THrdfReport report(ctx.dm);
    previewReport(ctx, report);
    // The holders grid comes back to its first holder.
    ctx.dm.tblHrdf.first();
}

void btnAlsePrintClick(const ReportContext &ctx)
{
    run<kw::reports::THrReport>(ctx);
}

void btnInspAllClick(const ReportContext &ctx)
{
    run<kw::reports::TInspReport>(ctx);
}

void btnInspDueClick(const ReportContext &ctx)
{
    run<kw::reports::TInspDueReport>(ctx, ctx.dueByDate());
}

void btnGearPrintClick(const ReportContext &ctx)
{
    run<kw::reports::TGearReport>(ctx, ctx.gearTab());
}

void btnSurvivalListClick(const ReportContext &ctx)
{
    run<kw::reports::TSurvivalReport>(ctx);
}

void btnListPrintClick(const ReportContext &ctx)
{
    run<kw::reports::TfrmGearMasterReport>(ctx, ctx.equipListTab());
}

void btnPartsInventoryClick(const ReportContext &ctx)
{
    run<kw::reports::TfrmInventory>(ctx);
}

void btnPartsListClick(const ReportContext &ctx)
{
    run<kw::reports::TfrmPartsList>(ctx, ctx.partsTab(), ctx.texts);
}

void btnMstrPartsListClick(const ReportContext &ctx)
{
    run<kw::reports::TfrmPartsMstrList>(ctx, ctx.partsListTab());
}

void btnTechManListClick(const ReportContext &ctx)
{
    run<kw::reports::TfrmTechMan>(ctx);
}

void attachReports(const ReportContext &ctx, const QList<Page *> &pages)
{
    using Click = void (*)(const ReportContext &);
    static const std::pair<const char *, Click> buttons[] = {
        {"btnHrdfPrint", btnHrdfPrintClick},       {"btnAlsePrint", btnAlsePrintClick},
        {"btnInspAll", btnInspAllClick},           {"btnInspDue", btnInspDueClick},
        {"btnGearPrint", btnGearPrintClick},       {"btnSurvivalList", btnSurvivalListClick},
        {"btnListPrint", btnListPrintClick},       {"btnPartsInventory", btnPartsInventoryClick},
        {"btnPartsList", btnPartsListClick},       {"btnMstrPartsList", btnMstrPartsListClick},
        {"btnTechManList", btnTechManListClick}};
    const ReportContext *c = &ctx;
    for (Page *page : pages)
        for (const QString &name : page->printButtons())
            for (const auto &[button, click] : buttons)
                if (name == QLatin1String(button))
                    page->setPrintHandler(name, [c, click = click] { click(*c); });
}

} // namespace kw::app
