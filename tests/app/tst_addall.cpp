// The two add-all dialogs as the user reaches them: "Add from List" on the
// hand receipts page and "Add All Items" on the bench stock page, with their
// looks, what they add, cancelling, and an engine error part way.
#include "app/addall.h"
#include "app/partsaddall.h"
#include "data/engine/engineerror.h"
#include "pagesfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace kw::app;
using namespace kw::data;

class TstAddAll : public QObject {
    Q_OBJECT
    kwtest::ShopWindow s;

    QVector<Row> fileRows(const QString &file) const
    {
        auto t = ParadoxTable::open(kw::core::findFileNoCase(s.data->path(), file), {shop::kTablePassword}, true);
        QVector<Row> rows;
        for (int i = 0; i < t->rowCount(); ++i)
            rows << t->row(i);
        return rows;
    }
    // NSNs of one holder's items in Equipment.DB, sorted.
    QStringList itemsOf(int hr) const
    {
        QStringList out;
        for (const Row &r : fileRows(QStringLiteral("Equipment.DB")))
            if (r[1].toInt() == hr)
                out << r[2].toString();
        out.sort();
        return out;
    }
    // Every line of a label shows whole, none cut off at the right or below.
    static void verifyWholeText(const QLabel *label)
    {
        const QFontMetrics fm(label->font());
        const QStringList lines = label->text().split(u'\n');
        for (const QString &line : lines)
            QVERIFY2(fm.horizontalAdvance(line.trimmed()) <= label->contentsRect().width(), qPrintable(line));
        QVERIFY(fm.lineSpacing() * lines.size() <= label->contentsRect().height());
        QVERIFY(label->font().pointSizeF() >= 6.5);
    }
    void selectHolder(int row)
    {
        auto *g = s.w<TDBGrid>("grdHrdf");
        g->setCurrentIndex(g->gridModel()->index(row, 0));
    }
    void openBenchStock()
    {
        s.nav("olListOffice", 0);
        QCOMPARE(s.page(), QStringLiteral("tabOfficeSupplies"));
    }

private slots:
    void initTestCase() { s.initTestCase(); }
    void init() { s.open(); }
    void cleanup() { s.close(); }
    void cleanupTestCase() { s.cleanupTestCase(); }

