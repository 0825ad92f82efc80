#include "app/frmmain.h"

#include "app/apperror.h"
#include "app/dbgrid.h"
#include "app/duepanel.h"
#include "app/finddialog.h"
#include "app/forms.h"
#include "app/frmarchive.h"
#include "app/frmimport.h"
#include "app/icons.h"
#include "app/mainstatusbar.h"
#include "app/outlookbar.h"
#include "app/pages/equiplistpage.h"
#include "app/pages/gearpage.h"
#include "app/pages/handreceiptpage.h"
#include "app/pages/inspectionspage.h"
#include "app/pages/officesuppliespage.h"
#include "app/pages/partslistpage.h"
#include "app/pages/setuppage.h"
#include "app/pages/survivalpage.h"
#include "app/pages/techmanualspage.h"
#include "app/reportprinting.h"
#include "app/updateui.h"
#include "app/weblinks.h"
#include "archive/backup.h"
#include "archive/restore.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/paths.h"
#include "import/marrowbyimport.h"
#include "data/shop/shopschema.h"
#include "settings/iniout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kw::app {

using kw::data::Clock;

namespace {
enum Group { Office = 0, Maint = 1, Master = 2 };
} // namespace

TfrmMain::TfrmMain(kw::data::TdmMain &dmMain, QWidget *parent)
    : QMainWindow(parent), dm(dmMain), m_dataDir(kw::data::defaultDataDir()), m_dueScan(dmMain.session), m_find(dmMain.session)
{
    setObjectName(QStringLiteral("frmMain"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    Ini = new kw::settings::TIniOut(this);
    Ini->setObjectName(QStringLiteral("Ini"));
    buildFrame();
    buildPages();
    buildNavigation();
    buildMenu();
    buildStatusBar();
    bindIniItems();
    attachPrintButtons();
    connect(&dm.session, &kw::data::Session::tableChanged, this, [this](kw::data::ParadoxTable *t) {
        if (!m_started)
            return;
        scheduleDueCount();
        // Holders or items changed: the count of items without a holder may have.
        if (m_orphanCheckDue)
            return;
        if (t && !t->path().endsWith(QStringLiteral("Hrdf.DB"), Qt::CaseInsensitive)
            && !t->path().endsWith(QStringLiteral("Equipment.DB"), Qt::CaseInsensitive))
            return;
        m_orphanCheckDue = true;
        QTimer::singleShot(0, this, [this] {
            m_orphanCheckDue = false;
            guarded([this] { showItemsWithoutHolder(); });
        });
    });

    connect(stbMain->duePanel(), &TDuePanel::partClicked, this, [this](const DuePart &part) {
        guarded([&] { stbDuePartClick(part); });
    });
    m_dayCheck.setInterval(60 * 1000);
    connect(&m_dayCheck, &QTimer::timeout, this, [this] {
        if (m_started)
            guarded([this] { showDueCounts(); }); // counted again only when the day moved on
    });
    m_dayCheck.start();

    runSplash = [](QWidget *owner) {
        TfrmSplash splash(owner);
        splash.exec();
    };
    autoUpdateCheck = [this] { GetUpdate1Click(true); };
    backupDialogFactory = [this](QWidget *owner) { return new TfrmArchive(m_dataDir, Ini, owner); };
    importDialogFactory = [this](QWidget *owner) {
        auto *dlg = new TfrmImport(dm.session, m_dataDir, owner);
        dlg->company = m_texts.Company;
        dlg->onCompanyImported = [this](const QString &company) { m_texts.Company = company; };
        return dlg;
    };

    // At creation: the Maintenance group and the hand receipts page.
    olMain->openGroup(Maint);
    olListMaint->setCurrentRow(0);
    tabsMain->setCurrentWidget(tabHandReceipt);
    showNavEntry(Maint, 0);
    setWindowIcon(icons::nav(0));
    // The designed client area of 792 by 554 below the menu hides most
    // columns of every page; the first start opens wider (firstStartSize).
    resize(792, 554 + menuBar()->sizeHint().height());
    keepNormalGeometry();
}

TfrmMain::~TfrmMain() = default;

// --- construction

void TfrmMain::buildFrame()
{
    auto *central = new QWidget(this);
    auto *lay = new QHBoxLayout(central);
    lay->setContentsMargins(0, 0, 0, 0);
    splMain = new QSplitter(Qt::Horizontal, central);
    splMain->setObjectName(QStringLiteral("splMain"));
    splMain->setHandleWidth(3);
    splMain->setChildrenCollapsible(false);
    lay->addWidget(splMain);

    pnlMainLeft = new QWidget(splMain);
    pnlMainLeft->setObjectName(QStringLiteral("pnlMainLeft"));
    pnlMainLeft->setMinimumWidth(60);
    auto *left = new QVBoxLayout(pnlMainLeft);
    left->setContentsMargins(0, 0, 0, 0);
    olMain = new TOutlookBar(pnlMainLeft);
    olMain->setObjectName(QStringLiteral("olMain"));
    left->addWidget(olMain);

    tabsMain = new QTabWidget(splMain);
    tabsMain->setObjectName(QStringLiteral("tabsMain"));
    tabsMain->tabBar()->hide(); // pages are switched only from the navigation bar
    tabsMain->setDocumentMode(true);
    splMain->addWidget(pnlMainLeft);
    splMain->addWidget(tabsMain);
    splMain->setStretchFactor(0, 0);
    splMain->setStretchFactor(1, 1);
    splMain->setSizes({100, 689});
    setCentralWidget(central);
}

void TfrmMain::addPage(Page *page, const QString &caption)
{
    tabsMain->addTab(page, caption);
}

void TfrmMain::buildPages()
{
    addPage(new OfficeSuppliesPage(dm, m_editors, tabsMain), QStringLiteral("Office Supplies"));
    addPage(new TechManualsPage(dm, m_editors, tabsMain), QStringLiteral("Tech Manuals"));
    addPage(tabHandReceipt = new HandReceiptPage(dm, m_editors, tabsMain), QStringLiteral("Hand Receipts"));
    addPage(tabInsp = new InspectionsPage(dm, m_editors, tabsMain), QStringLiteral("Inspections"));
    addPage(new GearPage(dm, m_editors, tabsMain), QStringLiteral("View by Type"));
    addPage(new SurvivalPage(dm, m_editors, tabsMain), QStringLiteral("Aircraft Equipment"));
    addPage(new EquipListPage(dm, m_editors, tabsMain), QStringLiteral("Master Equipment List"));
    addPage(new PartsListPage(dm, m_editors, tabsMain), QStringLiteral("Master Office Parts List"));
    addPage(tabSetup = new SetupPage(dm, m_editors, m_texts, *Ini, tabsMain), QStringLiteral("Program Setup"));
}

void TfrmMain::attachPrintButtons()
{
    m_reports = std::make_unique<ReportContext>(ReportContext{
        dm, m_texts, m_printSetup, this, [this] { return dueByDate(); },
        [this] { return page<GearPage>()->categoryIndex(); }, [this] { return page<EquipListPage>()->categoryIndex(); },
        [this] { return page<OfficeSuppliesPage>()->categoryIndex(); },
        [this] { return page<PartsListPage>()->categoryIndex(); }});
    QList<Page *> pages;
    for (int i = 0; i < tabsMain->count(); ++i)
        pages << static_cast<Page *>(tabsMain->widget(i));
    attachReports(*m_reports, pages);
}

void TfrmMain::buildNavigation()
{
    const int gOffice = olMain->addGroup(QStringLiteral("Office"), QStringLiteral("olbtnOffice"),
                                         QStringLiteral("olListOffice"));
    const int gMaint = olMain->addGroup(QStringLiteral("Maintenance"), QStringLiteral("olbtnMaint"),
                                        QStringLiteral("olListMaint"));
    const int gMaster = olMain->addGroup(QStringLiteral("Master Lists"), QStringLiteral("olbtnMaster"),
                                         QStringLiteral("olListSetup"));
    olMain->groupButton(gMaster)->setToolTip(
        QStringLiteral("Listings of Equipment for Assignment to Hand Receipts or Bench Stock"));
    olListOffice = olMain->groupList(gOffice);
    olListMaint = olMain->groupList(gMaint);
    olListSetup = olMain->groupList(gMaster);

    auto entry = [&](int g, int i, const QString &item, int icon, const QString &caption, const char *page) {
        olMain->addItem(g, item, icons::nav(icon));
        m_nav[{g, i}] = NavEntry{caption, tabsMain->findChild<Page *>(QLatin1String(page)), icon};
    };
    entry(Office, 0, QStringLiteral("Bench Stock"), 1, QStringLiteral("Kitwarden - Office Bench Stock"),
          "tabOfficeSupplies");
    entry(Office, 1, QStringLiteral("Tech Manuals"), 6, QStringLiteral("Kitwarden - Technical Manuals"),
          "tabTechManuals");
    entry(Maint, 0, QStringLiteral("Hand Receipts"), 0, QStringLiteral("Kitwarden - Hand Receipts"),
          "tabHandReceipt");
    entry(Maint, 1, QStringLiteral("Inspections"), 10, QStringLiteral("Kitwarden - Inspections"), "tabInsp");
    entry(Maint, 2, QStringLiteral("View by Type"), 12, QStringLiteral("Kitwarden - ALSE Equipment by Type"),
          "tabAlseGear");
    entry(Maint, 3, QStringLiteral("Aircraft Equipment"), 11, QStringLiteral("Kitwarden - Aircraft Equipment"),
          "tabSurvival");
    entry(Master, 0, QStringLiteral("ALSE Equipment"), 12, QStringLiteral("Kitwarden - Master ALSE Equipment List"),
          "tabEquipLists");
    entry(Master, 1, QStringLiteral("Bench Stock"), 1, QStringLiteral("Kitwarden - Master Bench Stock List"),
          "tabPartsList");
    entry(Master, 2, QStringLiteral("Program Info"), 9, QStringLiteral("Kitwarden - Setup Program"), "tabSetup");

    connect(olMain, &TOutlookBar::itemClicked, this, [this](QListWidget *list, int index) {
        if (list == olListMaint)
            olListMaintItemClick(list, index);
        else if (list == olListOffice)
            olListOfficeItemClick(list, index);
        else if (list == olListSetup)
            olListSetupItemClick(list, index);
    });
}

void TfrmMain::buildMenu()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    auto add = [&](QMenu *m, const char *name, const QString &text, int icon) {
        QAction *a = m->addAction(icons::menu(icon), text);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    BackupRestore1 = add(file, "BackupRestore1", QStringLiteral("&Backup / Restore"), 0);
    Import1 = add(file, "Import1", QStringLiteral("&Import from Marrowby"), 1);
    file->addSeparator();
    QAction *PrintSetup1 = add(file, "PrintSetup1", QStringLiteral("Print &Setup"), 2);
    file->addSeparator();
    QAction *Exit1 = add(file, "Exit1", QStringLiteral("E&xit"), 3);
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction *Find1 = edit->addAction(QStringLiteral("&Find..."));
    Find1->setObjectName(QStringLiteral("Find1"));
    Find1->setShortcut(QKeySequence::Find);
    connect(Find1, &QAction::triggered, this, [this] { guarded([this] { Find1Click(); }); });
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction *AlsePage1 = add(help, "AlsePage1", QStringLiteral("ALSE Page (&web)"), 4);
    QAction *FAQ1 = add(help, "FAQ1", QStringLiteral("&FAQs (web)"), 4);
    QAction *Support1 = add(help, "Support1", QStringLiteral("&Support (e-mail)"), 5);
    help->addSeparator();
    QAction *UpdateKitwarden1 = add(help, "UpdateKitwarden1", QStringLiteral("&Update Kitwarden (web)"), 6);
    help->addSeparator();
    QAction *About1 = add(help, "About1", QStringLiteral("&About"), 8);

    Import1->setEnabled(false);
    // On once the start-up knows the data directory.
    BackupRestore1->setEnabled(false);

    connect(BackupRestore1, &QAction::triggered, this, [this] { runWithTablesClosed(backupDialogFactory); });
    connect(Import1, &QAction::triggered, this, [this] {
        if (!importDialogFactory) {
            prompts().showMessage(QStringLiteral("The import from Marrowby is not available in this build."));
            return;
        }
        runWithTablesClosed(importDialogFactory);
    });
    connect(PrintSetup1, &QAction::triggered, this, [this] { guarded([this] { PrintSetup1Click(); }); });
    connect(AlsePage1, &QAction::triggered, this, [this] { guarded([this] { AlsePage1Click(); }); });
    connect(FAQ1, &QAction::triggered, this, [this] { guarded([this] { FAQ1Click(); }); });
    connect(Support1, &QAction::triggered, this, [this] { guarded([this] { Support1Click(); }); });
    connect(UpdateKitwarden1, &QAction::triggered, this, [this] { guarded([this] { GetUpdate1Click(false); }); });
    connect(About1, &QAction::triggered, this, [this] { guarded([this] { About1Click(); }); });
    connect(Exit1, &QAction::triggered, this, &TfrmMain::Exit1Click);
}

void TfrmMain::buildStatusBar()
{
    stbMain = new TMainStatusBar(this);
    setStatusBar(stbMain);
}

void TfrmMain::updateStatusPanels()
{
    stbMain->updatePanels();
}

QDate TfrmMain::dueByDate() const
{
    return tabInsp->dueByDate();
}

// --- start-up and close

void TfrmMain::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!m_started)
        FormShow();
}

