// The program setup page driven through its widgets: the navigator shared by
// the four lookup grids, the row stored when a grid loses the focus, the
// setup texts taken over on leaving and on closing, and the update settings
// saved with the window state.
#include "app/dbnavigator.h"
#include "app/pages/setuppage.h"
#include "pagesfixture.h"
#include "settings/iniout.h"
#include "settings/registry.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

using namespace kw::app;
using namespace kw::data;

class TstSetupPage : public QObject {
    Q_OBJECT
    kwtest::ShopWindow s;

    TDBNavigator *navSetup() const { return s.w<TDBNavigator>("navSetup"); }
    static QString readReg(const QString &key, const QString &name)
    {
        auto reg = kw::settings::openRegistry(kw::settings::TRegRoots::CURRENT_USER);
        if (!reg->openKey(key, false) || !reg->valueExists(name))
            return QStringLiteral("<missing>");
        return reg->readString(name);
    }
    // Focus as a click gives it (the offscreen window is active).
    void focus(QWidget *w)
    {
        s.frm->activateWindow();
        w->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(w->hasFocus());
    }
    QStringList fileColumn(const QString &file)
    {
        auto t = ParadoxTable::open(kw::core::findFileNoCase(s.data->path(), file), {shop::kTablePassword}, true);
        QStringList out;
        for (int i = 0; i < t->rowCount(); ++i)
            out << t->row(i)[0].toString();
        return out;
    }

private slots:
    void initTestCase() { s.initTestCase(); }
    void init() { s.open(); }
    void cleanup() { s.close(); }
    void cleanupTestCase() { s.cleanupTestCase(); }

    void layout()
    {
        s.nav("olListSetup", 2);
        QCOMPARE(s.page(), QStringLiteral("tabSetup"));
        const QList<QPair<const char *, QString>> edits = {
            {"edCompany", "Company Name"}, {"edAlseOfficer", "ALSE Officer Name"}, {"edPrepared", "Prepared By"},
            {"edApproved", "Approved By"}, {"edAuthorized", "Authorized By"}};
        for (const auto &[name, label] : edits) {
            auto *ed = s.w<QLineEdit>(name);
            QVERIFY(ed->isVisible());
            // Its label stands above it.
            QLabel *l = nullptr;
            for (QLabel *c : s.frm->findChildren<QLabel *>())
                if (c->buddy() == ed)
                    l = c;
            QVERIFY2(l, name);
            QCOMPARE(l->text(), label);
            QVERIFY(l->geometry().bottom() <= ed->geometry().top());
        }
        QCOMPARE(s.w<QCheckBox>("cbAutoUpdate")->text(), QStringLiteral("Automatically Check for Updates"));
        QCOMPARE(s.w<QCheckBox>("cbAutoUpdateNotify")->text(), QStringLiteral("Notify me only if there's an update"));
        QVERIFY(s.w<QCheckBox>("cbAutoUpdate")->isVisible() && s.w<QCheckBox>("cbAutoUpdateNotify")->isVisible());
        // Four grids left to right, each under its two-line caption.
        const QList<QPair<const char *, QString>> grids = {
            {"grdSetupTailNum", "Company Aircraft\nTail Numbers"},
            {"grdKitType", "Survival Kit Types\nand Insp Interval"},
            {"grdDrawer", "Office Parts\nDrawer"},
            {"grdSetupBin", "Office Parts\nBin"}};
        int right = -1;
        for (const auto &[name, caption] : grids) {
            auto *g = s.w<TDBGrid>(name);
            auto *l = s.w<QLabel>(qPrintable(QStringLiteral("lbl") + QLatin1String(name)));
            QCOMPARE(l->text(), caption);
            const QRect gr(g->mapTo(s.frm.get(), QPoint()), g->size());
            const QRect lr(l->mapTo(s.frm.get(), QPoint()), l->size());
            QCOMPARE(lr.center().x(), gr.center().x());
            QVERIFY(lr.bottom() < gr.top());
            QCOMPARE(gr.left() - right - 1, right < 0 ? gr.left() : 24);
            right = gr.right();
            // Every column fits without a horizontal scroll bar.
            int cols = 0;
            for (int c = 0; c < g->gridModel()->columnCount(); ++c)
                cols += g->columnWidth(c);
            QVERIFY2(cols <= g->viewport()->width(), name);
        }
        DatasetModel *kit = s.w<TDBGrid>("grdKitType")->gridModel();
        QStringList titles;
        for (int c = 0; c < kit->columnCount(); ++c)
            titles << kit->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(titles, (QStringList{"Kit Type", "Insp", " "}));
    }

