// The office pages driven through their widgets: the bench stock grid with
// its columns, drop-downs, title sorting and category tabs, what leaving the
// page writes, and the technical manuals grid.
#include "app/columneditors.h"
#include "app/dbnavigator.h"
#include "app/pages/officesuppliespage.h"
#include "pagesfixture.h"

#include <QAction>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTabBar>

using namespace kw::app;
using namespace kw::data;

class TstOfficePages : public QObject {
    Q_OBJECT
    kwtest::ShopWindow s;

    TDBGrid *grid() const { return s.w<TDBGrid>("grdOfficeSupplies"); }
    QTabBar *tabs() const { return s.w<QTabBar>("tabParts"); }
    // NSNs of the bench stock as the grid shows them.
    QStringList shownNsns() const { return kwtest::gridColumn(grid(), QStringLiteral("NSN")); }
    void openBenchStock()
    {
        s.nav("olListOffice", 0);
        QCOMPARE(s.page(), QStringLiteral("tabOfficeSupplies"));
        QVERIFY(s.dm->qryParts.active());
    }
    QVector<Row> partsFile() const
    {
        auto t = ParadoxTable::open(kw::core::findFileNoCase(s.data->path(), QStringLiteral("Parts.DB")),
                                    {shop::kTablePassword}, true);
        QVector<Row> rows;
        for (int i = 0; i < t->rowCount(); ++i)
            rows << t->row(i);
        return rows;
    }

private slots:
    void initTestCase() { s.initTestCase(); }
    void init() { s.open(); }
    void cleanup() { s.close(); }
    void cleanupTestCase() { s.cleanupTestCase(); }

    void benchStockGrid()
    {
        openBenchStock();
        DatasetModel *m = grid()->gridModel();
        QStringList titles;
        QList<int> widths;
        for (int c = 0; c < m->columnCount(); ++c) {
            titles << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            widths << m->widthAt(c);
        }
        QCOMPARE(titles, (QStringList{"Drawer", "Bin", "NSN", "Nomenclature", "Part Number", "UI", "Auth", "OH",
                                      "Reorder Point", "Operational Load", "Bench Stock", "PLL", "Class VIII",
                                      "Shop Stock"}));
        QCOMPARE(widths, (QList<int>{6, 4, 17, 26, 18, 3, 4, 4, 10, 13, 10, 5, 7, 9}));
        // The join leaves out the row whose part is not on the master list.
        QCOMPARE(m->rowCount(), 5);
        QVERIFY(!shownNsns().contains(QStringLiteral("9999-00-999-9999")));
        // Master-list columns are gray and refuse edits; flags are check boxes.
        const QColor gray = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
        for (const char *f : {"Nomenclature", "Part Number", "UI", "Auth", "Reorder Point", "PLL", "Shop Stock"}) {
            const QModelIndex idx = m->index(0, m->columnOfField(QLatin1String(f)));
            QVERIFY2(!(idx.flags() & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)), f);
            QCOMPARE(idx.data(Qt::ForegroundRole).value<QColor>(), gray);
        }
        const QModelIndex pll = m->index(0, m->columnOfField(QStringLiteral("PLL")));
        QVERIFY(pll.data(Qt::CheckStateRole).isValid());
        QVERIFY(!m->setData(pll, Qt::Checked, Qt::CheckStateRole));
        for (const char *f : {"Drawer", "Bin", "NSN", "On Hand"})
            QVERIFY2(m->index(0, m->columnOfField(QLatin1String(f))).flags() & Qt::ItemIsEditable, f);
        QVERIFY(grid()->titleButtons());
        // The context menu names the way to sort, and does nothing else.
        QCOMPARE(grid()->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(grid()->actions().size(), 1);
        QCOMPARE(grid()->actions().first()->text(), QStringLiteral("Sort by Clicking Column Titles"));
        grid()->actions().first()->trigger();
        QCOMPARE(m->rowCount(), 5);
        // Top bar: the navigator, then the three buttons in order.
        auto *nav = s.w<TDBNavigator>("DBNavigator3");
        QCOMPARE(nav->dataSource(), &s.dm->dsParts);
        const QStringList buttons{"btnPartsAdd", "btnPartsInventory", "btnPartsList"};
        const QStringList captions{"Add All Items", "Inventory Sheet", "List"};
        int lastX = nav->geometry().right();
        for (int i = 0; i < 3; ++i) {
            auto *b = s.w<QPushButton>(qPrintable(buttons[i]));
            QCOMPARE(b->text(), captions[i]);
            QVERIFY(b->isVisible());
            QVERIFY(b->geometry().left() > lastX);
            lastX = b->geometry().right();
        }
        QCOMPARE(tabs()->count(), 6);
        QCOMPARE(tabs()->tabText(3), QStringLiteral("Operational Load"));
        for (int i = 0; i < tabs()->count(); ++i)
            QVERIFY(!tabs()->tabIcon(i).isNull());
        QCOMPARE(tabs()->currentIndex(), 0);
    }