void TfrmMain::FormShow()
{
    if (m_started)
        return;
    m_started = true;

    // 1. The splash, modal, until its timer or its close button.
    if (runSplash)
        guarded([&] { runSplash(this); });
    // 2. Window state and update settings; what is not kept yet starts
    // at the first start's size.
    if (const QScreen *sc = screen())
        resize(firstStartSize(sc->availableGeometry()));
    Ini->LoadItems();
    // The page set-up chosen in an earlier run.
    m_printSetup.setStore(Ini);
    restoreColumnWidths();
    // 3. The setup texts.
    readSetupTexts();
    // 4. Due-by date.
    tabInsp->setDueByDate(Clock::today());
    // 5. The update-information file, in the configuration directory.
    m_updateFileName = kw::data::configDir() + QStringLiteral("/QuillfenUpdates.ini");
    Ini->setFileName(QStringLiteral("QuillfenUpdates.ini"));
    // 6. The import needs the predecessor's alias, named exactly so.
    Import1->setEnabled(false);
    if (dm.session.aliasNames().contains(QStringLiteral("Marrowby"), Qt::CaseSensitive))
        Import1->setEnabled(true);
    BackupRestore1->setEnabled(bool(backupDialogFactory));
    // 7. The connection's path: the data directory.
    QString dir = m_dataDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    dm.dbMain.setParam(QStringLiteral("PATH"), dir);
    stbMain->setText(QStringLiteral("Data: %1").arg(QDir::toNativeSeparators(m_dataDir)));
    offerUndoOfInterruptedRestore();
    offerUndoOfInterruptedImport();
    guarded([&] {
        // A first start on an empty directory gets the empty tables an
        // installer would have put there.
        if (kw::data::shop::hasNoTables(m_dataDir)) {
            kw::data::shop::createMissingTables(m_dataDir);
            stbMain->setText(QStringLiteral("Created empty shop tables in %1")
                                 .arg(QDir::toNativeSeparators(m_dataDir)));
        }
    });
    // 8. The eleven tables, in order; then the page shown last time.
    if (openShopTables())
        showKeptPage();
    // 10. The automatic update check.
    if (tabSetup->autoUpdate() && autoUpdateCheck)
        guarded(autoUpdateCheck);
}

