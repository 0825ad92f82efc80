// The rules for one field's value: typed text, conversion of typed values,
// integer ranges (the blank markers are not values), width, required.
#include "data/engine/engineerror.h"
#include "data/engine/fieldvalue.h"

#include <QDate>
#include <QDateTime>
#include <QtTest>

using namespace kw::data;

Q_DECLARE_METATYPE(kw::data::FieldType)

namespace {

// The value, or the engine's message as a string prefixed with "error: ".
template <typename F>
QVariant outcome(F f)
{
    try {
        return f();
    } catch (const EngineError &e) {
        return QStringLiteral("error: ") + e.message();
    }
}

QString rangeError(qint64 n, const char *label, qint64 lo, qint64 hi)
{
    return QStringLiteral("error: %1 is not a valid value for field '%2'. The allowed range is %3 to %4.")
        .arg(n)
        .arg(QLatin1String(label))
        .arg(lo)
        .arg(hi);
}

} // namespace

class TstFieldValue : public QObject {
    Q_OBJECT
private slots:
    void parseText_data()
    {
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("expected");
        const auto S = FieldType::Short, L = FieldType::Long, N = FieldType::Number, D = FieldType::Date,
                   B = FieldType::Logical, A = FieldType::Alpha;
        QTest::newRow("short with blanks") << S << 2 << " 42 " << QVariant(42);
        QTest::newRow("short blank is null") << S << 2 << "  " << QVariant();
        QTest::newRow("short text") << S << 2 << "4x" << QVariant("error: '4x' is not a valid integer value");
        QTest::newRow("short lowest") << S << 2 << "-32767" << QVariant(-32767);
        QTest::newRow("short blank marker") << S << 2 << "-32768" << QVariant(rangeError(-32768, "F", -32767, 32767));
        QTest::newRow("short too big") << S << 2 << "32768" << QVariant(rangeError(32768, "F", -32767, 32767));
        QTest::newRow("long highest") << L << 4 << "2147483647" << QVariant(2147483647);
        QTest::newRow("long blank marker") << L << 4 << "-2147483648"
                                           << QVariant(rangeError(-2147483648LL, "F", -2147483647, 2147483647));
        QTest::newRow("number") << N << 8 << " 2.5" << QVariant(2.5);
        QTest::newRow("number text") << N << 8 << "two" << QVariant("error: 'two' is not a valid floating point value");
        QTest::newRow("date m/d/y") << D << 4 << "1/15/2002" << QVariant(QDate(2002, 1, 15));
        QTest::newRow("date two-digit 49") << D << 4 << "3/5/49" << QVariant(QDate(2049, 3, 5));
        QTest::newRow("date two-digit 50") << D << 4 << "3/5/50" << QVariant(QDate(1950, 3, 5));
        QTest::newRow("date iso") << D << 4 << "2002-01-15" << QVariant(QDate(2002, 1, 15));
        QTest::newRow("date month name") << D << 4 << "15 Jan 2002" << QVariant(QDate(2002, 1, 15));
        QTest::newRow("date no such day") << D << 4 << "2/30/2002" << QVariant("error: '2/30/2002' is not a valid date");
        QTest::newRow("logical true") << B << 1 << "True" << QVariant(true);
        QTest::newRow("logical yes") << B << 1 << "y" << QVariant(true);
        QTest::newRow("logical false") << B << 1 << "false" << QVariant(false);
        QTest::newRow("logical zero") << B << 1 << "0" << QVariant(false);
        QTest::newRow("logical text") << B << 1 << "maybe" << QVariant("error: 'maybe' is not a valid boolean value");
        QTest::newRow("alpha cut to width") << A << 5 << "ABCDEFG" << QVariant("ABCDE");
        QTest::newRow("alpha keeps blanks") << A << 10 << " as typed" << QVariant(" as typed");
        QTest::newRow("alpha empty is null") << A << 5 << "" << QVariant();
    }
    void parseText()
    {
        QFETCH(FieldType, type);
        QFETCH(int, size);
        QFETCH(QString, text);
        QFETCH(QVariant, expected);
        const FieldSpec f{QStringLiteral("F"), type, size, false};
        const QVariant got = outcome([&] { return fieldvalue::parseText(f, text); });
        QCOMPARE(got, expected);
        QCOMPARE(got.isNull(), expected.isNull());
        // Text handed to convert is read the same way.
        QCOMPARE(outcome([&] { return fieldvalue::convert(f, text); }), expected);
    }

    // Values that are already typed keep their meaning and meet the same rules.
    void convertTyped_data()
    {
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("null stays null") << FieldType::Long << 4 << QVariant() << QVariant();
        QTest::newRow("short in range") << FieldType::Short << 2 << QVariant(-32767) << QVariant(-32767);
        QTest::newRow("short blank marker") << FieldType::Short << 2 << QVariant(-32768)
                                            << QVariant(rangeError(-32768, "Qty", -32767, 32767));
        QTest::newRow("long from 64 bits") << FieldType::Long << 4 << QVariant(qint64(-2147483648LL))
                                           << QVariant(rangeError(-2147483648LL, "Qty", -2147483647, 2147483647));
        QTest::newRow("auto from double") << FieldType::AutoInc << 4 << QVariant(7.0) << QVariant(7);
        QTest::newRow("date of a timestamp") << FieldType::Date << 4 << QVariant(QDateTime(QDate(2002, 3, 4), QTime(5, 6)))
                                             << QVariant(QDate(2002, 3, 4));
        QTest::newRow("alpha of a number") << FieldType::Alpha << 3 << QVariant(12345) << QVariant("123");
        QTest::newRow("logical of a number") << FieldType::Logical << 1 << QVariant(1) << QVariant(true);
    }
    void convertTyped()
    {
        QFETCH(FieldType, type);
        QFETCH(int, size);
        QFETCH(QVariant, value);
        QFETCH(QVariant, expected);
        const FieldSpec f{QStringLiteral("Qty"), type, size, false};
        const QVariant got = outcome([&] { return fieldvalue::convert(f, value); });
        QCOMPARE(got, expected);
        QCOMPARE(got.typeId(), expected.typeId());
        QCOMPARE(outcome([&] { return convertFieldValue(type, size, QStringLiteral("Qty"), value); }), expected);
    }

    void required_data()
    {
        QTest::addColumn<bool>("required");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("error");
        QTest::newRow("required and blank") << true << QVariant() << "Field 'HR Holder' must have a value";
        QTest::newRow("required and filled") << true << QVariant(QStringLiteral("Ng")) << "";
        QTest::newRow("optional and blank") << false << QVariant() << "";
    }
    void required()
    {
        QFETCH(bool, required);
        QFETCH(QVariant, value);
        QFETCH(QString, error);
        const FieldSpec f{QStringLiteral("HR Holder"), FieldType::Alpha, 30, required};
        QString got;
        try {
            fieldvalue::checkRequired(f, value);
        } catch (const EngineError &e) {
            got = e.message();
        }
        QCOMPARE(got, error);
    }
};

QTEST_GUILESS_MAIN(TstFieldValue)
#include "tst_fieldvalue.moc"
