#pragma once
// How the main window runs its reports: every print button creates its
// report, fills the caller's labels from the setup texts, shows the preview
// and waits until it is closed, then lets the report go. The handlers are
// attached to the pages' print buttons here.
#include "settings/setuptexts.h"

#include <QDate>
#include <QList>
#include <functional>

class QWidget;

namespace kw::data { class TdmMain; }
namespace kw::reports { class Report; }

namespace kw::app {

class Page;
class PrintSetup;

// What the reports need of the window: the data, the setup texts and the
// page set-up it holds, and the choices the pages show when a button is
// pressed (the due-by date, the category tab of a page).
struct ReportContext {
    kw::data::TdmMain &dm;
    const kw::settings::SetupTexts &texts;
    PrintSetup &printSetup;
    QWidget *owner; // the preview's parent
    std::function<QDate()> dueByDate;
    std::function<int()> gearTab, equipListTab, partsTab, partsListTab;
};

// Steps 2 and 3 of every print button: labels from the setup texts, then the
// preview (on the page of the print set-up) until it is closed.
void previewReport(const ReportContext &ctx, kw::reports::Report &report);

// The print buttons, by the page that holds them.
void btnHrdfPrintClick(const ReportContext &ctx);
void btnAlsePrintClick(const ReportContext &ctx);
void btnInspAllClick(const ReportContext &ctx);
void btnInspDueClick(const ReportContext &ctx);
void btnGearPrintClick(const ReportContext &ctx);
void btnSurvivalListClick(const ReportContext &ctx);
void btnListPrintClick(const ReportContext &ctx);
void btnPartsInventoryClick(const ReportContext &ctx);
void btnPartsListClick(const ReportContext &ctx);
void btnMstrPartsListClick(const ReportContext &ctx);
void btnTechManListClick(const ReportContext &ctx);

// Attaches every print button of the pages that has a report; the context
// must outlive the pages.
void attachReports(const ReportContext &ctx, const QList<Page *> &pages);

} // namespace kw::app
