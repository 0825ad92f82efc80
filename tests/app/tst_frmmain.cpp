// The main window driven headless: start-up order, navigation and captions,
// the status bar, closing and reopening the tables, the hand receipts page.
#include "app/apperror.h"
#include "app/frmmain.h"
#include "app/columneditors.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/duestatus.h"
#include "app/keylocks.h"
#include "app/outlookbar.h"
#include "app/pages/page.h"
#include "settings/iniout.h"
#include "settings/registry.h"
#include "app/weblinks.h"
#include "shopfixture.h"
#include "archivefixture.h"

#include "archive/backup.h"
#include "archive/restore.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "import/importundo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QScopeGuard>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QMenuBar>
#include <QScreen>
#include <QTableView>
#include <QTest>

using namespace kw::app;
using namespace kw::data;
using kwtest::ScriptedPrompts;

// A dialog that records the tables' state instead of waiting for the user.
class ProbeDialog : public QDialog {
public:
    explicit ProbeDialog(TdmMain &dm, QWidget *parent) : QDialog(parent), m_dm(dm) {}
    int exec() override
    {
        ++shown;
        for (TableDataset *t : m_dm.shopTables())
            anyOpen = anyOpen || t->active();
        connected = m_dm.dbMain.connected();
        return QDialog::Accepted;
    }
    static inline int shown = 0;
    static inline bool anyOpen = false, connected = false;

private:
    TdmMain &m_dm;
};

class TestFrmMain : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_cfg;
    QTemporaryDir m_template; // the filled shop, copied for every test
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<TdmMain> m_dm;
    std::unique_ptr<TfrmMain> m_frm;
    ScriptedPrompts m_prompts;
    QStringList m_events; // start-up order as observed

    void makeWindow(bool fill = true)
    {
        m_data = std::make_unique<QTemporaryDir>();
        m_session = std::make_unique<Session>();
        m_dm = std::make_unique<TdmMain>(*m_session);
        if (fill)
            kwtest::copyDir(m_template.path(), m_data->path());
        m_frm = std::make_unique<TfrmMain>(*m_dm);
        m_frm->setDataDirectory(m_data->path());
        m_frm->runSplash = [this](QWidget *) {
            bool open = false;
            for (TableDataset *t : m_dm->shopTables())
                open = open || t->active();
            m_events << (open ? QStringLiteral("splash-after-open") : QStringLiteral("splash"));
        };
        m_frm->autoUpdateCheck = [this] { m_events << QStringLiteral("update"); };
        for (TableDataset *t : m_dm->shopTables())
            connect(t, &Dataset::stateChanged, this, [this, t] {
                const QString name = t->objectName().isEmpty() ? t->tableName() : t->objectName();
                if (t->active() && !m_events.contains(name))
                    m_events << name;
            });
    }
    void showWindow()
    {
        m_frm->show();
        QVERIFY(m_frm->startedUp());
    }
    static void writeReg(const QString &key, const QString &name, const QVariant &value)
    {
        auto reg = kw::settings::openRegistry(kw::settings::TRegRoots::CURRENT_USER);
        QVERIFY(reg->openKey(key, true));
        if (value.typeId() == QMetaType::Int)
            reg->writeInteger(name, value.toInt());
        else
            reg->writeString(name, value.toString());
    }
    static QString readReg(const QString &key, const QString &name)
    {
        auto reg = kw::settings::openRegistry(kw::settings::TRegRoots::CURRENT_USER);
        if (!reg->openKey(key, false) || !reg->valueExists(name))
            return QStringLiteral("<missing>");
        return reg->readString(name);
    }
    void clickNav(QListWidget *list, int index)
    {
        w<TOutlookBar>("olMain")->openGroup(w<TOutlookBar>("olMain")->groupOf(list));
        list->doItemsLayout();
        const QRect r = list->visualItemRect(list->item(index));
        QVERIFY(r.isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }
    QListWidget *listNamed(const QString &name) { return w<QListWidget>(qPrintable(name)); }
    // A component of the window, found by its name; a missing one ends the test.
    template <class T> T *w(const char *name) const
    {
        T *c = m_frm->findChild<T *>(QLatin1String(name));
        if (!c)
            qFatal("no component %s", name);
        return c;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_cfg.isValid());
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg.path().toLocal8Bit());
        setPrompts(&m_prompts);
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        Session s;
        TdmMain dm(s);
        kwtest::fillShop(dm, m_template.path());
    }
    void init()
    {
        QDir(m_cfg.path()).removeRecursively();
        QDir().mkpath(m_cfg.path());
        m_prompts = ScriptedPrompts();
        m_events.clear();
        setKeyLocksSource({});
    }
    void cleanup()
    {
        if (m_frm)
            m_frm->hide();
        m_frm.reset();
        m_dm.reset();
        m_session.reset();
        m_data.reset();
    }
    void cleanupTestCase() { setPrompts(nullptr); }

    void startUpOrder()
    {
        makeWindow();
        w<QCheckBox>("cbAutoUpdate")->setChecked(false);
        showWindow();
        // Splash first with every table closed, then the eleven tables in order.
        const QStringList expected{QStringLiteral("splash"), QStringLiteral("tblHrdf"), QStringLiteral("tblHr"),
                                   QStringLiteral("tblDrawer"), QStringLiteral("tblBin"),
                                   QStringLiteral("tblPartsList"), QStringLiteral("tblList"),
                                   QStringLiteral("tblcbList"), QStringLiteral("tblKits"),
                                   QStringLiteral("tblAircraft"), QStringLiteral("tblKitType"),
                                   QStringLiteral("tblTechMan")};
        QCOMPARE(m_events, expected);
        QCOMPARE(m_dm->dbMain.param(QStringLiteral("PATH")), m_data->path() + QLatin1Char('/'));
        QCOMPARE(w<QDateEdit>("cbInspDate")->date(), QDate(2026, 12, 9));
        QCOMPARE(m_frm->dueByDate(), QDate(2026, 12, 9));
        QVERIFY(m_frm->updateFileName().endsWith(QLatin1String("/QuillfenUpdates.ini")));
        QCOMPARE(m_frm->windowTitle(), QStringLiteral("Kitwarden - Hand Receipts"));
        QCOMPARE(m_frm->activePage()->objectName(), QStringLiteral("tabHandReceipt"));
        QCOMPARE(w<TOutlookBar>("olMain")->openedGroup(), w<TOutlookBar>("olMain")->groupOf(w<QListWidget>("olListMaint")));
        QVERIFY(!m_dm->qryInsp.active() && !m_dm->qryGear.active() && !m_dm->qryParts.active());
        QVERIFY(m_prompts.messages.isEmpty());
        // First run: placed at 1,1, as large as the first start opens on
        // this screen.
        QCOMPARE(m_frm->pos(), QPoint(1, 1));
        QCOMPARE(m_frm->size(), m_frm->firstStartSize(m_frm->screen()->availableGeometry()));
        QCOMPARE(w<QSplitter>("Splitter1")->sizes().first(), 160);
        QCOMPARE(w<QSplitter>("splMain")->sizes().first(), 100);
        // The update check runs only when its box is checked.
        QVERIFY(!m_events.contains(QStringLiteral("update")));
    }

    void autoUpdateAfterTables()
    {
        makeWindow();
        writeReg(kw::settings::kMainKey, QStringLiteral("AutoUpdate"), QStringLiteral("True"));
        showWindow();
        QVERIFY(w<QCheckBox>("cbAutoUpdate")->isChecked());
        QCOMPARE(m_events.last(), QStringLiteral("update"));
        QCOMPARE(m_events.indexOf(QStringLiteral("tblTechMan")), m_events.size() - 2);
    }

