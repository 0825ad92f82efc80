// Edit > Find, as the clerk and a barcode scanner use it: Ctrl+F, typing,
// Enter, Down, a double click. Each page's records are found and opened on
// their page with the row current and the focus on it, also when the page's
// category tab hid the row; a page keeps its order; an item opens on the
// page shown when that page lists it; a record no page shows says why.
#include "app/finddialog.h"
#include "app/pages/page.h"
#include "pagesfixture.h"

#include <QLineEdit>
#include <QTabBar>
#include <QTreeWidget>

using namespace kw::app;
using namespace kw::data;

namespace {

// The pages' shop, with kits, a master part no drawer holds and a bin no
// part lies in.
void fillFindShop(const QString &dir)
{
    Session s;
    TdmMain dm(s);
    kwtest::fillShop(dm, dir);
    kwtest::fillOffice(dm, dir);
    auto add = [&](const char *file, Row row) {
        auto t = ParadoxTable::open(kw::core::findFileNoCase(dir, QLatin1String(file)), {shop::kTablePassword});
        t->insert(row);
        t->close();
    };
    for (const char *serial : {"K-8", "K-9"}) {
        Row kit(10);
        kit[1] = QStringLiteral("87-24512");
        kit[2] = QStringLiteral("SRU-21/P");
        kit[3] = QLatin1String(serial);
        add("Kits.DB", kit);
    }
    Row part(12);
    part[0] = QStringLiteral("7520-00-999-0001");
    part[2] = QStringLiteral("STAPLER, DESK");
    for (int f = 7; f < 12; ++f)
        part[f] = false;
    add("PartsList.DB", part);
    add("Bin.DB", {QStringLiteral("B9")});
}

} // namespace

class TstFind : public QObject {
    Q_OBJECT
    kwtest::ShopWindow s;

    static void settle() { QCoreApplication::processEvents(); }
    TfrmFind *finder() const { return s.frm->findChild<TfrmFind *>(QStringLiteral("frmFind")); }
    // Ctrl+F in the main window, then the text typed where the focus is.
    void typeFind(const QString &text)
    {
        QApplication::setActiveWindow(s.frm.get());
        QTest::keyClick(s.frm.get(), Qt::Key_F, Qt::ControlModifier);
        settle();
        QVERIFY(finder() && finder()->isVisible());
        QCOMPARE(QApplication::focusWidget(), s.w<QLineEdit>("edFind"));
        QTest::keyClicks(QApplication::focusWidget(), text);
        settle();
    }
    static QString current(Dataset &ds, const QString &field)
    {
        return ds.recNo() < 0 ? QString() : ds.fieldByName(field).asString();
    }
    Dataset *dataset(const QString &name) const
    {
        for (Dataset *d : s.dm->dbMain.datasets())
            if (d->objectName() == name)
                return d;
        return nullptr;
    }

private slots:
    void initTestCase() { s.initTestCase(fillFindShop); }
    void init() { s.open(); }
    void cleanup() { s.close(); }
    void cleanupTestCase() { s.cleanupTestCase(); }

