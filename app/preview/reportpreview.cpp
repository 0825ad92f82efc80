// The preview lays the report out itself so it can show the first page at
// once: the layout calls back after every page, and the callback lets the
// window paint and answer (a closed window stops the layout). Printing, the
// exports and the report file all use the pages laid out here; only a new
// page set-up lays the report out again.
#include "app/preview/reportpreview.h"

#include "app/apperror.h"
#include "app/filefolders.h"
#include "app/icons.h"
#include "app/preview/pageview.h"
#include "app/printsetup.h"
#include "reports/exports.h"
#include "reports/layout.h"
#include "reports/reportmodel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace kw::app {

using namespace kw::reports;

namespace {

const QString kSaveFilters = QStringLiteral(
    "Kitwarden report (*.kwr);;PDF document (*.pdf);;Text (*.txt);;Comma-separated values (*.csv);;HTML page (*.html)");
const int kZoomSteps[] = {10, 25, 50, 75, 100, 125, 150, 200, 300, 400};

bool defaultAskPrint(QWidget *owner, QPrinter &printer, int pageCount, int currentPage, int *from, int *to)
{
    QPrintDialog dlg(&printer, owner);
    dlg.setMinMax(1, std::max(1, pageCount));
    dlg.setFromTo(1, std::max(1, pageCount));
    dlg.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCurrentPage
                   | QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    switch (dlg.printRange()) {
    case QAbstractPrintDialog::PageRange:
        *from = dlg.fromPage();
        *to = dlg.toPage();
        break;
    case QAbstractPrintDialog::CurrentPage:
        *from = *to = currentPage + 1;
        break;
    default:
        *from = *to = 0;
    }
    return true;
}

// Report files are saved and opened where the last one was.
const QString kReportFolder = QStringLiteral("ReportFolder");

QString defaultChooseFile(QWidget *owner, bool save, const QString &caption, const QString &filters)
{
    QString selected;
    const QString start = lastFolder(kReportFolder);
    if (!save) {
        const QString name = QFileDialog::getOpenFileName(owner, caption, start, filters, &selected);
        keepLastFolder(kReportFolder, name);
        return name;
    }
    QString name = QFileDialog::getSaveFileName(owner, caption, start, filters, &selected);
    // A name without a known extension takes the one of the chosen type.
    if (!name.isEmpty() && !formatForPath(name)) {
        const int open = int(selected.indexOf(QLatin1String("*."))), close = int(selected.indexOf(QLatin1Char(')')));
        if (open >= 0 && close > open)
            name += selected.mid(open + 1, close - open - 1);
    }
    keepLastFolder(kReportFolder, name);
    return name;
}

QToolButton *toolButton(QToolBar *bar, const QString &name, const QIcon &icon, const QString &text,
                        const QString &tip)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setText(text);
    b->setToolTip(tip);
    b->setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly
                                        : text.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    bar->addWidget(b);
    return b;
}

} // namespace

