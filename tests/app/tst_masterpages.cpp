// The two master list pages driven through their widgets: columns, check
// boxes that toggle on one click, category tabs with their filters, the
// reset to "All" on entering and leaving, and the listing's title.
#include "app/dbnavigator.h"
#include "app/pages/equiplistpage.h"
#include "app/pages/partslistpage.h"
#include "data/engine/engineerror.h"
#include "pagesfixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTabBar>

using namespace kw::app;
using namespace kw::data;

class TstMasterPages : public QObject {
    Q_OBJECT
    kwtest::ShopWindow s;

    TDBGrid *grdList() const { return s.w<TDBGrid>("grdList"); }
    QTabBar *tabMstrList() const { return s.w<QTabBar>("tabMstrList"); }
    TDBGrid *grdParts() const { return s.w<TDBGrid>("grdMasterOfficeSupplies"); }
    QTabBar *tabPartsMaster() const { return s.w<QTabBar>("tabPartsMaster"); }
    static QStringList titles(TDBGrid *g)
    {
        QStringList out;
        for (int c = 0; c < g->gridModel()->columnCount(); ++c)
            out << g->gridModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        return out;
    }
    static QList<int> widths(TDBGrid *g)
    {
        QList<int> out;
        for (int c = 0; c < g->gridModel()->columnCount(); ++c)
            out << g->gridModel()->widthAt(c);
        return out;
    }

private slots:
    void initTestCase() { s.initTestCase(); }
    void init() { s.open(); }
    void cleanup() { s.close(); }
    void cleanupTestCase() { s.cleanupTestCase(); }

    void equipmentListPage()
    {
        s.nav("olListSetup", 0);
        QCOMPARE(s.page(), QStringLiteral("tabEquipLists"));
        QCOMPARE(titles(grdList()), (QStringList{"LIN", "NSN", "Part Number", "Nomenclature", "UI", "Auth", "Insp",
                                                 "Type ", "Alse", "Batt", "Pyro", "Med", "Radio", "Flotation",
                                                 "List 1", "List 2"}));
        QCOMPARE(widths(grdList()), (QList<int>{7, 16, 25, 40, 3, 3, 3, 5, 5, 5, 5, 5, 5, 5, 5, 5}));
        // By nomenclature.
        QCOMPARE(kwtest::gridColumn(grdList(), QStringLiteral("Nomenclature")),
                 (QStringList{"BATTERY, RADIO", "FLARE, SIGNAL", "KIT, FIRST AID", "PRESERVER, LIFE",
                              "RADIO, SURVIVAL", "TOURNIQUET, COMBAT", "VEST, SURVIVAL"}));
        QCOMPARE(s.w<QLabel>("lblListTop")->text(),
                 QStringLiteral("This list is all the equipment you can choose from to add to a Hand Receipt. \n"
                                " Any changes made here will be reflected in equipment already assigned."));
        QCOMPARE(s.w<TDBNavigator>("DBNavigator2")->dataSource(), &s.dm->dsList);
        QCOMPARE(s.w<QPushButton>("btnListPrint")->text(), QStringLiteral("List"));
        QVERIFY(s.w<QPushButton>("btnListPrint")->isEnabled()); // its report is attached
        QVERIFY(grdList()->enterMovesToNextColumn);
        QVERIFY(grdList()->wrapLongTexts());
        // The inspection type shows as its word and is edited with cbInspType.
        const int type = grdList()->gridModel()->columnOfField(QStringLiteral("Insp Type"));
        QCOMPARE(grdList()->gridModel()->index(0, type).data().toString(), QStringLiteral("Day"));
        QCOMPARE(grdList()->gridModel()->fieldAt(type)->editorName, QStringLiteral("cbInspType"));
    }

