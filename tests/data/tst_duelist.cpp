// What is due across the shop, read from the table files: which items and
// kits are listed and why, around the edges of the due rule, how they are
// ordered, that counts agree with the list, that counting again follows a
// post, and the first such row of a page's dataset.
#include "data/shop/dmmain.h"
#include "data/shop/duelist.h"
#include "data/engine/session.h"
#include "clirun.h"
#include "dueshop.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::data;
using kwtest::DueShop;

namespace {

const QDate kToday(2026, 12, 9);

QString reasonText(DueReason r)
{
    switch (r) {
    case DueReason::NeverInspected:
        return QStringLiteral("never");
    case DueReason::Overdue:
        return QStringLiteral("overdue");
    case DueReason::FoodExpired:
        return QStringLiteral("food");
    case DueReason::DueSoon:
        break;
    }
    return QStringLiteral("soon");
}

// Moves ds to its first row whose field holds value; false when none does.
bool moveToValue(Dataset &ds, const QString &field, const QVariant &value)
{
    const int f = ds.fieldByName(field).index();
    for (int r = 0; r < ds.recordCount(); ++r)
        if (ds.rowValue(r, f) == value) {
            ds.moveTo(r);
            return true;
        }
    return false;
}

// Days from today, or no date.
QDate in(int days) { return days == INT_MIN ? QDate() : kToday.addDays(days); }
constexpr int kNone = INT_MIN;

} // namespace