TReportPreview::TReportPreview(PrintSetup &printSetup, QWidget *parent) : QDialog(parent), m_printSetup(printSetup)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setSizeGripEnabled(true);
    // Most of the screen: a page is tall.
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QSize avail = screen->availableSize();
        resize(std::min(1100, avail.width() * 9 / 10), std::min(1000, avail.height() * 9 / 10));
    } else {
        resize(900, 720);
    }

    askPrint = [this](QPrinter &p, int n, int *from, int *to) {
        return defaultAskPrint(this, p, n, currentPage(), from, to);
    };
    askPageSetup = [this](QPrinter &p) {
        QPageSetupDialog dlg(&p, this);
        dlg.setWindowTitle(QStringLiteral("Page Setup"));
        return dlg.exec() == QDialog::Accepted;
    };
    chooseFile = [this](bool save, const QString &caption, const QString &filters) {
        return defaultChooseFile(this, save, caption, filters);
    };

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    buildTools();

    auto *body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    lstThumbs = new QListView(this);
    lstThumbs->setObjectName(QStringLiteral("lstThumbs"));
    m_thumbs = new ThumbnailModel(this);
    lstThumbs->setModel(m_thumbs);
    lstThumbs->setViewMode(QListView::IconMode);
    lstThumbs->setFlow(QListView::TopToBottom);
    lstThumbs->setWrapping(false);
    lstThumbs->setMovement(QListView::Static);
    lstThumbs->setUniformItemSizes(true);
    lstThumbs->setIconSize(QSize(ThumbnailModel::kWidth, ThumbnailModel::kWidth * 11 / 8));
    lstThumbs->setSpacing(6);
    lstThumbs->setFixedWidth(ThumbnailModel::kWidth + 40);
    lstThumbs->setSelectionMode(QAbstractItemView::SingleSelection);
    body->addWidget(lstThumbs);
    pageView = new PageView(this);
    body->addWidget(pageView, 1);
    lay->addLayout(body, 1);

    auto *status = new QHBoxLayout;
    status->setContentsMargins(6, 2, 6, 2);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    prgLayout = new QProgressBar(this);
    prgLayout->setObjectName(QStringLiteral("prgLayout"));
    prgLayout->setRange(0, 0); // the page count is known only at the end
    prgLayout->setMaximumWidth(160);
    prgLayout->setMaximumHeight(14);
    prgLayout->hide();
    status->addWidget(lblStatus, 1);
    status->addWidget(prgLayout);
    lay->addLayout(status);

    connect(lstThumbs, &QListView::clicked, this, [this](const QModelIndex &i) { goToPage(i.row()); });
    connect(pageView, &PageView::zoomStep, this, [this](int d) { stepZoom(d); });
    connect(pageView, &PageView::zoomChanged, this, [this](double z) {
        if (pageView->fit() == PageView::Fit::None)
            cbZoom->setEditText(QStringLiteral("%1 %").arg(std::lround(z * 100)));
    });
    updateControls();
}

TReportPreview::~TReportPreview() = default;

void TReportPreview::buildTools()
{
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tbPreview"));
    bar->setIconSize(QSize(16, 16));
    layout()->addWidget(bar);
    addFileTools(bar);
    bar->addSeparator();
    addPageTools(bar);
    bar->addSeparator();
    addZoomTools(bar);
    bar->addSeparator();
    addFindTools(bar);
    auto *spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    btnClose = toolButton(bar, QStringLiteral("btnClose"), style()->standardIcon(QStyle::SP_DialogCloseButton),
                          QStringLiteral("Close"), QStringLiteral("Close the preview (Esc)"));
    connectTools();
    addShortcuts();
}

void TReportPreview::addFileTools(QToolBar *bar)
{
    QStyle *st = style();
    btnPrint = toolButton(bar, QStringLiteral("btnPrint"), icons::tool(icons::Tool::Print), QStringLiteral("Print"),
                          QStringLiteral("Print (Ctrl+P)"));
    btnPageSetup = toolButton(bar, QStringLiteral("btnPageSetup"), icons::menu(2), QStringLiteral("Page Setup"),
                              QStringLiteral("Printer and page set-up"));
    btnSave = toolButton(bar, QStringLiteral("btnSave"), st->standardIcon(QStyle::SP_DialogSaveButton),
                         QStringLiteral("Save"), QStringLiteral("Save as a report file, PDF, text, CSV or HTML (Ctrl+S)"));
    btnOpen = toolButton(bar, QStringLiteral("btnOpen"), st->standardIcon(QStyle::SP_DialogOpenButton),
                         QStringLiteral("Open"), QStringLiteral("Open a saved report file (Ctrl+O)"));
}