    // One click on a flag's cell toggles it; moving on stores it.
    void flagsToggleOnOneClick()
    {
        s.nav("olListSetup", 0);
        TDBGrid *g = grdList();
        DatasetModel *m = g->gridModel();
        const int list2 = m->columnOfField(QStringLiteral("List 2"));
        // The battery (first row) is on neither list.
        const QModelIndex cell = m->index(0, list2);
        QCOMPARE(cell.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        g->setFocus();
        g->scrollTo(cell);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(cell).center());
        QCOMPARE(cell.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(s.dm->tblList.state(), DatasetState::Edit);
        g->setCurrentIndex(m->index(1, 0));
        QCOMPARE(s.dm->tblList.state(), DatasetState::Browse);
        tabMstrList()->setCurrentIndex(8);
        QVERIFY(kwtest::gridColumn(g, QStringLiteral("Nomenclature")).contains(QStringLiteral("BATTERY, RADIO")));
    }

    void equipmentCategories_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("title");
        QTest::newRow("All") << 0 << "All"
                             << QStringList{"BATTERY, RADIO", "FLARE, SIGNAL", "KIT, FIRST AID", "PRESERVER, LIFE",
                                            "RADIO, SURVIVAL", "TOURNIQUET, COMBAT", "VEST, SURVIVAL"}
                             << "ALSE Gear Master List of All Items";
        QTest::newRow("ALSE") << 1 << "ALSE" << QStringList{"KIT, FIRST AID", "VEST, SURVIVAL"}
                              << "ALSE Gear Master List of ALSE Items";
        QTest::newRow("Radios") << 2 << "Radios" << QStringList{"RADIO, SURVIVAL"} << "ALSE Gear Master List of Radios";
        QTest::newRow("Floatation") << 3 << "Floatation" << QStringList{"PRESERVER, LIFE"}
                                    << "ALSE Gear Master List of Flotation Devices";
        QTest::newRow("Batteries") << 4 << "Batteries" << QStringList{"BATTERY, RADIO"}
                                   << "ALSE Gear Master List of Batteries";
        QTest::newRow("Pyro") << 5 << "Pyro" << QStringList{"FLARE, SIGNAL"}
                              << "ALSE Gear Master List of Pyrotechnic Items";
        QTest::newRow("Meds") << 6 << "Meds" << QStringList{"TOURNIQUET, COMBAT"}
                              << "ALSE Gear Master List of Medical Items";
        QTest::newRow("List 1") << 7 << "List 1" << QStringList{"PRESERVER, LIFE", "RADIO, SURVIVAL"}
                                << "ALSE Gear Master Add from List 1 Items";
        QTest::newRow("List 2") << 8 << "List 2" << QStringList{"FLARE, SIGNAL", "PRESERVER, LIFE"}
                                << "ALSE Gear Master Add from List 2 Items";
    }
    void equipmentCategories()
    {
        QFETCH(int, tab);
        QFETCH(QString, caption);
        QFETCH(QStringList, items);
        QFETCH(QString, title);
        s.nav("olListSetup", 0);
        QCOMPARE(tabMstrList()->count(), 9);
        QCOMPARE(tabMstrList()->tabText(tab), caption);
        tabMstrList()->setCurrentIndex(tab == 3 ? 4 : 3);
        tabMstrList()->setCurrentIndex(tab);
        QCOMPARE(kwtest::gridColumn(grdList(), QStringLiteral("Nomenclature")), items);
        QCOMPARE(s.dm->tblList.filtered(), tab != 0);
        QCOMPARE(s.frm->page<EquipListPage>()->listReportTitle(), title);
    }