    // The main window attaches the office reports; a button whose report
    // is taken away stays visible but off.
    void reportButtonsRunTheirReports()
    {
        openBenchStock();
        auto *page = s.frm->page<OfficeSuppliesPage>();
        QCOMPARE(page->printButtons(), (QStringList{"btnPartsInventory", "btnPartsList"}));
        auto *list = s.w<QPushButton>("btnPartsList");
        QVERIFY(list->isVisible() && list->isEnabled());
        QVERIFY(s.w<QPushButton>("btnPartsInventory")->isEnabled());
        QVERIFY(s.w<QPushButton>("btnTechManList")->isEnabled());
        page->setPrintHandler(QStringLiteral("btnPartsList"), {});
        QVERIFY(list->isVisible() && !list->isEnabled());
        int printed = 0;
        page->setPrintHandler(QStringLiteral("btnPartsList"), [&] { ++printed; });
        QVERIFY(list->isEnabled());
        QTest::mouseClick(list, Qt::LeftButton);
        QCOMPARE(printed, 1);
        tabs()->setCurrentIndex(4);
        QCOMPARE(page->categoryCaption(), QStringLiteral("PLL"));
    }

    void sortByTitle_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("column"); // the clicked column, top to bottom
        QTest::newRow("Drawer") << "Drawer" << "ORDER BY P.Drawer" << QStringList{"D1", "D2", "D3", "D4", "D5"};
        QTest::newRow("Bin") << "Bin" << "ORDER BY P.Bin" << QStringList{"B1", "B2", "B3", "B4", "B5"};
        QTest::newRow("NSN") << "NSN" << "ORDER BY P.NSN"
                             << QStringList{"5305-00-100-0001", "5310-00-300-0003", "6515-00-200-0002",
                                            "6850-00-400-0004", "7510-00-500-0005"};
        QTest::newRow("Nomenclature") << "Nomenclature" << "ORDER BY L.Nomenclature"
                                      << QStringList{"BANDAGE, ELASTIC", "CLEANER, LENS", "NUT, SELF-LOCKING",
                                                     "PEN, BALLPOINT", "SCREW, MACHINE"};
        QTest::newRow("On Hand") << "On Hand" << "ORDER BY P.'On Hand'" << QStringList{"1", "4", "7", "12", "30"};
        QTest::newRow("Part Number") << "Part Number" << "ORDER BY L.'Part Number'"
                                     << QStringList{"A-2002", "AN365-428", "CL-4", "MS35206-242", "PB-5"};
        QTest::newRow("UI") << "UI" << "ORDER BY L.UI" << QStringList{"BT", "BX", "EA", "PR", "RO"};
        QTest::newRow("Auth") << "Auth" << "ORDER BY L.Auth" << QStringList{"2", "4", "10", "50", "100"};
        QTest::newRow("Reorder Point") << "Reorder Point" << "ORDER BY L.'Reorder Point'"
                                       << QStringList{"1", "2", "5", "20", "40"};
        QTest::newRow("Operational Load") << "Operational Load" << "ORDER BY L.'Operational Load'"
                                          << QStringList{"False", "False", "False", "True", "True"};
        QTest::newRow("Bench Stock") << "Bench Stock" << "ORDER BY L.'Bench Stock'"
                                     << QStringList{"False", "False", "False", "True", "True"};
        QTest::newRow("PLL") << "PLL" << "ORDER BY L.PLL" << QStringList{"False", "False", "False", "True", "True"};
        QTest::newRow("Class VIII") << "Class VIII" << "ORDER BY L.'Class VIII'"
                                    << QStringList{"False", "False", "False", "False", "True"};
        QTest::newRow("Shop Stock") << "Shop Stock" << "ORDER BY L.'Shop Stock'"
                                    << QStringList{"False", "False", "False", "True", "True"};
    }
    void sortByTitle()
    {
        QFETCH(QString, field);
        QFETCH(QString, line);
        QFETCH(QStringList, column);
        openBenchStock();
        // Start from another order, so that every click really changes it.
        kwtest::clickTitle(grid(), field == QLatin1String("Bin") ? QStringLiteral("NSN") : QStringLiteral("Bin"));
        kwtest::clickTitle(grid(), field);
        QCOMPARE(s.dm->qryParts.sql().value(22), line);
        QCOMPARE(s.dm->qryParts.sql().size(), 23);
        QVERIFY(s.dm->qryParts.active());
        QCOMPARE(kwtest::gridColumn(grid(), field), column);
        QVERIFY2(s.prompts.messages.isEmpty(), qPrintable(s.prompts.messages.join('|')));
    }

    // A name that is no column of the list leaves the query open and as it was.
    void unknownTitleChangesNothing()
    {
        openBenchStock();
        auto *page = s.frm->page<OfficeSuppliesPage>();
        int reads = 0;
        QObject watch; // the connection ends with the test, before the data module
        connect(&s.dm->qryParts, &Dataset::rowsReset, &watch, [&] { ++reads; });
        for (const char *name : {"LIN", "Auto", "drawer", "Drawer "})
            page->grdOfficeSuppliesTitleButtonClick(QLatin1String(name));
        QCOMPARE(reads, 0);
        QVERIFY(s.dm->qryParts.active());
        QCOMPARE(s.dm->qryParts.sql().value(22), QStringLiteral("ORDER BY P.Drawer "));
    }

    void categoryTabs_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("nsns"); // in drawer order
        QTest::newRow("All") << 0 << QString()
                             << QStringList{"5310-00-300-0003", "5305-00-100-0001", "6850-00-400-0004",
                                            "6515-00-200-0002", "7510-00-500-0005"};
        QTest::newRow("Bench Stock") << 1 << "[Bench Stock] = True"
                                     << QStringList{"5310-00-300-0003", "5305-00-100-0001"};
        QTest::newRow("Class VIII") << 2 << "[Class VIII] = True" << QStringList{"6515-00-200-0002"};
        QTest::newRow("Operational Load") << 3 << "[Operational Load] = True"
                                          << QStringList{"6850-00-400-0004", "6515-00-200-0002"};
        QTest::newRow("PLL") << 4 << "[PLL] = True" << QStringList{"5310-00-300-0003", "6850-00-400-0004"};
        QTest::newRow("Shop Stock") << 5 << "[Shop Stock] = True"
                                    << QStringList{"5305-00-100-0001", "6850-00-400-0004"};
    }
    void categoryTabs()
    {
        QFETCH(int, tab);
        QFETCH(QString, filter);
        QFETCH(QStringList, nsns);
        openBenchStock();
        // Come from another tab, so that "All" is a change too.
        tabs()->setCurrentIndex(tab == 2 ? 3 : 2);
        tabs()->setCurrentIndex(tab);
        QCOMPARE(s.dm->qryParts.filtered(), tab != 0);
        if (tab != 0)
            QCOMPARE(s.dm->qryParts.filter(), filter);
        QCOMPARE(shownNsns(), nsns);
    }

    void sortingKeepsTheCategory()
    {
        openBenchStock();
        tabs()->setCurrentIndex(4); // PLL
        kwtest::clickTitle(grid(), QStringLiteral("Nomenclature"));
        QCOMPARE(kwtest::gridColumn(grid(), QStringLiteral("Nomenclature")),
                 (QStringList{"CLEANER, LENS", "NUT, SELF-LOCKING"}));
        // Straight from one category to another: the filter stays on.
        tabs()->setCurrentIndex(2);
        tabs()->setCurrentIndex(5);
        QVERIFY(s.dm->qryParts.filtered());
        QCOMPARE(s.dm->qryParts.filter(), QStringLiteral("[Shop Stock] = True"));
        QCOMPARE(kwtest::gridColumn(grid(), QStringLiteral("Nomenclature")),
                 (QStringList{"CLEANER, LENS", "SCREW, MACHINE"}));
        tabs()->setCurrentIndex(0);
        QVERIFY(!s.dm->qryParts.filtered());
        QCOMPARE(grid()->gridModel()->rowCount(), 5);
    }

    // The tab, its filter and the order last for the run, across leaving.
    void categoryAndOrderOutlastLeaving()
    {
        openBenchStock();
        tabs()->setCurrentIndex(1);
        kwtest::clickTitle(grid(), QStringLiteral("Bin"));
        // An edit pending when the page is left is written, and the query closed.
        DatasetModel *m = grid()->gridModel();
        QVERIFY(m->setData(m->index(0, m->columnOfField(QStringLiteral("On Hand"))), QStringLiteral("13"), Qt::EditRole));
        s.nav("olListOffice", 1);
        QCOMPARE(s.page(), QStringLiteral("tabTechManuals"));
        bool written = false;
        for (const Row &r : partsFile())
            written = written || (r[3] == QStringLiteral("5310-00-300-0003") && r[4] == 13);
        QVERIFY(written);
        openBenchStock();
        QCOMPARE(tabs()->currentIndex(), 1);
        QVERIFY(s.dm->qryParts.filtered());
        QCOMPARE(s.dm->qryParts.sql().value(22), QStringLiteral("ORDER BY P.Bin"));
        QCOMPARE(kwtest::gridColumn(grid(), QStringLiteral("Bin")), (QStringList{"B3", "B4"}));
    }

    // A deleted row waits in the query's cache until the next row is stored
    // or the page is left; a title click stores it too rather than drop it.
    void deletionReachesTheTableLater_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("next row stored") << "store";
        QTest::newRow("page left") << "leave";
        QTest::newRow("title clicked") << "sort";
    }
    void deletionReachesTheTableLater()
    {
        QFETCH(QString, then);
        openBenchStock();
        QCOMPARE(partsFile().size(), 6);
        grid()->setFocus();
        grid()->setCurrentIndex(grid()->gridModel()->index(0, 1)); // D1, the nut
        s.prompts.answers = {true};
        QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(s.prompts.questions, QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(grid()->gridModel()->rowCount(), 4);
        QVERIFY(s.dm->qryParts.updatesPending());
        QCOMPARE(partsFile().size(), 6);
        if (then == QLatin1String("store")) {
            DatasetModel *m = grid()->gridModel();
            QVERIFY(m->setData(m->index(1, m->columnOfField(QStringLiteral("On Hand"))), QStringLiteral("2"), Qt::EditRole));
            grid()->setCurrentIndex(m->index(2, 1));
        } else if (then == QLatin1String("leave")) {
            s.nav("olListMaint", 0);
        } else {
            kwtest::clickTitle(grid(), QStringLiteral("NSN"));
            QCOMPARE(grid()->gridModel()->rowCount(), 4);
        }
        QVector<Row> rows = partsFile();
        QCOMPARE(rows.size(), 5);
        for (const Row &r : rows)
            QVERIFY(r[3] != QStringLiteral("5310-00-300-0003"));
        QVERIFY2(s.prompts.messages.isEmpty(), qPrintable(s.prompts.messages.join('|')));
    }

    // The drawer, bin and part drop-downs over their lists.
    void cellEditors()
    {
        openBenchStock();
        auto *drawer = s.frm->findChild<TLookupComboEditor *>(QStringLiteral("cbDrawer"));
        auto *bin = s.frm->findChild<TLookupComboEditor *>(QStringLiteral("cbBin"));
        auto *part = s.frm->findChild<TLookupComboEditor *>(QStringLiteral("cbPartsNsn"));
        QVERIFY(drawer && bin && part);
        QCOMPARE(drawer->listDataset(), &s.dm->tblDrawer);
        QCOMPARE(bin->listDataset(), &s.dm->tblBin);
        QCOMPARE(part->listDataset(), &s.dm->tblPartsList);
        for (TLookupComboEditor *e : {drawer, bin, part})
            QCOMPARE(e->rowsVisible, 10);
        QCOMPARE(part->popupWidth, 400);
        QStringList cols;
        QList<int> widths;
        for (const GridColumn &c : part->listColumns()) {
            cols << c.title;
            widths << c.width;
        }
        QCOMPARE(cols, (QStringList{"LIN", "NSN", "Nomenclature", "Part Number", "UI", "Auth", "Reorder Point"}));
        QCOMPARE(widths, (QList<int>{6, 16, 30, 20, 2, 10, 10}));
        QVERIFY(part->listTitles && part->listLines);

        // Choosing a bin in the grid: only an entry of the list, stored on leaving the row.
        DatasetModel *m = grid()->gridModel();
        const QModelIndex cell = m->index(0, m->columnOfField(QStringLiteral("Bin")));
        grid()->setFocus();
        grid()->setCurrentIndex(cell);
        grid()->edit(cell);
        auto *combo = grid()->findChild<LookupCombo *>();
        QVERIFY(combo);
        QVERIFY(!combo->isEditable());
        QCOMPARE(combo->count(), 6);
        QCOMPARE(combo->maxVisibleItems(), 10);
        QTest::keyClicks(combo, QStringLiteral("B5")); // typed letters pick the entry
        QCOMPARE(combo->currentText(), QStringLiteral("B5"));
        QTest::keyClick(combo, Qt::Key_Return);
        QTRY_COMPARE(m->index(0, m->columnOfField(QStringLiteral("Bin"))).data().toString(), QStringLiteral("B5"));
        grid()->setCurrentIndex(m->index(1, 0));
        bool written = false;
        for (const Row &r : partsFile())
            written = written || (r[3] == QStringLiteral("5310-00-300-0003") && r[2] == QStringLiteral("B5"));
        QVERIFY(written);
        QVERIFY2(s.prompts.messages.isEmpty(), qPrintable(s.prompts.messages.join('|')));

        // The part list opens 400 pixels wide with its titles.
        const QModelIndex nsn = m->index(0, m->columnOfField(QStringLiteral("NSN")));
        grid()->setCurrentIndex(nsn);
        grid()->edit(nsn);
        combo = qobject_cast<LookupCombo *>(grid()->indexWidget(nsn)); // the bin's editor may not be deleted yet
        QVERIFY(combo);
        combo->showPopup();
        QCOMPARE(combo->view()->window()->width(), 400);
        auto *tv = qobject_cast<QTableView *>(combo->view());
        QVERIFY(tv && tv->showGrid() && !tv->horizontalHeader()->isHidden());
        // Its columns are wider: it scrolls sideways, and every part still shows.
        QVERIFY(tv->horizontalScrollBar()->isVisible());
        const int lastRow = tv->model()->rowCount() - 1;
        QCOMPARE(lastRow + 1, combo->count());
        QVERIFY(tv->viewport()->rect().contains(tv->visualRect(tv->model()->index(lastRow, 0))));
        combo->hidePopup();
    }

    void technicalManuals()
    {
        s.nav("olListOffice", 1);
        auto *g = s.w<TDBGrid>("grdTechMan");
        DatasetModel *m = g->gridModel();
        QStringList titles;
        QList<int> widths;
        for (int c = 0; c < m->columnCount(); ++c) {
            titles << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            widths << m->widthAt(c);
        }
        QCOMPARE(titles, (QStringList{"Binder", "Book", "TM", "Number", "Title", "Date", "Change", "CH Date",
                                      "On Hand"}));
        QCOMPARE(widths, (QList<int>{5, 5, 4, 25, 40, 10, 6, 11, 10}));
        // Binder, then book; the titles do not sort.
        QCOMPARE(kwtest::gridColumn(g, QStringLiteral("Number")),
                 (QStringList{"TM 1-1520-237-10", "TM 55-1680-351-10", "TM 1-1500-204-23-1"}));
        QVERIFY(!g->titleButtons());
        kwtest::clickTitle(g, QStringLiteral("Number"));
        QCOMPARE(kwtest::gridColumn(g, QStringLiteral("Binder")), (QStringList{"1", "1", "2"}));
        QCOMPARE(s.w<TDBNavigator>("DBNavigator4")->dataSource(), &s.dm->dsTechMan);
        // Enter moves on as Tab does.
        g->setFocus();
        g->setCurrentIndex(m->index(0, 3));
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(g->currentIndex(), m->index(0, 4));
        // A long title wraps: the row grows to show it when its column is narrow.
        QVERIFY(g->wrapLongTexts());
        const int before = g->rowHeight(2);
        g->setColumnWidth(m->columnOfField(QStringLiteral("Title")), 80);
        g->resizeRowsToContents();
        QVERIFY(g->rowHeight(2) > before);
        // Deleting asks first.
        s.prompts.answers = {false};
        QTest::mouseClick(s.w<TDBNavigator>("DBNavigator4")->btnDelete(), Qt::LeftButton);
        QCOMPARE(s.prompts.questions, QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(m->rowCount(), 3);
    }
};

QTEST_MAIN(TstOfficePages)
#include "tst_officepages.moc"
