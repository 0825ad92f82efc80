#pragma once
// The main window's frame: navigation bar, page area, status bar and menu;
// the start-up sequence, the setup texts, and closing the tables for the
// dialogs that replace or read the table files. Each page is its own class
// under app/pages/ and owns its widgets; the frame only switches between
// them. Widgets are private: tests and other code find them by object name.
#include "app/columneditors.h"
#include "app/printsetup.h"
#include "settings/setuptexts.h"
#include "data/shop/dmmain.h"
#include "data/shop/duelist.h"
#include "data/shop/shopfind.h"

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

class QDialog;
class QListWidget;
class QSplitter;
class QTabWidget;

namespace kw::settings { class TIniOut; }

namespace kw::app {

class Page;
struct ReportContext;
class HandReceiptPage;
class InspectionsPage;
class SetupPage;
class TMainStatusBar;
class TOutlookBar;
struct DuePart;
class TfrmFind;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(kw::data::TdmMain &dm, QWidget *parent = nullptr);
    ~TfrmMain() override;

    kw::data::TdmMain &dm;

    // --- hooks for the parts that other subsystems supply
    // Shows the splash modally (start-up step 1); empty: no splash.
    std::function<void(QWidget *owner)> runSplash;
    // The automatic update check of start-up step 10.
    std::function<void()> autoUpdateCheck;
    // Dialogs that work with the tables closed.
    std::function<QDialog *(QWidget *owner)> backupDialogFactory, importDialogFactory;

    // Directory of the tables (defaults to the program's data directory).
    void setDataDirectory(const QString &dir) { m_dataDir = dir; }
    QString dataDirectory() const { return m_dataDir; }

    // The five setup texts, held for the whole run (reports print them).
    kw::settings::SetupTexts &setupTexts() { return m_texts; }
    // The due-by date of the inspections page (the due report reads it).
    QDate dueByDate() const;
    // The printer and page layout chosen with "Print Setup".
    PrintSetup &printSetup() { return m_printSetup; }
    // The downloaded update-information file.
    QString updateFileName() const { return m_updateFileName; }
    kw::settings::TIniOut &ini() const { return *Ini; }

    // The page of a class (each page class has one instance).
    template <class P> P *page() const { return findChild<P *>(); }
    // The column editors the pages built, which every grid may use.
    const TColumnEditors &columnEditors() const { return m_editors; }

    // --- handlers
    void FormShow();
    bool startedUp() const { return m_started; }
    void CloseShopTables();
    void ReopenShopTables();
    // Creates the dialog, closes the tables, shows it modally, reopens them.
    void runWithTablesClosed(const std::function<QDialog *(QWidget *)> &factory);
    void olListMaintItemClick(QListWidget *list, int index);
    void olListOfficeItemClick(QListWidget *list, int index);
    void olListSetupItemClick(QListWidget *list, int index);
    void PrintSetup1Click();
    void Exit1Click();
    void AlsePage1Click();
    void FAQ1Click();
    void Support1Click();
    void About1Click();
    // The update check; automatic when the window starts it at start-up.
    void GetUpdate1Click(bool automatic);

    // The page shown.
    Page *activePage() const;
    // Makes page active, running the leaving page's leave step first. Throws
    // what that step throws; the page does not change then.
    void setActivePage(Page *page);

    // Refreshes the Caps, Num and clock panels.
    void updateStatusPanels();

    // Shows page as its navigation item does; a page shown already stays as
    // it is (its order, tab and record). False, with the error shown, when
    // the page shown keeps an edit that cannot be stored or entering fails.
    bool showPage(Page *page);
    // Shows page and makes the record of ds with bookmark current on it
    // (Page::showRecord). False, with the reason shown, when it cannot.
    bool showRecord(Page *page, kw::data::Dataset &ds, const QVariant &bookmark);

    // Counts what is due again into the status bar (unless the tables are
    // closed). Runs after the tables were opened and, coalesced, after
    // every change of a table.
    void showDueCounts();
    // A count of the status bar clicked: its page, on the first such row.
    void stbDuePartClick(const DuePart &part);

    // Edit > Find (Ctrl+F): the find window, its text selected.
    void Find1Click();
    // The page a hit of find opens: its record's page; an item on the page
    // shown when that page lists it (Inspections, View by Type), else on
    // Hand Receipts.
    Page *findHitPage(const kw::data::FindHit &hit) const;
    // Opens that page on the hit's record; false, with the reason shown,
    // when the record is not shown there.
    bool showFindHit(const kw::data::FindHit &hit);

    // The size of the very first start (no window state kept yet): wide
    // enough for every column of the widest page, tall enough for a good
    // many rows, within the available area of the screen.
    QSize firstStartSize(const QRect &available) const;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void moveEvent(QMoveEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void buildFrame();
    void buildPages();
    void buildNavigation();
    void buildMenu();
    void buildStatusBar();
    void attachPrintButtons();
    void bindIniItems();
    void readSetupTexts();
    void writeSetupTexts();
    void restoreColumnWidths();
    void saveColumnWidths();
    void addPage(Page *page, const QString &caption);
    bool navigate(int group, int index);
    void showNavEntry(int group, int index);
    void showStartPage();
    bool openShopTables();
    void showKeptPage();
    void keepNormalGeometry();

    void showItemsWithoutHolder();
    void scheduleDueCount();
    void showNavSelection(Page *page);
    void highlightNavItem(int group, int index);
    // Stores every pending edit before closing; when one cannot be stored
    // the user chooses between going back to it and discarding it.
    bool storeEverything();
    void discardPendingEdits();
    void offerUndoOfInterruptedRestore();
    void offerUndoOfInterruptedImport();
    void schedulePreload();

    struct NavEntry {
        QString caption; // window caption
        Page *page;
        int icon;
    };
    std::map<std::pair<int, int>, NavEntry> m_nav;

    QWidget *pnlMainLeft;
    TOutlookBar *olMain;
    QListWidget *olListOffice, *olListMaint, *olListSetup;
    QSplitter *splMain;
    QTabWidget *tabsMain;
    HandReceiptPage *tabHandReceipt;
    InspectionsPage *tabInsp;
    SetupPage *tabSetup;
    TMainStatusBar *stbMain;
    QAction *Import1, *BackupRestore1;
    kw::settings::TIniOut *Ini;

    TColumnEditors m_editors;
    kw::settings::SetupTexts m_texts;
    PrintSetup m_printSetup;
    std::unique_ptr<ReportContext> m_reports; // what the print buttons print from
    QString m_updateFileName;
    QString m_dataDir;
    // Position and size while neither maximised nor minimised: what the
    // window state keeps, so that a maximised window returns to its place.
    QPoint m_normalPos;
    QSize m_normalSize;
    QString m_keptPage; // page shown when the window was last closed
    QString m_orphanText;
    bool m_orphanCheckDue = false;
    kw::data::DueScan m_dueScan;
    bool m_dueCountPending = false;
    QTimer m_dayCheck; // a new day moves what is due
    kw::data::ShopFind m_find;
    TfrmFind *frmFind = nullptr; // made when first asked for
    bool m_started = false;
};

} // namespace kw::app