void TReportPreview::addPageTools(QToolBar *bar)
{
    QStyle *st = style();
    btnFirst = toolButton(bar, QStringLiteral("btnFirst"), st->standardIcon(QStyle::SP_MediaSkipBackward), QString(),
                          QStringLiteral("First page (Home)"));
    btnPrior = toolButton(bar, QStringLiteral("btnPrior"), st->standardIcon(QStyle::SP_MediaSeekBackward), QString(),
                          QStringLiteral("Previous page (Page Up)"));
    edPage = new QSpinBox(bar);
    edPage->setObjectName(QStringLiteral("edPage"));
    edPage->setToolTip(QStringLiteral("Go to page"));
    edPage->setRange(1, 1);
    edPage->setKeyboardTracking(false);
    bar->addWidget(edPage);
    lblPages = new QLabel(bar);
    lblPages->setObjectName(QStringLiteral("lblPages"));
    lblPages->setContentsMargins(4, 0, 4, 0);
    bar->addWidget(lblPages);
    btnNext = toolButton(bar, QStringLiteral("btnNext"), st->standardIcon(QStyle::SP_MediaSeekForward), QString(),
                         QStringLiteral("Next page (Page Down)"));
    btnLast = toolButton(bar, QStringLiteral("btnLast"), st->standardIcon(QStyle::SP_MediaSkipForward), QString(),
                         QStringLiteral("Last page (End)"));
}

void TReportPreview::addZoomTools(QToolBar *bar)
{
    btnZoomOut = toolButton(bar, QStringLiteral("btnZoomOut"), QIcon(), QStringLiteral("\u2212"),
                            QStringLiteral("Zoom out (Ctrl+-, Ctrl+wheel)"));
    cbZoom = new QComboBox(bar);
    cbZoom->setObjectName(QStringLiteral("cbZoom"));
    cbZoom->setEditable(true);
    cbZoom->setInsertPolicy(QComboBox::NoInsert);
    cbZoom->addItems({QStringLiteral("Whole page"), QStringLiteral("Page width"), QStringLiteral("50 %"),
                      QStringLiteral("75 %"), QStringLiteral("100 %"), QStringLiteral("150 %"), QStringLiteral("200 %")});
    cbZoom->setMinimumContentsLength(10);
    bar->addWidget(cbZoom);
    btnZoomIn = toolButton(bar, QStringLiteral("btnZoomIn"), QIcon(), QStringLiteral("+"),
                           QStringLiteral("Zoom in (Ctrl++, Ctrl+wheel)"));
}

void TReportPreview::addFindTools(QToolBar *bar)
{
    QStyle *st = style();
    edFind = new QLineEdit(bar);
    edFind->setObjectName(QStringLiteral("edFind"));
    edFind->setPlaceholderText(QStringLiteral("Find"));
    edFind->setClearButtonEnabled(true);
    edFind->setMaximumWidth(160);
    bar->addWidget(edFind);
    btnFindPrior = toolButton(bar, QStringLiteral("btnFindPrior"), st->standardIcon(QStyle::SP_ArrowUp), QString(),
                              QStringLiteral("Previous hit (Shift+F3)"));
    btnFindNext = toolButton(bar, QStringLiteral("btnFindNext"), st->standardIcon(QStyle::SP_ArrowDown), QString(),
                             QStringLiteral("Next hit (F3)"));
    lblFind = new QLabel(bar);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    lblFind->setContentsMargins(4, 0, 4, 0);
    lblFind->setMinimumWidth(lblFind->fontMetrics().horizontalAdvance(QStringLiteral("9999 of 9999")) + 8);
    bar->addWidget(lblFind);
}

