// What a clerk types into every data grid of the window, driven with real
// input events (clicks on cell rectangles, keys sent to the focus widget),
// checked in the table files afterwards and against the grid's focus: the
// cell that shows the focus must be the dataset's record, and what was
// typed must land in the record it was typed into.
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "data/shop/demoshop.h"
#include "pagesfixture.h"

#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>
#include <QTableView>

using namespace kw::app;
using namespace kw::data;

namespace {

// A grid and what the sequences type into it.
struct GridCase {
    const char *list;
    int index;         // navigation item that shows the grid's page
    const char *grid;
    const char *nav;   // the grid's navigator; nullptr: none (Insert key adds, moves post)
    const char *field; // a column typed into
    const char *table; // the table file behind it
    const char *key;   // column naming a row in the file (a field of the dataset too)
    const char *v1, *v2;
    // Keys typed after "+" ("\t" is Tab; {hr} and {nsn} are the first row's
    // values), and the condition that finds the new row in the file; "max
    // ...": the row with the highest key, and the conditions that follow.
    const char *plus, *plusRow;
};

const GridCase kGrids[] = {
    {"olListMaint", 0, "grdHrdf", "navHrdf", "HR Holder", "Hrdf.DB", "HR Number", "ALPHA", "BRAVO",
     "97\tNEW HOLDER", "\"HR Number\" = 97 and \"HR Holder\" = 'NEW HOLDER'"},
    {"olListMaint", 0, "grdHandReceipt", "navAlse", "Remarks", "Equipment.DB", "Serial Number", "ALPHA", "BRAVO",
     "8\t\tNEWSER", "\"Serial Number\" = 'NEWSER'"},
    {"olListMaint", 1, "grdInsp", "navInsp", "Remarks", "Equipment.DB", "Auto", "ALPHA", "BRAVO",
     "{hr}\t\t{nsn}\t\tNEWSER", "max"},
    {"olListMaint", 2, "grdGear", nullptr, "Remarks", "Equipment.DB", "Auto", "ALPHA", "BRAVO",
     "{hr}\t\t{nsn}\t\tNEWSER", "max"},
    {"olListMaint", 3, "grdSurvival", "navKits", "Flare Lot", "Kits.DB", "Auto", "LOT ALPHA", "LOT BRAVO",
     "N777", "max"},
    {"olListOffice", 0, "grdOfficeSupplies", "DBNavigator3", "On Hand", "Parts.DB", "Auto", "71", "72", "A\t0\t5",
     "max and Drawer is not null and Bin is not null and NSN is not null"},
    {"olListOffice", 1, "grdTechMan", "DBNavigator4", "Title", "TechManuals.db", "Auto", "ALPHA", "BRAVO",
     "Z9\t\t\tTM 9-NEW", "max"},
    {"olListSetup", 0, "grdList", "DBNavigator2", "Nomenclature", "Lists.DB", "NSN", "ALPHA", "BRAVO",
     "L999\t9999-00-000-0001", "NSN = '9999-00-000-0001'"},
    {"olListSetup", 1, "grdMasterOfficeSupplies", "navPartsList", "Nomenclature", "PartsList.DB", "NSN", "ALPHA",
     "BRAVO", "L999\t9999-00-000-0002", "NSN = '9999-00-000-0002'"},
    {"olListSetup", 2, "grdSetupTailNum", "navSetup", "Aircraft", "Aircraft.db", "Aircraft", "AA-1", "AA-2", "N888",
     "Aircraft = 'N888'"},
    {"olListSetup", 2, "grdKitType", "navSetup", "Type", "KitType.DB", "Type", "AAKIT1", "AAKIT2", "NEWKIT",
     "Type = 'NEWKIT'"},
    {"olListSetup", 2, "grdDrawer", "navSetup", "Drawer", "Drawer.db", "Drawer", "AADRAWER1", "AADRAWER2",
     "DRAWER 99", "Drawer = 'DRAWER 99'"},
    {"olListSetup", 2, "grdSetupBin", "navSetup", "Bin", "Bin.db", "Bin", "AABIN1", "AABIN2", "BIN 99",
     "Bin = 'BIN 99'"},
};

} // namespace

Q_DECLARE_METATYPE(const GridCase *)

