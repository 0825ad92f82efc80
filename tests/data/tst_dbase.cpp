// dBase table files: the sample files of other writers, values, memos, the
// writer's exact bytes, and damaged files.
#include "data/engine/dbase/dbftable.h"
#include "data/engine/engineerror.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace kw::data;

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(KW_FIXTURES_DIR "/dbase/") + name;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

} // namespace

class TestDbase : public QObject {
    Q_OBJECT
private slots:
    void fixtureHeaders_data();
    void fixtureHeaders();
    void fixtureValues_data();
    void fixtureValues();
    void memos();
    void numbers_data();
    void numbers();
    void writerBytes();
    void deleteAppendAndReopen();
    void refusedValuesChangeNothing();
    void damaged_data();
    void damaged();
    void tolerance();
    void damagedFields_data();
    void damagedFields();
};

void TestDbase::fixtureHeaders_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("fields");
    QTest::newRow("dBase III") << "dbase_03.dbf" << 0x03 << 14 << 31;
    QTest::newRow("dBase III memo") << "dbase_83.dbf" << 0x83 << 67 << 15;
    QTest::newRow("dBase IV memo") << "dbase_8b.dbf" << 0x8B << 10 << 6;
}

void TestDbase::fixtureHeaders()
{
    QFETCH(QString, file);
    QFETCH(int, version);
    QFETCH(int, records);
    QFETCH(int, fields);
    const DbfTable t = DbfTable::open(fixture(file));
    QCOMPARE(int(t.version()), version);
    QCOMPARE(t.recordCount(), records);
    QCOMPARE(t.fields().size(), fields);
    QCOMPARE(t.def().fields.size(), fields);
}

void TestDbase::fixtureValues_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("record");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("N(5,1)") << "dbase_03.dbf" << 11 << "Max_PDOP" << QVariant(3.0);
    QTest::newRow("blank N") << "dbase_03.dbf" << 1 << "Std_Dev" << QVariant();
    QTest::newRow("D") << "dbase_03.dbf" << 0 << "Date_Visit" << QVariant(QDate(2005, 7, 12));
    QTest::newRow("N(19,0)") << "dbase_83.dbf" << 0 << "ID" << QVariant(87.0);
    QTest::newRow("N(13,2)") << "dbase_83.dbf" << 0 << "PRICE" << QVariant(0.0);
    QTest::newRow("L T") << "dbase_83.dbf" << 0 << "TAXABLE" << QVariant(true);
    QTest::newRow("C") << "dbase_83.dbf" << 0 << "NAME" << QVariant(QStringLiteral("Assorted Petits Fours"));
    QTest::newRow("N(20,2)") << "dbase_8b.dbf" << 0 << "NUMERICAL" << QVariant(1.0);
    QTest::newRow("F(20,18)") << "dbase_8b.dbf" << 0 << "FLOAT" << QVariant(1.23456789012346);
    QTest::newRow("L Y") << "dbase_8b.dbf" << 0 << "LOGICAL" << QVariant(true);
    QTest::newRow("blank D") << "dbase_8b.dbf" << 8 << "DATE" << QVariant();
    QTest::newRow("blank L") << "dbase_8b.dbf" << 2 << "LOGICAL" << QVariant();
    QTest::newRow("blank memo") << "dbase_8b.dbf" << 9 << "MEMO" << QVariant();
}

void TestDbase::fixtureValues()
{
    QFETCH(QString, file);
    QFETCH(int, record);
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    const DbfTable t = DbfTable::open(fixture(file));
    const int fi = t.fieldIndex(field);
    QVERIFY(fi >= 0);
    const QVariant got = t.record(record)[fi];
    if (value.userType() == QMetaType::Double)
        QCOMPARE(got.toDouble(), value.toDouble());
    else
        QCOMPARE(got, value);
}

void TestDbase::memos()
{
    const DbfTable t83 = DbfTable::open(fixture(QStringLiteral("dbase_83.dbf")));
    const QByteArray desc = t83.record(0)[t83.fieldIndex(QStringLiteral("DESC"))].toByteArray();
    QVERIFY(desc.startsWith("Our Original assortment...a little taste of heaven for everyone.  Let us\r\nselect"));
    QVERIFY(!desc.contains('\x1A'));
    const DbfTable t8b = DbfTable::open(fixture(QStringLiteral("dbase_8b.dbf")));
    const int memo = t8b.fieldIndex(QStringLiteral("MEMO"));
    QCOMPARE(t8b.record(0)[memo].toByteArray(), QByteArray("First memo\r\n"));
    for (int i = 0; i < 9; ++i)
        QVERIFY(!t8b.record(i)[memo].isNull());
}