// What putting an older state back would lose: the files changed since.
static QString lostChangesText(const QStringList &changed)
{
    if (changed.isEmpty())
        return {};
    return QStringLiteral("\n\nChanges made since to %1 would be lost.").arg(changed.join(QStringLiteral(", ")));
}

// A restore that stopped part-way (a crash, a power cut) may have left some
// tables from the backup and some from before; the copy taken before it
// puts the database back as it was.
void TfrmMain::offerUndoOfInterruptedRestore()
{
    const QString text = kw::archive::interruptedRestoreText(m_dataDir);
    if (text.isEmpty())
        return;
    if (!prompts().confirm(text + lostChangesText(kw::archive::changedSinceRestore(m_dataDir, TfrmArchive::shopFiles())) +
                           QStringLiteral("\n\nPut the previous database back now?")))
        return;
    const kw::archive::UndoReport undo =
        kw::archive::undoRestore(m_dataDir, TfrmArchive::shopFiles(), TfrmArchive::shopTables());
    if (!undo.done)
        prompts().showMessage(undo.error);
}

// An import that stopped part-way leaves the shop half imported; the next
// import finishes it, or the copy taken before it puts everything back.
void TfrmMain::offerUndoOfInterruptedImport()
{
    const QString text = kw::import::interruptedImportText(m_dataDir);
    if (text.isEmpty())
        return;
    if (!prompts().confirm(text + lostChangesText(kw::import::changedSinceImport(m_dataDir)) +
                           QStringLiteral("\n\nPut the tables and the Marrowby files back as they were before "
                                          "the import now?")))
        return;
    const kw::import::ImportUndoReport undo =
        kw::import::undoImport(m_dataDir, kw::import::marrowbyDirectory(dm.session));
    if (!undo.done)
        prompts().showMessage(undo.error);
}