    // Found from the page named first (with a tab chosen there), opened
    // with Enter on its page with the row current.
    void eachPage_data()
    {
        QTest::addColumn<QString>("fromList");
        QTest::addColumn<int>("fromItem");
        QTest::addColumn<QString>("tabs");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("dataset");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("item of another holder") << "olListMaint" << 0 << "" << 0 << "V-002" << "tabHandReceipt"
                                                << "tblHr" << "Serial Number" << "V-002";
        QTest::newRow("holder by name") << "olListMaint" << 0 << "" << 0 << "brown" << "tabHandReceipt" << "tblHrdf"
                                        << "HR Holder" << "Brown, Mia";
        QTest::newRow("item on Inspections, shown") << "olListMaint" << 1 << "" << 0 << "B-001" << "tabInsp"
                                                    << "qryInsp" << "Serial Number" << "B-001";
        QTest::newRow("item hidden by the Batteries tab") << "olListMaint" << 2 << "tabGear" << 4 << "V-001"
                                                         << "tabAlseGear" << "qryGear" << "Serial Number" << "V-001";
        QTest::newRow("kit") << "olListMaint" << 0 << "" << 0 << "k-9" << "tabSurvival" << "tblKits"
                             << "Serial Number" << "K-9";
        QTest::newRow("manual") << "olListMaint" << 0 << "" << 0 << "1680-351" << "tabTechManuals" << "tblTechMan"
                                << "Number" << "TM 55-1680-351-10";
        QTest::newRow("bench stock hidden by the PLL tab") << "olListOffice" << 0 << "tabParts" << 4 << "screw"
                                                          << "tabOfficeSupplies" << "qryParts" << "Nomenclature"
                                                          << "SCREW, MACHINE";
        QTest::newRow("master item hidden by the Meds tab") << "olListSetup" << 0 << "tabMstrList" << 6
                                                           << "5820014444444" << "tabEquipLists" << "tblList" << "NSN"
                                                           << "5820-01-444-4444";
        QTest::newRow("master part hidden by the PLL tab") << "olListSetup" << 1 << "tabPartsMaster" << 4
                                                          << "stapler" << "tabPartsList" << "tblPartsList"
                                                          << "Nomenclature" << "STAPLER, DESK";
        QTest::newRow("tail number without kits") << "olListMaint" << 0 << "" << 0 << "90-26293" << "tabSetup"
                                                  << "tblAircraft" << "Aircraft" << "90-26293";
        QTest::newRow("bin no part lies in") << "olListMaint" << 3 << "" << 0 << "B9" << "tabSetup" << "tblBin"
                                             << "Bin" << "B9";
    }
    void eachPage()
    {
        QFETCH(QString, fromList);
        QFETCH(int, fromItem);
        QFETCH(QString, tabs);
        QFETCH(int, tab);
        QFETCH(QString, text);
        QFETCH(QString, page);
        QFETCH(QString, dataset);
        QFETCH(QString, field);
        QFETCH(QString, value);
        s.nav(qPrintable(fromList), fromItem);
        QTabBar *bar = tabs.isEmpty() ? nullptr : s.w<QTabBar>(qPrintable(tabs));
        if (bar) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
            QCOMPARE(bar->currentIndex(), tab);
        }
        typeFind(text);
        QVERIFY(!finder()->hits().isEmpty());
        QCOMPARE(s.w<QTreeWidget>("lvFind")->topLevelItem(0)->text(0),
                 s.w<QTabWidget>("tabsMain")->tabText(s.w<QTabWidget>("tabsMain")->indexOf(s.w<Page>(qPrintable(page)))));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        settle();
        QVERIFY(!finder()->isVisible());
        QCOMPARE(s.page(), page);
        Dataset *ds = this->dataset(dataset);
        QVERIFY(ds);
        QCOMPARE(current(*ds, field), value);
        if (bar && page == s.page())
            QCOMPARE(bar->currentIndex(), 0); // the tab that shows every row
        auto *grid = qobject_cast<TDBGrid *>(QApplication::focusWidget());
        QVERIFY2(grid, "the focus is on a grid");
        QCOMPARE(grid->dataset(), ds);
        QCOMPARE(grid->currentIndex().row(), ds->recNo());
        QVERIFY(s.prompts.messages.isEmpty());
    }

    // A jump keeps the order the page was sorted in, whether the page was
    // shown or not.
    void keepsOrder_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("leave"); // find from another page
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dataset");
        QTest::newRow("bench stock by nomenclature, from elsewhere")
            << "olListOffice" << 0 << "grdOfficeSupplies" << "Nomenclature" << true << "nut, self" << "qryParts";
        QTest::newRow("inspections by serial, shown") << "olListMaint" << 1 << "grdInsp" << "Serial Number" << false
                                                      << "V-002" << "qryInsp";
        QTest::newRow("holders by name, shown") << "olListMaint" << 0 << "grdHrdf" << "HR Holder" << false << "young"
                                                << "tblHrdf";
    }
    void keepsOrder()
    {
        QFETCH(QString, list);
        QFETCH(int, item);
        QFETCH(QString, grid);
        QFETCH(QString, title);
        QFETCH(bool, leave);
        QFETCH(QString, text);
        QFETCH(QString, dataset);
        s.nav(qPrintable(list), item);
        kwtest::clickTitle(s.w<TDBGrid>(qPrintable(grid)), title);
        settle();
        Dataset *ds = this->dataset(dataset);
        QVERIFY(ds);
        const QStringList order = kwtest::columnValues(*ds, title);
        QStringList sorted = order;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(order, sorted);
        if (leave)
            s.nav("olListMaint", 0);
        typeFind(text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        settle();
        QCOMPARE(s.w<TDBGrid>(qPrintable(grid))->dataset(), ds);
        QCOMPARE(kwtest::columnValues(*ds, title), order);
        QVERIFY(current(*ds, title).contains(text.section(QLatin1Char(','), 0, 0), Qt::CaseInsensitive));
    }

    // A scanner types a serial and Enter without pausing: the exact serial
    // opens, not one that merely starts with it.
    void scanner()
    {
        s.nav("olListMaint", 3); // any page
        QApplication::setActiveWindow(s.frm.get());
        QTest::keyClick(s.frm.get(), Qt::Key_F, Qt::ControlModifier);
        settle();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("V-00"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        settle();
        QCOMPARE(s.page(), QStringLiteral("tabHandReceipt"));
        QCOMPARE(current(s.dm->tblHr, QStringLiteral("Serial Number")), QStringLiteral("V-002"));
        // The next scan replaces the last text.
        typeFind(QStringLiteral("K-8"));
        QCOMPARE(s.w<QLineEdit>("edFind")->text(), QStringLiteral("K-8"));
    }

    // Down in the text picks the next hit; a double click opens a hit.
    void downAndDoubleClick()
    {
        typeFind(QStringLiteral("K-"));
        QCOMPARE(finder()->hits().size(), 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        settle();
        QCOMPARE(current(s.dm->tblKits, QStringLiteral("Serial Number")), QStringLiteral("K-9"));

        typeFind(QStringLiteral("K-"));
        auto *list = s.w<QTreeWidget>("lvFind");
        const QRect first = list->visualItemRect(list->topLevelItem(0));
        // A double click as the system delivers it: a click, then the second
        // press arriving as a double click.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
        settle();
        QVERIFY(!finder()->isVisible());
        QCOMPARE(current(s.dm->tblKits, QStringLiteral("Serial Number")), QStringLiteral("K-8"));
    }

    // Rows that no page shows are listed, and opening one says why.
    void notShown_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("item without a holder's row") << "X-001" << "";
        QTest::newRow("bench stock without a master part") << "9999-00-999-9999"
                                                           << "The master office parts list has no NSN 9999-00-999-9999";
    }
    void notShown()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        typeFind(text);
        QVERIFY(!finder()->hits().isEmpty());
        const QString before = s.page();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        settle();
        if (message.isEmpty()) { // X-001's holder exists: Hand Receipts shows it
            QVERIFY(s.prompts.messages.isEmpty());
            QCOMPARE(current(s.dm->tblHr, QStringLiteral("Serial Number")), text);
            return;
        }
        QCOMPARE(s.prompts.messages.size(), 1);
        QVERIFY2(s.prompts.messages.first().startsWith(message), qPrintable(s.prompts.messages.first()));
        QCOMPARE(s.page(), before);
        QVERIFY(finder()->isVisible()); // the clerk may choose another hit
    }
};

QTEST_MAIN(TstFind)
#include "tst_find.moc"