void TestDbase::numbers_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("stored"); // empty: refused
    QTest::newRow("integer") << 5 << 0 << QVariant(42) << QByteArray("   42");
    QTest::newRow("fills exactly") << 6 << 2 << QVariant(123.45) << QByteArray("123.45");
    QTest::newRow("does not fit") << 6 << 2 << QVariant(1234.5) << QByteArray();
    QTest::newRow("too many digits") << 4 << 0 << QVariant(123456) << QByteArray();
    QTest::newRow("negative") << 7 << 2 << QVariant(-12.5) << QByteArray(" -12.50");
    QTest::newRow("decimal rounding") << 6 << 2 << QVariant(-1.005) << QByteArray(" -1.01");
    QTest::newRow("round up carries") << 5 << 1 << QVariant(9.96) << QByteArray(" 10.0");
    QTest::newRow("minus zero") << 5 << 2 << QVariant(-0.0) << QByteArray(" 0.00");
    QTest::newRow("tiny negative") << 5 << 2 << QVariant(-0.001) << QByteArray(" 0.00");
    QTest::newRow("text number") << 5 << 1 << QVariant(QStringLiteral(" 2.25")) << QByteArray("  2.3");
    QTest::newRow("not a number") << 5 << 0 << QVariant(QStringLiteral("abc")) << QByteArray();
    QTest::newRow("null") << 4 << 0 << QVariant() << QByteArray("    ");
}

void TestDbase::numbers()
{
    QFETCH(int, length);
    QFETCH(int, decimals);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, stored);
    const DbfField f{QStringLiteral("N1"), 'N', length, decimals, 0};
    if (stored.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(EngineError, DbfTable::encodeValue(f, value, QStringLiteral("t.dbf")));
    } else {
        QCOMPARE(DbfTable::encodeValue(f, value, QStringLiteral("t.dbf")), stored);
    }
}

void TestDbase::writerBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.DBF"));
    DbfTable t = DbfTable::create(path, {{QStringLiteral("NAME"), 'C', 5, 0}, {QStringLiteral("QTY"), 'N', 6, 2},
                                         {QStringLiteral("F"), 'F', 4, 1}, {QStringLiteral("OK"), 'L', 1, 0},
                                         {QStringLiteral("DUE"), 'D', 8, 0}});
    t.appendRecord({QStringLiteral("toolongvalue"), 1.5, -2, true, QDate(2002, 1, 15)});
    t.appendRecord({QString(), QVariant(), QVariant(), QVariant(), QVariant()});
    t.save();
    const QByteArray data = readAll(path);
    const int header = 32 + 5 * 32 + 1;
    QCOMPARE(data.size(), header + 2 * 25 + 1);
    QCOMPARE(data.at(0), char(0x03));
    QCOMPARE(data.mid(4, 4), QByteArray("\x02\x00\x00\x00", 4));
    QCOMPARE(data.mid(8, 4), QByteArray("\xC1\x00\x19\x00", 4));
    QCOMPARE(data.mid(32, 11), QByteArray("NAME\0\0\0\0\0\0\0", 11));
    QCOMPARE(data.at(32 + 11), 'C');
    QCOMPARE(data.at(header - 1), char(0x0D));
    QCOMPARE(data.mid(header, 25), QByteArray(" toolo  1.50-2.0T20020115"));
    QCOMPARE(data.mid(header + 25, 25), QByteArray("                ?        "));
    QCOMPARE(data.at(data.size() - 1), char(0x1A));
    // The header date is the day of writing.
    const QDate today = QDate::currentDate();
    QCOMPARE(int(static_cast<unsigned char>(data.at(1))), today.year() - 1900);
    QCOMPARE(int(data.at(2)), today.month());
    QCOMPARE(int(data.at(3)), today.day());
    QVERIFY_THROWS_EXCEPTION(EngineError, DbfTable::create(path, {{QStringLiteral("X"), 'C', 1, 0}}));
}

