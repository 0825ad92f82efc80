#include "app/frmmain.h"

#include "app/apperror.h"
#include "app/icons.h"
#include "app/keylocks.h"
#include "data/paths.h"
#include "data/shopschema.h"
#include "settings/iniout.h"
#include "update/forms.h"
#include "update/links.h"
#include "update/updatecheck.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>

namespace kw::app {

using kw::data::Clock;

namespace {

enum Group { Office = 0, Maint = 1, Master = 2 };

QWidget *topBar(QWidget *parent, int height)
{
    auto *bar = new QWidget(parent);
    bar->setFixedHeight(height);
    auto *lay = new QHBoxLayout(bar);
    lay->setContentsMargins(2, 1, 2, 1);
    lay->setSpacing(4);
    return bar;
}

QPrinter &sharedPrinter()
{
    static QPrinter printer;
    return printer;
}

} // namespace

TfrmMain::TfrmMain(kw::data::TdmMain &dmMain, QWidget *parent)
    : QMainWindow(parent), dm(dmMain), m_dataDir(kw::data::defaultDataDir())
{
    setObjectName(QStringLiteral("frmMain"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    buildFrame();
    buildHandReceiptPage();
    buildPlaceholderPages();
    buildMenu();
    buildStatusBar();
    bindIniItems();

    runSplash = [](QWidget *owner) {
        kw::update::TfrmSplash splash(owner);
        splash.exec();
    };
    autoUpdateCheck = [this] {
        kw::update::checkForUpdates(this, true, cbAutoUpdate->isChecked(), cbAutoUpdateNotify->isChecked());
    };

    // At creation: the Maintenance group and the hand receipts page.
    olMain->openGroup(Maint);
    olListMaint->setCurrentRow(0);
    tabsMain->setCurrentWidget(tabHandReceipt);
    setWindowTitle(QStringLiteral("Kitwarden - Hand Receipts"));
    stbImage->setPixmap(icons::nav(0).pixmap(16, 16));
    setWindowIcon(icons::nav(0));
    // A client area of 792 by 554 below the menu (the status bar lies inside it).
    resize(792, 554 + menuBar()->sizeHint().height());
}

TfrmMain::~TfrmMain()
{
    qApp->removeEventFilter(this);
}

// --- construction

QWidget *TfrmMain::addPage(const QString &name, const QString &caption)
{
    auto *page = new QWidget(tabsMain);
    page->setObjectName(name);
    tabsMain->addTab(page, caption);
    return page;
}

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

    tabOfficeSupplies = addPage(QStringLiteral("tabOfficeSupplies"), QStringLiteral("Office Supplies"));
    tabTechManuals = addPage(QStringLiteral("tabTechManuals"), QStringLiteral("Tech Manuals"));
    tabHandReceipt = addPage(QStringLiteral("tabHandReceipt"), QStringLiteral("Hand Receipts"));
    tabInsp = addPage(QStringLiteral("tabInsp"), QStringLiteral("Inspections"));
    tabAlseGear = addPage(QStringLiteral("tabAlseGear"), QStringLiteral("View by Type"));
    tabSurvival = addPage(QStringLiteral("tabSurvival"), QStringLiteral("Aircraft Equipment"));
    tabEquipLists = addPage(QStringLiteral("tabEquipLists"), QStringLiteral("Master Equipment List"));
    tabPartsList = addPage(QStringLiteral("tabPartsList"), QStringLiteral("Master Office Parts List"));
    tabSetup = addPage(QStringLiteral("tabSetup"), QStringLiteral("Program Setup"));

    const int gOffice = olMain->addGroup(QStringLiteral("Office"), QStringLiteral("olbtnOffice"),
                                         QStringLiteral("olListOffice"));
    const int gMaint = olMain->addGroup(QStringLiteral("Maintenance"), QStringLiteral("olbtnMaint"),
                                        QStringLiteral("olListMaint"));
    const int gMaster = olMain->addGroup(QStringLiteral("Master Lists"), QStringLiteral("olbtnMaster"),
                                         QStringLiteral("olListSetup"));
    olbtnOffice = olMain->groupButton(gOffice);
    olbtnMaint = olMain->groupButton(gMaint);
    olbtnMaster = olMain->groupButton(gMaster);
    olbtnMaster->setToolTip(QStringLiteral("Listings of Equipment for Assignment to Hand Receipts or Bench Stock"));
    olListOffice = olMain->groupList(gOffice);
    olListMaint = olMain->groupList(gMaint);
    olListSetup = olMain->groupList(gMaster);

    auto entry = [&](int g, int i, const QString &item, int icon, const QString &caption, QWidget *page,
                     std::function<void()> before = {}, std::function<void()> after = {}) {
        olMain->addItem(g, item, icons::nav(icon));
        m_nav[{g, i}] = NavEntry{caption, page, icon, std::move(before), std::move(after)};
    };
    entry(Office, 0, QStringLiteral("Bench Stock"), 1, QStringLiteral("Kitwarden - Office Bench Stock"),
          tabOfficeSupplies, [this] { dm.qryParts.open(); });
    entry(Office, 1, QStringLiteral("Tech Manuals"), 6, QStringLiteral("Kitwarden - Technical Manuals"),
          tabTechManuals);
    entry(Maint, 0, QStringLiteral("Hand Receipts"), 0, QStringLiteral("Kitwarden - Hand Receipts"),
          tabHandReceipt, [this] { dm.tblHr.open(); });
    entry(Maint, 1, QStringLiteral("Inspections"), 10, QStringLiteral("Kitwarden - Inspections"), tabInsp,
          [this] { dm.qryInsp.open(); });
    entry(Maint, 2, QStringLiteral("View by Type"), 12, QStringLiteral("Kitwarden - ALSE Equipment by Type"),
          tabAlseGear, [this] { dm.qryGear.open(); }, [this] { dm.qryGear.setFiltered(false); });
    entry(Maint, 3, QStringLiteral("Aircraft Equipment"), 11, QStringLiteral("Kitwarden - Aircraft Equipment"),
          tabSurvival);
    entry(Master, 0, QStringLiteral("ALSE Equipment"), 12, QStringLiteral("Kitwarden - Master ALSE Equipment List"),
          tabEquipLists, [this] { dm.tblList.setFiltered(false); });
    entry(Master, 1, QStringLiteral("Bench Stock"), 1, QStringLiteral("Kitwarden - Master Bench Stock List"),
          tabPartsList);
    entry(Master, 2, QStringLiteral("Program Info"), 9, QStringLiteral("Kitwarden - Setup Program"), tabSetup);

    // Leaving a page: its hide step.
    m_hide[tabHandReceipt] = [this] { tabHandReceiptHide(); };
    m_hide[tabInsp] = [this] { dm.applyOnLeave(dm.qryInsp); };
    m_hide[tabAlseGear] = [this] { dm.applyOnLeave(dm.qryGear); };
    m_hide[tabOfficeSupplies] = [this] { dm.applyOnLeave(dm.qryParts); };
    m_hide[tabEquipLists] = [this] { dm.tblList.setFiltered(false); };
    m_hide[tabPartsList] = [this] { dm.tblPartsList.setFiltered(false); };
    m_hide[tabSetup] = [this] { Ini->SaveItems(); };

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
    ImportfromMarrowby1 = add(file, "ImportfromMarrowby1", QStringLiteral("&Import from Marrowby"), 1);
    file->addSeparator();
    PrintSetup1 = add(file, "PrintSetup1", QStringLiteral("Print &Setup"), 2);
    file->addSeparator();
    Exit1 = add(file, "Exit1", QStringLiteral("E&xit"), 3);
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    AlsePage1 = add(help, "AlsePage1", QStringLiteral("ALSE Page (&web)"), 4);
    FAQ1 = add(help, "FAQ1", QStringLiteral("&FAQs (web)"), 4);
    Support1 = add(help, "Support1", QStringLiteral("&Support (e-mail)"), 5);
    help->addSeparator();
    UpdateKitwarden1 = add(help, "UpdateKitwarden1", QStringLiteral("&Update Kitwarden (web)"), 6);
    help->addSeparator();
    About1 = add(help, "About1", QStringLiteral("&About"), 8);

    ImportfromMarrowby1->setEnabled(false);
    // The backup dialog is supplied by its own subsystem; off until attached.
    BackupRestore1->setEnabled(false);

    connect(BackupRestore1, &QAction::triggered, this, [this] { runWithTablesClosed(backupDialogFactory); });
    connect(ImportfromMarrowby1, &QAction::triggered, this, [this] {
        if (!importDialogFactory) {
            prompts().showMessage(QStringLiteral("The import from Marrowby is not available in this build."));
            return;
        }
        runWithTablesClosed(importDialogFactory);
    });
    connect(PrintSetup1, &QAction::triggered, this, &TfrmMain::PrintSetup1Click);
    connect(AlsePage1, &QAction::triggered, this, [] { guarded(kw::update::AlsePage1Click); });
    connect(FAQ1, &QAction::triggered, this, [] { guarded(kw::update::FAQ1Click); });
    connect(Support1, &QAction::triggered, this, [] { guarded(kw::update::Support1Click); });
    connect(UpdateKitwarden1, &QAction::triggered, this, [this] {
        guarded([this] {
            kw::update::checkForUpdates(this, false, cbAutoUpdate->isChecked(), cbAutoUpdateNotify->isChecked());
        });
    });
    connect(About1, &QAction::triggered, this, [this] { guarded([this] { kw::update::TfrmAbout::execAbout(this); }); });
    connect(Exit1, &QAction::triggered, this, &TfrmMain::Exit1Click);
}

void TfrmMain::buildStatusBar()
{
    stbMain = new QStatusBar(this);
    stbMain->setObjectName(QStringLiteral("stbMain"));
    stbMain->setSizeGripEnabled(true);
    setStatusBar(stbMain);
    auto panel = [&](const char *name, int width) {
        auto *l = new QLabel(stbMain);
        l->setObjectName(QLatin1String(name));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setContentsMargins(2, 0, 2, 0);
        if (width > 0)
            l->setFixedWidth(width);
        return l;
    };
    stbImage = panel("stbImage", 18);
    stbImage->setAlignment(Qt::AlignCenter);
    stbImage->setContentsMargins(0, 0, 0, 0);
    stbText = panel("stbText", 400);
    stbCaps = panel("stbCaps", 34);
    stbNum = panel("stbNum", 30);
    stbClock = panel("stbClock", 0);
    stbClock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    stbMain->addWidget(stbImage);
    stbMain->addWidget(stbText);
    stbMain->addWidget(stbCaps);
    stbMain->addWidget(stbNum);
    stbMain->addWidget(new QWidget(stbMain), 1);
    stbMain->addPermanentWidget(stbClock);
    stbMain->setFixedHeight(20);

    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &TfrmMain::updateStatusPanels);
    m_clock.start();
    // Lock keys change the indicators at once, not only on the next tick.
    qApp->installEventFilter(this);
    updateStatusPanels();
}

void TfrmMain::updateStatusPanels()
{
    const KeyLocks k = currentKeyLocks();
    stbCaps->setText(k.caps ? QStringLiteral("Caps") : QString());
    stbNum->setText(k.num ? QStringLiteral("Num") : QString());
    const QString now = Clock::now().toString(QStringLiteral("M/d/yyyy h:mm:ss AP"));
    stbClock->setText(now);
    // A tenth of the width, but never less than the text needs.
    const int need = stbClock->fontMetrics().horizontalAdvance(now) + 12;
    stbClock->setFixedWidth(std::max(width() / 10, need));
}

bool TfrmMain::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::KeyRelease || e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock)
            QTimer::singleShot(0, this, &TfrmMain::updateStatusPanels);
    }
    return QMainWindow::eventFilter(o, e);
}