void TReportPreview::connectTools()
{
    auto run = [this](void (TReportPreview::*f)()) { return [this, f] { guarded([&] { (this->*f)(); }); }; };
    connect(btnPrint, &QToolButton::clicked, this, run(&TReportPreview::print));
    connect(btnPageSetup, &QToolButton::clicked, this, run(&TReportPreview::pageSetup));
    connect(btnSave, &QToolButton::clicked, this, run(&TReportPreview::saveAs));
    connect(btnOpen, &QToolButton::clicked, this, run(&TReportPreview::open));
    connect(btnFirst, &QToolButton::clicked, this, &TReportPreview::firstPage);
    connect(btnPrior, &QToolButton::clicked, this, &TReportPreview::priorPage);
    connect(btnNext, &QToolButton::clicked, this, &TReportPreview::nextPage);
    connect(btnLast, &QToolButton::clicked, this, &TReportPreview::lastPage);
    connect(edPage, &QSpinBox::valueChanged, this, [this](int v) {
        if (v - 1 != currentPage())
            goToPage(v - 1);
    });
    connect(btnZoomIn, &QToolButton::clicked, this, &TReportPreview::zoomIn);
    connect(btnZoomOut, &QToolButton::clicked, this, &TReportPreview::zoomOut);
    connect(cbZoom, &QComboBox::activated, this, [this](int i) {
        if (i == 0)
            fitWholePage();
        else if (i == 1)
            fitPageWidth();
        else
            setZoomPercent(cbZoom->itemText(i).section(QLatin1Char(' '), 0, 0).toInt());
    });
    connect(cbZoom->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        bool ok = false;
        const int pct = cbZoom->currentText().remove(QLatin1Char('%')).trimmed().toInt(&ok);
        if (ok)
            setZoomPercent(pct);
    });
    connect(edFind, &QLineEdit::textChanged, this, &TReportPreview::find);
    connect(edFind, &QLineEdit::returnPressed, this, &TReportPreview::findNext);
    connect(btnFindNext, &QToolButton::clicked, this, &TReportPreview::findNext);
    connect(btnFindPrior, &QToolButton::clicked, this, &TReportPreview::findPrior);
    connect(btnClose, &QToolButton::clicked, this, &QDialog::reject);
}