void TestDbase::deleteAppendAndReopen()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ALSE.DBF"));
    // Start from a copy of another writer's file: everything in its header
    // except date and count must survive our writes.
    QFile::copy(fixture(QStringLiteral("dbase_8b.dbf")), path);
    QFile::copy(fixture(QStringLiteral("dbase_8b.dbt")), dir.filePath(QStringLiteral("ALSE.DBT")));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray original = readAll(path);
    DbfTable t = DbfTable::open(path);
    const int memo = t.fieldIndex(QStringLiteral("MEMO"));
    t.setDeleted(1, true);
    Row r = t.record(0);
    r[0] = QStringLiteral("changed");
    t.setRecord(0, r); // the memo stays as it is
    Row added = t.record(9);
    added[memo] = QVariant();
    t.appendRecord(added);
    t.save();
    const QByteArray written = readAll(path);
    QCOMPARE(written.at(0), original.at(0));
    QCOMPARE(written.mid(8, 24 - 8 + 8), original.mid(8, 24));
    QCOMPARE(written.mid(32, 225 - 32), original.mid(32, 225 - 32));
    QCOMPARE(written.mid(4, 4), QByteArray("\x0B\x00\x00\x00", 4));
    QCOMPARE(written.size(), 225 + 11 * 160 + 1);

    const DbfTable back = DbfTable::open(path);
    QCOMPARE(back.recordCount(), 11);
    QVERIFY(back.isDeleted(1));
    QVERIFY(!back.isDeleted(0));
    QCOMPARE(back.record(0)[0], QVariant(QStringLiteral("changed")));
    QCOMPARE(back.record(0)[memo].toByteArray(), QByteArray("First memo\r\n"));
    QCOMPARE(back.record(10), back.record(9));
    QCOMPARE(back.lastUpdate(), QDate::currentDate());
}

void TestDbase::refusedValuesChangeNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.DBF"));
    DbfTable t = DbfTable::create(path, {{QStringLiteral("N"), 'N', 3, 0}, {QStringLiteral("D"), 'D', 8, 0}});
    t.appendRecord({1, QDate(2000, 1, 1)});
    QVERIFY_THROWS_EXCEPTION(EngineError, t.setRecord(0, {1000, QVariant()}));
    QVERIFY_THROWS_EXCEPTION(EngineError, t.setRecord(0, {1, QStringLiteral("not a date")}));
    QVERIFY_THROWS_EXCEPTION(EngineError, t.appendRecord({1}));
    QCOMPARE(t.recordCount(), 1);
    QCOMPARE(t.record(0), (Row{1, QDate(2000, 1, 1)}));
    const DbfTable m = DbfTable::open(fixture(QStringLiteral("dbase_83.dbf")));
    DbfTable copy = m;
    Row r = copy.record(0);
    r[copy.fieldIndex(QStringLiteral("DESC"))] = QByteArray("new memo");
    QVERIFY_THROWS_EXCEPTION(EngineError, copy.setRecord(0, r));
}

void TestDbase::damaged_data()
{
    QTest::addColumn<int>("cut");      // bytes kept, -1 = all
    QTest::addColumn<int>("offset");   // byte to overwrite, -1 = none
    QTest::addColumn<int>("value");
    QTest::newRow("empty") << 0 << -1 << 0;
    QTest::newRow("header only") << 20 << -1 << 0;
    QTest::newRow("records missing") << 1000 << -1 << 0;
    QTest::newRow("version") << -1 << 0 << 0x30;
    QTest::newRow("header length") << -1 << 8 << 0xFF;
    QTest::newRow("record length") << -1 << 10 << 0x01;
    QTest::newRow("no terminator") << -1 << 224 << 0x41;
    // Every record would be read a byte late, each value shifted into the next.
    QTest::newRow("header length one byte long") << -1 << 8 << 226;
    QTest::newRow("record deletion flag") << -1 << 225 << 0x41;
}

void TestDbase::damaged()
{
    QFETCH(int, cut);
    QFETCH(int, offset);
    QFETCH(int, value);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("BAD.DBF"));
    QByteArray data = readAll(fixture(QStringLiteral("dbase_8b.dbf")));
    if (cut >= 0)
        data.truncate(cut);
    if (offset >= 0)
        data[offset] = char(value);
    writeAll(path, data);
    try {
        DbfTable::open(path);
        QFAIL("opened a damaged file");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("BAD.DBF")), qPrintable(e.message()));
    }
}

void TestDbase::tolerance()
{
    QTemporaryDir dir;
    // Without the end marker.
    QByteArray data = readAll(fixture(QStringLiteral("dbase_03.dbf")));
    QCOMPARE(data.at(data.size() - 1), char(0x1A));
    data.chop(1);
    writeAll(dir.filePath(QStringLiteral("A.DBF")), data);
    QCOMPARE(DbfTable::open(dir.filePath(QStringLiteral("A.DBF"))).recordCount(), 14);

    // An extra byte between the descriptors and the first record.
    DbfTable t = DbfTable::create(dir.filePath(QStringLiteral("B.DBF")), {{QStringLiteral("C"), 'C', 3, 0}});
    t.appendRecord({QStringLiteral("abc")});
    t.save();
    QByteArray b = readAll(dir.filePath(QStringLiteral("B.DBF")));
    b.insert(65, '\0');
    b[8] = char(66);
    writeAll(dir.filePath(QStringLiteral("B.DBF")), b);
    const DbfTable back = DbfTable::open(dir.filePath(QStringLiteral("B.DBF")));
    QCOMPARE(back.record(0), (Row{QStringLiteral("abc")}));
}

