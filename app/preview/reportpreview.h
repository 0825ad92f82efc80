#pragma once
// The print preview: a modal window, captioned with the report's print job
// title, that shows the laid-out pages and prints, sets up the page, saves
// and exports them. A report's first page shows as soon as it is laid out;
// the rest follow while the window is already up.
#include "reports/document.h"
#include "reports/painter.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QToolBar;
class QLineEdit;
class QListView;
class QPrinter;
class QProgressBar;
class QSpinBox;
class QToolButton;

namespace kw::reports {
class Report;
}

namespace kw::app {

class PageView;
class PrintSetup;
class ThumbnailModel;

class TReportPreview : public QDialog {
    Q_OBJECT
public:
    explicit TReportPreview(PrintSetup &printSetup, QWidget *parent = nullptr);
    ~TReportPreview() override;

    // Lays report out on the page chosen in the print set-up (the report's
    // own paper when none was chosen) and returns when the window is closed.
    // Errors of the layout propagate after the window is closed.
    void previewReport(kw::reports::Report &report);
    // Shows a document laid out before (an opened report file) and returns
    // when the window is closed.
    void previewDocument(kw::reports::ReportDocument doc);

    // The dialogs the preview asks, replaceable so that tests never block.
    // Print: printer and page range (1-based, 0 = all); false cancels.
    std::function<bool(QPrinter &printer, int pageCount, int *from, int *to)> askPrint;
    // Page set-up of the printer; false cancels.
    std::function<bool(QPrinter &printer)> askPageSetup;
    // A file name to open or save under; empty cancels.
    std::function<QString(bool save, const QString &caption, const QString &filters)> chooseFile;

    const kw::reports::ReportDocument &document() const { return m_doc; }
    int currentPage() const; // 0-based
    bool layingOut() const { return m_layingOut; }

    // --- actions (the buttons run these)
    void firstPage();
    void priorPage();
    void nextPage();
    void lastPage();
    void goToPage(int page); // 0-based
    void zoomIn();
    void zoomOut();
    void setZoomPercent(int percent);
    void fitWholePage();
    void fitPageWidth();
    void print();
    void pageSetup();
    void saveAs();
    void open();
    void find(const QString &text);
    void findNext();
    void findPrior();
    int hitCount() const { return int(m_hits.size()); }
    int currentHit() const { return m_currentHit; }

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    void buildTools();
    void addFileTools(QToolBar *bar);
    void addPageTools(QToolBar *bar);
    void addZoomTools(QToolBar *bar);
    void addFindTools(QToolBar *bar);
    void connectTools();
    void addShortcuts();
    void runLayout(kw::reports::Report &report);
    void pagesAdded(int pages);
    void showPage(int page);
    void updateControls();
    void applyPrinterPage(kw::reports::Report &report);
    void stepZoom(int direction);
    void showHit();

    PrintSetup &m_printSetup;
    kw::reports::ReportDocument m_doc;
    kw::reports::Report *m_report = nullptr;
    bool m_layingOut = false;
    bool m_closed = false;

    QVector<kw::reports::TextHit> m_hits;
    int m_currentHit = -1;
    QString m_findText;

    PageView *pageView;
    QListView *lstThumbs;
    ThumbnailModel *m_thumbs;
    QToolButton *btnFirst, *btnPrior, *btnNext, *btnLast, *btnZoomIn, *btnZoomOut, *btnPrint, *btnPageSetup,
        *btnSave, *btnOpen, *btnFindPrior, *btnFindNext, *btnClose;
    QSpinBox *edPage;
    QLabel *lblPages, *lblStatus, *lblFind;
    QComboBox *cbZoom;
    QLineEdit *edFind;
    QProgressBar *prgLayout;
};

} // namespace kw::app