bool TfrmMain::openShopTables()
{
    const bool ok = guarded([&] {
        for (kw::data::TableDataset *t : dm.shopTables())
            t->open();
    });
    if (!ok)
        stbMain->setText(QStringLiteral("The shop tables could not be opened from %1")
                             .arg(QDir::toNativeSeparators(m_dataDir)));
    else
        schedulePreload();
    showItemsWithoutHolder();
    guarded([this] { showDueCounts(); });
    return ok;
}

void TfrmMain::showKeptPage()
{
    for (const auto &[at, entry] : m_nav) {
        if (entry.page->objectName() != m_keptPage || entry.page == tabHandReceipt)
            continue;
        olMain->openGroup(at.first);
        olMain->groupList(at.first)->setCurrentRow(at.second);
        // A page that cannot be entered (its error was shown) gives way to
        // the start page rather than standing empty.
        if (!navigate(at.first, at.second))
            guarded([this] { showStartPage(); });
        return;
    }
}

// Items under an HR number that no holder has show on no page: the status
// bar says how many there are and how to bring them back.
void TfrmMain::showItemsWithoutHolder()
{
    const QVector<kw::data::TdmMain::HolderItems> orphans = dm.itemsWithoutHolder();
    if (orphans.isEmpty()) {
        if (!m_orphanText.isEmpty() && stbMain->text() == m_orphanText)
            stbMain->setText(QStringLiteral("Data: %1").arg(QDir::toNativeSeparators(m_dataDir)));
        m_orphanText.clear();
        return;
    }
    int items = 0;
    QStringList numbers;
    for (const auto &o : orphans) {
        items += o.items;
        numbers << QString::number(o.hrNumber);
    }
    m_orphanText = QStringLiteral("%1 %2 under HR # %3, which no holder has: add a holder with that number on "
                                  "Hand Receipts to see them.")
                       .arg(items)
                       .arg(items == 1 ? QStringLiteral("item stands") : QStringLiteral("items stand"))
                       .arg(numbers.join(QStringLiteral(", ")));
    stbMain->setText(m_orphanText);
}