    // Entering and leaving put the page back on "All" with every item shown.
    void equipmentCategoryResets_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("left for another page") << "leave";
        QTest::newRow("entered again while shown") << "again";
        QTest::newRow("filter switched on elsewhere") << "elsewhere";
    }
    void equipmentCategoryResets()
    {
        QFETCH(QString, how);
        s.nav("olListSetup", 0);
        tabMstrList()->setCurrentIndex(6); // Meds
        QCOMPARE(grdList()->gridModel()->rowCount(), 1);
        if (how == QLatin1String("leave")) {
            s.nav("olListMaint", 0);
            // The add-from-list dialog and the lookups see every item meanwhile.
            QVERIFY(!s.dm->tblList.filtered());
            QCOMPARE(s.dm->tblList.recordCount(), 7);
            QCOMPARE(tabMstrList()->currentIndex(), 0);
        } else if (how == QLatin1String("elsewhere")) {
            s.nav("olListMaint", 0);
            s.dm->tblList.setFilter(QStringLiteral("Med = True"));
            s.dm->tblList.setFiltered(true);
        }
        s.nav("olListSetup", 0);
        QCOMPARE(tabMstrList()->currentIndex(), 0);
        QVERIFY(!s.dm->tblList.filtered());
        QCOMPARE(grdList()->gridModel()->rowCount(), 7);
    }

    // Leaving with a master item that cannot be stored keeps the page and its tab.
    void equipmentLeavingWithBadRowStays()
    {
        s.nav("olListSetup", 0);
        tabMstrList()->setCurrentIndex(1);
        s.dm->tblList.beforePost = [](Dataset &) { throw EngineError(QStringLiteral("Key violation.")); };
        DatasetModel *m = grdList()->gridModel();
        QVERIFY(m->setData(m->index(0, m->columnOfField(QStringLiteral("UI"))), QStringLiteral("PR"), Qt::EditRole));
        s.nav("olListMaint", 0);
        s.dm->tblList.beforePost = nullptr;
        QCOMPARE(s.prompts.messages, QStringList{QStringLiteral("Key violation.")});
        QCOMPARE(s.page(), QStringLiteral("tabEquipLists"));
        QCOMPARE(tabMstrList()->currentIndex(), 1);
        QVERIFY(s.dm->tblList.filtered());
        QCOMPARE(s.dm->tblList.state(), DatasetState::Edit);
    }

    void partsListPage()
    {
        s.nav("olListSetup", 1);
        QCOMPARE(s.page(), QStringLiteral("tabPartsList"));
        QCOMPARE(titles(grdParts()), (QStringList{"LIN", "NSN", "Nomenclature", "Part Number", "UI", "Auth",
                                                  "Reorder Point", "Bench Stock", "Class VIII", "Operational Load",
                                                  "PLL", "Shop Stock"}));
        QCOMPARE(widths(grdParts()), (QList<int>{6, 16, 30, 20, 3, 4, 10, 10, 7, 13, 3, 9}));
        DatasetModel *m = grdParts()->gridModel();
        for (const char *f : {"Bench Stock", "Class VIII", "Operational Load", "PLL", "Shop Stock"})
            QVERIFY2(m->index(0, m->columnOfField(QLatin1String(f))).flags() & Qt::ItemIsUserCheckable, f);
        QCOMPARE(s.w<QLabel>("lblPartsListTop")->text(),
                 QStringLiteral("This list is all the equipment you can choose from to add to Bench Stock.\n"
                                "Any changes made here will be reflected in equipment already assigned."));
        QCOMPARE(s.w<TDBNavigator>("navPartsList")->dataSource(), &s.dm->dsPartsList);
        QCOMPARE(s.w<QPushButton>("btnMstrPartsList")->text(), QStringLiteral("List"));
        QVERIFY(s.w<QPushButton>("btnMstrPartsList")->isEnabled()); // its report is attached
    }

    void partsCategories_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("nsns");
        QTest::newRow("All") << 0 << "All"
                             << QStringList{"5305-00-100-0001", "5310-00-300-0003", "6515-00-200-0002",
                                            "6850-00-400-0004", "7510-00-500-0005"};
        QTest::newRow("Bench Stock") << 1 << "Bench Stock" << QStringList{"5305-00-100-0001", "5310-00-300-0003"};
        QTest::newRow("Class VIII") << 2 << "Class VIII" << QStringList{"6515-00-200-0002"};
        QTest::newRow("Operational Load") << 3 << "Operational Load"
                                          << QStringList{"6515-00-200-0002", "6850-00-400-0004"};
        QTest::newRow("PLL") << 4 << "PLL" << QStringList{"5310-00-300-0003", "6850-00-400-0004"};
        QTest::newRow("Shop Stock") << 5 << "Shop Stock" << QStringList{"5305-00-100-0001", "6850-00-400-0004"};
    }
    void partsCategories()
    {
        QFETCH(int, tab);
        QFETCH(QString, caption);
        QFETCH(QStringList, nsns);
        s.nav("olListSetup", 1);
        QCOMPARE(tabPartsMaster()->tabText(tab), caption);
        tabPartsMaster()->setCurrentIndex(tab == 2 ? 3 : 2);
        tabPartsMaster()->setCurrentIndex(tab);
        QCOMPARE(kwtest::gridColumn(grdParts(), QStringLiteral("NSN")), nsns);
        QCOMPARE(s.frm->page<PartsListPage>()->categoryCaption(), caption);
        // Leaving puts back "All": the bench stock page's part list is whole.
        s.nav("olListOffice", 0);
        QCOMPARE(tabPartsMaster()->currentIndex(), 0);
        QVERIFY(!s.dm->tblPartsList.filtered());
        QCOMPARE(s.dm->tblPartsList.recordCount(), 5);
    }
};

QTEST_MAIN(TstMasterPages)
#include "tst_masterpages.moc"
