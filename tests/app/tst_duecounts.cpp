// The status bar's counts of what is due, driven as the clerk drives them:
// what start-up shows (in the overdue colour, without a pop-up), a click on
// each count opening its page on the first such row in the page's order,
// and the counts following a post typed into a grid, an add-all, and
// tables replaced while closed (as a restore or an import replaces them).
#include "app/duepanel.h"
#include "app/dbnavigator.h"
#include "app/pages/page.h"
#include "dueshop.h"
#include "pagesfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>

using namespace kw::app;
using namespace kw::data;
using kwtest::DueShop;

namespace {

const QDate kToday(2026, 12, 9); // ShopWindow's fixed day

QDate in(int days) { return kToday.addDays(days); }

// Items of holder 1 and kits around the due rule's edges.
void fillDueShop(const QString &dir)
{
    DueShop shop(dir);
    shop.item(QStringLiteral("V-OLD"), QStringLiteral("D"), in(-10));
    shop.item(QStringLiteral("V-OLDER"), QStringLiteral("Y"), in(-40));
    shop.item(QStringLiteral("V-SOON"), QStringLiteral("D"), in(5));
    shop.item(QStringLiteral("V-LATER"), QStringLiteral("D"), in(90));
    shop.item(QStringLiteral("V-NEVER"), QStringLiteral("Y"), QDate());
    shop.kit(QStringLiteral("K-FOOD"), QStringLiteral("D"), in(100), in(-1), QStringLiteral("A-1"));
    shop.kit(QStringLiteral("K-LATE"), QStringLiteral("D"), in(-3), in(400), QStringLiteral("B-2"));
    shop.kit(QStringLiteral("K-SOON"), QStringLiteral("D"), in(10), in(400), QStringLiteral("C-3"));
}

const QString kStartText = QStringLiteral("2 overdue \u00b7 1 due in 30 days \u00b7 1 kit overdue \u00b7 1 kit due in 30 days "
                                          "\u00b7 1 kit food expired \u00b7 1 never inspected");

} // namespace

class TstDueCounts : public QObject {
    Q_OBJECT
    kwtest::ShopWindow s;
    QTemporaryDir m_nothingDue;

    TDuePanel *panel() const { return s.w<TDuePanel>("stbDue"); }
    static void settle() { QCoreApplication::processEvents(); }
    // The serial number of a dataset's current record.
    static QString currentSerial(Dataset &ds)
    {
        return ds.recNo() < 0 ? QString() : ds.fieldByName(QStringLiteral("Serial Number")).asString();
    }
    static int rowOfSerial(Dataset &ds, const QString &serial)
    {
        const int f = ds.fieldByName(QStringLiteral("Serial Number")).index();
        for (int r = 0; r < ds.recordCount(); ++r)
            if (ds.rowValue(r, f).toString() == serial)
                return r;
        return -1;
    }

private slots:
    void initTestCase()
    {
        s.initTestCase(fillDueShop);
        QVERIFY(m_nothingDue.isValid());
        DueShop(m_nothingDue.path());
    }
    void init() { s.open(); }
    void cleanup() { s.close(); }
    void cleanupTestCase() { s.cleanupTestCase(); }

    // Start-up shows the counts, overdue ones in the overdue colour, and
    // asks nothing.
    void startUp()
    {
        QCOMPARE(panel()->text(), kStartText);
        QVERIFY(s.prompts.messages.isEmpty() && s.prompts.questions.isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
        auto *overdue = s.w<QLabel>("stbDueOverdue");
        QVERIFY(overdue->isVisible());
        QVERIFY(overdue->font().bold());
        const QColor red = dueStatusColor(DueStatus::Overdue, panel()->palette());
        const QImage shot = overdue->grab().toImage();
        bool drawn = false;
        for (int y = 0; y < shot.height() && !drawn; ++y)
            for (int x = 0; x < shot.width() && !drawn; ++x) {
                const QColor c = shot.pixelColor(x, y);
                drawn = std::abs(c.red() - red.red()) < 24 && std::abs(c.green() - red.green()) < 24
                        && std::abs(c.blue() - red.blue()) < 24;
            }
        QVERIFY2(drawn, "the overdue count is drawn in the overdue colour");
        // The due-soon count in amber, never-inspected in the normal colour.
        QCOMPARE(s.w<QLabel>("stbDueSoon")->palette().color(QPalette::WindowText),
                 dueStatusColor(DueStatus::Soon, panel()->palette()));
        QVERIFY(!s.w<QLabel>("stbDueNever")->font().bold());
    }

    // A click on a count opens the page that shows those rows, on the
    // first of them in the page's order, with the focus on it.
    void click_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("sortBy"); // kits page sorted first by this title
        QTest::newRow("overdue") << "stbDueOverdue" << "tabInsp" << "V-OLDER" << "";
        QTest::newRow("due in 30 days") << "stbDueSoon" << "tabInsp" << "V-SOON" << "";
        QTest::newRow("never inspected") << "stbDueNever" << "tabInsp" << "V-NEVER" << "";
        QTest::newRow("kit overdue") << "stbDueKitsOverdue" << "tabSurvival" << "K-LATE" << "";
        QTest::newRow("kit due in 30 days") << "stbDueKitsSoon" << "tabSurvival" << "K-SOON" << "";
        QTest::newRow("kit food expired") << "stbDueKitsFood" << "tabSurvival" << "K-FOOD" << "";
        // K-LATE is the last kit by serial: the jump keeps that order.
        QTest::newRow("kits sorted by serial stay so") << "stbDueKitsOverdue" << "tabSurvival" << "K-LATE"
                                                       << "Serial Number";
    }
    void click()
    {
        QFETCH(QString, part);
        QFETCH(QString, page);
        QFETCH(QString, serial);
        QFETCH(QString, sortBy);
        QStringList orderBefore;
        if (!sortBy.isEmpty()) {
            s.nav("olListMaint", 3);
            kwtest::clickTitle(s.w<TDBGrid>("grdSurvival"), sortBy);
            settle();
            orderBefore = kwtest::columnValues(s.dm->tblKits, QStringLiteral("Serial Number"));
            QCOMPARE(orderBefore, (QStringList{"K-FOOD", "K-LATE", "K-SOON"}));
        }
        QTest::mouseClick(s.w<QLabel>(qPrintable(part)), Qt::LeftButton);
        settle();
        QCOMPARE(s.page(), page);
        Dataset &ds = page == QLatin1String("tabInsp") ? static_cast<Dataset &>(s.dm->qryInsp) : s.dm->tblKits;
        QCOMPARE(currentSerial(ds), serial);
        auto *grid = s.w<TDBGrid>(page == QLatin1String("tabInsp") ? "grdInsp" : "grdSurvival");
        QCOMPARE(QApplication::focusWidget(), grid);
        QCOMPARE(grid->currentIndex().row(), ds.recNo());
        if (!sortBy.isEmpty()) {
            QCOMPARE(kwtest::columnValues(ds, QStringLiteral("Serial Number")), orderBefore);
            QCOMPARE(s.w<QLabel>("lblKitsSort")->text(), QStringLiteral("Sorted By Kit Serial Number"));
        }
    }

