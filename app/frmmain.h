#pragma once
// The main window: navigation bar, the nine pages, status bar and menu; the
// start-up sequence, the setup texts, closing the tables for the dialogs
// that replace or read the table files, and the hand receipts page.
#include "app/columneditors.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/outlookbar.h"
#include "data/dmmain.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <functional>
#include <map>

class QDialog;

namespace kw::settings { class TIniOut; }

namespace kw::app {

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(kw::data::TdmMain &dm, QWidget *parent = nullptr);
    ~TfrmMain() override;

    kw::data::TdmMain &dm;

    // --- frame
    QWidget *pnlMainLeft;
    TOutlookBar *olMain;
    QToolButton *olbtnOffice, *olbtnMaint, *olbtnMaster;
    QListWidget *olListOffice, *olListMaint, *olListSetup;
    QSplitter *splMain;
    QTabWidget *tabsMain;
    QWidget *tabOfficeSupplies, *tabTechManuals, *tabHandReceipt, *tabInsp, *tabAlseGear, *tabSurvival,
        *tabEquipLists, *tabPartsList, *tabSetup;
    QStatusBar *stbMain;
    QLabel *stbImage, *stbText, *stbCaps, *stbNum, *stbClock;
    QAction *BackupRestore1, *ImportfromMarrowby1, *PrintSetup1, *Exit1, *AlsePage1, *FAQ1, *Support1,
        *UpdateKitwarden1, *About1;

    // --- hand receipts page
    QWidget *pnlHrLeft, *pnlHrMain;
    QSplitter *Splitter1;
    TDBNavigator *navHrdf, *navAlse;
    QToolButton *btnHrdfPrint;
    QPushButton *btnAddFromList, *btnAlsePrint;
    TDBGrid *grdHrdf, *grdHandReceipt;
    TMapComboEditor *cbInspType;
    TLookupComboEditor *cbNsnHr, *cbNsnGear;

    // --- components of other pages that the frame already needs
    QDateEdit *cbInspDate;          // due-by date, set to today at start-up
    QCheckBox *cbAutoUpdate, *cbAutoUpdateNotify;

    kw::settings::TIniOut *Ini;

    // --- setup texts, held for the whole run
    QString Company, AlseOfficer, Prepared, Authorized, Approved;
    // The downloaded update-information file.
    QString UpdateFileName;

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
    void grdHrdfTitleButtonClick(const QString &fieldName);
    void tabHandReceiptHide();
    void PrintSetup1Click();
    void Exit1Click();

    // The page shown and its navigation entry.
    QWidget *activePage() const { return tabsMain->currentWidget(); }
    // Makes page active, running the leaving page's hide step first. Throws
    // what that step throws; the page does not change then.
    void setActivePage(QWidget *page);

    // Refreshes the Caps, Num and clock panels.
    void updateStatusPanels();
    // The five setup texts with their defaults, in registry order.
    static const QList<QPair<QString, QString>> &setupTextDefaults();
    QString *setupText(const QString &name);

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void buildFrame();
    void buildMenu();
    void buildStatusBar();
    void buildHandReceiptPage();
    void buildPlaceholderPages();
    void bindIniItems();
    QWidget *addPage(const QString &name, const QString &caption);
    void navigate(int group, int index);
    void showStartPage();
    void openShopTables();

    struct NavEntry {
        QString caption;   // window caption
        QWidget *page;
        int icon;
        std::function<void()> beforeShow, afterShow;
    };
    std::map<std::pair<int, int>, NavEntry> m_nav;
    std::map<QWidget *, std::function<void()>> m_hide;
    QString m_dataDir;
    bool m_started = false;
    QTimer m_clock;
};

} // namespace kw::app