#ifdef CRASH_RESTORER
    // A restore killed part-way: the next start says so and offers the
    // database from before it.
    void interruptedRestoreIsOffered_data()
    {
        QTest::addColumn<bool>("putBack");
        QTest::newRow("put back") << true;
        QTest::newRow("kept as it is") << false;
    }
    void interruptedRestoreIsOffered()
    {
        QFETCH(bool, putBack);
        makeWindow();
        QTemporaryDir other;
        kw::data::shop::createMissingTables(other.path()); // an empty shop, backed up
        kw::archive::TArchiver a;
        kw::archive::configureForApplication(a);
        const QString arc = other.filePath(QStringLiteral("Backup.Alse"));
        QVERIFY(kw::archive::backupDatabase(a, arc, other.path(), kwtest::shopDatabaseFiles())
                    .complete());
        QProcess p;
        p.start(QStringLiteral(CRASH_RESTORER), {arc, m_data->path(), QStringLiteral("3")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        const QString aircraft = QStringLiteral("/Aircraft.DB");
        QCOMPARE(kwtest::readFile(m_data->path() + aircraft), kwtest::readFile(other.path() + aircraft));

        m_prompts.answers = {putBack};
        w<QCheckBox>("cbAutoUpdate")->setChecked(false);
        showWindow();
        QCOMPARE(m_prompts.questions.size(), 1);
        QVERIFY2(m_prompts.questions.first().contains(QLatin1String("interrupted")), qPrintable(m_prompts.questions.first()));
        QVERIFY(m_prompts.messages.isEmpty());
        QCOMPARE(kw::archive::restoreWasInterrupted(m_data->path()), !putBack);
        QCOMPARE(kwtest::readFile(m_data->path() + aircraft),
                 kwtest::readFile((putBack ? m_template.path() : other.path()) + aircraft));
        QCOMPARE(m_dm->tblHrdf.recordCount(), 3); // not among the files replaced
    }
#endif

    // An import killed part-way: the next start says so, says which tables
    // changed since, and offers the tables and files from before it.
    void interruptedImportIsOffered_data()
    {
        QTest::addColumn<bool>("putBack");
        QTest::newRow("put back") << true;
        QTest::newRow("kept as it is") << false;
    }
    void interruptedImportIsOffered()
    {
        QFETCH(bool, putBack);
        makeWindow();
        QTemporaryDir marrowby;
        m_session->config().setAlias(QStringLiteral("Marrowby"), marrowby.path());
        kwtest::writeFile(marrowby.filePath(QStringLiteral("HRDF.DBF")), "before the import");
        { kw::import::ImportCopies killed(m_data->path(), marrowby.path()); killed.take(); } // its process dies
        kwtest::writeFile(marrowby.filePath(QStringLiteral("HRDF.DBF")), "half imported");
        QVERIFY(!kw::import::interruptedImportText(m_data->path()).isEmpty()); // noticed by a command
        {
            auto t = kw::data::ParadoxTable::open(m_data->path() + QStringLiteral("/Lists.DB"), {shop::kTablePassword});
            t->remove(0); // work done since
            t->close();
        }
        m_prompts.answers = {putBack};
        w<QCheckBox>("cbAutoUpdate")->setChecked(false);
        showWindow();
        QCOMPARE(m_prompts.questions.size(), 1);
        const QString question = m_prompts.questions.first();
        QVERIFY2(question.contains(QLatin1String("import")) && question.contains(QLatin1String("interrupted"))
                     && question.contains(QLatin1String("Changes made since to Lists.DB would be lost")),
                 qPrintable(question));
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join('\n')));
        QCOMPARE(kw::import::importWasInterrupted(m_data->path()), !putBack);
        QCOMPARE(kwtest::readFile(marrowby.filePath(QStringLiteral("HRDF.DBF"))),
                 QByteArray(putBack ? "before the import" : "half imported"));
    }

    void firstStartCreatesTables()
    {
        makeWindow(false);
        showWindow();
        for (TableDataset *t : m_dm->shopTables())
            QVERIFY2(t->active(), qPrintable(t->tableName()));
        QVERIFY(w<QLabel>("stbText")->text().startsWith(QLatin1String("Created empty shop tables")));
        QVERIFY(m_prompts.messages.isEmpty());
    }

    void importItem_data()
    {
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("exact") << QStringList{QStringLiteral("Marrowby")} << true;
        QTest::newRow("among others") << QStringList{QStringLiteral("Other"), QStringLiteral("Marrowby")} << true;
        QTest::newRow("lower case") << QStringList{QStringLiteral("marrowby")} << false;
        QTest::newRow("upper case") << QStringList{QStringLiteral("MARROWBY")} << false;
        QTest::newRow("longer") << QStringList{QStringLiteral("Marrowby2")} << false;
    }
    void importItem()
    {
        QFETCH(QStringList, aliases);
        QFETCH(bool, enabled);
        makeWindow();
        for (const QString &a : aliases)
            m_session->config().setAlias(a, m_data->path());
        QVERIFY(!w<QAction>("Import1")->isEnabled());
        showWindow();
        QCOMPARE(w<QAction>("Import1")->isEnabled(), enabled);
    }

    void setupTextsFirstRunAndClose()
    {
        makeWindow();
        showWindow();
        QCOMPARE(m_frm->setupTexts().Company, QStringLiteral("Your Company Name Here"));
        QCOMPARE(m_frm->setupTexts().AlseOfficer, QStringLiteral("ALSE Officer Name"));
        QCOMPARE(m_frm->setupTexts().Prepared, QStringLiteral("Prepared By Name"));
        QCOMPARE(m_frm->setupTexts().Authorized, QStringLiteral("Authorized By Name"));
        QCOMPARE(m_frm->setupTexts().Approved, QStringLiteral("Approved By Name"));
        m_frm->setupTexts().Company = QStringLiteral("B Co 2-227 AVN");
        QVERIFY(m_frm->close());
        QCOMPARE(readReg(kw::settings::kSetupKey, QStringLiteral("Company")), QStringLiteral("B Co 2-227 AVN"));
        QCOMPARE(readReg(kw::settings::kSetupKey, QStringLiteral("Approved")), QStringLiteral("Approved By Name"));
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("AutoUpdate")), QStringLiteral("0"));
    }

    void setupTextsFromRegistry()
    {
        writeReg(kw::settings::kSetupKey, QStringLiteral("Company"), QStringLiteral("HHC 1-150"));
        writeReg(kw::settings::kSetupKey, QStringLiteral("AlseOfficer"), 42); // not a string
        makeWindow();
        showWindow();
        QCOMPARE(m_frm->setupTexts().Company, QStringLiteral("HHC 1-150"));
        QCOMPARE(m_frm->setupTexts().AlseOfficer, QStringLiteral("ALSE Officer Name"));
        // A bad value does not keep the tables closed.
        QVERIFY(m_dm->tblTechMan.active());
    }

    void windowStateRestored()
    {
        writeReg(kw::settings::kMainKey, QStringLiteral("HrLeftWidth"), QStringLiteral("220"));
        writeReg(kw::settings::kMainKey, QStringLiteral("olWidth"), QStringLiteral("120"));
        makeWindow();
        showWindow();
        QCOMPARE(w<QSplitter>("Splitter1")->sizes().first(), 220);
        QCOMPARE(w<QSplitter>("splMain")->sizes().first(), 120);
        QVERIFY(m_frm->close());
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("HrLeftWidth")), QStringLiteral("220"));
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("HrLeftSpl")), QStringLiteral("221"));
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("olSplitter")), QStringLiteral("121"));
    }

    // The very first start opens wide enough for every column of the
    // widest page, within the screen.
    void firstStartSize_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<bool>("roomForAll"); // the widest page fits the screen
        // View by Type needs about 1,530 pixels: a 1280 screen is filled.
        QTest::newRow("1280 x 900") << QRect(0, 0, 1280, 900) << false;
        QTest::newRow("1920 x 1080, beside a taskbar") << QRect(0, 40, 1920, 1040) << true;
        QTest::newRow("800 x 600") << QRect(0, 0, 800, 600) << false;
    }
    void firstStartSize()
    {
        QFETCH(QRect, screen);
        QFETCH(bool, roomForAll);
        makeWindow();
        const QSize size = m_frm->firstStartSize(screen);
        QVERIFY(size.width() <= screen.width() && size.height() <= screen.height());
        int widest = 0;
        for (Page *p : m_frm->findChildren<Page *>())
            widest = std::max(widest, p->preferredWidth());
        // Every page but the setup page needs more than the designed window.
        QVERIFY(widest > 792);
        const int navigation = w<QSplitter>("splMain")->sizes().value(0, 100) + 3;
        if (roomForAll) {
            QVERIFY2(size.width() >= navigation + widest, qPrintable(QString::number(size.width())));
        } else {
            QVERIFY(size.width() >= screen.width() - 20);
        }
        QVERIFY(size.height() >= std::min(screen.height() * 3 / 4, 570));
        // Shown at that size, the widest page's grids show every column.
        if (!roomForAll)
            return;
        showWindow();
        m_frm->resize(size);
        clickNav(w<QListWidget>("olListMaint"), 2);
        auto *grid = w<QTableView>("grdGear");
        QTRY_VERIFY(grid->isVisible());
        QApplication::processEvents();
        int columns = 0;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            columns += grid->columnWidth(c);
        QVERIFY2(columns <= grid->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(columns).arg(grid->viewport()->width())));
    }

    // Height, maximised state and the page shown are kept with position and
    // width; a maximised window keeps the place it returns to.
    void windowStateRoundTrip_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("caption");
        QTest::newRow("inspections, normal") << "olListMaint" << 1 << false << "tabInsp" << "Kitwarden - Inspections";
        QTest::newRow("aircraft, maximised")
            << "olListMaint" << 3 << true << "tabSurvival" << "Kitwarden - Aircraft Equipment";
        QTest::newRow("manuals, maximised")
            << "olListOffice" << 1 << true << "tabTechManuals" << "Kitwarden - Technical Manuals";
        QTest::newRow("hand receipts, normal")
            << "olListMaint" << 0 << false << "tabHandReceipt" << "Kitwarden - Hand Receipts";
    }
    void windowStateRoundTrip()
    {
        QFETCH(QString, list);
        QFETCH(int, index);
        QFETCH(bool, maximised);
        QFETCH(QString, page);
        QFETCH(QString, caption);
        makeWindow();
        showWindow();
        m_frm->move(30, 40);
        m_frm->resize(760, 610);
        clickNav(w<QListWidget>("olListOffice"), 0); // somewhere else first
        clickNav(listNamed(list), index);
        if (maximised)
            m_frm->setWindowState(Qt::WindowMaximized);
        QVERIFY(m_frm->close());
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("Height")), QStringLiteral("610"));
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("Width")), QStringLiteral("760"));
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("WindowState")),
                 maximised ? QStringLiteral("wsMaximized") : QStringLiteral("wsNormal"));
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("ActivePage")), page);
        cleanup();

        makeWindow();
        showWindow();
        QCOMPARE(m_frm->isMaximized(), maximised);
        if (maximised)
            m_frm->setWindowState(Qt::WindowNoState);
        QCOMPARE(m_frm->size(), QSize(760, 610));
        QCOMPARE(m_frm->pos(), QPoint(30, 40));
        QCOMPARE(m_frm->activePage()->objectName(), page);
        QCOMPARE(m_frm->windowTitle(), caption);
        QCOMPARE(listNamed(list)->currentRow(), index);
        QVERIFY(listNamed(list)->isVisible());
        // The page was entered as a click enters it.
        QCOMPARE(m_dm->tblHr.active(), page == QLatin1String("tabHandReceipt"));
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join('|')));
    }

    // A kept page that is no longer there, or an empty one, opens the start page.
    void unknownKeptPage_data()
    {
        QTest::addColumn<QString>("kept");
        QTest::newRow("no such page") << "tabNoLonger";
        QTest::newRow("empty") << "";
    }
    void unknownKeptPage()
    {
        QFETCH(QString, kept);
        writeReg(kw::settings::kMainKey, QStringLiteral("ActivePage"), kept);
        makeWindow();
        showWindow();
        QCOMPARE(m_frm->activePage()->objectName(), QStringLiteral("tabHandReceipt"));
        QVERIFY(m_dm->tblHr.active());
        QVERIFY(m_prompts.messages.isEmpty());
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("pageCaption");
        QTest::newRow("bench stock") << "olListOffice" << 0 << "Kitwarden - Office Bench Stock"
                                     << "tabOfficeSupplies" << "Office Supplies";
        QTest::newRow("manuals") << "olListOffice" << 1 << "Kitwarden - Technical Manuals" << "tabTechManuals"
                                 << "Tech Manuals";
        QTest::newRow("hand receipts") << "olListMaint" << 0 << "Kitwarden - Hand Receipts" << "tabHandReceipt"
                                       << "Hand Receipts";
        QTest::newRow("inspections") << "olListMaint" << 1 << "Kitwarden - Inspections" << "tabInsp"
                                     << "Inspections";
        QTest::newRow("by type") << "olListMaint" << 2 << "Kitwarden - ALSE Equipment by Type" << "tabAlseGear"
                                 << "View by Type";
        QTest::newRow("aircraft") << "olListMaint" << 3 << "Kitwarden - Aircraft Equipment" << "tabSurvival"
                                  << "Aircraft Equipment";
        QTest::newRow("master alse") << "olListSetup" << 0 << "Kitwarden - Master ALSE Equipment List"
                                     << "tabEquipLists" << "Master Equipment List";
        QTest::newRow("master bench") << "olListSetup" << 1 << "Kitwarden - Master Bench Stock List"
                                      << "tabPartsList" << "Master Office Parts List";
        QTest::newRow("setup") << "olListSetup" << 2 << "Kitwarden - Setup Program" << "tabSetup"
                               << "Program Setup";
    }
    void navigation()
    {
        QFETCH(QString, list);
        QFETCH(int, index);
        QFETCH(QString, caption);
        QFETCH(QString, page);
        QFETCH(QString, pageCaption);
        makeWindow();
        showWindow();
        m_frm->resize(2400, m_frm->height()); // room for the whole legend
        // Start elsewhere so that every entry really switches.
        clickNav(w<QListWidget>("olListOffice"), 1);
        QCOMPARE(m_frm->activePage()->objectName(), QStringLiteral("tabTechManuals"));
        QVERIFY(!m_dm->tblHr.active());
        clickNav(listNamed(list), index);
        QCOMPARE(m_frm->windowTitle(), caption);
        QCOMPARE(m_frm->activePage()->objectName(), page);
        QCOMPARE(w<QTabWidget>("tabsMain")->tabText(w<QTabWidget>("tabsMain")->currentIndex()), pageCaption);
        QVERIFY(w<QTabWidget>("tabsMain")->tabBar()->isHidden());
        QVERIFY(!w<QLabel>("stbImage")->pixmap().isNull());
        // tblHr is open exactly while the hand receipts page is shown.
        QCOMPARE(m_dm->tblHr.active(), page == QLatin1String("tabHandReceipt"));
        if (page == QLatin1String("tabInsp"))
            QVERIFY(m_dm->qryInsp.active());
        if (page == QLatin1String("tabAlseGear"))
            QVERIFY(m_dm->qryGear.active() && !m_dm->qryGear.filtered());
        if (page == QLatin1String("tabOfficeSupplies"))
            QVERIFY(m_dm->qryParts.active());
        // Pages whose rows are coloured by due date explain the colours in
        // the status bar, in the colours themselves.
        const bool kits = page == QLatin1String("tabSurvival");
        const bool coloured = kits || page == QLatin1String("tabHandReceipt") || page == QLatin1String("tabInsp")
            || page == QLatin1String("tabAlseGear");
        auto *legend = w<QLabel>("stbLegend");
        QCOMPARE(legend->isVisible(), coloured);
        if (coloured) {
            const QPalette pal = legend->palette();
            const QString red = dueStatusColor(DueStatus::Overdue, pal).name();
            const QString amber = dueStatusColor(DueStatus::Soon, pal).name();
            QTRY_COMPARE(legend->text(),
                     QStringLiteral("<span style=\"color:%1\">%2</span> &middot; "
                                    "<span style=\"color:%3\">Due within 30 days</span>")
                         .arg(red, kits ? QStringLiteral("Overdue or food expired") : QStringLiteral("Overdue"), amber));
            QCOMPARE(legend->toolTip().contains(QLatin1String("food")), kits);
        }
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join('|')));
    }

    // The colour legend gets the room the due counts leave: whole when it
    // fits, else its two colours alone, never a word cut off.
    void legendNeverCutsAWord()
    {
        makeWindow();
        showWindow();
        clickNav(w<QListWidget>("olListMaint"), 1); // Inspections
        auto *legend = w<QLabel>("stbLegend");
        const QString whole = dueLegend(DueColours::Inspections, legend->palette());
        const QString swatches = dueLegendSwatches(DueColours::Inspections, legend->palette());
        m_frm->resize(2400, m_frm->height());
        QTRY_COMPARE(legend->text(), whole);
        // The counts take what they need; the legend is left the rest.
        m_frm->resize(m_frm->minimumSizeHint().width(), m_frm->height());
        QTRY_VERIFY2(legend->text() != whole, qPrintable(QString::number(legend->width())));
        QVERIFY2(legend->text() == swatches || legend->text().isEmpty(), qPrintable(legend->text()));
        QVERIFY(!legend->toolTip().isEmpty());
        m_frm->resize(2400, m_frm->height());
        QTRY_COMPARE(legend->text(), whole);
    }

    void navigationBarGroups()
    {
        makeWindow();
        showWindow();
        const QStringList buttons{QStringLiteral("olbtnOffice"), QStringLiteral("olbtnMaint"),
                                  QStringLiteral("olbtnMaster")};
        const QStringList captions{QStringLiteral("Office"), QStringLiteral("Maintenance"),
                                   QStringLiteral("Master Lists")};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(m_frm->findChild<QToolButton *>(buttons[i])->text(), captions[i]);
        QCOMPARE(w<QToolButton>("olbtnMaster")->toolTip(),
                 QStringLiteral("Listings of Equipment for Assignment to Hand Receipts or Bench Stock"));
        QVERIFY(w<QListWidget>("olListMaint")->isVisible() && !w<QListWidget>("olListOffice")->isVisible());
        QTest::mouseClick(w<QToolButton>("olbtnOffice"), Qt::LeftButton);
        QVERIFY(w<QListWidget>("olListOffice")->isVisible() && !w<QListWidget>("olListMaint")->isVisible());
        QCOMPARE(w<QListWidget>("olListOffice")->count(), 2);
        QCOMPARE(w<QListWidget>("olListMaint")->item(3)->text(), QStringLiteral("Aircraft Equipment"));
        QCOMPARE(w<QListWidget>("olListSetup")->item(2)->text(), QStringLiteral("Program Info"));
    }

    void statusPanels()
    {
        makeWindow();
        bool caps = true, num = false;
        setKeyLocksSource([&] { return KeyLocks{caps, num, true}; });
        showWindow();
        m_frm->updateStatusPanels();
        QCOMPARE(w<QLabel>("stbCaps")->text(), QStringLiteral("Caps"));
        QCOMPARE(w<QLabel>("stbNum")->text(), QString());
        caps = false;
        num = true;
        QTest::keyClick(m_frm.get(), Qt::Key_NumLock);
        QTRY_COMPARE(w<QLabel>("stbNum")->text(), QStringLiteral("Num"));
        QCOMPARE(w<QLabel>("stbCaps")->text(), QString());
        QCOMPARE(w<QLabel>("stbImage")->width(), 18);
        QCOMPARE(w<QLabel>("stbText")->width(), 400);
        QCOMPARE(w<QLabel>("stbCaps")->width(), 34);
        QCOMPARE(w<QLabel>("stbNum")->width(), 30);
        QVERIFY(w<QLabel>("stbClock")->text().startsWith(QLatin1String("12/9/2026 10:30")));
        setKeyLocksSource({});
    }

    void menus()
    {
        makeWindow();
        showWindow();
        QStringList texts;
        for (QAction *menu : m_frm->menuBar()->actions()) {
            texts << menu->text();
            for (QAction *a : menu->menu()->actions())
                if (!a->isSeparator())
                    texts << a->text();
        }
        QCOMPARE(texts, (QStringList{"&File", "&Backup / Restore", "&Import from Marrowby", "Print &Setup",
                                     "E&xit", "&Edit", "&Find...", "&Help", "ALSE Page (&web)", "&FAQs (web)",
                                     "&Support (e-mail)", "&Update Kitwarden (web)", "&About"}));
        QCOMPARE(w<QAction>("Find1")->shortcut(), QKeySequence(QKeySequence::Find));
        for (QAction *a : {w<QAction>("PrintSetup1"), w<QAction>("Exit1"), w<QAction>("About1")})
            QVERIFY(!a->icon().isNull());
        // The web and e-mail items hand their targets to the shell.
        QList<QUrl> opened;
        kw::app::setUrlOpener([&](const QUrl &u) { opened << u; });
        w<QAction>("AlsePage1")->trigger();
        w<QAction>("FAQ1")->trigger();
        w<QAction>("Support1")->trigger();
        kw::app::setUrlOpener({});
        QCOMPARE(opened.size(), 3);
        QCOMPARE(opened[0].toString(), QStringLiteral("http://www.quillfen.example/alse/alse.htm"));
        QCOMPARE(opened[1].toString(), QStringLiteral("http://www.quillfen.example/alse/faq.htm"));
        QCOMPARE(opened[2].scheme(), QStringLiteral("mailto"));
        w<QAction>("Exit1")->trigger();
        QVERIFY(!m_frm->isVisible());
    }

    // "Print Setup" is the page set-up dialog (not the print dialog); OK keeps
    // its choice in the printer the reports print with, Cancel keeps the old one.
    void printSetup_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("OK keeps the choice") << true;
        QTest::newRow("Cancel keeps the previous one") << false;
    }
    void printSetup()
    {
        QFETCH(bool, accept);
        makeWindow();
        showWindow();
        QPrinter &printer = m_frm->printSetup().printer();
        printer.setPageOrientation(QPageLayout::Portrait);
        bool seen = false;
        QDialogButtonBox::StandardButtons buttons;
        QTimer::singleShot(0, this, [&] {
            auto *dlg = qobject_cast<QPageSetupDialog *>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            seen = true;
            auto *box = dlg->findChild<QDialogButtonBox *>();
            auto *landscape = dlg->findChild<QRadioButton *>(QStringLiteral("landscape"));
            if (!box || !landscape) {
                dlg->reject();
                return;
            }
            buttons = box->standardButtons();
            landscape->click();
            box->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
        w<QAction>("PrintSetup1")->trigger();
        QVERIFY(seen);
        QCOMPARE(buttons, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(printer.pageLayout().orientation(), accept ? QPageLayout::Landscape : QPageLayout::Portrait);
        // The same printer stays the one the reports use.
        QCOMPARE(&m_frm->printSetup().printer(), &printer);
    }

    // Until a choice is made, Print Setup shows the reports' own paper and
    // margins; a choice made with OK comes back at the next start.
    void printSetupDefaultsAndKeeps()
    {
        makeWindow();
        showWindow();
        QStringList shown;
        QTimer::singleShot(0, this, [&] {
            auto *dlg = qobject_cast<QPageSetupDialog *>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            auto close = qScopeGuard([dlg] { dlg->reject(); });
            auto *paper = dlg->findChild<QComboBox *>(QStringLiteral("pageSizeCombo"));
            auto *units = dlg->findChild<QComboBox *>(QStringLiteral("unitCombo"));
            QVERIFY(paper && units);
            shown << paper->currentText() << units->currentText();
            for (const char *side : {"leftMargin", "topMargin", "rightMargin", "bottomMargin"})
                shown << dlg->findChild<QDoubleSpinBox *>(QLatin1String(side))->text();
            // A choice: A4 in landscape, accepted with OK.
            paper->setCurrentIndex(paper->findText(QStringLiteral("A4"), Qt::MatchStartsWith));
            QTest::mouseClick(dlg->findChild<QRadioButton *>(QStringLiteral("landscape")), Qt::LeftButton);
            auto *box = dlg->findChild<QDialogButtonBox *>();
            close.dismiss();
            QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QVERIFY(!m_frm->printSetup().pageChosen());
        w<QAction>("PrintSetup1")->trigger();
        QCOMPARE(shown.size(), 6);
        QVERIFY2(shown[0].startsWith(QLatin1String("Letter")) || shown[0].startsWith(QLatin1String("US Letter")),
                 qPrintable(shown.join('|')));
        QVERIFY2(shown[1].contains(QLatin1String("inch"), Qt::CaseInsensitive), qPrintable(shown.join('|')));
        for (int i = 2; i < 6; ++i)
            QVERIFY2(shown[i].startsWith(QLatin1String("0.5")), qPrintable(shown.join('|')));
        QVERIFY(m_frm->printSetup().pageChosen());
        QVERIFY(m_frm->close());
        cleanup();

        makeWindow();
        showWindow();
        QVERIFY(m_frm->printSetup().pageChosen());
        const QPageLayout kept = m_frm->printSetup().printer().pageLayout();
        QCOMPARE(kept.pageSize().id(), QPageSize::A4);
        QCOMPARE(kept.orientation(), QPageLayout::Landscape);
        const QMarginsF m = kept.margins(QPageLayout::Inch);
        QVERIFY(qAbs(m.left() - 0.5) < 0.01 && qAbs(m.bottom() - 0.5) < 0.01);
    }

    void closeAndReopenTables()
    {
        makeWindow();
        showWindow();
        clickNav(w<QListWidget>("olListMaint"), 2); // View by Type opens qryGear
        QVERIFY(m_dm->qryGear.active());
        ProbeDialog::shown = 0;
        ProbeDialog::anyOpen = true;
        ProbeDialog::connected = true;
        ProbeDialog::anyOpen = false;
        m_frm->runWithTablesClosed([this](QWidget *owner) { return new ProbeDialog(*m_dm, owner); });
        QCOMPARE(ProbeDialog::shown, 1);
        QVERIFY(!ProbeDialog::anyOpen);
        QVERIFY(!ProbeDialog::connected);
        // Back on the start page with the eleven tables open, queries closed.
        QCOMPARE(m_frm->activePage()->objectName(), QStringLiteral("tabHandReceipt"));
        QCOMPARE(m_frm->windowTitle(), QStringLiteral("Kitwarden - Hand Receipts"));
        for (TableDataset *t : m_dm->shopTables())
            QVERIFY(t->active());
        QVERIFY(!m_dm->qryGear.active() && !m_dm->qryInsp.active() && !m_dm->qryParts.active());
        QVERIFY(m_prompts.messages.isEmpty());
    }

    void closeTablesKeepsPendingEdit()
    {
        makeWindow();
        showWindow();
        m_dm->tblHrdf.first();
        m_dm->tblHrdf.fieldByName(QStringLiteral("Phone")).setValue(QStringLiteral("555-9999"));
        m_frm->CloseShopTables();
        QVERIFY(!m_dm->tblHrdf.active());
        m_frm->ReopenShopTables();
        QVERIFY(m_dm->tblHrdf.findKey({1}));
        QCOMPARE(m_dm->tblHrdf.fieldByName(QStringLiteral("Phone")).asString(), QStringLiteral("555-9999"));
    }

    // --- hand receipts page

    void holdersSortByTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("HR Holder") << "HR Holder" << QStringList{"3", "2", "1"};
        QTest::newRow("HR Number") << "HR Number" << QStringList{"1", "2", "3"};
        QTest::newRow("Section") << "Section" << QStringList{"1", "2", "3"};
        QTest::newRow("Phone") << "Phone" << QStringList{"1", "2", "3"};
    }
    void holdersSortByTitle()
    {
        QFETCH(QString, title);
        QFETCH(QStringList, numbers);
        makeWindow();
        showWindow();
        TDBGrid *grid = m_frm->findChild<TDBGrid *>(QStringLiteral("grdHrdf"));
        QVERIFY(grid);
        QCOMPARE(kwtest::columnValues(m_dm->tblHrdf, QStringLiteral("HR Number")), (QStringList{"1", "2", "3"}));
        const int col = grid->gridModel()->columnOfField(title);
        QHeaderView *h = grid->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2));
        QCOMPARE(kwtest::columnValues(m_dm->tblHrdf, QStringLiteral("HR Number")), numbers);
        QCOMPARE(grid->gridModel()->index(0, 0).data().toString(), numbers.first());
    }

    void holdersAndItemsGridColumns()
    {
        makeWindow();
        showWindow();
        DatasetModel *hrdf = w<TDBGrid>("grdHrdf")->gridModel();
        QStringList titles;
        QList<int> widths;
        for (int c = 0; c < hrdf->columnCount(); ++c) {
            titles << hrdf->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            widths << hrdf->widthAt(c);
        }
        QCOMPARE(titles, (QStringList{"HR #", "HR Holder", "Section", "Phone"}));
        QCOMPARE(widths, (QList<int>{5, 30, 20, 10}));
        DatasetModel *hr = w<TDBGrid>("grdHandReceipt")->gridModel();
        titles.clear();
        widths.clear();
        for (int c = 0; c < hr->columnCount(); ++c) {
            titles << hr->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            widths << hr->widthAt(c);
        }
        QCOMPARE(titles, (QStringList{"HR #", "NSN", "Nomenclature", "Serial Number", "UI", "Auth", "OH", "Insp",
                                      " ", "Completed", "Due", "Remarks"}));
        QCOMPARE(widths, (QList<int>{5, 17, 27, 14, 3, 4, 3, 3, 5, 10, 10, 15}));
        QVERIFY(w<TDBGrid>("grdHrdf")->titleButtons());
        QVERIFY(!w<TDBGrid>("grdHandReceipt")->titleButtons());
        // The two print buttons run their reports.
        for (QWidget *b : {static_cast<QWidget *>(w<QPushButton>("btnAlsePrint")),
                           static_cast<QWidget *>(w<QToolButton>("btnHrdfPrint"))}) {
            QVERIFY(b->isVisible());
            QVERIFY(b->isEnabled());
        }
        QVERIFY(w<QPushButton>("btnAddFromList")->isVisible() && w<QPushButton>("btnAddFromList")->isEnabled());
        QCOMPARE(w<QPushButton>("btnAddFromList")->text(), QStringLiteral("Add from List"));
        QCOMPARE(w<QPushButton>("btnAlsePrint")->text(), QStringLiteral("Print"));
    }

    void masterDetail()
    {
        makeWindow();
        showWindow();
        TDBGrid *holders = w<TDBGrid>("grdHrdf");
        TDBGrid *items = w<TDBGrid>("grdHandReceipt");
        DatasetModel *im = items->gridModel();
        const int serial = im->columnOfField(QStringLiteral("Serial Number"));
        // Holder 2 (second row in HR number order) has two items.
        holders->setCurrentIndex(holders->gridModel()->index(1, 1));
        QCOMPARE(m_dm->tblHrdf.fieldByName(QStringLiteral("HR Number")).value().toInt(), 2);
        QCOMPARE(im->rowCount(), 2);
        QStringList serials;
        for (int r = 0; r < im->rowCount(); ++r)
            serials << im->index(r, serial).data().toString();
        serials.sort();
        QCOMPARE(serials, (QStringList{"B-001", "V-002"}));
        // Looked-up columns follow the master list; unknown NSNs leave them empty.
        const int nomen = im->columnOfField(QStringLiteral("Nomenclature"));
        const int type = im->columnOfField(QStringLiteral("Insp Type"));
        int vest = serials.indexOf(QStringLiteral("V-002"));
        vest = im->index(0, serial).data().toString() == QLatin1String("V-002") ? 0 : 1;
        QCOMPARE(im->index(vest, nomen).data().toString(), QStringLiteral("VEST, SURVIVAL"));
        QCOMPARE(im->index(vest, type).data().toString(), QStringLiteral("Year"));
        holders->setCurrentIndex(holders->gridModel()->index(2, 0));
        QCOMPARE(im->rowCount(), 1);
        QCOMPARE(im->index(0, serial).data().toString(), QStringLiteral("X-001"));
        QCOMPARE(im->index(0, nomen).data().toString(), QString());
        QCOMPARE(im->index(0, type).data().toString(), QString());

        // A new item carries the selected holder's number.
        items->setFocus();
        items->setCurrentIndex(im->index(0, serial));
        QTest::keyClick(items, Qt::Key_Insert);
        QCOMPARE(m_dm->tblHr.state(), DatasetState::Insert);
        QCOMPARE(m_dm->tblHr.fieldByName(QStringLiteral("HR Number")).value().toInt(), 3);
        QVERIFY(im->setData(im->index(m_dm->tblHr.recNo(), serial), QStringLiteral("N-777"), Qt::EditRole));
        m_dm->tblHr.post();
        QCOMPARE(im->rowCount(), 2);
    }

    void readOnlyCellsRefuseEdits()
    {
        makeWindow();
        showWindow();
        DatasetModel *im = w<TDBGrid>("grdHandReceipt")->gridModel();
        QVERIFY(im->rowCount() > 0);
        const QColor gray = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
        for (const char *f : {"Nomenclature", "UI", "Auth", "Insp Freq", "Insp Type"}) {
            const QModelIndex idx = im->index(0, im->columnOfField(QLatin1String(f)));
            QVERIFY2(!(idx.flags() & Qt::ItemIsEditable), f);
            QCOMPARE(idx.data(Qt::ForegroundRole).value<QColor>(), gray);
            QVERIFY(!im->setData(idx, QStringLiteral("X"), Qt::EditRole));
        }
        const QModelIndex remarks = im->index(0, im->columnOfField(QStringLiteral("Remarks")));
        QVERIFY(remarks.flags() & Qt::ItemIsEditable);
        QVERIFY(!remarks.data(Qt::ForegroundRole).isValid());
    }

    void choosingNsnPostsAndRereads()
    {
        makeWindow();
        showWindow();
        TDBGrid *items = w<TDBGrid>("grdHandReceipt");
        DatasetModel *im = items->gridModel();
        // Holder 3's item has an NSN outside the master list.
        w<TDBGrid>("grdHrdf")->setCurrentIndex(w<TDBGrid>("grdHrdf")->gridModel()->index(2, 0));
        QCOMPARE(im->rowCount(), 1);
        const QModelIndex nsn = im->index(0, im->columnOfField(QStringLiteral("NSN")));
        items->setFocus();
        items->setCurrentIndex(nsn);
        items->edit(nsn);
        auto *combo = items->findChild<LookupCombo *>();
        QVERIFY(combo);
        // The list holds the master list in NSN order.
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QStringLiteral("6135-00-222-2222"));
        QCOMPARE(combo->itemText(2), QStringLiteral("8465-01-111-1111"));
        combo->setCurrentIndex(0);
        QTest::keyClick(combo, Qt::Key_Return);
        QTRY_VERIFY(!items->findChild<LookupCombo *>() || !items->findChild<LookupCombo *>()->isVisible());
        // Posted at once and read again: the looked-up columns follow.
        QCOMPARE(m_dm->tblHr.state(), DatasetState::Browse);
        QCOMPARE(im->index(0, im->columnOfField(QStringLiteral("Nomenclature"))).data().toString(),
                 QStringLiteral("BATTERY, RADIO"));
        QCOMPARE(im->index(0, im->columnOfField(QStringLiteral("Insp Type"))).data().toString(),
                 QStringLiteral("Day"));
        QVERIFY(m_prompts.messages.isEmpty());
    }

    void inspTypeEditor()
    {
        makeWindow();
        auto *ed = m_frm->findChild<TMapComboEditor *>(QStringLiteral("cbInspType"));
        QVERIFY(ed);
        QCOMPARE(ed->texts(), (QStringList{"None", "Day", "Year"}));
        QCOMPARE(ed->codes(), (QStringList{"N", "D", "Y"}));
        QCOMPARE(ed->displayText(QStringLiteral("D")), QStringLiteral("Day"));
        QWidget parent;
        Field f;
        std::unique_ptr<QWidget> w(ed->createEditor(&parent, f));
        auto *cb = qobject_cast<QComboBox *>(w.get());
        QCOMPARE(cb->count(), 3);
        QCOMPARE(cb->maxVisibleItems(), 3);
        ed->setEditorValue(cb, QStringLiteral("Y"));
        QCOMPARE(cb->currentText(), QStringLiteral("Year"));
        cb->setCurrentIndex(0);
        QCOMPARE(ed->editorValue(cb).toString(), QStringLiteral("N"));
        // No entry empties the field: an unknown value stays as it was.
        ed->setEditorValue(cb, QVariant());
        QCOMPARE(ed->editorValue(cb), QVariant());
        for (const char *name : {"cbNsnHr", "cbNsnGear"}) {
            auto *nsn = m_frm->findChild<TLookupComboEditor *>(QLatin1String(name));
            QVERIFY(nsn);
            QCOMPARE(nsn->listDataset(), &m_dm->tblcbList);
            QCOMPARE(nsn->listColumns().size(), 13);
            QCOMPARE(nsn->listColumns().at(2).width, 40);
        }
    }

    void deleteAsks_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("viaNavigator");
        QTest::newRow("grid OK") << true << false;
        QTest::newRow("grid Cancel") << false << false;
        QTest::newRow("navigator OK") << true << true;
        QTest::newRow("navigator Cancel") << false << true;
    }
    void deleteAsks()
    {
        QFETCH(bool, answer);
        QFETCH(bool, viaNavigator);
        makeWindow();
        showWindow();
        w<TDBGrid>("grdHrdf")->setCurrentIndex(w<TDBGrid>("grdHrdf")->gridModel()->index(1, 0)); // holder 2
        QCOMPARE(m_dm->tblHr.recordCount(), 2);
        m_prompts.answers = {answer};
        if (viaNavigator) {
            QTest::mouseClick(w<TDBNavigator>("navAlse")->btnDelete(), Qt::LeftButton);
        } else {
            w<TDBGrid>("grdHandReceipt")->setFocus();
            w<TDBGrid>("grdHandReceipt")->setCurrentIndex(w<TDBGrid>("grdHandReceipt")->gridModel()->index(0, 1));
            QTest::keyClick(w<TDBGrid>("grdHandReceipt"), Qt::Key_Delete, Qt::ControlModifier);
        }
        QCOMPARE(m_prompts.questions, QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(m_dm->tblHr.recordCount(), answer ? 1 : 2);
        QCOMPARE(w<TDBGrid>("grdHandReceipt")->gridModel()->rowCount(), answer ? 1 : 2);
    }

    void leavingPagePostsPendingItem()
    {
        makeWindow();
        showWindow();
        DatasetModel *im = w<TDBGrid>("grdHandReceipt")->gridModel();
        const int remarks = im->columnOfField(QStringLiteral("Remarks"));
        QVERIFY(im->setData(im->index(0, remarks), QStringLiteral("checked"), Qt::EditRole));
        QCOMPARE(m_dm->tblHr.state(), DatasetState::Edit);
        clickNav(w<QListWidget>("olListMaint"), 3);
        QCOMPARE(m_frm->activePage()->objectName(), QStringLiteral("tabSurvival"));
        QVERIFY(!m_dm->tblHr.active());
        clickNav(w<QListWidget>("olListMaint"), 0);
        QVERIFY(m_dm->tblHr.active());
        QCOMPARE(im->index(0, remarks).data().toString(), QStringLiteral("checked"));
    }

    void leavingPageWithUnpostableItemStays()
    {
        makeWindow();
        showWindow();
        m_dm->tblHr.beforePost = [](Dataset &) { throw EngineError(QStringLiteral("Key violation.")); };
        DatasetModel *im = w<TDBGrid>("grdHandReceipt")->gridModel();
        QVERIFY(im->setData(im->index(0, im->columnOfField(QStringLiteral("OH"))), QStringLiteral("7"), Qt::EditRole));
        clickNav(w<QListWidget>("olListMaint"), 1);
        QCOMPARE(m_prompts.messages, QStringList{QStringLiteral("Key violation.")});
        QCOMPARE(m_frm->activePage()->objectName(), QStringLiteral("tabHandReceipt"));
        QCOMPARE(m_frm->windowTitle(), QStringLiteral("Kitwarden - Hand Receipts"));
        QCOMPARE(m_dm->tblHr.state(), DatasetState::Edit);
        m_dm->tblHr.beforePost = nullptr;
    }

    void holderErrorsKeepRowInEdit_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << 9 << QString() << "Field 'HR Holder' must have a value";
        QTest::newRow("no number") << -1 << "Ng, Al" << "Field 'HR #' must have a value";
        QTest::newRow("duplicate") << 2 << "Ng, Al" << "Key violation.";
    }
    void holderErrorsKeepRowInEdit()
    {
        QFETCH(int, number);
        QFETCH(QString, holder);
        QFETCH(QString, message);
        makeWindow();
        showWindow();
        TDBGrid *grid = w<TDBGrid>("grdHrdf");
        DatasetModel *hm = grid->gridModel();
        grid->setFocus();
        grid->setCurrentIndex(hm->index(0, 0));
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Insert);
        const int row = m_dm->tblHrdf.recNo();
        if (number >= 0)
            QVERIFY(hm->setData(hm->index(row, 0), QString::number(number), Qt::EditRole));
        if (!holder.isEmpty())
            QVERIFY(hm->setData(hm->index(row, 1), holder, Qt::EditRole));
        QTest::mouseClick(w<TDBNavigator>("navHrdf")->btnPost(), Qt::LeftButton);
        QCOMPARE(m_prompts.messages, QStringList{message});
        QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Insert);
    }

    void enterMovesToNextColumn()
    {
        makeWindow();
        showWindow();
        TDBGrid *grid = w<TDBGrid>("grdHrdf");
        grid->setFocus();
        grid->setCurrentIndex(grid->gridModel()->index(0, 0));
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(grid->currentIndex().column(), 1);
        grid->setCurrentIndex(grid->gridModel()->index(0, 3));
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(grid->currentIndex(), grid->gridModel()->index(1, 0));
    }

    // An item added while the new holder row is not posted yet belongs to
    // that holder: the holder is posted first. A holder that cannot be
    // posted shows its error, and no item row begins.
    void itemAddedUnderANewHolder_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("message");
        QTest::newRow("complete holder") << "Ng, Al" << QString();
        QTest::newRow("holder without a name") << QString() << "Field 'HR Holder' must have a value";
    }
    void itemAddedUnderANewHolder()
    {
        QFETCH(QString, holder);
        QFETCH(QString, message);
        makeWindow();
        showWindow();
        TDBGrid *holders = w<TDBGrid>("grdHrdf");
        DatasetModel *hm = holders->gridModel();
        holders->setFocus();
        holders->setCurrentIndex(hm->index(0, 0));
        QTest::keyClick(holders, Qt::Key_Insert);
        const int row = m_dm->tblHrdf.recNo();
        QVERIFY(hm->setData(hm->index(row, 0), QStringLiteral("90"), Qt::EditRole));
        if (!holder.isEmpty())
            QVERIFY(hm->setData(hm->index(row, 1), holder, Qt::EditRole));
        TDBGrid *items = w<TDBGrid>("grdHandReceipt");
        items->setFocus();
        QTest::keyClick(items, Qt::Key_Insert);
        QCOMPARE(m_prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty()) {
            QCOMPARE(m_dm->tblHr.state(), DatasetState::Browse);
            QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Insert);
            return;
        }
        QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Browse);
        QCOMPARE(m_dm->tblHrdf.fieldByName("HR Number").value().toInt(), 90);
        QCOMPARE(m_dm->tblHr.state(), DatasetState::Insert);
        QCOMPARE(m_dm->tblHr.fieldByName("HR Number").value().toInt(), 90);
        DatasetModel *im = items->gridModel();
        QVERIFY(im->setData(im->index(m_dm->tblHr.recNo(), im->columnOfField(QStringLiteral("Serial Number"))),
                            QStringLiteral("SN-90"), Qt::EditRole));
        QVERIFY(guarded([&] { m_dm->tblHr.post(); }));
        QCOMPARE(m_dm->tblHr.recordCount(), 1);
        QCOMPARE(m_dm->tblHr.fieldByName("Serial Number").asString(), QStringLiteral("SN-90"));
        QCOMPARE(m_dm->tblHr.fieldByName("HR Number").value().toInt(), 90);
        QVERIFY(m_prompts.messages.isEmpty());
    }

    // A holder row inserted by accident and left untouched is dropped when
    // another row is clicked: no message, nothing written, and the row
    // clicked is the one that becomes current.
    void untouchedHolderRowIsDropped()
    {
        makeWindow();
        showWindow();
        TDBGrid *holders = w<TDBGrid>("grdHrdf");
        DatasetModel *hm = holders->gridModel();
        const int before = m_dm->tblHrdf.recordCount();
        QVERIFY(before >= 2);
        const QVariant second = m_dm->tblHrdf.rowValue(1, 0);
        holders->setFocus();
        holders->setCurrentIndex(hm->index(0, 0));
        QTest::keyClick(holders, Qt::Key_Insert);
        QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Insert);
        QCOMPARE(m_dm->tblHrdf.recordCount(), before + 1);
        holders->setCurrentIndex(hm->index(2, 0)); // the second holder, below the new row
        QTRY_COMPARE(m_dm->tblHrdf.state(), DatasetState::Browse);
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join('\n')));
        QCOMPARE(m_dm->tblHrdf.recordCount(), before);
        QCOMPARE(m_dm->tblHrdf.recNo(), 1);
        QCOMPARE(m_dm->tblHrdf.fieldByName("HR Number").value(), second);
        QTRY_COMPARE(holders->currentIndex().row(), 1);
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