class TestDueList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Clock::setFixed(QDateTime(kToday, QTime(9, 0)));
        QVERIFY(m_template.isValid());
        DueShop(m_template.path());
    }

    // One item or kit per row; reasons it is listed for, joined by "+".
    void edges_data()
    {
        QTest::addColumn<bool>("kit");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("due");
        QTest::addColumn<int>("food");
        QTest::addColumn<int>("hr");
        QTest::addColumn<QString>("reasons");
        const int h = DueShop::kHolder;
        QTest::newRow("item due yesterday") << false << "D" << -1 << kNone << h << "overdue";
        QTest::newRow("item due today") << false << "Y" << 0 << kNone << h << "soon";
        QTest::newRow("item due in 30 days") << false << "D" << 30 << kNone << h << "soon";
        QTest::newRow("item due in 31 days") << false << "D" << 31 << kNone << h << "";
        QTest::newRow("item without due date") << false << "Y" << kNone << kNone << h << "never";
        QTest::newRow("item of type N, date passed") << false << "N" << -10 << kNone << h << "";
        QTest::newRow("item of type d, date passed") << false << "d" << -10 << kNone << h << "";
        QTest::newRow("item not in the master list") << false << "" << -10 << kNone << h << "";
        QTest::newRow("item without a holder") << false << "D" << -10 << kNone << DueShop::kNoHolder << "";
        QTest::newRow("kit due yesterday") << true << "D" << -1 << 400 << h << "overdue";
        QTest::newRow("kit due today") << true << "D" << 0 << 400 << h << "soon";
        QTest::newRow("kit food expires today") << true << "D" << 100 << 0 << h << "";
        QTest::newRow("kit food expired yesterday") << true << "D" << 100 << -1 << h << "food";
        QTest::newRow("kit food and inspection") << true << "Y" << -1 << -1 << h << "food+overdue";
        QTest::newRow("kit without due date") << true << "D" << kNone << kNone << h << "never";
        QTest::newRow("kit without type or date") << true << QString() << kNone << kNone << h << "never";
        QTest::newRow("kit of type N without date") << true << "N" << kNone << kNone << h << "";
        QTest::newRow("kit of type N with a date") << true << "N" << 3 << kNone << h << "soon";
    }
    void edges()
    {
        QFETCH(bool, kit);
        QFETCH(QString, type);
        QFETCH(int, due);
        QFETCH(int, food);
        QFETCH(int, hr);
        QFETCH(QString, reasons);
        QTemporaryDir dir(kwtest::scratchTemplate());
        int key = 0;
        {
            DueShop shop(dir.path(), m_template.path());
            key = kit ? shop.kit(QStringLiteral("K-1"), type, in(due), in(food))
                      : shop.item(QStringLiteral("V-1"), type, in(due), hr);
        }
        Session session;
        shop::prepareSession(session);
        DueScan scan(session);
        const QVector<DueEntry> list = scan.entries(dir.path(), kToday);
        QStringList got;
        for (const DueEntry &e : list) {
            got << reasonText(e.reason);
            QCOMPARE(e.kind, kit ? DueEntry::Kind::Kit : DueEntry::Kind::Item);
            QCOMPARE(e.key.toInt(), key);
            QCOMPARE(e.date, e.reason == DueReason::FoodExpired ? in(food) : in(due));
        }
        QCOMPARE(got.join(QLatin1Char('+')), reasons);

        const DueCounts c = scan.counts(dir.path(), kToday);
        const int overdue = reasons.contains(QLatin1String("overdue")), soon = reasons.contains(QLatin1String("soon")),
                  never = reasons.contains(QLatin1String("never"));
        QCOMPARE(kit ? c.kitsOverdue : c.overdue, overdue);
        QCOMPARE(kit ? c.kitsDueSoon : c.dueSoon, soon);
        QCOMPARE(kit ? c.kitsNeverInspected : c.neverInspected, never);
        QCOMPARE(c.kitsFoodExpired, int(reasons.contains(QLatin1String("food"))));
        QCOMPARE(c.anyOverdue(), reasons.contains(QLatin1String("overdue")) || reasons.contains(QLatin1String("food")));
    }

    // Never inspected first, then the oldest date; items before kits on a
    // day. Details come from the holder and the master list.
    void order()
    {
        QTemporaryDir dir(kwtest::scratchTemplate());
        {
            DueShop shop(dir.path(), m_template.path());
            shop.item(QStringLiteral("V-SOON"), QStringLiteral("D"), in(5));
            shop.kit(QStringLiteral("K-OLD"), QStringLiteral("D"), in(-40), in(500));
            shop.item(QStringLiteral("V-NEVER"), QStringLiteral("Y"), QDate());
            shop.kit(QStringLiteral("K-FOOD"), QStringLiteral("D"), in(200), in(-3));
            shop.item(QStringLiteral("V-OLD"), QStringLiteral("Y"), in(-40));
        }
        Session session;
        shop::prepareSession(session);
        const QVector<DueEntry> list = DueScan(session).entries(dir.path(), kToday);
        QStringList serials;
        for (const DueEntry &e : list)
            serials << e.serial;
        QCOMPARE(serials, (QStringList{"V-NEVER", "V-OLD", "K-OLD", "K-FOOD", "V-SOON"}));
        const DueEntry &item = list.first();
        QCOMPARE(item.holder, QStringLiteral("BAKER, ANN"));
        QCOMPARE(item.hrNumber.toInt(), DueShop::kHolder);
        QCOMPARE(item.nsn, DueShop::nsnOf(QStringLiteral("Y")));
        QCOMPARE(item.nomenclature, QStringLiteral("VEST TYPE Y"));
        const DueEntry &kit = list[2];
        QCOMPARE(kit.holder, QStringLiteral("87-24512"));
        QCOMPARE(kit.nomenclature, QStringLiteral("OVERWATER"));
    }

    // Counting again after a post sees the post, and after the master list
    // changes sees the new inspection type (what it keeps is read again).
    void countsFollowChanges()
    {
        QTemporaryDir dir(kwtest::scratchTemplate());
        {
            DueShop shop(dir.path(), m_template.path());
            shop.item(QStringLiteral("V-1"), QStringLiteral("D"), in(-1));
            shop.item(QStringLiteral("V-2"), QStringLiteral("D"), in(100));
        }
        Session session;
        TdmMain dm(session);
        dm.dbMain.setParam(QStringLiteral("PATH"), dir.path() + QLatin1Char('/'));
        dm.tblList.open();
        dm.tblHrdf.open();
        dm.tblHr.open();
        DueScan scan(session);
        QCOMPARE(scan.counts(dm.dbMain.directory(), kToday).overdue, 1);
        // V-2 falls due: a post through the data module.
        QVERIFY(moveToValue(dm.tblHr, QStringLiteral("Serial Number"), QStringLiteral("V-2")));
        dm.tblHr.fieldByName(QStringLiteral("Insp Due")).setValue(in(-2));
        dm.tblHr.post();
        QCOMPARE(scan.counts(dm.dbMain.directory(), kToday).overdue, 2);
        // The master list says D items need no inspection any more.
        QVERIFY(moveToValue(dm.tblList, QStringLiteral("NSN"), DueShop::nsnOf(QStringLiteral("D"))));
        dm.tblList.fieldByName(QStringLiteral("Insp Type")).setValue(QStringLiteral("N"));
        dm.tblList.post();
        QCOMPARE(scan.counts(dm.dbMain.directory(), kToday), DueCounts{});
    }

    // The first row of a page's dataset that a count stands for, in the
    // dataset's own order.
    void firstRow()
    {
        QTemporaryDir dir(kwtest::scratchTemplate());
        {
            DueShop shop(dir.path(), m_template.path());
            shop.kit(QStringLiteral("K-A"), QStringLiteral("D"), in(100), in(500), QStringLiteral("A"));
            shop.kit(QStringLiteral("K-B"), QStringLiteral("D"), in(-5), in(-1), QStringLiteral("B"));
            shop.kit(QStringLiteral("K-C"), QStringLiteral("D"), in(10), in(500), QStringLiteral("C"));
            shop.kit(QStringLiteral("K-D"), QStringLiteral("D"), in(-9), in(500), QStringLiteral("D"));
        }
        Session session;
        TdmMain dm(session);
        dm.dbMain.setParam(QStringLiteral("PATH"), dir.path() + QLatin1Char('/'));
        dm.tblKits.open();
        dm.tblKits.setIndexName(QStringLiteral("AC")); // by tail number: A, B, C, D
        auto serialAt = [&](int row) {
            return row < 0 ? QString()
                           : dm.tblKits.rowValue(row, dm.tblKits.fieldByName(QStringLiteral("Serial Number")).index())
                                 .toString();
        };
        using K = DueEntry::Kind;
        QCOMPARE(serialAt(firstDueRow(dm.tblKits, K::Kit, DueReason::Overdue, kToday)), QStringLiteral("K-B"));
        QCOMPARE(serialAt(firstDueRow(dm.tblKits, K::Kit, DueReason::FoodExpired, kToday)), QStringLiteral("K-B"));
        QCOMPARE(serialAt(firstDueRow(dm.tblKits, K::Kit, DueReason::DueSoon, kToday)), QStringLiteral("K-C"));
        QCOMPARE(firstDueRow(dm.tblKits, K::Kit, DueReason::NeverInspected, kToday), -1);
        dm.tblKits.setIndexName(QStringLiteral("INDD")); // by due date: D first
        QCOMPARE(serialAt(firstDueRow(dm.tblKits, K::Kit, DueReason::Overdue, kToday)), QStringLiteral("K-D"));
    }

private:
    QTemporaryDir m_template{kwtest::scratchTemplate()};
};

QTEST_MAIN(TestDueList)
#include "tst_duelist.moc"
