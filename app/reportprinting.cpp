#include "app/reportprinting.h"

#include "app/apperror.h"
#include "app/frmmain.h"
#include "app/pages/handreceiptpage.h"
#include "app/preview/reportpreview.h"
#include "reports/exports.h"
#include "reports/hrdfreport.h"
#include "reports/hrreport.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

namespace kw::app {

using kw::reports::Report;
using kw::reports::ReportDocument;

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

void openSavedReport(TfrmMain &frm)
{
    const QString path = QFileDialog::getOpenFileName(&frm, QStringLiteral("Open Report"), QString(),
                                                      QStringLiteral("Kitwarden report (*.kwr)"));
    if (path.isEmpty())
        return;
    ReportDocument doc = kw::reports::loadReportFile(path);
    TReportPreview preview(frm.printSetup(), &frm);
    preview.previewDocument(std::move(doc));
}

void attachReports(TfrmMain &frm)
{
    TfrmMain *f = &frm;
    if (auto *page = frm.page<HandReceiptPage>()) {
        page->setPrintHandler(QStringLiteral("btnHrdfPrint"), [f] { btnHrdfPrintClick(*f); });
        page->setPrintHandler(QStringLiteral("btnAlsePrint"), [f] { btnAlsePrintClick(*f); });
    }

    // "Open Report" in the File menu, after Print Setup.
    QAction *printSetup = frm.findChild<QAction *>(QStringLiteral("PrintSetup1"));
    QMenu *file = nullptr;
    for (QAction *a : frm.menuBar()->actions())
        if (a->menu() && a->menu()->actions().contains(printSetup))
            file = a->menu();
    if (!file)
        return;
    auto *open = new QAction(QStringLiteral("&Open Report..."), &frm);
    open->setObjectName(QStringLiteral("OpenReport1"));
    const QList<QAction *> acts = file->actions();
    const int at = int(acts.indexOf(printSetup));
    file->insertAction(at + 1 < acts.size() ? acts[at + 1] : nullptr, open);
    QObject::connect(open, &QAction::triggered, &frm, [f] { guarded([f] { openSavedReport(*f); }); });
}

} // namespace kw::app