void TfrmMain::schedulePreload()
{
    // Once the window has been painted: the pages read ahead what they
    // will show, so that the first visit to a large page is quick.
    QTimer::singleShot(250, this, [this] {
        for (int i = 0; i < tabsMain->count(); ++i) {
            try {
                static_cast<Page *>(tabsMain->widget(i))->preload();
            } catch (...) {
                // Only a head start: entering the page reports what fails.
            }
        }
    });
}

void TfrmMain::closeEvent(QCloseEvent *e)
{
    // Leaving the page posts its pending edit, and so does every table (a
    // kit being edited on the aircraft page). One that cannot be stored
    // asks: back to the row, or close without that row's changes.
    if (m_started && !storeEverything()) {
        e->ignore();
        return;
    }
    Ini->SaveItems();
    saveColumnWidths();
    writeSetupTexts();
    e->accept();
}

bool TfrmMain::storeEverything()
{
    try {
        activePage()->leave();
        for (kw::data::TableDataset *t : dm.shopTables())
            t->checkBrowseMode();
        return true;
    } catch (...) {
        const QString why = kw::core::currentMessage();
        if (!prompts().confirm(why + QStringLiteral("\n\nClose without the changes that cannot be stored? "
                                                    "Cancel goes back to them.")))
            return false;
    }
    discardPendingEdits();
    return true;
}

void TfrmMain::discardPendingEdits()
{
    for (kw::data::TableDataset *t : dm.shopTables())
        guarded([&] { t->cancel(); });
    for (kw::data::QueryDataset *q : {&dm.qryInsp, &dm.qryGear, &dm.qryParts})
        guarded([&] {
            q->cancel();
            q->close(); // drops what the cache still holds
        });
}