void TfrmMain::buildHandReceiptPage()
{
    auto *lay = new QHBoxLayout(tabHandReceipt);
    lay->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, tabHandReceipt);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    lay->addWidget(Splitter1);

    // Holders.
    pnlHrLeft = new QWidget(Splitter1);
    pnlHrLeft->setObjectName(QStringLiteral("pnlHrLeft"));
    pnlHrLeft->setMinimumWidth(60);
    auto *l = new QVBoxLayout(pnlHrLeft);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    QWidget *lbar = topBar(pnlHrLeft, 25);
    navHrdf = new TDBNavigator(lbar);
    navHrdf->setObjectName(QStringLiteral("navHrdf"));
    navHrdf->setDataSource(&dm.dsHrdf);
    btnHrdfPrint = new QToolButton(lbar);
    btnHrdfPrint->setObjectName(QStringLiteral("btnHrdfPrint"));
    btnHrdfPrint->setIcon(icons::tool(icons::Tool::Print));
    btnHrdfPrint->setToolTip(QStringLiteral("Print the list of holders"));
    btnHrdfPrint->setFixedSize(25, 23);
    btnHrdfPrint->setEnabled(false); // the holders report comes with the reports
    lbar->layout()->addWidget(navHrdf);
    static_cast<QHBoxLayout *>(lbar->layout())->addStretch(1);
    lbar->layout()->addWidget(btnHrdfPrint);
    grdHrdf = new TDBGrid(pnlHrLeft);
    grdHrdf->setObjectName(QStringLiteral("grdHrdf"));
    grdHrdf->setColumns(gridColumns({QStringLiteral("HR Number"), QStringLiteral("HR Holder"),
                                     QStringLiteral("Section"), QStringLiteral("Phone")}));
    grdHrdf->setDataSource(&dm.dsHrdf);
    grdHrdf->setTitleButtons(true);
    grdHrdf->enterMovesToNextColumn = true;
    l->addWidget(lbar);
    l->addWidget(grdHrdf);

    // Items of the selected holder.
    pnlHrMain = new QWidget(Splitter1);
    pnlHrMain->setObjectName(QStringLiteral("pnlHrMain"));
    auto *m = new QVBoxLayout(pnlHrMain);
    m->setContentsMargins(0, 0, 0, 0);
    m->setSpacing(0);
    QWidget *mbar = topBar(pnlHrMain, 25);
    navAlse = new TDBNavigator(mbar);
    navAlse->setObjectName(QStringLiteral("navAlse"));
    navAlse->setDataSource(&dm.dsHr);
    btnAddFromList = new QPushButton(QStringLiteral("Add from List"), mbar);
    btnAddFromList->setObjectName(QStringLiteral("btnAddFromList"));
    btnAddFromList->setEnabled(false); // the add-all dialog comes with its own issue
    btnAlsePrint = new QPushButton(icons::tool(icons::Tool::Print), QStringLiteral("Print"), mbar);
    btnAlsePrint->setObjectName(QStringLiteral("btnAlsePrint"));
    btnAlsePrint->setEnabled(false); // the sub hand receipt comes with the reports
    for (QPushButton *b : {btnAddFromList, btnAlsePrint})
        b->setFixedHeight(23);
    mbar->layout()->addWidget(navAlse);
    static_cast<QHBoxLayout *>(mbar->layout())->addStretch(1);
    mbar->layout()->addWidget(btnAddFromList);
    mbar->layout()->addWidget(btnAlsePrint);
    grdHandReceipt = new TDBGrid(pnlHrMain);
    grdHandReceipt->setObjectName(QStringLiteral("grdHandReceipt"));
    grdHandReceipt->setColumns(gridColumns(
        {QStringLiteral("HR Number"), QStringLiteral("NSN"), QStringLiteral("Nomenclature"),
         QStringLiteral("Serial Number"), QStringLiteral("UI"), QStringLiteral("Auth"), QStringLiteral("OH"),
         QStringLiteral("Insp Freq"), QStringLiteral("Insp Type"), QStringLiteral("Insp Completed"),
         QStringLiteral("Insp Due"), QStringLiteral("Remarks")}));
    grdHandReceipt->setDataSource(&dm.dsHr);
    m->addWidget(mbar);
    m->addWidget(grdHandReceipt);

    Splitter1->addWidget(pnlHrLeft);
    Splitter1->addWidget(pnlHrMain);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({160, 526});

    // The hidden column editors the grids of the main window use.
    cbInspType = new TMapComboEditor(QStringLiteral("cbInspType"),
                                     {QStringLiteral("None"), QStringLiteral("Day"), QStringLiteral("Year")},
                                     {QStringLiteral("N"), QStringLiteral("D"), QStringLiteral("Y")},
                                     tabHandReceipt);
    QList<GridColumn> nsnColumns;
    const QList<QPair<const char *, int>> cols = {
        {"NSN", 16}, {"LIN", 6}, {"Nomenclature", 40}, {"UI", 2}, {"Auth", 3}, {"Insp Type", 1},
        {"Insp Freq", 10}, {"Alse", 5}, {"Batt", 5}, {"Pyro", 5}, {"Med", 5}, {"Radio", 5}, {"Flotation", 5}};
    for (const auto &c : cols)
        nsnColumns << GridColumn{QLatin1String(c.first), QLatin1String(c.first), c.second};
    cbNsnHr = new TLookupComboEditor(QStringLiteral("cbNsnHr"), &dm.tblcbList, QStringLiteral("NSN"),
                                     nsnColumns, tabHandReceipt);
    cbNsnHr->rowsVisible = 15;
    cbNsnHr->alignRight = true;
    cbNsnGear = new TLookupComboEditor(QStringLiteral("cbNsnGear"), &dm.tblcbList, QStringLiteral("NSN"),
                                       nsnColumns, tabHandReceipt);
    cbNsnGear->rowsVisible = 15;
    cbNsnGear->matchWhileTyping = true;

    connect(grdHrdf, &TDBGrid::titleButtonClick, this,
            [this](const QString &field) { guarded([&] { grdHrdfTitleButtonClick(field); }); });
}

