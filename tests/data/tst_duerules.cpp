// What is due: the status of a due date around the edges of the 30-day
// window, a kit's food, and which items and kits need inspecting at all.
#include "data/shop/duerules.h"

#include <QTest>

using namespace kw::data;

Q_DECLARE_METATYPE(kw::data::DueStatus)

class TestDueRules : public QObject {
    Q_OBJECT
private slots:
    void rule_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("due");
        QTest::addColumn<DueStatus>("status");
        const QDate d(2026, 12, 9);
        QTest::newRow("yesterday: overdue") << d << d.addDays(-1) << DueStatus::Overdue;
        QTest::newRow("years ago: overdue") << d << QDate(2001, 1, 1) << DueStatus::Overdue;
        QTest::newRow("today: soon, not overdue") << d << d << DueStatus::Soon;
        QTest::newRow("tomorrow: soon") << d << d.addDays(1) << DueStatus::Soon;
        QTest::newRow("in 30 days: soon") << d << d.addDays(30) << DueStatus::Soon;
        QTest::newRow("in 31 days: nothing") << d << d.addDays(31) << DueStatus::None;
        QTest::newRow("empty due date: nothing") << d << QDate() << DueStatus::None;
        QTest::newRow("no today: nothing") << QDate() << d << DueStatus::None;
        // 28 Feb to 29 Mar 2028 is 30 days only because of the leap day.
        QTest::newRow("leap year, 30 days over 29 Feb") << QDate(2028, 2, 28) << QDate(2028, 3, 29) << DueStatus::Soon;
        QTest::newRow("leap year, 31 days over 29 Feb") << QDate(2028, 2, 28) << QDate(2028, 3, 30) << DueStatus::None;
        QTest::newRow("common year, 31 days from 28 Feb") << QDate(2027, 2, 28) << QDate(2027, 3, 31) << DueStatus::None;
        QTest::newRow("due on the leap day, day after") << QDate(2028, 3, 1) << QDate(2028, 2, 29) << DueStatus::Overdue;
        QTest::newRow("today the leap day, due a year on") << QDate(2028, 2, 29) << QDate(2029, 2, 28) << DueStatus::None;
        QTest::newRow("across the year end") << QDate(2026, 12, 20) << QDate(2027, 1, 19) << DueStatus::Soon;
    }
    void rule()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, due);
        QFETCH(DueStatus, status);
        QCOMPARE(dueStatus(due, today), status);
    }

    // Another window moves only the far edge; overdue stays overdue.
    void window_data()
    {
        QTest::addColumn<int>("within");
        QTest::addColumn<int>("daysAhead");
        QTest::addColumn<DueStatus>("status");
        QTest::newRow("0 days: today is due") << 0 << 0 << DueStatus::Soon;
        QTest::newRow("0 days: tomorrow is not") << 0 << 1 << DueStatus::None;
        QTest::newRow("0 days: yesterday overdue") << 0 << -1 << DueStatus::Overdue;
        QTest::newRow("90 days: edge") << 90 << 90 << DueStatus::Soon;
        QTest::newRow("90 days: past it") << 90 << 91 << DueStatus::None;
    }
    void window()
    {
        QFETCH(int, within);
        QFETCH(int, daysAhead);
        QFETCH(DueStatus, status);
        const QDate d(2026, 12, 9);
        QCOMPARE(dueStatus(d.addDays(daysAhead), d, within), status);
    }

    void worse()
    {
        QCOMPARE(worseOf(DueStatus::None, DueStatus::Overdue), DueStatus::Overdue);
        QCOMPARE(worseOf(DueStatus::Overdue, DueStatus::Soon), DueStatus::Overdue);
        QCOMPARE(worseOf(DueStatus::Soon, DueStatus::None), DueStatus::Soon);
        QCOMPARE(worseOf(DueStatus::None, DueStatus::None), DueStatus::None);
    }

    void kit_data()
    {
        QTest::addColumn<QDate>("due");
        QTest::addColumn<QDate>("food");
        QTest::addColumn<DueStatus>("status");
        QTest::addColumn<bool>("expired");
        const QDate d(2026, 12, 9);
        QTest::newRow("food expires today: still good") << QDate() << d << DueStatus::None << false;
        QTest::newRow("food expired yesterday") << QDate() << d.addDays(-1) << DueStatus::Overdue << true;
        QTest::newRow("food expired, inspection later") << d.addDays(200) << d.addDays(-1) << DueStatus::Overdue
                                                        << true;
        QTest::newRow("food expired, inspection soon") << d.addDays(3) << d.addDays(-1) << DueStatus::Overdue << true;
        QTest::newRow("food good, inspection due today") << d << d.addDays(400) << DueStatus::Soon << false;
        QTest::newRow("food good, inspection overdue") << d.addDays(-1) << d.addDays(400) << DueStatus::Overdue
                                                       << false;
        QTest::newRow("food soon does not colour") << d.addDays(200) << d.addDays(5) << DueStatus::None << false;
        QTest::newRow("no dates at all") << QDate() << QDate() << DueStatus::None << false;
    }
    void kit()
    {
        QFETCH(QDate, due);
        QFETCH(QDate, food);
        QFETCH(DueStatus, status);
        QFETCH(bool, expired);
        const QDate d(2026, 12, 9);
        QCOMPARE(kitDueStatus(due, food, d), status);
        QCOMPARE(foodExpired(food, d), expired);
    }

    void needsInspection_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("item");
        QTest::addColumn<bool>("kit");
        QTest::newRow("D") << "D" << true << true;
        QTest::newRow("Y") << "Y" << true << true;
        QTest::newRow("N") << "N" << false << false;
        // The due-date rule reads any other text as years: a kit of such a
        // type is inspected; an item is listed only for D and Y.
        QTest::newRow("lower case d") << "d" << false << true;
        QTest::newRow("empty") << "" << false << true;
    }
    void needsInspection()
    {
        QFETCH(QString, type);
        QFETCH(bool, item);
        QFETCH(bool, kit);
        QCOMPARE(itemNeedsInspection(type), item);
        QCOMPARE(kitNeedsInspection(type), kit);
    }
};

QTEST_MAIN(TestDueRules)
#include "tst_duerules.moc"