// --- pages and navigation

Page *TfrmMain::activePage() const
{
    return static_cast<Page *>(tabsMain->currentWidget());
}

void TfrmMain::setActivePage(Page *page)
{
    Page *cur = activePage();
    if (cur == page)
        return;
    cur->leave();
    tabsMain->setCurrentWidget(page);
}

void TfrmMain::showNavEntry(int group, int index)
{
    const NavEntry &e = m_nav.at({group, index});
    highlightNavItem(group, index);
    setWindowTitle(e.caption);
    stbMain->setImage(icons::nav(e.icon));
    stbMain->setDueLegend(e.page->dueColours());
}

bool TfrmMain::navigate(int group, int index)
{
    auto it = m_nav.find({group, index});
    if (it == m_nav.end())
        return false;
    Page *page = it->second.page;
    // The leaving page's step comes first; when it fails (an edit that
    // cannot be stored) the window stays where it is, and so does the
    // highlight of the navigation bar.
    if (!guarded([&] { setActivePage(page); })) {
        showNavSelection(activePage());
        return false;
    }
    showNavEntry(group, index);
    // An error entering (a query that cannot run) is shown; the page stays
    // up, empty, and entering it again tries again.
    return guarded([&] { page->enter(); });
}

void TfrmMain::showNavSelection(Page *page)
{
    for (const auto &[key, entry] : m_nav)
        if (entry.page == page) {
            olMain->openGroup(key.first);
            highlightNavItem(key.first, key.second);
            return;
        }
}

// Only the item of the page shown is highlighted, in whichever group.
void TfrmMain::highlightNavItem(int group, int index)
{
    for (int g = 0; g < olMain->groupCount(); ++g) {
        QListWidget *list = olMain->groupList(g);
        if (g == group)
            list->setCurrentRow(index);
        else
            list->clearSelection();
    }
}

void TfrmMain::olListMaintItemClick(QListWidget *, int index)
{
    navigate(Maint, index);
}

void TfrmMain::olListOfficeItemClick(QListWidget *, int index)
{
    navigate(Office, index);
}

void TfrmMain::olListSetupItemClick(QListWidget *, int index)
{
    navigate(Master, index);
}

void TfrmMain::showStartPage()
{
    olMain->openGroup(Maint);
    olListMaint->setCurrentRow(0);
    setActivePage(tabHandReceipt);
    showNavEntry(Maint, 0);
}

void TfrmMain::CloseShopTables()
{
    showStartPage();
    // Pending edits are stored before their table closes, not dropped.
    for (kw::data::TableDataset *t : dm.shopTables())
        t->checkBrowseMode();
    for (kw::data::TableDataset *t : dm.shopTables())
        t->close();
    dm.dbMain.close();
}

void TfrmMain::ReopenShopTables()
{
    dm.dbMain.open();
    for (kw::data::TableDataset *t : dm.shopTables())
        t->open();
    schedulePreload();
    // A restore or an import may have brought other tables.
    guarded([this] { showDueCounts(); });
}

void TfrmMain::runWithTablesClosed(const std::function<QDialog *(QWidget *)> &factory)
{
    if (!factory)
        return;
    QDialog *dlg = nullptr;
    if (!guarded([&] { dlg = factory(this); }) || !dlg)
        return;
    if (guarded([&] { CloseShopTables(); })) {
        guarded([&] { dlg->exec(); });
        guarded([&] { ReopenShopTables(); });
    }
    delete dlg;
}

// --- menu

void TfrmMain::PrintSetup1Click()
{
    m_printSetup.exec(this);
}

void TfrmMain::Exit1Click()
{
    close();
}

void TfrmMain::AlsePage1Click()
{
    openLink(kw::update::Link::AlsePage);
}

void TfrmMain::FAQ1Click()
{
    openLink(kw::update::Link::Faq);
}

void TfrmMain::Support1Click()
{
    openLink(kw::update::Link::Support);
}

void TfrmMain::About1Click()
{
    TfrmAbout::execAbout(this);
}

void TfrmMain::GetUpdate1Click(bool automatic)
{
    checkForUpdates(this, automatic, tabSetup->autoUpdate(), tabSetup->notifyOnlyOnUpdate());
}

} // namespace kw::app
