// The colours of the due status of items and kits, on light and dark
// palettes (the status itself: tests/data/tst_duerules.cpp).
#include "app/duestatus.h"

#include <QPalette>
#include <QTest>

using namespace kw::app;

class TestDueStatus : public QObject {
    Q_OBJECT
private slots:
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
