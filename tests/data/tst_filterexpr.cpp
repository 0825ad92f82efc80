// Dataset filters: the comparisons, AND binding tighter than OR, blank
// fields, and the expressions that are refused.
#include "data/engine/engineerror.h"
#include "data/engine/filterexpr.h"

#include <QDate>
#include <QtTest>

using namespace kw::data;

using Values = QVariantMap;

class TstFilterExpr : public QObject {
    Q_OBJECT
private slots:
    void accepts_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<Values>("row");
        QTest::addColumn<bool>("passes");
        const Values vest{{"Alse", true}, {"List 1", false}, {"Qty", 3}, {"Name", "Vest"},
                          {"Due", QDate(2002, 1, 15)}, {"Note", QVariant()}};
        QTest::newRow("logical true") << "Alse = True" << vest << true;
        QTest::newRow("logical in any case") << "Alse = TRUE" << vest << true;
        QTest::newRow("bracketed name") << "[List 1] = True" << vest << false;
        QTest::newRow("bracketed false") << "[List 1] = False" << vest << true;
        QTest::newRow("number greater") << "Qty > 2" << vest << true;
        QTest::newRow("number at most") << "Qty <= 2.5" << vest << false;
        QTest::newRow("number unequal") << "Qty <> 3" << vest << false;
        QTest::newRow("quoted text") << "Name = 'Vest'" << vest << true;
        QTest::newRow("text is case-sensitive") << "Name = 'vest'" << vest << false;
        QTest::newRow("double-quoted text") << "Name = \"Vest\"" << vest << true;
        QTest::newRow("doubled quote") << "Name = 'O''Neil'" << Values{{"Name", "O'Neil"}} << true;
        QTest::newRow("date as year-month-day") << "Due < '2002-02-01'" << vest << true;
        QTest::newRow("blank equals nothing") << "Note = 'x'" << vest << false;
        QTest::newRow("blank is below text") << "Note < 'a'" << vest << true;
        QTest::newRow("blank is not false") << "Note = False" << vest << false;
        QTest::newRow("blank differs from true") << "Note <> True" << vest << true;
        QTest::newRow("and: both hold") << "Alse = True and Qty = 3" << vest << true;
        QTest::newRow("and: one fails") << "Alse = True AND Qty = 4" << vest << false;
        QTest::newRow("or: second holds") << "Qty = 4 or Name = 'Vest'" << vest << true;
        // a AND b OR c: (a AND b) OR c, not a AND (b OR c).
        QTest::newRow("and binds tighter, first group") << "Qty = 4 and Alse = True or Name = 'Vest'" << vest << true;
        QTest::newRow("and binds tighter, no group") << "Name = 'Vest' and Qty = 4 or Alse = False" << vest << false;
        QTest::newRow("blank filter") << "   " << vest << true;
    }
    void accepts()
    {
        QFETCH(QString, expr);
        QFETCH(Values, row);
        QFETCH(bool, passes);
        const FilterExpression f = FilterExpression::parse(expr);
        QCOMPARE(f.accepts([&](const QString &name) { return row.value(name); }), passes);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::newRow("no operator") << "Alse True";
        QTest::newRow("no literal") << "Qty >";
        QTest::newRow("word literal") << "Name = Vest";
        QTest::newRow("dangling and") << "Alse = True and";
        QTest::newRow("no conjunction") << "Alse = True Qty = 3";
        QTest::newRow("unclosed bracket") << "[List 1 = True";
    }
    void refused()
    {
        QFETCH(QString, expr);
        try {
            FilterExpression::parse(expr);
            QFAIL("accepted");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), QStringLiteral("Filter expression incorrectly terminated: ") + expr);
        }
    }

    void namesItsFields()
    {
        const FilterExpression f = FilterExpression::parse(QStringLiteral("[List 1] = True or Qty > 2 and Alse = True"));
        QCOMPARE(f.fieldNames(), (QStringList{"List 1", "Qty", "Alse"}));
        QVERIFY(!f.isEmpty());
        QVERIFY(FilterExpression::parse(QString()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstFilterExpr)
#include "tst_filterexpr.moc"