// The keys of the tool bar, whichever widget of the preview has the focus.
void TReportPreview::addShortcuts()
{
    auto shortcut = [this](const QKeySequence &keys, const std::function<void()> &f) {
        auto *a = new QAction(this);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [f] { guarded(f); });
        addAction(a);
    };
    shortcut(QKeySequence::Print, [this] { print(); });
    shortcut(QKeySequence::Save, [this] { saveAs(); });
    shortcut(QKeySequence::Open, [this] { open(); });
    shortcut(QKeySequence::Find, [this] {
        edFind->setFocus();
        edFind->selectAll();
    });
    shortcut(QKeySequence::FindNext, [this] { findNext(); });
    shortcut(QKeySequence::FindPrevious, [this] { findPrior(); });
    shortcut(QKeySequence::ZoomIn, [this] { zoomIn(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { zoomIn(); });
    shortcut(QKeySequence::ZoomOut, [this] { zoomOut(); });
}

void TReportPreview::previewReport(Report &report)
{
    m_report = &report;
    m_closed = false;
    setWindowTitle(report.title);
    applyPrinterPage(report);
    setWindowModality(Qt::ApplicationModal);
    show();
    try {
        runLayout(report);
    } catch (...) {
        m_layingOut = false;
        hide();
        throw;
    }
    if (!m_closed)
        exec();
}

void TReportPreview::previewDocument(ReportDocument doc)
{
    m_report = nullptr;
    m_closed = false;
    m_doc = std::move(doc);
    setWindowTitle(m_doc.title);
    pageView->setDocument(&m_doc);
    m_thumbs->setDocument(&m_doc);
    showPage(0);
    lblStatus->setText(QStringLiteral("%1 page(s)").arg(m_doc.pageCount()));
    updateControls();
    exec();
}

void TReportPreview::runLayout(Report &report)
{
    m_layingOut = true;
    m_doc = ReportDocument();
    m_hits.clear();
    m_currentHit = -1;
    const int keepPage = currentPage();
    pageView->setDocument(&m_doc);
    m_thumbs->setDocument(&m_doc);
    prgLayout->show();
    lblStatus->setText(QStringLiteral("Laying out the report..."));
    updateControls();
    QApplication::processEvents();
    const bool complete = layoutReport(report, m_doc, [this](int pages) {
        pagesAdded(pages);
        QApplication::processEvents();
        return !m_closed;
    });
    m_layingOut = false;
    prgLayout->hide();
    m_thumbs->pagesAdded();
    showPage(std::min(keepPage, m_doc.pageCount() - 1));
    lblStatus->setText(complete ? QStringLiteral("%1 page(s)").arg(m_doc.pageCount())
                                : QStringLiteral("Stopped after %1 page(s)").arg(m_doc.pageCount()));
    if (!m_findText.isEmpty())
        find(m_findText);
    updateControls();
}

void TReportPreview::pagesAdded(int pages)
{
    m_thumbs->pagesAdded();
    if (pages == 1)
        showPage(0);
    lblStatus->setText(QStringLiteral("Laying out the report: %1 page(s)").arg(pages));
    updateControls();
}

void TReportPreview::applyPrinterPage(Report &report)
{
    // The report's own paper stands until a page is chosen in a set-up.
    if (!m_printSetup.pageChosen())
        return;
    const QSizeF pts = m_printSetup.printer().pageLayout().fullRectPoints().size();
    report.page.paperWidth = int(std::lround(pts.width() * kUnitsPerInch / 72.0));
    report.page.paperHeight = int(std::lround(pts.height() * kUnitsPerInch / 72.0));
}

int TReportPreview::currentPage() const
{
    return pageView->page();
}

void TReportPreview::showPage(int page)
{
    if (m_doc.pageCount() == 0)
        return;
    page = std::clamp(page, 0, m_doc.pageCount() - 1);
    pageView->setPage(page);
    lstThumbs->setCurrentIndex(m_thumbs->index(page));
    updateControls();
}

void TReportPreview::updateControls()
{
    const int n = m_doc.pageCount();
    const int cur = currentPage();
    btnFirst->setEnabled(cur > 0);
    btnPrior->setEnabled(cur > 0);
    btnNext->setEnabled(cur + 1 < n);
    btnLast->setEnabled(cur + 1 < n);
    {
        const QSignalBlocker block(edPage);
        edPage->setRange(1, std::max(1, n));
        edPage->setValue(cur + 1);
    }
    lblPages->setText(QStringLiteral("of %1").arg(n));
    // Nothing that lays out, prints or saves while a layout runs.
    for (QToolButton *b : {btnPrint, btnPageSetup, btnSave, btnOpen})
        b->setEnabled(!m_layingOut && (b == btnOpen || b == btnPageSetup || n > 0));
    btnFindNext->setEnabled(!m_hits.isEmpty());
    btnFindPrior->setEnabled(!m_hits.isEmpty());
}

void TReportPreview::firstPage() { showPage(0); }
void TReportPreview::priorPage() { showPage(currentPage() - 1); }
void TReportPreview::nextPage() { showPage(currentPage() + 1); }
void TReportPreview::lastPage() { showPage(m_doc.pageCount() - 1); }
void TReportPreview::goToPage(int page) { showPage(page); }

void TReportPreview::setZoomPercent(int percent)
{
    pageView->setZoom(percent / 100.0);
}

void TReportPreview::fitWholePage()
{
    pageView->setFit(PageView::Fit::WholePage);
    cbZoom->setEditText(QStringLiteral("Whole page"));
}

void TReportPreview::fitPageWidth()
{
    pageView->setFit(PageView::Fit::PageWidth);
    cbZoom->setEditText(QStringLiteral("Page width"));
}

void TReportPreview::stepZoom(int direction)
{
    const int pct = int(std::lround(pageView->zoom() * 100));
    int next = pct;
    if (direction > 0) {
        for (int s : kZoomSteps)
            if (s > pct) {
                next = s;
                break;
            }
    } else {
        for (int i = int(std::size(kZoomSteps)) - 1; i >= 0; --i)
            if (kZoomSteps[i] < pct) {
                next = kZoomSteps[i];
                break;
            }
    }
    setZoomPercent(next);
}

void TReportPreview::zoomIn() { stepZoom(1); }
void TReportPreview::zoomOut() { stepZoom(-1); }

void TReportPreview::print()
{
    if (m_layingOut || m_doc.pageCount() == 0)
        return;
    QPrinter &printer = m_printSetup.printer();
    int from = 0, to = 0;
    if (!askPrint(printer, m_doc.pageCount(), &from, &to))
        return;
    // The job prints on the document's paper; the printer keeps the user's
    // set-up for the next report.
    const QPageLayout saved = printer.pageLayout();
    const int w = m_doc.page.paperWidth, h = m_doc.page.paperHeight;
    printer.setPageLayout(QPageLayout(QPageSize(QSizeF(std::min(w, h), std::max(w, h)) / kUnitsPerInch, QPageSize::Inch),
                                      w > h ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
    struct Restore {
        QPrinter &p;
        QPageLayout l;
        ~Restore() { p.setPageLayout(l); }
    } restore{printer, saved};
    lblStatus->setText(QStringLiteral("Printing..."));
    printDocument(m_doc, printer, from, to);
    lblStatus->setText(QStringLiteral("Sent to %1").arg(printer.outputFileName().isEmpty() ? printer.printerName()
                                                                                          : printer.outputFileName()));
}

void TReportPreview::pageSetup()
{
    if (m_layingOut)
        return;
    if (!askPageSetup(m_printSetup.printer()))
        return;
    m_printSetup.setPageChosen();
    if (m_report) {
        applyPrinterPage(*m_report);
        runLayout(*m_report);
    }
}

void TReportPreview::saveAs()
{
    if (m_layingOut || m_doc.pageCount() == 0)
        return;
    const QString path = chooseFile(true, QStringLiteral("Save Report"), kSaveFilters);
    if (path.isEmpty())
        return;
    exportDocument(m_doc, path);
    lblStatus->setText(QStringLiteral("Saved as %1").arg(QDir::toNativeSeparators(path)));
}

void TReportPreview::open()
{
    if (m_layingOut)
        return;
    const QString path = chooseFile(false, QStringLiteral("Open Report"), QStringLiteral("Kitwarden report (*.kwr)"));
    if (path.isEmpty())
        return;
    ReportDocument doc = loadReportFile(path);
    m_report = nullptr; // a saved report is not laid out again
    m_doc = std::move(doc);
    m_hits.clear();
    m_currentHit = -1;
    setWindowTitle(m_doc.title);
    pageView->setDocument(&m_doc);
    m_thumbs->setDocument(&m_doc);
    showPage(0);
    if (!m_findText.isEmpty())
        find(m_findText);
    lblStatus->setText(QStringLiteral("%1: %2 page(s)").arg(QFileInfo(path).fileName()).arg(m_doc.pageCount()));
    updateControls();
}

void TReportPreview::find(const QString &text)
{
    m_findText = text;
    m_hits = findText(m_doc, text);
    m_currentHit = -1;
    // The first hit on or after the page shown.
    for (int i = 0; i < m_hits.size(); ++i)
        if (m_hits[i].page >= currentPage()) {
            m_currentHit = i;
            break;
        }
    if (m_currentHit < 0 && !m_hits.isEmpty())
        m_currentHit = 0;
    showHit();
}

void TReportPreview::findNext()
{
    if (m_hits.isEmpty())
        return;
    m_currentHit = (m_currentHit + 1) % int(m_hits.size());
    showHit();
}

void TReportPreview::findPrior()
{
    if (m_hits.isEmpty())
        return;
    m_currentHit = (m_currentHit + int(m_hits.size()) - 1) % int(m_hits.size());
    showHit();
}

void TReportPreview::showHit()
{
    pageView->setHits(m_hits, m_currentHit);
    if (m_findText.isEmpty())
        lblFind->clear();
    else if (m_hits.isEmpty())
        lblFind->setText(QStringLiteral("Not found"));
    else
        lblFind->setText(QStringLiteral("%1 of %2").arg(m_currentHit + 1).arg(m_hits.size()));
    if (m_currentHit >= 0) {
        pageView->showCurrentHit();
        showPage(m_hits[m_currentHit].page);
    }
    updateControls();
}

void TReportPreview::done(int result)
{
    m_closed = true; // also stops a layout still running
    QDialog::done(result);
}

void TReportPreview::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_PageDown: nextPage(); return;
    case Qt::Key_PageUp: priorPage(); return;
    case Qt::Key_Home:
        if (!(e->modifiers() & Qt::ShiftModifier)) { firstPage(); return; }
        break;
    case Qt::Key_End:
        if (!(e->modifiers() & Qt::ShiftModifier)) { lastPage(); return; }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(e);
}

} // namespace kw::app
