// The due-status rule that colours the rows of items and kits, and its
// colours on light and dark palettes.
#include "app/duestatus.h"

#include <QPalette>
#include <QTest>

using namespace kw::app;

Q_DECLARE_METATYPE(kw::app::DueStatus)

class TestDueStatus : public QObject {
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

    void worse()
    {
        QCOMPARE(worseOf(DueStatus::None, DueStatus::Overdue), DueStatus::Overdue);
        QCOMPARE(worseOf(DueStatus::Overdue, DueStatus::Soon), DueStatus::Overdue);
        QCOMPARE(worseOf(DueStatus::Soon, DueStatus::None), DueStatus::Soon);
        QCOMPARE(worseOf(DueStatus::None, DueStatus::None), DueStatus::None);
    }

    // Both colours read against the base they are drawn on, on a light and a
    // dark theme alike; red stays red and amber amber.
    void colours_data()
    {
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("base");
        QTest::newRow("light theme") << QColor(Qt::black) << QColor(Qt::white);
        QTest::newRow("dark theme") << QColor(230, 230, 230) << QColor(30, 30, 30);
    }
    void colours()
    {
        QFETCH(QColor, text);
        QFETCH(QColor, base);
        QPalette pal;
        pal.setColor(QPalette::Text, text);
        pal.setColor(QPalette::Base, base);
        QVERIFY(!dueStatusColor(DueStatus::None, pal).isValid());
        const QColor red = dueStatusColor(DueStatus::Overdue, pal);
        const QColor amber = dueStatusColor(DueStatus::Soon, pal);
        QVERIFY(red.isValid() && amber.isValid());
        QVERIFY(red != amber);
        QVERIFY2(red.hue() <= 10 || red.hue() >= 350, qPrintable(red.name()));
        QVERIFY2(amber.hue() >= 25 && amber.hue() <= 50, qPrintable(amber.name()));
        for (const QColor &c : {red, amber})
            QVERIFY2(contrast(c, base) >= 4.5, qPrintable(c.name() + QLatin1String(" on ") + base.name()));
    }

private:
    // WCAG contrast ratio of two colours.
    static double contrast(const QColor &a, const QColor &b)
    {
        auto lum = [](const QColor &c) {
            auto ch = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF());
        };
        const double la = lum(a), lb = lum(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }
};

QTEST_MAIN(TestDueStatus)
#include "tst_duestatus.moc"