class TstGridScenarios : public QObject {
    Q_OBJECT
    kwtest::ShopWindow s;
    const GridCase *c = nullptr;
    TDBGrid *grid = nullptr;

    Dataset &ds() const { return *grid->dataset(); }
    int column(const QString &field) const { return grid->gridModel()->columnOfField(field); }
    QVariant keyAt(int row) const { return ds().rowValue(row, ds().fieldByName(QLatin1String(c->key)).index()); }

    // --- the clerk's hands
    static void settle() { QCoreApplication::processEvents(); }
    void click(int row, const QString &field)
    {
        const QModelIndex idx = grid->gridModel()->index(row, column(field));
        grid->scrollTo(idx);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(idx).center());
        settle();
    }
    static void press(Qt::Key key)
    {
        QTest::keyClick(QApplication::focusWidget(), key);
        settle();
    }
    static void type(const QString &keys)
    {
        for (const QChar ch : keys) {
            if (ch == QLatin1Char('\t'))
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            else
                QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
            settle();
        }
    }
    void post(const char *nav = nullptr)
    {
        QTest::mouseClick(s.w<TDBNavigator>(nav ? nav : c->nav)->btnPost(), Qt::LeftButton);
        settle();
    }

    // --- what the files hold
    QVariantList fileValues(const QString &sql, const QVariant &key = {}) const
    {
        Session look;
        look.openReadOnly = true;
        shop::prepareSession(look);
        QHash<QString, QVariant> params;
        if (key.isValid())
            params.insert(QStringLiteral("k"), key);
        QVariantList out;
        for (const Row &r : look.sql().exec(sql, s.data->path(), params).rows)
            out << r.value(0);
        return out;
    }
    QVariant stored(const QVariant &key) const
    {
        const QVariantList v = fileValues(QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE \"%3\" = :k")
                                              .arg(QLatin1String(c->field), QLatin1String(c->table),
                                                   QLatin1String(c->key)),
                                          key);
        return v.size() == 1 ? v[0] : QVariant(QStringLiteral("<%1 rows>").arg(v.size()));
    }
    bool keyedByField() const { return qstrcmp(c->field, c->key) == 0; }
    // The value typed is in the record that had `key`.
    void expectStored(const QVariant &key, const QString &value) const
    {
        if (keyedByField()) { // the typed value is the row's new key
            QCOMPARE(fileValues(QStringLiteral("SELECT count(*) FROM \"%1\" WHERE \"%2\" = :k")
                                    .arg(QLatin1String(c->table), QLatin1String(c->key)),
                                value)
                         .value(0)
                         .toInt(),
                     1);
            QCOMPARE(fileValues(QStringLiteral("SELECT count(*) FROM \"%1\" WHERE \"%2\" = :k")
                                    .arg(QLatin1String(c->table), QLatin1String(c->key)),
                                key)
                         .value(0)
                         .toInt(),
                     0);
            return;
        }
        QCOMPARE(stored(key).toString().trimmed(), value);
    }
    // The focus (current cell, its selection, the row marker) is on the
    // dataset's record `key`, in column field.
    void expectFocus(const QVariant &key, const QString &field) const
    {
        const QModelIndex cur = grid->currentIndex();
        QVERIFY(cur.isValid());
        QCOMPARE(cur.row(), ds().recNo());
        QCOMPARE(cur.column(), column(field));
        QCOMPARE(grid->selectionModel()->selectedIndexes(), QModelIndexList{cur});
        QVERIFY(!grid->gridModel()->headerData(cur.row(), Qt::Vertical, Qt::DisplayRole).toString().isEmpty());
        QCOMPARE(keyAt(cur.row()), key);
    }

    // The shown row whose field holds value in the grid's dataset, -1 when none.
    int rowWith(const QString &field, const QVariant &value) const
    {
        for (int r = 0; r < ds().recordCount(); ++r)
            if (ds().rowValue(r, ds().fieldByName(field).index()).toString() == value.toString())
                return r;
        return -1;
    }
    // Shows a page and makes its grid the one the hands work on.
    void show(const char *list, int index, const char *gridName)
    {
        s.nav(list, index);
        grid = s.w<TDBGrid>(gridName);
    }
    QVariant fileItem(const QString &column, const QString &serial) const
    {
        return fileValues(QStringLiteral("SELECT \"%1\" FROM \"Equipment.DB\" WHERE \"Serial Number\" = :k")
                              .arg(column),
                          serial)
            .value(0);
    }

    // Opens the window on the grid's page, its grid focused; the hand
    // receipt items show the holder with the most items.
    void openGrid()
    {
        QFETCH(const GridCase *, grid_case);
        c = grid_case;
        s.open();
        s.frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.frm.get()));
        s.nav(c->list, c->index);
        grid = s.w<TDBGrid>(c->grid);
        if (qstrcmp(c->grid, "grdHandReceipt") == 0) {
            int best = 0, most = 0;
            for (const auto &h : s.dm->itemsByHolder())
                if (h.items > most)
                    most = h.items, best = h.hrNumber;
            QVERIFY(most >= 3);
            QVERIFY(s.dm->tblHrdf.findKey({best}));
        }
        QVERIFY(ds().recordCount() >= 3);
    }

