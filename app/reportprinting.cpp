#include "app/reportprinting.h"

#include "app/frmmain.h"
#include "app/pages/handreceiptpage.h"
#include "app/preview/reportpreview.h"
#include "reports/hrdfreport.h"
#include "reports/hrreport.h"

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

void attachReports(TfrmMain &frm)
{
    TfrmMain *f = &frm;
    if (auto *page = frm.page<HandReceiptPage>()) {
        page->setPrintHandler(QStringLiteral("btnHrdfPrint"), [f] { btnHrdfPrintClick(*f); });
        page->setPrintHandler(QStringLiteral("btnAlsePrint"), [f] { btnAlsePrintClick(*f); });
    }
}

} // namespace kw::app