void TfrmMain::buildPlaceholderPages()
{
    // The due-by date of the inspections page and the two update settings
    // of the setup page live for the whole run; their pages lay them out.
    cbInspDate = new QDateEdit(tabInsp);
    cbInspDate->setObjectName(QStringLiteral("cbInspDate"));
    cbInspDate->setDisplayFormat(QStringLiteral("d MMM yyyy"));
    cbInspDate->setCalendarPopup(true);
    cbInspDate->hide();
    cbAutoUpdate = new QCheckBox(QStringLiteral("Automatically Check for Updates"), tabSetup);
    cbAutoUpdate->setObjectName(QStringLiteral("cbAutoUpdate"));
    cbAutoUpdate->hide();
    cbAutoUpdateNotify = new QCheckBox(QStringLiteral("Notify me only if there's an update"), tabSetup);
    cbAutoUpdateNotify->setObjectName(QStringLiteral("cbAutoUpdateNotify"));
    cbAutoUpdateNotify->hide();
}

void TfrmMain::bindIniItems()
{
    using kw::settings::TIniOut;
    Ini = new TIniOut(this);
    Ini->setObjectName(QStringLiteral("Ini"));
    Ini->setItems(kw::settings::mainWindowItems());
    Ini->setRegistryRoot(kw::settings::TRegRoots::CURRENT_USER);

    Ini->bindInt(QStringLiteral("frmMain"), QStringLiteral("Top"), [this] { return pos().y(); },
                 [this](int v) { move(pos().x(), v); });
    Ini->bindInt(QStringLiteral("frmMain"), QStringLiteral("Left"), [this] { return pos().x(); },
                 [this](int v) { move(v, pos().y()); });
    Ini->bindInt(QStringLiteral("frmMain"), QStringLiteral("Width"), [this] { return width(); },
                 [this](int v) { resize(v, height()); });
    // A panel's width is what a splitter keeps; the splitter itself stands
    // right after its panel, so its Left follows the width.
    auto leftOf = [](QSplitter *s) {
        const QList<int> sz = s->sizes();
        return sz.isEmpty() ? 0 : sz.first();
    };
    auto setLeft = [](QSplitter *s, int v) {
        const int total = std::max(s->width(), v + 100);
        s->setSizes({v, std::max(1, total - v - s->handleWidth())});
    };
    Ini->bindInt(QStringLiteral("pnlHrLeft"), QStringLiteral("Width"), [=, this] { return leftOf(Splitter1); },
                 [=, this](int v) { setLeft(Splitter1, v); });
    Ini->bindInt(QStringLiteral("Splitter1"), QStringLiteral("Left"), [=, this] { return leftOf(Splitter1) + 1; },
                 [](int) {});
    Ini->bindInt(QStringLiteral("pnlMainLeft"), QStringLiteral("Width"), [=, this] { return leftOf(splMain); },
                 [=, this](int v) { setLeft(splMain, v); });
    Ini->bindInt(QStringLiteral("splMain"), QStringLiteral("Left"), [=, this] { return leftOf(splMain) + 1; },
                 [](int) {});
}

