#pragma once
// How the main window runs its reports: every print button creates its
// report, fills the caller's labels from the setup texts, shows the preview
// and waits until it is closed, then lets the report go. The handlers are
// attached to the pages' print buttons here.
#include "reports/catalog.h"

namespace kw::reports {
class Report;
}

namespace kw::app {

class TfrmMain;

// The setup texts the main window holds, by registry value name.
kw::reports::SetupTexts setupTextsOf(TfrmMain &frm);

// Steps 2 and 3 of every print button: labels from the setup texts, then the
// preview (on the page of the print set-up) until it is closed.
void previewReport(TfrmMain &frm, kw::reports::Report &report);

// The print buttons, by the page that holds them.
void btnHrdfPrintClick(TfrmMain &frm);
void btnAlsePrintClick(TfrmMain &frm);
void btnInspAllClick(TfrmMain &frm);
void btnInspDueClick(TfrmMain &frm);
void btnGearPrintClick(TfrmMain &frm);
void btnSurvivalListClick(TfrmMain &frm);
void btnListPrintClick(TfrmMain &frm);
void btnPartsInventoryClick(TfrmMain &frm);
void btnPartsListClick(TfrmMain &frm);
void btnMstrPartsListClick(TfrmMain &frm);
void btnTechManListClick(TfrmMain &frm);

// Attaches every print button of the pages that has a report.
void attachReports(TfrmMain &frm);

} // namespace kw::app