// Bytes that cannot be read as what they claim to be are errors naming the
// file and the field, never an empty memo or a field read as text.
void TestDbase::damagedFields_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("says");
    QTest::newRow("dBase III memo pointer past the end of the memo file")
        << "dbase_83" << "DESC" << "pointer past end" << "past the end";
    QTest::newRow("dBase IV memo pointer past the end of the memo file")
        << "dbase_8b" << "MEMO" << "pointer past end" << "past the end";
    QTest::newRow("dBase IV memo length past the end of the memo file")
        << "dbase_8b" << "MEMO" << "length past end" << "past the end";
    QTest::newRow("dBase III memo without its end mark")
        << "dbase_83" << "DESC" << "no end mark" << "no end";
    QTest::newRow("memo pointer not a number") << "dbase_83" << "DESC" << "pointer text" << "not a number";
    QTest::newRow("memo file missing") << "dbase_83" << "DESC" << "no memo file" << "missing";
    QTest::newRow("field type letter not defined") << "dbase_8b" << "MEMO" << "type Q" << "type";
    QTest::newRow("field type byte zero") << "dbase_03" << "Point_ID" << "type 0" << "type";
    // A value of its own damaged: never read as empty.
    QTest::newRow("date with a blank inside") << "dbase_8b" << "DATE" << "value:2027 115"
                                              << "record 1 holds in field 'DATE' a value that cannot be read as a date";
    QTest::newRow("date past the calendar") << "dbase_8b" << "DATE" << "value:20271341" << "read as a date";
    QTest::newRow("date cut short") << "dbase_03" << "Date_Visit" << "value:202711" << "read as a date";
    QTest::newRow("number holding a letter") << "dbase_8b" << "NUMERICAL" << "value:12a4"
                                             << "record 1 holds in field 'NUMERICAL' a value that cannot be read as a number";
    QTest::newRow("number too wide for its field") << "dbase_83" << "PRICE" << "value:*************" << "as a number";
    QTest::newRow("number field over text") << "dbase_03" << "Max_PDOP" << "value:HIGH" << "as a number";
    QTest::newRow("logical value neither") << "dbase_8b" << "LOGICAL" << "value:X" << "as a logical value";
}

void TestDbase::damagedFields()
{
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QString, damage);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = dir.filePath(table.toUpper() + QStringLiteral(".DBF"));
    const QString memoPath = dir.filePath(table.toUpper() + QStringLiteral(".DBT"));
    QByteArray data = readAll(fixture(table + QStringLiteral(".dbf")));
    QByteArray memo = readAll(fixture(table + QStringLiteral(".dbt")));
    writeAll(path, data);
    if (!memo.isEmpty())
        writeAll(memoPath, memo);
    const DbfTable good = DbfTable::open(path);
    const int fi = good.fieldIndex(field);
    QVERIFY(fi >= 0);
    const DbfField f = good.fields()[fi];
    const int headerLength = qFromLittleEndian<quint16>(data.constData() + 8);
    const int at = headerLength + 1 + f.offset; // first record's value
    const qsizetype block = data.mid(at, f.length).trimmed().toLongLong();
    if (damage == QLatin1String("pointer past end")) {
        data.replace(at, f.length, QByteArray::number(memo.size() / 512 + 3).rightJustified(f.length));
    } else if (damage == QLatin1String("length past end")) {
        QVERIFY(block > 0);
        qToLittleEndian<quint32>(quint32(memo.size()), memo.data() + block * 512 + 4);
    } else if (damage == QLatin1String("no end mark")) {
        QVERIFY(block > 0);
        memo.truncate(block * 512 + 40);
        memo.replace('\x1A', ' ');
    } else if (damage == QLatin1String("pointer text")) {
        data.replace(at, f.length, QByteArray("  12a4  ").rightJustified(f.length));
    } else if (damage.startsWith(QLatin1String("value:"))) {
        data.replace(at, f.length, damage.mid(6).toLatin1().leftJustified(f.length, ' ', true));
    } else if (damage.startsWith(QLatin1String("type "))) {
        data[32 + 32 * fi + 11] = damage.endsWith('Q') ? 'Q' : '\0';
    }
    writeAll(path, data);
    if (damage == QLatin1String("no memo file"))
        QVERIFY(QFile::remove(memoPath));
    else if (!memo.isEmpty())
        writeAll(memoPath, memo);
    try {
        const DbfTable t = DbfTable::open(path);
        for (int i = 0; i < t.recordCount(); ++i)
            t.record(i);
        QFAIL("read a damaged table");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)) && e.message().contains(field)
                     && e.message().contains(says),
                 qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestDbase)
#include "tst_dbase.moc"