private slots:
    void initTestCase()
    {
        s.initTestCase([](const QString &dir) {
            shop::DemoSize size;
            size.holders = 8;
            size.items = 40;
            size.masterItems = 30;
            size.aircraft = 5;
            size.kits = 8;
            size.partsList = 12;
            size.parts = 12;
            size.manuals = 6;
            shop::createDemoShop(dir, size, QDate(2026, 12, 1));
        });
    }
    void cleanup() { s.close(); }
    void cleanupTestCase() { s.cleanupTestCase(); }

    void grids_data()
    {
        QTest::addColumn<const GridCase *>("grid_case");
        for (const GridCase &g : kGrids)
            QTest::newRow(g.grid) << &g;
    }

    // Type, Down, type: each value in its own record, the focus on the second.
    void typeDownType_data() { grids_data(); }
    void typeDownType()
    {
        openGrid();
        const QVariant a = keyAt(0), b = keyAt(1);
        click(0, c->field);
        type(c->v1);
        press(Qt::Key_Down);
        type(c->v2);
        if (c->nav)
            post();
        else
            press(Qt::Key_Up); // a grid without navigator stores by moving
        QVERIFY2(s.prompts.messages.isEmpty(), qPrintable(s.prompts.messages.join('|')));
        expectStored(a, c->v1);
        expectStored(b, c->v2);
        if (c->nav)
            expectFocus(keyedByField() ? QVariant(QString::fromLatin1(c->v2)) : b, c->field);
    }

    // Type, click another row, type.
    void clickOtherRowAndType_data() { grids_data(); }
    void clickOtherRowAndType()
    {
        openGrid();
        const QVariant a = keyAt(0), third = keyAt(2);
        click(0, c->field);
        type(c->v1);
        click(2, c->field);
        type(c->v2);
        press(Qt::Key_Return);
        if (c->nav)
            post();
        else
            press(Qt::Key_Up);
        QVERIFY2(s.prompts.messages.isEmpty(), qPrintable(s.prompts.messages.join('|')));
        expectStored(a, c->v1);
        expectStored(third, c->v2);
    }

    // The post button while the cell editor is still open stores its text;
    // the first key already lights the button.
    void postWhileEditing_data() { grids_data(); }
    void postWhileEditing()
    {
        openGrid();
        if (!c->nav)
            QSKIP("no post button");
        const QVariant b = keyAt(1);
        click(1, c->field);
        auto *btn = s.w<TDBNavigator>(c->nav)->btnPost();
        QVERIFY(!btn->isEnabled());
        type(QString(QLatin1String(c->v1)).left(1));
        QVERIFY(btn->isEnabled());
        type(QString(QLatin1String(c->v1)).mid(1));
        QVERIFY(grid->indexWidget(grid->currentIndex())); // still typing
        post();
        QVERIFY2(s.prompts.messages.isEmpty(), qPrintable(s.prompts.messages.join('|')));
        expectStored(b, c->v1);
        QVERIFY(!ds().isEditing());
        if (!keyedByField())
            expectFocus(b, c->field);
    }

    // Escape twice: the typed text and the row's edit are dropped.
    void escapeDropsTheEdit_data() { grids_data(); }
    void escapeDropsTheEdit()
    {
        openGrid();
        const QVariant a = keyAt(0);
        const QVariant before = stored(a);
        click(0, c->field);
        type(c->v1);
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        QVERIFY(!ds().isEditing());
        QCOMPARE(stored(a), before);
        expectFocus(a, c->field);
    }

    // An item edited on one page and then on another keeps both changes:
    // entering a page reads its joined query again, and a write-back writes
    // only what was changed.
    void editsOnTwoPagesBothStay()
    {
        s.open();
        s.frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.frm.get()));
        show("olListMaint", 1, "grdInsp");
        const QString serial = ds().rowValue(0, ds().fieldByName("Serial Number").index()).toString();
        const QVariant holder = ds().rowValue(0, ds().fieldByName("Hr Number").index());

        // Remarks typed on Hand Receipts...
        show("olListMaint", 0, "grdHrdf");
        click(rowWith("HR Number", holder), "HR Number");
        grid = s.w<TDBGrid>("grdHandReceipt");
        click(rowWith("Serial Number", serial), "Remarks");
        type("SEEN");
        press(Qt::Key_Return);
        // ...stay when OH is changed on Inspections.
        show("olListMaint", 1, "grdInsp");
        QCOMPARE(ds().rowValue(rowWith("Serial Number", serial), ds().fieldByName("Remarks").index()).toString(),
                 QStringLiteral("SEEN"));
        click(rowWith("Serial Number", serial), "OH");
        type("5");
        press(Qt::Key_Return);
        // A completion date moves the due date and the row; the focus follows.
        press(Qt::Key_Right);
        press(Qt::Key_Right);
        press(Qt::Key_Right);
        type("12/9/2026");
        press(Qt::Key_Return);
        post("navInsp");
        QCOMPARE(ds().fieldByName("Serial Number").asString(), serial);
        const QDate due = fileItem("Insp Due", serial).toDate();
        QVERIFY(due > QDate(2026, 12, 9));
        // The moved due date stays when OH is changed on View by Type.
        show("olListMaint", 2, "grdGear");
        click(rowWith("Serial Number", serial), "OH");
        type("4");
        press(Qt::Key_Up);
        QVERIFY2(s.prompts.messages.isEmpty(), qPrintable(s.prompts.messages.join('|')));
        QCOMPARE(fileItem("Remarks", serial).toString(), QStringLiteral("SEEN"));
        QCOMPARE(fileItem("OH", serial).toInt(), 4);
        QCOMPARE(fileItem("Insp Due", serial).toDate(), due);
    }

    // A column the user widens stays wide: through a post that reads the
    // query again, a page change, and a restart.
    void widenedColumnsStay()
    {
        s.open();
        s.frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.frm.get()));
        show("olListMaint", 1, "grdInsp");
        const int col = column("Nomenclature");
        QHeaderView *h = grid->horizontalHeader();
        const int before = h->sectionSize(col);
        const QPoint edge(h->sectionViewportPosition(col) + before - 1, h->height() / 2);
        QTest::mousePress(h->viewport(), Qt::LeftButton, {}, edge);
        QTest::mouseMove(h->viewport(), edge + QPoint(30, 0));
        QTest::mouseMove(h->viewport(), edge + QPoint(60, 0));
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, edge + QPoint(60, 0));
        const int wide = h->sectionSize(col);
        QVERIFY2(wide >= before + 50, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(wide)));
        click(1, "OH");
        type("3");
        post("navInsp");
        QCOMPARE(h->sectionSize(col), wide);
        show("olListMaint", 0, "grdHrdf");
        show("olListMaint", 1, "grdInsp");
        QCOMPARE(grid->horizontalHeader()->sectionSize(col), wide);

        QVERIFY(s.frm->close());
        s.frm = std::make_unique<TfrmMain>(*s.dm);
        s.frm->setDataDirectory(s.data->path());
        s.frm->runSplash = nullptr;
        s.frm->autoUpdateCheck = nullptr;
        s.frm->show();
        show("olListMaint", 1, "grdInsp");
        QCOMPARE(grid->horizontalHeader()->sectionSize(col), wide);
    }

    // Bench stock shows the master list as it is now, not as first read.
    void benchStockFollowsTheMasterList()
    {
        s.open();
        s.frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.frm.get()));
        show("olListOffice", 0, "grdOfficeSupplies");
        const QString nsn = ds().rowValue(0, ds().fieldByName("NSN").index()).toString();
        show("olListSetup", 1, "grdMasterOfficeSupplies");
        click(rowWith("NSN", nsn), "Nomenclature");
        type("RENAMED");
        post("navPartsList");
        show("olListOffice", 0, "grdOfficeSupplies");
        QCOMPARE(ds().rowValue(rowWith("NSN", nsn), ds().fieldByName("Nomenclature").index()).toString(),
                 QStringLiteral("RENAMED"));
    }

    // A cell that cuts its text shows all of it as a tooltip; one that
    // shows it whole has none.
    void cutCellShowsItsText()
    {
        s.open();
        show("olListOffice", 0, "grdOfficeSupplies");
        grid->setColumnWidth(column("Nomenclature"), 30);
        auto tipAt = [&](const QString &field) {
            QToolTip::hideText();
            const QPoint pos = grid->visualRect(grid->gridModel()->index(0, column(field))).center();
            QHelpEvent e(QEvent::ToolTip, pos, grid->viewport()->mapToGlobal(pos));
            QApplication::sendEvent(grid->viewport(), &e);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt("UI"), QString());
        QCOMPARE(tipAt("Nomenclature"), ds().rowValue(0, ds().fieldByName("Nomenclature").index()).toString());
    }

    // Every editor a grid's field names is one the pages built.
    void everyEditorNameResolves()
    {
        s.open();
        QStringList used;
        for (TDBGrid *g : s.frm->findChildren<TDBGrid *>())
            for (int col = 0; col < g->gridModel()->columnCount(); ++col)
                if (const Field *f = g->gridModel()->fieldAt(col); f && !f->editorName.isEmpty()) {
                    QVERIFY2(g->columnEditor(f->editorName), qPrintable(g->objectName() + ": " + f->editorName));
                    used << f->editorName;
                }
        used.removeDuplicates();
        used.sort();
        QCOMPARE(used, s.frm->columnEditors().names());
    }

    // A row that cannot be stored at closing: back to it, or close without it.
    void closingWithARowThatCannotBeStored_data()
    {
        QTest::addColumn<bool>("discard");
        QTest::newRow("go back") << false;
        QTest::newRow("discard and close") << true;
    }
    void closingWithARowThatCannotBeStored()
    {
        QFETCH(bool, discard);
        s.open();
        s.frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.frm.get()));
        grid = s.w<TDBGrid>("grdHrdf");
        QTest::mouseClick(s.w<TDBNavigator>("navHrdf")->btnInsert(), Qt::LeftButton);
        type("97"); // no holder name
        s.prompts.answers = {discard};
        QCOMPARE(s.frm->close(), discard);
        QCOMPARE(s.prompts.questions.size(), 1);
        QVERIFY(s.prompts.questions[0].startsWith(QStringLiteral("Field 'HR Holder' must have a value")));
        QCOMPARE(s.frm->isVisible(), !discard);
        QCOMPARE(ds().isEditing(), !discard);
        QVERIFY(fileValues(QStringLiteral("SELECT * FROM \"Hrdf.DB\" WHERE \"HR Number\" = 97")).isEmpty());
    }

    // A holder who still signs for items is not deleted, and the clerk is
    // told so without first being asked to confirm.
    void deletingAHolder()
    {
        s.open();
        s.frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.frm.get()));
        grid = s.w<TDBGrid>("grdHrdf");
        const QVariant withItems = s.dm->itemsByHolder().value(0).hrNumber;
        click(rowWith("HR Number", withItems), "HR Holder");
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(s.prompts.questions.isEmpty());
        QVERIFY(s.prompts.messages.value(0).contains(QStringLiteral("still signs for")));
        QVERIFY(rowWith("HR Number", withItems) >= 0);

        QTest::mouseClick(s.w<TDBNavigator>("navHrdf")->btnInsert(), Qt::LeftButton);
        type("97\tNOBODY");
        post("navHrdf");
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(s.prompts.questions, QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(rowWith("HR Number", 97), -1);
        QVERIFY(fileValues(QStringLiteral("SELECT * FROM \"Hrdf.DB\" WHERE \"HR Number\" = 97")).isEmpty());
    }

    // A page that cannot be left keeps its item highlighted in the bar.
    void navigationBarShowsThePageShown()
    {
        s.open();
        s.frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.frm.get()));
        grid = s.w<TDBGrid>("grdHandReceipt");
        click(0, "HR Number");
        type("999"); // no such holder: the item cannot be stored
        s.nav("olListMaint", 1);
        QCOMPARE(s.page(), QStringLiteral("tabHandReceipt"));
        QCOMPARE(s.prompts.messages.value(0), QStringLiteral("No holder has HR # 999: add the holder first, or give "
                                                             "the item the number of an existing holder."));
        auto *maint = s.w<QListWidget>("olListMaint");
        QCOMPARE(maint->selectedItems(), QList<QListWidgetItem *>{maint->item(0)});
        click(0, "Serial Number");
        press(Qt::Key_Escape); // the change is dropped
        QVERIFY(!ds().isEditing());
        s.nav("olListOffice", 1);
        QCOMPARE(s.page(), QStringLiteral("tabTechManuals"));
        QVERIFY(maint->selectedItems().isEmpty());
    }

    // Items under a number no holder has are not hidden without a word.
    void itemsWithoutHolderAreCounted()
    {
        s.open();
        auto *text = s.w<QLabel>("stbText");
        QVERIFY(!text->text().contains(QStringLiteral("no holder")));
        s.session->sql().exec(QStringLiteral("INSERT INTO \"Equipment.DB\" (\"HR Number\", NSN, \"Serial Number\") "
                                             "VALUES (555, '1', 'LOST-1')"),
                              s.data->path());
        s.session->notifyTableChanged(nullptr);
        settle();
        QCOMPARE(text->text(), QStringLiteral("1 item stands under HR # 555, which no holder has: add a holder with "
                                              "that number on Hand Receipts to see them."));
    }

    // "+" (or Insert) puts the focus in the new row; what is typed makes it,
    // and the focus follows it to its place.
    void plusThenType_data() { grids_data(); }
    void plusThenType()
    {
        openGrid();
        QString keys = QLatin1String(c->plus);
        if (Field *hr = ds().findField(QStringLiteral("Hr Number")))
            keys.replace(QLatin1String("{hr}"), ds().rowValue(0, hr->index()).toString());
        if (Field *nsn = ds().findField(QStringLiteral("NSN")))
            keys.replace(QLatin1String("{nsn}"), ds().rowValue(0, nsn->index()).toString());
        const int before = fileValues(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(QLatin1String(c->table)))
                               .value(0)
                               .toInt();
        click(1, c->field);
        if (c->nav) {
            QTest::mouseClick(s.w<TDBNavigator>(c->nav)->btnInsert(), Qt::LeftButton);
            settle();
        } else {
            press(Qt::Key_Insert);
        }
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QCOMPARE(ds().state(), DatasetState::Insert);
        type(keys);
        if (c->nav)
            post();
        else
            press(Qt::Key_Up);
        QVERIFY2(s.prompts.messages.isEmpty(), qPrintable(s.prompts.messages.join('|')));
        QCOMPARE(fileValues(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(QLatin1String(c->table))).value(0).toInt(),
                 before + 1);
        // "max ..." is the row with the highest key, and what follows.
        QString where = QLatin1String(c->plusRow);
        if (where.startsWith(QLatin1String("max")))
            where = QStringLiteral("\"%1\" = (SELECT max(\"%1\") FROM \"%2\")%3")
                        .arg(QLatin1String(c->key), QLatin1String(c->table), where.mid(3));

        const QVariantList made = fileValues(QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE %3")
                                                 .arg(QLatin1String(c->key), QLatin1String(c->table), where));
        QCOMPARE(made.size(), 1);
        if (c->nav) // stored by the post button: the focus stays with the new row
            QCOMPARE(keyAt(grid->currentIndex().row()), made[0]);
    }
};

int main(int argc, char **argv)
{
    // Each test copies a shop and the window syncs every write: on a memory
    // file system that costs nothing, so the many short runs stay quick.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable() && qEnvironmentVariableIsEmpty("TMPDIR"))
        qputenv("TMPDIR", "/dev/shm");
    QApplication app(argc, argv);
    TstGridScenarios t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}
#include "tst_gridscenarios.moc"