// --- setup texts

const QList<QPair<QString, QString>> &TfrmMain::setupTextDefaults()
{
    static const QList<QPair<QString, QString>> list = {
        {QStringLiteral("Company"), QStringLiteral("Your Company Name Here")},
        {QStringLiteral("AlseOfficer"), QStringLiteral("ALSE Officer Name")},
        {QStringLiteral("Prepared"), QStringLiteral("Prepared By Name")},
        {QStringLiteral("Authorized"), QStringLiteral("Authorized By Name")},
        {QStringLiteral("Approved"), QStringLiteral("Approved By Name")},
    };
    return list;
}

QString *TfrmMain::setupText(const QString &name)
{
    if (name == QLatin1String("Company")) return &Company;
    if (name == QLatin1String("AlseOfficer")) return &AlseOfficer;
    if (name == QLatin1String("Prepared")) return &Prepared;
    if (name == QLatin1String("Authorized")) return &Authorized;
    if (name == QLatin1String("Approved")) return &Approved;
    return nullptr;
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
    // 2. Window state and update settings.
    Ini->LoadItems();
    // 3. The setup texts. A value of the wrong type in the registry must not
    // stop the start-up (the tables would stay closed): it counts as missing.
    for (const auto &[name, def] : setupTextDefaults()) {
        QString *text = setupText(name);
        try {
            *text = Ini->ReadRegString(kw::settings::kSetupKey, name, def);
        } catch (...) {
            *text = def;
        }
    }
    // 4. Due-by date.
    cbInspDate->setDate(Clock::today());
    // 5. The update-information file, in the configuration directory.
    UpdateFileName = kw::data::configDir() + QStringLiteral("/QuillfenUpdates.ini");
    Ini->setFileName(QStringLiteral("QuillfenUpdates.ini"));
    // 6. The import needs the predecessor's alias, named exactly so.
    ImportfromMarrowby1->setEnabled(false);
    if (dm.session.aliasNames().contains(QStringLiteral("Marrowby"), Qt::CaseSensitive))
        ImportfromMarrowby1->setEnabled(true);
    BackupRestore1->setEnabled(bool(backupDialogFactory));
    // 7. The connection's path: the data directory.
    QString dir = m_dataDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    dm.dbMain.setParam(QStringLiteral("PATH"), dir);
    stbText->setText(QStringLiteral("Data: %1").arg(QDir::toNativeSeparators(m_dataDir)));
    guarded([&] {
        // A first start on an empty directory gets the empty tables an
        // installer would have put there.
        if (kw::data::shop::hasNoTables(m_dataDir)) {
            kw::data::shop::createMissingTables(m_dataDir);
            stbText->setText(QStringLiteral("Created empty shop tables in %1")
                                 .arg(QDir::toNativeSeparators(m_dataDir)));
        }
    });
    // 8. The eleven tables, in order.
    openShopTables();
    // 10. The automatic update check.
    if (cbAutoUpdate->isChecked() && autoUpdateCheck)
        guarded(autoUpdateCheck);
}