    // A completion date typed into the hand receipt grid moves V-LATER's
    // due date to today; leaving the row posts it and the counts follow.
    void followsPost()
    {
        auto *grid = s.w<TDBGrid>("grdHandReceipt");
        Dataset &items = s.dm->tblHr;
        const int row = rowOfSerial(items, QStringLiteral("V-LATER"));
        QVERIFY(row >= 0);
        const QModelIndex cell = grid->gridModel()->index(row, grid->gridModel()->columnOfField(QStringLiteral("Insp Completed")));
        grid->scrollTo(cell);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
        settle();
        for (const QChar ch : QStringLiteral("12/8/2026")) {
            QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
            settle();
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        settle();
        QCOMPARE(panel()->text(), kStartText); // not posted yet: nothing changed in the tables
        QTest::keyClick(QApplication::focusWidget(), row == 0 ? Qt::Key_Down : Qt::Key_Up);
        QTRY_COMPARE(panel()->counts().dueSoon, 2);
        QCOMPARE(s.w<QLabel>("stbDueSoon")->text(), QStringLiteral("2 due in 30 days"));
    }

    // "Add from List" adds the List 1 item, which has no due date yet.
    void followsAddAll()
    {
        kwtest::onNextDialog<QDialog>([](QDialog *d) {
            QTest::mouseClick(d->findChild<QCheckBox *>(QStringLiteral("cbList1")), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("btnAdd")), Qt::LeftButton);
        });
        QTest::mouseClick(s.w<QPushButton>("btnAddFromList"), Qt::LeftButton);
        QTRY_COMPARE(panel()->counts().neverInspected, 2);
        QCOMPARE(s.w<QLabel>("stbDueNever")->text(), QStringLiteral("2 never inspected"));
    }

    // A dialog that works with the tables closed (backup and restore, the
    // import) may replace them: the counts are those of the tables opened
    // again, here a shop where nothing is due.
    void followsTablesReplaced()
    {
        const QString from = m_nothingDue.path(), to = s.data->path();
        s.frm->backupDialogFactory = [](QWidget *owner) { return new QDialog(owner); };
        bool seen = false;
        kwtest::onNextDialog<QDialog>(
            [from, to](QDialog *d) {
                QVERIFY(!QFile::exists(to + QStringLiteral("/Equipment.DB-journal")));
                const QDir src(from);
                for (const QString &f : src.entryList(QDir::Files)) {
                    QFile::remove(QDir(to).filePath(f));
                    QVERIFY(QFile::copy(src.filePath(f), QDir(to).filePath(f)));
                }
                d->accept();
            },
            &seen);
        s.w<QAction>("BackupRestore1")->trigger();
        QVERIFY(seen);
        QCOMPARE(panel()->text(), QStringLiteral("Nothing due in 30 days"));
        QCOMPARE(panel()->counts(), DueCounts{});
    }

    // A new day moves what is due without any table changing.
    void followsTheDay()
    {
        Clock::setFixed(QDateTime(in(20), QTime(8, 0)));
        s.frm->showDueCounts();
        Clock::setFixed(QDateTime(kToday, QTime(10, 30)));
        // V-SOON (day 5) and K-SOON (day 10) have passed; V-LATER (day 90)
        // is still more than 30 days away.
        QCOMPARE(panel()->counts().overdue, 3);
        QCOMPARE(panel()->counts().kitsOverdue, 2);
        QCOMPARE(panel()->counts().dueSoon, 0);
        QCOMPARE(panel()->counts().kitsDueSoon, 0);
    }
};

QTEST_MAIN(TstDueCounts)
#include "tst_duecounts.moc"