    // Before any grid had the focus the navigator serves the tail numbers;
    // afterwards always the grid entered last, also after leaving the page.
    void sharedNavigator_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("source");
        QTest::newRow("tail numbers") << "grdSetupTailNum" << "dsAircraft";
        QTest::newRow("kit types") << "grdKitType" << "dsKitType";
        QTest::newRow("drawers") << "grdDrawer" << "dsDrawer";
        QTest::newRow("bins") << "grdSetupBin" << "dsBin";
    }
    void sharedNavigator()
    {
        QFETCH(QString, grid);
        QFETCH(QString, source);
        s.nav("olListSetup", 2);
        QCOMPARE(navSetup()->dataSource(), &s.dm->dsAircraft);
        // Come from another grid, so that every row is a change.
        focus(s.w<TDBGrid>(grid == QLatin1String("grdDrawer") ? "grdSetupBin" : "grdDrawer"));
        focus(s.w<TDBGrid>(qPrintable(grid)));
        QCOMPARE(navSetup()->dataSource()->objectName(), source);
        s.nav("olListMaint", 0);
        s.nav("olListSetup", 2);
        QCOMPARE(navSetup()->dataSource()->objectName(), source);
        // Its insert works on that grid's table.
        QTest::mouseClick(navSetup()->btnInsert(), Qt::LeftButton);
        QCOMPARE(navSetup()->dataSource()->dataset()->state(), DatasetState::Insert);
    }

    // A new tail number typed in and the kit types clicked: the tail number is
    // stored before the navigator moves on.
    void leavingAGridStoresItsRow()
    {
        s.nav("olListSetup", 2);
        auto *tails = s.w<TDBGrid>("grdSetupTailNum");
        focus(tails);
        QTest::mouseClick(navSetup()->btnInsert(), Qt::LeftButton);
        QCOMPARE(s.dm->tblAircraft.state(), DatasetState::Insert);
        // Typing into the cell opens its editor inside the grid: still the same grid.
        tails->setCurrentIndex(tails->gridModel()->index(s.dm->tblAircraft.recNo(), 0));
        QTest::keyClick(tails, Qt::Key_0);
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor && editor != tails && tails->isAncestorOf(editor));
        QTest::keyClicks(editor, QStringLiteral("1-27345"));
        QCOMPARE(s.dm->tblAircraft.state(), DatasetState::Insert);
        QCOMPARE(navSetup()->dataSource(), &s.dm->dsAircraft);
        auto *kit = s.w<TDBGrid>("grdKitType");
        int storedBeforeSwitch = -1;
        QObject watch; // the connection ends with the test, before the data module
        connect(&s.dm->tblAircraft, &Dataset::stateChanged, &watch, [&] {
            if (storedBeforeSwitch < 0 && s.dm->tblAircraft.state() == DatasetState::Browse)
                storedBeforeSwitch = navSetup()->dataSource() == &s.dm->dsAircraft ? 1 : 0;
        });
        QTest::mouseClick(kit->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(navSetup()->dataSource(), &s.dm->dsKitType);
        QCOMPARE(storedBeforeSwitch, 1);
        QCOMPARE(s.dm->tblAircraft.state(), DatasetState::Browse);
        QCOMPARE(fileColumn(QStringLiteral("Aircraft.db")), (QStringList{"01-27345", "87-24512", "90-26293"}));
        QVERIFY(s.prompts.messages.isEmpty());
        // A browsing table is left alone: nothing is written.
        const quint64 before = s.session->table(s.data->path(), QStringLiteral("KitType.DB"))->changeCount();
        focus(s.w<TDBGrid>("grdDrawer"));
        QCOMPARE(s.session->table(s.data->path(), QStringLiteral("KitType.DB"))->changeCount(), before);
    }

    // A row that cannot be stored keeps the focus in its grid.
    void unstorableRowKeepsItsGrid()
    {
        s.nav("olListSetup", 2);
        auto *drawers = s.w<TDBGrid>("grdDrawer");
        focus(drawers);
        QTest::mouseClick(navSetup()->btnInsert(), Qt::LeftButton);
        DatasetModel *m = drawers->gridModel();
        QVERIFY(m->setData(m->index(s.dm->tblDrawer.recNo(), 0), QStringLiteral("D1"), Qt::EditRole)); // exists
        focus(s.w<TDBGrid>("grdSetupBin"));
        QCOMPARE(s.prompts.messages, QStringList{QStringLiteral("Key violation.")});
        QTRY_VERIFY(drawers->hasFocus());
        QCOMPARE(navSetup()->dataSource(), &s.dm->dsDrawer);
        QCOMPARE(s.dm->tblDrawer.state(), DatasetState::Insert);
    }

    // The texts reach the reports when the page is left, the registry at close.
    void setupTextsTakenOverOnLeaving()
    {
        s.frm->setupTexts().Company = QStringLiteral("HHC 1-150 AVN");
        s.nav("olListSetup", 2);
        QCOMPARE(s.w<QLineEdit>("edCompany")->text(), QStringLiteral("HHC 1-150 AVN"));
        QCOMPARE(s.w<QLineEdit>("edApproved")->text(), QStringLiteral("Approved By Name"));
        const QList<QPair<const char *, QString>> typed = {
            {"edCompany", "B Co 2-227 AVN"}, {"edAlseOfficer", "CW2 Holloway"}, {"edPrepared", "SGT Baldwin"},
            {"edApproved", "MAJ Fontaine"}, {"edAuthorized", "CPT Iversen"}};
        for (const auto &[name, text] : typed) {
            auto *ed = s.w<QLineEdit>(name);
            ed->selectAll();
            QTest::keyClicks(ed, text);
        }
        // Not yet: only leaving the page takes them over.
        QCOMPARE(s.frm->setupTexts().Company, QStringLiteral("HHC 1-150 AVN"));
        s.nav("olListOffice", 1);
        const kw::settings::SetupTexts &t = s.frm->setupTexts();
        QCOMPARE((QStringList{t.Company, t.AlseOfficer, t.Prepared, t.Approved, t.Authorized}),
                 (QStringList{"B Co 2-227 AVN", "CW2 Holloway", "SGT Baldwin", "MAJ Fontaine", "CPT Iversen"}));
        QCOMPARE(readReg(kw::settings::kSetupKey, QStringLiteral("Company")), QStringLiteral("<missing>"));
        QVERIFY(s.frm->close());
        QCOMPARE(readReg(kw::settings::kSetupKey, QStringLiteral("Company")), QStringLiteral("B Co 2-227 AVN"));
        QCOMPARE(readReg(kw::settings::kSetupKey, QStringLiteral("Authorized")), QStringLiteral("CPT Iversen"));
    }

    // Closing the program while the page is shown keeps what was typed.
    void setupTextsTakenOverOnClose()
    {
        s.nav("olListSetup", 2);
        auto *ed = s.w<QLineEdit>("edAlseOfficer");
        ed->selectAll();
        QTest::keyClicks(ed, QStringLiteral("CW3 Nakamura"));
        QVERIFY(s.frm->close());
        QCOMPARE(s.frm->setupTexts().AlseOfficer, QStringLiteral("CW3 Nakamura"));
        QCOMPARE(readReg(kw::settings::kSetupKey, QStringLiteral("AlseOfficer")), QStringLiteral("CW3 Nakamura"));
    }

    // The update boxes are saved with the window state when the page is left,
    // before any close.
    void updateSettingsSavedOnLeaving_data()
    {
        QTest::addColumn<bool>("autoUpdate");
        QTest::addColumn<bool>("notify");
        QTest::newRow("both") << true << true;
        QTest::newRow("automatic only") << true << false;
        QTest::newRow("notify only") << false << true;
    }
    void updateSettingsSavedOnLeaving()
    {
        QFETCH(bool, autoUpdate);
        QFETCH(bool, notify);
        s.nav("olListSetup", 2);
        if (autoUpdate)
            QTest::mouseClick(s.w<QCheckBox>("cbAutoUpdate"), Qt::LeftButton);
        if (notify)
            QTest::mouseClick(s.w<QCheckBox>("cbAutoUpdateNotify"), Qt::LeftButton);
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("AutoUpdate")), QStringLiteral("<missing>"));
        s.nav("olListMaint", 0);
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("AutoUpdate")), QString::number(int(autoUpdate)));
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("AutoUpdateNotify")), QString::number(int(notify)));
        // The rest of the window state goes with them.
        QCOMPARE(readReg(kw::settings::kMainKey, QStringLiteral("olWidth")), QStringLiteral("100"));
        QCOMPARE(s.frm->page<SetupPage>()->autoUpdate(), autoUpdate);
        QCOMPARE(s.frm->page<SetupPage>()->notifyOnlyOnUpdate(), notify);
    }
};

QTEST_MAIN(TstSetupPage)
#include "tst_setuppage.moc"