void TfrmMain::openShopTables()
{
    const bool ok = guarded([&] {
        for (kw::data::TableDataset *t : dm.shopTables())
            t->open();
    });
    if (!ok)
        stbText->setText(QStringLiteral("The shop tables could not be opened from %1")
                             .arg(QDir::toNativeSeparators(m_dataDir)));
}

void TfrmMain::closeEvent(QCloseEvent *e)
{
    // Leaving the page posts its pending edit; one that cannot be stored
    // keeps the window open rather than losing the edit.
    if (auto it = m_hide.find(activePage()); m_started && it != m_hide.end()) {
        if (!guarded(it->second)) {
            e->ignore();
            return;
        }
    }
    Ini->SaveItems();
    for (const auto &[name, def] : setupTextDefaults()) {
        Q_UNUSED(def);
        const QString text = *setupText(name);
        guarded([&] { Ini->WriteRegString(kw::settings::kSetupKey, name, text); });
    }
    e->accept();
}

// --- pages and navigation

void TfrmMain::setActivePage(QWidget *page)
{
    QWidget *cur = activePage();
    if (cur == page)
        return;
    if (auto it = m_hide.find(cur); it != m_hide.end())
        it->second();
    tabsMain->setCurrentWidget(page);
}

void TfrmMain::navigate(int group, int index)
{
    auto it = m_nav.find({group, index});
    if (it == m_nav.end())
        return;
    const NavEntry &e = it->second;
    guarded([&] {
        // The leaving page's hide step comes first; when it fails (an edit
        // that cannot be stored) the window stays where it is.
        if (activePage() != e.page)
            if (auto h = m_hide.find(activePage()); h != m_hide.end())
                h->second();
        setWindowTitle(e.caption);
        if (e.beforeShow)
            e.beforeShow();
        tabsMain->setCurrentWidget(e.page);
        stbImage->setPixmap(icons::nav(e.icon).pixmap(16, 16));
        if (e.afterShow)
            e.afterShow();
    });
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
    setWindowTitle(QStringLiteral("Kitwarden - Hand Receipts"));
    stbImage->setPixmap(icons::nav(0).pixmap(16, 16));
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

// --- hand receipts page

void TfrmMain::grdHrdfTitleButtonClick(const QString &fieldName)
{
    if (fieldName == QLatin1String("HR Holder"))
        dm.tblHrdf.setIndexName(QStringLiteral("Holder"));
    else if (fieldName == QLatin1String("HR Number"))
        dm.tblHrdf.setIndexName(QStringLiteral("HrNum"));
}

void TfrmMain::tabHandReceiptHide()
{
    if (dm.tblHr.isEditing())
        dm.tblHr.post();
    dm.tblHr.close();
}

// --- menu

void TfrmMain::PrintSetup1Click()
{
    QPrintDialog dlg(&sharedPrinter(), this);
    dlg.setWindowTitle(QStringLiteral("Print Setup"));
    dlg.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    dlg.exec();
}

void TfrmMain::Exit1Click()
{
    close();
}

} // namespace kw::app