    void addFromListLooks()
    {
        auto *button = s.w<QPushButton>("btnAddFromList");
        QVERIFY(button->isEnabled());
        bool seen = false;
        kwtest::onNextDialog<TfAddAll>([&](TfAddAll *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Add All Items"));
            QCOMPARE(d->size(), QSize(230, 150));
            QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
            QCOMPARE(d->windowType(), Qt::Tool);
            QVERIFY(d->isModal());
            const QRect screen = d->screen()->availableGeometry();
            QVERIFY(qAbs(d->frameGeometry().center().x() - screen.center().x()) <= 2);
            auto *label = d->findChild<QLabel *>(QStringLiteral("lblMain"));
            QCOMPARE(label->text(), QStringLiteral("This will add all items from the \nselected lists (as defined in "
                                                   "the \nMaster List) to this Hand Receipt"));
            QVERIFY(label->font().bold());
            verifyWholeText(label);
            for (const char *box : {"cbList1", "cbList2"})
                QVERIFY(!d->findChild<QCheckBox *>(QLatin1String(box))->isChecked());
            QCOMPARE(d->findChild<QCheckBox *>(QStringLiteral("cbList2"))->text(), QStringLiteral("List 2"));
            for (const auto &[name, caption] : {std::pair{"btnAdd", "Add"}, std::pair{"btnCancel", "Cancel"}}) {
                auto *b = d->findChild<QPushButton *>(QLatin1String(name));
                QCOMPARE(b->text(), QLatin1String(caption));
                QVERIFY(b->isFlat());
                QVERIFY(d->rect().contains(b->geometry()));
            }
            d->findChild<QCheckBox *>(QStringLiteral("cbList1"))->setChecked(true);
            d->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
        }, &seen);
        // Cancelled: nothing added, and the items grid not even read again.
        int reads = 0;
        QObject watch; // the connection ends with the test, before the data module
        connect(&s.dm->tblHr, &Dataset::rowsReset, &watch, [&] { ++reads; });
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(reads, 0);
        QCOMPARE(fileRows(QStringLiteral("Equipment.DB")).size(), 4);
        // The boxes are clear again the next time.
        kwtest::onNextDialog<TfAddAll>([&](TfAddAll *d) {
            QVERIFY(!d->findChild<QCheckBox *>(QStringLiteral("cbList1"))->isChecked());
            d->reject();
        });
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void addFromList_data()
    {
        QTest::addColumn<bool>("list1");
        QTest::addColumn<bool>("list2");
        QTest::addColumn<int>("times");
        QTest::addColumn<QStringList>("added");
        const QString radio = QStringLiteral("5820-01-444-4444"), preserver = QStringLiteral("4220-01-555-5555"),
                      flare = QStringLiteral("1370-01-666-6666");
        QTest::newRow("List 1") << true << false << 1 << QStringList{preserver, radio};
        QTest::newRow("List 2") << false << true << 1 << QStringList{flare, preserver};
        QTest::newRow("both: an item on both once") << true << true << 1 << QStringList{flare, preserver, radio};
        QTest::newRow("neither: nothing, still OK") << false << false << 1 << QStringList{};
        QTest::newRow("twice: added again") << true << false << 2 << QStringList{preserver, preserver, radio, radio};
    }
    void addFromList()
    {
        QFETCH(bool, list1);
        QFETCH(bool, list2);
        QFETCH(int, times);
        QFETCH(QStringList, added);
        selectHolder(1); // HR 2: a vest and a battery
        const QStringList before = itemsOf(2);
        QCOMPARE(before.size(), 2);
        for (int i = 0; i < times; ++i) {
            int result = -1;
            kwtest::onNextDialog<TfAddAll>([&](TfAddAll *d) {
                d->findChild<QCheckBox *>(QStringLiteral("cbList1"))->setChecked(list1);
                d->findChild<QCheckBox *>(QStringLiteral("cbList2"))->setChecked(list2);
                connect(d, &QDialog::finished, this, [&](int r) { result = r; });
                QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("btnAdd")), Qt::LeftButton);
            });
            QTest::mouseClick(s.w<QPushButton>("btnAddFromList"), Qt::LeftButton);
            QCOMPARE(result, int(QDialog::Accepted));
        }
        QStringList expected = before + added;
        expected.sort();
        QCOMPARE(itemsOf(2), expected);
        // The items grid was read again and shows them, with their master data.
        auto *items = s.w<TDBGrid>("grdHandReceipt");
        QStringList shown = kwtest::gridColumn(items, QStringLiteral("NSN"));
        shown.sort();
        QCOMPARE(shown, expected);
        if (!added.isEmpty())
            QVERIFY(kwtest::gridColumn(items, QStringLiteral("Nomenclature")).contains(QStringLiteral("PRESERVER, LIFE")));
        QCOMPARE(s.dm->tblHr.state(), DatasetState::Browse);
        QVERIFY(!s.dm->tblList.controlsDisabled());
        QVERIFY(s.prompts.messages.isEmpty());
    }

    // A holder still being typed in is stored before its items are added.
    void addFromListStoresANewHolderFirst()
    {
        auto *holders = s.w<TDBGrid>("grdHrdf");
        holders->setFocus();
        QTest::keyClick(holders, Qt::Key_Insert);
        s.dm->tblHrdf.fieldByName(QStringLiteral("HR Number")).setValue(7);
        s.dm->tblHrdf.fieldByName(QStringLiteral("HR Holder")).setValue(QStringLiteral("Doe, Jan"));
        kwtest::onNextDialog<TfAddAll>([&](TfAddAll *d) {
            d->findChild<QCheckBox *>(QStringLiteral("cbList2"))->setChecked(true);
            d->btnAddClick();
        });
        QTest::mouseClick(s.w<QPushButton>("btnAddFromList"), Qt::LeftButton);
        QCOMPARE(s.dm->tblHrdf.state(), DatasetState::Browse);
        QCOMPARE(itemsOf(7), (QStringList{"1370-01-666-6666", "4220-01-555-5555"}));
        bool holderStored = false;
        for (const Row &r : fileRows(QStringLiteral("Hrdf.DB")))
            holderStored = holderStored || r[0].toInt() == 7;
        QVERIFY(holderStored);
    }

    // The engine refuses an item: the adding stops there with the message;
    // OK when an item was stored before (the caller shows it), else Cancel.
    void addFromListStopsAtAnError_data()
    {
        QTest::addColumn<int>("failAt"); // 1-based post that fails
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("stored");
        QTest::newRow("second item") << 2 << int(QDialog::Accepted) << 1;
        QTest::newRow("first item") << 1 << int(QDialog::Rejected) << 0;
    }
    void addFromListStopsAtAnError()
    {
        QFETCH(int, failAt);
        QFETCH(int, result);
        QFETCH(int, stored);
        selectHolder(1);
        int posts = 0;
        s.dm->tblHr.beforePost = [&](Dataset &) {
            if (++posts == failAt)
                throw EngineError(QStringLiteral("Record locked by another user."));
        };
        int got = -1;
        kwtest::onNextDialog<TfAddAll>([&](TfAddAll *d) {
            d->findChild<QCheckBox *>(QStringLiteral("cbList1"))->setChecked(true);
            d->findChild<QCheckBox *>(QStringLiteral("cbList2"))->setChecked(true);
            connect(d, &QDialog::finished, this, [&](int r) { got = r; });
            d->btnAddClick();
        });
        QTest::mouseClick(s.w<QPushButton>("btnAddFromList"), Qt::LeftButton);
        s.dm->tblHr.beforePost = nullptr;
        QCOMPARE(got, result);
        QCOMPARE(s.prompts.messages, QStringList{QStringLiteral("Record locked by another user.")});
        QCOMPARE(itemsOf(2).size(), 2 + stored);
        QCOMPARE(s.dm->tblHr.state(), DatasetState::Browse);
        QCOMPARE(s.dm->tblHr.recordCount(), 2 + stored);
        // Display updates of the master list are back on, at its first item.
        QVERIFY(!s.dm->tblList.controlsDisabled());
        QCOMPARE(s.dm->tblList.recNo(), 0);
    }

    void addAllItemsLooks()
    {
        openBenchStock();
        kwtest::onNextDialog<TfPartsAddAll>([&](TfPartsAddAll *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Add All Items"));
            QCOMPARE(d->size(), QSize(241, 205));
            QCOMPARE(d->windowType(), Qt::Tool);
            QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
            auto *label = d->findChild<QLabel *>(QStringLiteral("lblMain"));
            QCOMPARE(label->text().split('\n'),
                     (QStringList{"This will add all items from the ", "Master Bench Stock List to the ",
                                  "Office Supplies.", "", "After the items have been added",
                                  "select which ones you do not want", "in your list and delete them either ",
                                  "by pressing the [-] button or ", "pressing Ctrl+Del."}));
            QVERIFY(label->font().bold());
            verifyWholeText(label);
            // The whole text shows.
            QVERIFY(label->sizeHint().height() <= label->height());
            verifyWholeText(label);
            auto *bar = d->findChild<QProgressBar *>(QStringLiteral("barMain"));
            QVERIFY(bar->isHidden());
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), 100);
            QVERIFY(label->geometry().contains(bar->geometry()));
            for (const char *b : {"btnAdd", "btnCancel"})
                QVERIFY(d->findChild<QPushButton *>(QLatin1String(b))->isFlat());
            d->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
        });
        // Cancelled: the query stays open and untouched.
        int reads = 0;
        QObject watch; // the connection ends with the test, before the data module
        connect(&s.dm->qryParts, &Dataset::rowsReset, &watch, [&] { ++reads; });
        QTest::mouseClick(s.w<QPushButton>("btnPartsAdd"), Qt::LeftButton);
        QCOMPARE(reads, 0);
        QVERIFY(s.dm->qryParts.active());
        QCOMPARE(s.dm->qryParts.recordCount(), 5);
        QCOMPARE(fileRows(QStringLiteral("Parts.DB")).size(), 6);
    }

    // Every part of the master list gets a row with only its NSN; each row is
    // stored before the next is begun; the bar ends full.
    void addAllItems()
    {
        openBenchStock();
        QList<int> steps;
        QStringList stages;
        QList<int> storedWhenBegun;
        int maximum = -1;
        ParadoxTable *parts = s.session->table(s.data->path(), QStringLiteral("Parts.DB"));
        kwtest::onNextDialog<TfPartsAddAll>([&](TfPartsAddAll *d) {
            d->onRowAdded = [&, d](int value) {
                steps << value;
                storedWhenBegun << parts->rowCount();
                auto *bar = d->findChild<QProgressBar *>(QStringLiteral("barMain"));
                maximum = bar->maximum();
                if (steps.size() == 1) {
                    stages << d->findChild<QLabel *>(QStringLiteral("lblMain"))->text();
                    stages << QString::number(d->height());
                    stages << (bar->isVisible() ? "bar" : "no bar");
                    stages << (d->findChild<QPushButton *>(QStringLiteral("btnAdd"))->isVisible() ? "buttons"
                                                                                                   : "no buttons");
                    // Neither Cancel, Escape nor the title bar stop it now.
                    d->reject();
                    QTest::keyClick(d, Qt::Key_Escape);
                    QVERIFY(!d->close());
                }
            };
            d->btnAddClick();
        });
        QTest::mouseClick(s.w<QPushButton>("btnPartsAdd"), Qt::LeftButton);
        QCOMPARE(stages, (QStringList{"Adding Items", "85", "bar", "no buttons"}));
        QCOMPARE(steps, (QList<int>{1, 2, 3, 4, 5}));
        QCOMPARE(maximum, 5);
        // The row begun before each new one was already in the table.
        QCOMPARE(storedWhenBegun, (QList<int>{6, 7, 8, 9, 10}));
        const QVector<Row> rows = fileRows(QStringLiteral("Parts.DB"));
        QCOMPARE(rows.size(), 11);
        QStringList added;
        for (const Row &r : rows.mid(6)) {
            QVERIFY(r[1].isNull() && r[2].isNull() && r[4].isNull()); // drawer, bin, on hand empty
            added << r[3].toString();
        }
        QStringList master;
        for (const kwtest::OfficePart &p : kwtest::kPartsList)
            master << QString::fromLatin1(p.nsn);
        added.sort();
        master.sort();
        QCOMPARE(added, master);
        // The grid shows them all, read again with their master data.
        auto *grid = s.w<TDBGrid>("grdOfficeSupplies");
        QCOMPARE(grid->gridModel()->rowCount(), 10);
        QCOMPARE(kwtest::gridColumn(grid, QStringLiteral("Nomenclature")).count(QStringLiteral("PEN, BALLPOINT")), 2);
        QVERIFY(!s.dm->qryParts.controlsDisabled() && !s.dm->tblPartsList.controlsDisabled());
        QCOMPARE(s.dm->tblPartsList.recNo(), 0);
        QVERIFY(s.prompts.messages.isEmpty());
    }

    // An empty master list adds nothing and still closes with OK.
    void addAllItemsFromAnEmptyList()
    {
        while (!s.dm->tblPartsList.isEmpty())
            s.dm->tblPartsList.deleteRecord();
        openBenchStock();
        int result = -1, maximum = -1;
        kwtest::onNextDialog<TfPartsAddAll>([&](TfPartsAddAll *d) {
            connect(d, &QDialog::finished, this, [&](int r) { result = r; });
            d->btnAddClick();
            maximum = d->findChild<QProgressBar *>(QStringLiteral("barMain"))->maximum();
        });
        QTest::mouseClick(s.w<QPushButton>("btnPartsAdd"), Qt::LeftButton);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(maximum, 0);
        QCOMPARE(fileRows(QStringLiteral("Parts.DB")).size(), 6);
    }

    void addAllItemsStopsAtAnError_data()
    {
        QTest::addColumn<int>("failAt"); // 1-based row whose storing fails
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("stored");
        QTest::newRow("third row") << 3 << int(QDialog::Accepted) << 2;
        QTest::newRow("last row") << 5 << int(QDialog::Accepted) << 4;
        QTest::newRow("first row") << 1 << int(QDialog::Rejected) << 0;
    }
    void addAllItemsStopsAtAnError()
    {
        QFETCH(int, failAt);
        QFETCH(int, result);
        QFETCH(int, stored);
        openBenchStock();
        int posts = 0, got = -1;
        s.dm->qryParts.beforePost = [&](Dataset &) {
            if (++posts == failAt)
                throw EngineError(QStringLiteral("Table is full."));
        };
        kwtest::onNextDialog<TfPartsAddAll>([&](TfPartsAddAll *d) {
            connect(d, &QDialog::finished, this, [&](int r) { got = r; });
            d->btnAddClick();
        });
        QTest::mouseClick(s.w<QPushButton>("btnPartsAdd"), Qt::LeftButton);
        s.dm->qryParts.beforePost = nullptr;
        QCOMPARE(got, result);
        QCOMPARE(s.prompts.messages, QStringList{QStringLiteral("Table is full.")});
        QCOMPARE(fileRows(QStringLiteral("Parts.DB")).size(), 6 + stored);
        // The stored rows show; nothing stays pending or in edit.
        QCOMPARE(s.dm->qryParts.recordCount(), 5 + stored);
        QCOMPARE(s.dm->qryParts.state(), DatasetState::Browse);
        QVERIFY(!s.dm->qryParts.updatesPending());
        QVERIFY(!s.dm->qryParts.controlsDisabled() && !s.dm->tblPartsList.controlsDisabled());
        QVERIFY(!s.dm->inBatch(s.dm->qryParts));
        // The page can be left without another message.
        s.nav("olListMaint", 0);
        QCOMPARE(s.page(), QStringLiteral("tabHandReceipt"));
        QCOMPARE(s.prompts.messages.size(), 1);
    }
};

QTEST_MAIN(TstAddAll)
#include "tst_addall.moc"
