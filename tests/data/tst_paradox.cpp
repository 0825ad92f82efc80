// Paradox table layer: value codec, password checksum, the sample tables
// written by the original engine, create/read/write round trips, key order,
// key violations, AutoInc, encryption, derived files and damaged files.
#include "data/engine/engineerror.h"
#include "core/findfile.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/paradox/pxfile.h"
#include "data/engine/paradox/pxformat.h"
#include "fielddefs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <QtEndian>

#include <cmath>
#include <unistd.h>

using namespace kw::data;
using kwtest::fd;

namespace {

const QString kFixtures = QStringLiteral(KW_FIXTURES_DIR "/paradox");

QByteArray hexBytes(const char *hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); }

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Copies fixture files (all files whose base name is base) into dir.
void copyFixture(const QString &dir, const QString &base)
{
    for (const QString &e : QDir(kFixtures).entryList(QDir::Files)) {
        if (QFileInfo(e).completeBaseName() != base)
            continue;
        QFile::copy(kFixtures + '/' + e, dir + '/' + e);
        QFile(dir + '/' + e).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

// A table with every type the engine creates.
TableDef allTypesDef(int keyFields)
{
    TableDef d;
    d.fields = {fd("Id", FieldType::Short), fd("Name", FieldType::Alpha, 20, true),
                fd("When", FieldType::Date), fd("Flag", FieldType::Logical),
                fd("Big", FieldType::Long), fd("Amount", FieldType::Number),
                fd("Money", FieldType::Currency), fd("At", FieldType::Time),
                fd("Stamp", FieldType::Timestamp), fd("Seq", FieldType::AutoInc)};
    d.keyFieldCount = keyFields;
    return d;
}

// Shaped like the hand receipt items table: AutoInc key, named indexes.
TableDef equipmentDef()
{
    TableDef d;
    d.fields = {fd("Auto", FieldType::AutoInc), fd("HR Number", FieldType::Short),
                fd("NSN", FieldType::Alpha, 16), fd("Serial Number", FieldType::Alpha, 20),
                fd("OH", FieldType::Short), fd("Insp Completed", FieldType::Date),
                fd("Insp Due", FieldType::Date), fd("Remarks", FieldType::Alpha, 15)};
    d.keyFieldCount = 1;
    d.indexes = {IndexDef{"HR Number", {"HR Number"}, false, false, "X02"},
                 IndexDef{"NSN", {"NSN"}, false, false, "X03"},
                 IndexDef{"HRNUM", {"HR Number", "NSN"}, false, false, "XG0"},
                 IndexDef{"Serial", {"Serial Number"}, true, false, "XG1"},
                 IndexDef{"DueDesc", {"Insp Due"}, false, true, "XG2"}};
    return d;
}

Row equipmentRow(int hr, const QString &nsn, const QString &serial, QDate due = {})
{
    return Row{QVariant(), hr, nsn, serial, 1, QVariant(), due.isValid() ? QVariant(due) : QVariant(),
               QVariant()};
}

} // namespace

class TstParadox : public QObject {
    Q_OBJECT
private slots:
    void valueCodec_data();
    void valueCodec();
    void unstorableValues_data();
    void unstorableValues();
    void passwordChecksum_data();
    void passwordChecksum();
    void decryptSample();
    void fixtureHeaders_data();
    void fixtureHeaders();
    void fixtureRecords();
    void fixtureRequiredFlags_data();
    void fixtureRequiredFlags();
    void encryptedSamplePasswords();
    void levelThreeTable_data();
    void levelThreeTable();
    void derivedFilesMatchEngine_data();
    void derivedFilesMatchEngine();
    void valFileMatchesEngine();
    void roundTripAllTypes();
    void keyOrderAndViolation();
    void autoIncrement();
    void updateMovesKeyAndRemove();
    void unkeyedTableIndexes();
    void manyRowsAcrossBlocks();
    void encryptedTable();
    void createsExactFileNames();
    void fileNamesIgnoreCase();
    void derivedFilesRebuilt();
    void syncSchemaRebuildsLostIndex();
    void journalReplay();
    void batchWritesOnceAtItsEnd();
    void readOnlyRefusesChanges();
    void damagedDerivedFilesAreRebuilt();
    void damagedFilesFailCleanly_data();
    void damagedFilesFailCleanly();
};

void TstParadox::valueCodec_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *name, FieldType t, int size, QVariant v, const char *hex) {
        QTest::newRow(name) << int(t) << size << v << hexBytes(hex);
    };
    row("S 1", FieldType::Short, 2, 1, "8001");
    row("S 256", FieldType::Short, 2, 256, "8100");
    row("S -1", FieldType::Short, 2, -1, "7FFF");
    row("S 32767", FieldType::Short, 2, 32767, "FFFF");
    row("S 0", FieldType::Short, 2, 0, "8000");
    row("I 0", FieldType::Long, 4, 0, "80000000");
    row("I -1", FieldType::Long, 4, -1, "7FFFFFFF");
    row("I -70000", FieldType::Long, 4, -70000, "7FFEEE90");
    row("+ 1", FieldType::AutoInc, 4, 1, "80000001");
    row("N 0", FieldType::Number, 8, 0.0, "8000000000000000");
    row("N 1", FieldType::Number, 8, 1.0, "BFF0000000000000");
    row("N -1", FieldType::Number, 8, -1.0, "400FFFFFFFFFFFFF");
    row("N 200.36", FieldType::Number, 8, 200.36, "C0690B851EB851EC");
    row("$ 7320", FieldType::Currency, 8, 7320.0, "C0BC980000000000");
    row("D 0001-01-01", FieldType::Date, 4, QDate(1, 1, 1), "80000001");
    row("D 1970-01-01", FieldType::Date, 4, QDate(1970, 1, 1), "800AF93B");
    row("D 2018-01-01", FieldType::Date, 4, QDate(2018, 1, 1), "800B3DB7");
    row("D 2024-02-29", FieldType::Date, 4, QDate(2024, 2, 29), "800B4681");
    row("D 9999-12-31", FieldType::Date, 4, QDate(9999, 12, 31), "8037B9DB");
    row("T 10:30", FieldType::Time, 4, QTime(10, 30), "8240C840");
    row("T midnight", FieldType::Time, 4, QTime(0, 0), "80000000");
    row("@ 2020-02-01 01:00:01", FieldType::Timestamp, 8,
        QDateTime(QDate(2020, 2, 1), QTime(1, 0, 1), Qt::UTC), "C2CCF98ACB193400");
    row("L true", FieldType::Logical, 1, true, "81");
    row("L false", FieldType::Logical, 1, false, "80");
    row("A San José cp437", FieldType::Alpha, 10, QStringLiteral("San José"), "53616E204A6F738200 00");
    row("A full width", FieldType::Alpha, 3, QStringLiteral("ABC"), "414243");
    for (auto t : {FieldType::Short, FieldType::Long, FieldType::Date, FieldType::Number,
                   FieldType::Logical, FieldType::Alpha, FieldType::Time, FieldType::Timestamp,
                   FieldType::AutoInc, FieldType::Currency}) {
        const int size = t == FieldType::Short ? 2 : t == FieldType::Logical ? 1
                         : (t == FieldType::Number || t == FieldType::Currency || t == FieldType::Timestamp) ? 8
                         : t == FieldType::Alpha ? 5 : 4;
        QTest::newRow(qPrintable(QStringLiteral("NULL %1").arg(px::typeLetter(t))))
            << int(t) << size << QVariant() << QByteArray(size, '\0');
    }
}

void TstParadox::valueCodec()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, bytes);
    QByteArray out(size, 'x');
    QString why;
    QVERIFY2(px::encodeValue(FieldType(type), size, value, reinterpret_cast<uchar *>(out.data()), 437, &why),
             qPrintable(why));
    QCOMPARE(out.toHex(' '), bytes.toHex(' '));
    const QVariant back = px::decodeValue(FieldType(type), reinterpret_cast<const uchar *>(bytes.constData()),
                                          size, 437);
    QCOMPARE(back.isNull(), value.isNull());
    if (!value.isNull())
        QCOMPARE(back, value);
}

void TstParadox::unstorableValues_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("short min") << int(FieldType::Short) << 2 << QVariant(-32768);
    QTest::newRow("short over") << int(FieldType::Short) << 2 << QVariant(40000);
    QTest::newRow("long min") << int(FieldType::Long) << 4 << QVariant(qlonglong(-2147483648LL));
    QTest::newRow("text in short") << int(FieldType::Short) << 2 << QVariant(QStringLiteral("abc"));
    QTest::newRow("bad date") << int(FieldType::Date) << 4 << QVariant(QStringLiteral("no date"));
    QTest::newRow("nan") << int(FieldType::Number) << 8 << QVariant(std::nan(""));
}

void TstParadox::unstorableValues()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QVariant, value);
    QByteArray out(size, '\0');
    QVERIFY(!px::encodeValue(FieldType(type), size, value, reinterpret_cast<uchar *>(out.data()), 437, nullptr));
}

void TstParadox::passwordChecksum_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<quint32>("checksum");
    QTest::newRow("123") << QByteArray("123") << 0x0A25E09AU;
    QTest::newRow("a") << QByteArray("a") << 0x35FFEEABU;
    QTest::newRow("abc") << QByteArray("abc") << 0x2F7A97D8U;
    QTest::newRow("Password") << QByteArray("Password") << 0x8888026CU;
    QTest::newRow("long") << QByteArray("abcdefghijklmnopqrstuvwxyz0123456789") << 0x12EEE1EAU;
    QTest::newRow("empty") << QByteArray() << 0U;
}

void TstParadox::passwordChecksum()
{
    QFETCH(QByteArray, password);
    QFETCH(quint32, checksum);
    QCOMPARE(px::passwordChecksum(password), checksum);
}

void TstParadox::decryptSample()
{
    const QByteArray file = readFile(kFixtures + "/encrypted.db");
    QByteArray block = file.mid(0x800, 2048);
    const QByteArray cipher = block;
    px::decryptBlock(reinterpret_cast<uchar *>(block.data()), 2048, 0x0A25E09AU, 1);
    QCOMPARE(block.left(6).toHex(), QByteArray("000000006600"));
    QCOMPARE(block.mid(6, 4).toHex(), QByteArray("80000001"));
    QCOMPARE(block.mid(10, 7), QByteArray("Value 1"));
    px::encryptBlock(reinterpret_cast<uchar *>(block.data()), 2048, 0x0A25E09AU, 1);
    QCOMPARE(block, cipher);
    QByteArray wrong = cipher;
    px::decryptBlock(reinterpret_cast<uchar *>(wrong.data()), 2048, 0x0A25E09AU, 2);
    QVERIFY(wrong.left(6) != QByteArray::fromHex("000000006600"));
}

void TstParadox::fixtureHeaders_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("fields");
    QTest::addColumn<int>("keyFields");
    QTest::addColumn<QString>("firstField");
    QTest::newRow("CUSTOMER") << "CUSTOMER.DB" << 7 << 20 << 10 << 1 << "CustNo";
    QTest::newRow("AREACODES") << "AREACODES.DB" << 7 << 370 << 3 << 1 << "AC";
    QTest::newRow("AREACODE") << "AREACODE.DB" << 4 << 135 << 4 << 1 << "Area Code";
    QTest::newRow("C") << "C.DB" << 5 << 3 << 3 << 1 << "C";
    QTest::newRow("date7") << "date7.db" << 5 << 5 << 2 << 0 << "DATE";
    QTest::newRow("long") << "long.db" << 5 << 3 << 2 << 1 << "ID";
    QTest::newRow("logical") << "logical.db" << 5 << 4 << 1 << 0 << "BOOL";
    QTest::newRow("paradox-ascii") << "paradox-ascii.db" << 4 << 0 << 1 << 0 << "A";
}

void TstParadox::fixtureHeaders()
{
    QFETCH(QString, file);
    QFETCH(int, level);
    QFETCH(int, rows);
    QFETCH(int, fields);
    QFETCH(int, keyFields);
    QFETCH(QString, firstField);
    auto t = ParadoxTable::open(kFixtures + '/' + file, {}, true);
    QCOMPARE(t->formatLevel(), level);
    QCOMPARE(t->rowCount(), rows);
    QCOMPARE(t->def().fields.size(), fields);
    QCOMPARE(t->def().keyFieldCount, keyFields);
    QCOMPARE(t->def().fields.first().name.toUpper(), firstField.toUpper());
    QVERIFY(t->isReadOnly());
}

void TstParadox::fixtureRecords()
{
    auto date7 = ParadoxTable::open(kFixtures + "/date7.db", {}, true);
    QCOMPARE(date7->row(0), (Row{QDate(2018, 1, 1), QTime(10, 0)}));
    QCOMPARE(date7->row(1), (Row{QDate(2018, 2, 1), QTime(10, 30)}));
    QCOMPARE(date7->row(2), (Row{QDate(2018, 1, 2), QTime(9, 25, 25)}));
    QVERIFY(date7->row(3)[0].isNull());
    QCOMPARE(date7->row(3)[1], QVariant(QTime(10, 0)));
    QVERIFY(date7->row(4)[1].isNull());

    auto lng = ParadoxTable::open(kFixtures + "/long.db", {}, true);
    QCOMPARE(lng->row(0), (Row{1, 1}));
    QCOMPARE(lng->row(1), (Row{2, 2}));
    QCOMPARE(lng->row(2)[0], QVariant(3));
    QVERIFY(lng->row(2)[1].isNull());
    QCOMPARE(lng->findKey(Row{2}), 1);
    QCOMPARE(lng->findKey(Row{7}), -1);

    auto logical = ParadoxTable::open(kFixtures + "/logical.db", {}, true);
    QCOMPARE(logical->rowCount(), 4);
    const QList<bool> want{true, false, true, true};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(logical->row(i)[0].toBool(), want[i]);

    auto areas = ParadoxTable::open(kFixtures + "/AREACODES.DB", {}, true);
    bool sanJose = false;
    for (int i = 0; i < areas->rowCount(); ++i)
        sanJose = sanJose || areas->row(i).contains(QVariant(QStringLiteral("San José")));
    QVERIFY(sanJose);
    QCOMPARE(areas->def().indexes.size(), 1);
    QCOMPARE(areas->def().indexes[0].name, QStringLiteral("ste"));
    QCOMPARE(areas->def().indexes[0].fields, QStringList{"State"});
    QCOMPARE(areas->def().indexes[0].fileExt, QStringLiteral("XG0"));

    auto customer = ParadoxTable::open(kFixtures + "/CUSTOMER.DB", {}, true);
    QCOMPARE(customer->def().fields[8].type, FieldType::Memo);
    QCOMPARE(customer->row(0)[0], QVariant(1));
    QVERIFY(customer->row(0)[8].toByteArray().size() == customer->def().fields[8].size);
    QCOMPARE(customer->def().indexes.size(), 1);
    QCOMPARE(customer->def().indexes[0].fields, QStringList{"City"});
    QCOMPARE(customer->def().indexes[0].fileExt, QStringLiteral("X06"));
}

void TstParadox::fixtureRequiredFlags_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<int>>("required");
    QTest::newRow("C") << "C.DB" << QList<int>{0, 1};
    QTest::newRow("logical") << "logical.db" << QList<int>{0};
    QTest::newRow("AREACODE") << "AREACODE.DB" << QList<int>{};
    QTest::newRow("paradox-ascii") << "paradox-ascii.db" << QList<int>{0};
}

void TstParadox::fixtureRequiredFlags()
{
    QFETCH(QString, file);
    QFETCH(QList<int>, required);
    auto t = ParadoxTable::open(kFixtures + '/' + file, {}, true);
    QList<int> got;
    for (int i = 0; i < t->def().fields.size(); ++i)
        if (t->def().fields[i].required)
            got.append(i);
    QCOMPARE(got, required);
}

void TstParadox::encryptedSamplePasswords()
{
    auto t = ParadoxTable::open(kFixtures + "/encrypted.db", {"wrong", "123"}, true);
    QCOMPARE(t->rowCount(), 4);
    QCOMPARE(t->row(0), (Row{1, QStringLiteral("Value 1")}));
    QCOMPARE(t->row(3), (Row{4, QStringLiteral("Last one")}));
    for (const QStringList &pws : {QStringList{}, QStringList{"12", "1234", "HarborlyQZ"}}) {
        try {
            ParadoxTable::open(kFixtures + "/encrypted.db", pws, true);
            QFAIL("opened without the right password");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains("password") && e.message().contains("encrypted.db"),
                     qPrintable(e.message()));
        }
    }
}

// A level-3 table (no header extension, 1 KB blocks, header as long as its
// contents, password checksum at 0x25), built byte by byte.
void TstParadox::levelThreeTable_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("plain") << QByteArray();
    QTest::newRow("encrypted") << QByteArray("abc");
}

void TstParadox::levelThreeTable()
{
    QFETCH(QByteArray, password);
    const int headerSize = 0x58 + 4 + 4 + 8 + 79 + 9;
    QByteArray h(headerSize, '\0');
    auto *d = reinterpret_cast<uchar *>(h.data());
    qToLittleEndian<quint16>(12, d);
    qToLittleEndian<quint16>(headerSize, d + 2);
    d[4] = 0;   // keyed
    d[5] = 1;   // 1 KB blocks
    qToLittleEndian<quint32>(3, d + 6);
    qToLittleEndian<quint16>(1, d + 0x0A);
    qToLittleEndian<quint16>(1, d + 0x0C);
    qToLittleEndian<quint16>(1, d + 0x0E);
    qToLittleEndian<quint16>(1, d + 0x10);
    qToLittleEndian<quint16>(2, d + 0x21);
    qToLittleEndian<quint16>(1, d + 0x23);
    const quint32 checksum = px::passwordChecksum(password);
    qToLittleEndian<quint32>(checksum, d + 0x25);
    d[0x39] = 3;
    const uchar desc[] = {0x01, 0x0A, 0x03, 0x02};
    std::memcpy(d + 0x58, desc, 4);
    std::memcpy(d + 0x58 + 4 + 4 + 8, "OLD.DB", 6);
    std::memcpy(d + headerSize - 9, "Name\0Num\0", 9);
    QByteArray block(1024, '\0');
    auto *b = reinterpret_cast<uchar *>(block.data());
    qToLittleEndian<quint16>(24, b + 4);
    const char *names[] = {"ALPHA", "BRAVO", "CHARLIE"};
    for (int r = 0; r < 3; ++r) {
        std::memcpy(b + 6 + 12 * r, names[r], std::strlen(names[r]));
        if (r < 2) {
            b[6 + 12 * r + 10] = 0x80;
            b[6 + 12 * r + 11] = uchar(r + 1);
        }
    }
    if (checksum)
        px::encryptBlock(b, 1024, checksum, 1);
    QTemporaryDir dir;
    writeFile(dir.filePath("OLD.DB"), h + block);
    auto t = ParadoxTable::open(dir.filePath("old.db"), {QString::fromLatin1(password)}, true);
    QCOMPARE(t->formatLevel(), 3);
    QCOMPARE(t->rowCount(), 3);
    QCOMPARE(t->def().fields[1].name, QStringLiteral("Num"));
    QCOMPARE(t->row(0), (Row{QStringLiteral("ALPHA"), 1}));
    QCOMPARE(t->row(2)[0], QVariant(QStringLiteral("CHARLIE")));
    QVERIFY(t->row(2)[1].isNull());
    if (!password.isEmpty())
        QVERIFY_THROWS_EXCEPTION(EngineError, ParadoxTable::open(dir.filePath("OLD.DB"), {"abd"}, true));
    // Written to in place, it stays a level-3 table.
    {
        auto w = ParadoxTable::open(dir.filePath("OLD.DB"), {QString::fromLatin1(password)}, false);
        Row r{QStringLiteral("ABLE"), 9};
        QCOMPARE(w->insert(r), 0);
        w->close();
    }
    t = ParadoxTable::open(dir.filePath("OLD.DB"), {QString::fromLatin1(password)}, true);
    QCOMPARE(t->formatLevel(), 3);
    QCOMPARE(t->rowCount(), 4);
    QCOMPARE(t->row(0), (Row{QStringLiteral("ABLE"), 9}));
    QCOMPARE(t->row(3)[0], QVariant(QStringLiteral("CHARLIE")));
}

// Opening a copy for writing regenerates its derived files; the data blocks
// must come out as the original engine wrote them.
void TstParadox::derivedFilesMatchEngine_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("exts");
    QTest::newRow("CUSTOMER") << "CUSTOMER" << QStringList{"PX", "X06", "Y06"};
    QTest::newRow("AREACODES") << "AREACODES" << QStringList{"PX", "XG0", "YG0"};
    QTest::newRow("C") << "C" << QStringList{"PX", "X02", "Y02", "X03", "Y03"};
}

void TstParadox::derivedFilesMatchEngine()
{
    QFETCH(QString, base);
    QFETCH(QStringList, exts);
    QTemporaryDir dir;
    copyFixture(dir.path(), base);
    const QString table = kw::core::findFileNoCase(dir.path(), base + ".DB");
    // The .PX and .Y* files must be rebuilt from nothing; the index data
    // files (which define the indexes) from their stale stamps.
    for (const QString &ext : exts)
        if (!ext.startsWith('X'))
            QVERIFY(QFile::remove(kw::core::findFileNoCase(dir.path(), base + '.' + ext)));
    ParadoxTable::open(table, {}, false)->close();
    for (const QString &ext : exts) {
        const QByteArray engine = readFile(kw::core::findFileNoCase(kFixtures, base + '.' + ext));
        const QByteArray ours = readFile(kw::core::findFileNoCase(dir.path(), base + '.' + ext));
        QVERIFY2(!ours.isEmpty(), qPrintable(ext));
        const int hsEngine = qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(engine.constData()) + 2);
        const int hsOurs = qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(ours.constData()) + 2);
        QByteArray a = engine.mid(hsEngine), b = ours.mid(hsOurs);
        // The engine may leave the final index block cut short.
        if (a.size() < b.size())
            a.append(QByteArray(b.size() - a.size(), '\0'));
        QVERIFY2(a == b, qPrintable(ext + " data blocks differ"));
        // Header counts agree too.
        QCOMPARE(ours.mid(6, 4).toHex(), engine.mid(6, 4).toHex());
        QCOMPARE(ours.mid(0x1E, 3).toHex(), engine.mid(0x1E, 3).toHex());
    }
}

void TstParadox::valFileMatchesEngine()
{
    const QByteArray engine = readFile(kFixtures + "/paradox-ascii.val");
    const QByteArray db = readFile(kFixtures + "/paradox-ascii.db");
    const px::FileHeader h = px::parseHeader(db, false, "paradox-ascii.db");
    px::TableInfo info;
    info.def.fields = h.fields;
    info.def.fields[0].required = true;
    info.version = h.version;
    info.codePage = h.codePage;
    const auto *d = reinterpret_cast<const uchar *>(db.constData());
    info.changeCounter2 = d[0x2E];
    info.updateTime = qFromLittleEndian<quint32>(d + 0x60);
    info.nextFieldId = qFromLittleEndian<quint16>(d + 0x64);
    info.fieldNumbers = h.fieldNumbers;
    // The path the engine stored, from the sample's footer.
    const int footer = int(qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(engine.constData()) + 9));
    const QByteArray path = engine.mid(footer + 6 + 4 * h.numFields, 79);
    const QByteArray ours = px::buildValFile(info, path.left(path.indexOf('\0')));
    QCOMPARE(ours.toHex(' '), engine.toHex(' '));
}

void TstParadox::roundTripAllTypes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("AllTypes.DB");
    ParadoxTable::create(path, allTypesDef(1), QString());
    const Row full{7, QStringLiteral("Café Ünï ½€"), QDate(2024, 2, 29), true, -70000, -1.387, 7320.5,
                   QTime(23, 59, 59, 999), QDateTime(QDate(1999, 12, 31), QTime(12, 0), Qt::UTC), 0};
    const Row nulls{8, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                    QVariant(), 0};
    const Row zeros{9, QString(), QDate(1, 1, 1), false, 0, 0.0, -0.0, QTime(0, 0), QVariant(), 0};
    {
        auto t = ParadoxTable::open(path, {}, false);
        for (Row r : {full, nulls, zeros})
            t->insert(r);
        t->close();
    }
    auto t = ParadoxTable::open(path, {}, true);
    QCOMPARE(t->formatLevel(), 7);
    QCOMPARE(t->rowCount(), 3);
    Row want = full;
    want[1] = QStringLiteral("Café Ünï ½?"); // code page 437 has no euro sign
    want[9] = 1;
    QCOMPARE(t->row(0), want);
    for (int i = 1; i < 9; ++i)
        QVERIFY2(t->row(1)[i].isNull(), qPrintable(QString::number(i)));
    QCOMPARE(t->row(1)[9], QVariant(2));
    QVERIFY(t->row(2)[1].isNull()); // an empty text is NULL
    QCOMPARE(t->row(2)[4], QVariant(0));
    QVERIFY(!t->row(2)[4].isNull());
    QCOMPARE(t->row(2)[5], QVariant(0.0));
    QCOMPARE(t->row(2)[7], QVariant(QTime(0, 0)));
    QVERIFY(t->def().fields[1].required);
    QVERIFY(!t->def().fields[0].required);
}

void TstParadox::keyOrderAndViolation()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Keyed.DB");
    TableDef def;
    def.fields = {fd("Code", FieldType::Alpha, 10), fd("N", FieldType::Short)};
    def.keyFieldCount = 1;
    ParadoxTable::create(path, def, QString());
    auto t = ParadoxTable::open(path, {}, false);
    for (const char *k : {"CC", "AA", "BB", "A", "CCC"}) {
        Row r{QString::fromLatin1(k), 1};
        t->insert(r);
    }
    QStringList keys;
    for (int i = 0; i < t->rowCount(); ++i)
        keys << t->row(i)[0].toString();
    QCOMPARE(keys, (QStringList{"A", "AA", "BB", "CC", "CCC"}));
    const QByteArray before = readFile(path);
    const quint64 changes = t->changeCount();
    Row dup{QStringLiteral("BB"), 2};
    QVERIFY_THROWS_EXCEPTION(KeyViolation, t->insert(dup));
    QVERIFY_THROWS_EXCEPTION(KeyViolation, t->update(0, Row{QStringLiteral("CC"), 5}));
    QCOMPARE(readFile(path), before);
    QCOMPARE(t->changeCount(), changes);
    QCOMPARE(t->rowCount(), 5);
    try {
        t->insert(dup);
    } catch (const KeyViolation &e) {
        QCOMPARE(e.message(), QStringLiteral("Key violation."));
    }
    QCOMPARE(t->findKey(Row{QStringLiteral("CC")}), 3);
    QCOMPARE(t->findKey(Row{QStringLiteral("C")}), -1);
    // A batch goes in whole or not at all.
    for (const QStringList &keys : {QStringList{"D", "E", "D"}, QStringList{"F", "AA"}}) {
        QVector<Row> batch;
        for (const QString &k : keys)
            batch.append(Row{k, 3});
        QVERIFY_THROWS_EXCEPTION(KeyViolation, t->insertRows(batch));
        QCOMPARE(readFile(path), before);
        QCOMPARE(t->rowCount(), 5);
    }
    QVector<Row> batch{Row{QStringLiteral("E"), 1}, Row{QStringLiteral("B"), 2}};
    t->insertRows(batch);
    QCOMPARE(t->rowCount(), 7);
    QCOMPARE(t->row(2)[0], QVariant(QStringLiteral("B")));
}

void TstParadox::autoIncrement()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Equipment.DB");
    ParadoxTable::create(path, equipmentDef(), "HarborlyQZ");
    {
        auto t = ParadoxTable::open(path, {"HarborlyQZ"}, false);
        for (int i = 0; i < 3; ++i) {
            Row r = equipmentRow(i, "NSN", QString::number(i));
            r[0] = 99; // ignored
            t->insert(r);
            QCOMPARE(r[0], QVariant(i + 1));
        }
        t->remove(2);
        t->close();
    }
    const QByteArray db = readFile(path);
    QCOMPARE(qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(db.constData()) + 0x49), 3U); // last value handed out
    auto t = ParadoxTable::open(path, {"HarborlyQZ"}, false);
    Row r = equipmentRow(5, "X", "Y");
    t->insert(r);
    QCOMPARE(r[0], QVariant(4));
    // An update keeps the value handed out.
    Row u = t->row(0);
    u[0] = 50;
    u[3] = QStringLiteral("changed");
    QCOMPARE(t->update(0, u), 0);
    QCOMPARE(t->row(0)[0], QVariant(1));
    QCOMPARE(t->row(0)[3], QVariant(QStringLiteral("changed")));
}

void TstParadox::updateMovesKeyAndRemove()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("K.DB");
    TableDef def;
    def.fields = {fd("K", FieldType::Short), fd("V", FieldType::Alpha, 5)};
    def.keyFieldCount = 1;
    ParadoxTable::create(path, def, QString());
    auto t = ParadoxTable::open(path, {}, false);
    for (int k : {10, 20, 30}) {
        Row r{k, QString::number(k)};
        t->insert(r);
    }
    QCOMPARE(t->update(0, Row{40, "x"}), 2);
    QCOMPARE(t->row(2), (Row{40, "x"}));
    QCOMPARE(t->row(0)[0], QVariant(20));
    t->remove(1);
    QCOMPARE(t->rowCount(), 2);
    t->removeAll();
    QCOMPARE(t->rowCount(), 0);
    QCOMPARE(QFileInfo(path).size(), 2048); // an empty table is its header
    t->close();
    QCOMPARE(ParadoxTable::open(path, {}, true)->rowCount(), 0);
}

void TstParadox::unkeyedTableIndexes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Heap.DB");
    TableDef def;
    def.fields = {fd("Name", FieldType::Alpha, 10), fd("Day", FieldType::Date), fd("N", FieldType::Short)};
    def.indexes = {IndexDef{"ByDay", {"Day", "Name"}, false, true, ""}, IndexDef{"N", {"N"}, false, false, ""}};
    ParadoxTable::create(path, def, "");
    {
        auto t = ParadoxTable::open(path, {}, false);
        for (const char *n : {"b", "a", "c", "a"}) {
            Row r{QString::fromLatin1(n), QDate(2025, 3, 1), 4};
            const int pos = t->insert(r);
            QCOMPARE(pos, t->rowCount() - 1); // rows stay in the order written
        }
        t->remove(0);
        t->close();
    }
    auto t = ParadoxTable::open(path, {}, true);
    QCOMPARE(t->rowCount(), 3);
    QCOMPARE(t->row(0)[0], QVariant(QStringLiteral("a")));
    QCOMPARE(t->findKey(Row{QStringLiteral("a")}), -1);
    QCOMPARE(t->def().indexes.size(), 2);
    QCOMPARE(t->def().indexes[0].fileExt, QStringLiteral("X03"));
    QCOMPARE(t->def().indexes[1].fileExt, QStringLiteral("XG0"));
    QCOMPARE(t->def().indexes[1].name, QStringLiteral("ByDay"));
    QCOMPARE(t->def().indexes[1].fields, (QStringList{"Day", "Name"}));
    QVERIFY(t->def().indexes[1].descending);
    QVERIFY(!QFileInfo::exists(dir.filePath("Heap.PX")));
    const QByteArray xg = readFile(dir.filePath("Heap.XG0"));
    QCOMPARE(int(xg[4]), 6); // not maintained: unkeyed
    QCOMPARE(qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(xg.constData()) + 6), 3U);
}

// Inserts and deletes in random key order over many blocks, checked against
// a model after reopening.
void TstParadox::manyRowsAcrossBlocks()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Many.DB");
    TableDef def;
    def.fields = {fd("K", FieldType::Long), fd("Pad", FieldType::Alpha, 200)};
    def.keyFieldCount = 1;
    def.indexes = {IndexDef{"Pad", {"Pad"}, false, false, "X02"}};
    ParadoxTable::create(path, def, "secret");
    QMap<int, QString> model;
    QRandomGenerator rng(42);
    {
        auto t = ParadoxTable::open(path, {"secret"}, false);
        for (int i = 0; i < 400; ++i) {
            const int k = int(rng.bounded(1000));
            if (model.contains(k)) {
                const int pos = t->findKey(Row{k});
                QVERIFY(pos >= 0);
                if (rng.bounded(2)) {
                    t->remove(pos);
                    model.remove(k);
                } else {
                    t->update(pos, Row{k, QStringLiteral("u%1").arg(i)});
                    model[k] = QStringLiteral("u%1").arg(i);
                }
            } else {
                Row r{k, QStringLiteral("p%1").arg(k)};
                t->insert(r);
                model[k] = r[1].toString();
            }
        }
        t->close();
    }
    auto t = ParadoxTable::open(path, {"secret"}, true);
    QCOMPARE(t->rowCount(), model.size());
    int i = 0;
    for (auto it = model.cbegin(); it != model.cend(); ++it, ++i)
        QCOMPARE(t->row(i), (Row{it.key(), it.value()}));
    // The .PX written at close has one entry per block.
    const QByteArray db = readFile(path);
    const QByteArray pxf = readFile(dir.filePath("Many.PX"));
    const auto *h = reinterpret_cast<const uchar *>(db.constData());
    QCOMPARE(qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(pxf.constData()) + 6), quint32(qFromLittleEndian<quint16>(h + 0x0A)));
}

void TstParadox::encryptedTable()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Hrdf.DB");
    TableDef def;
    def.fields = {fd("HR Number", FieldType::Short, 0, true), fd("HR Holder", FieldType::Alpha, 30, true)};
    def.keyFieldCount = 1;
    ParadoxTable::create(path, def, "HarborlyQZ");
    {
        auto t = ParadoxTable::open(path, {"other", "HarborlyQZ"}, false);
        Row r{12, QStringLiteral("SECRETHOLDER")};
        t->insert(r);
        t->close();
    }
    QVERIFY(!readFile(path).contains("SECRETHOLDER"));
    QVERIFY(!readFile(dir.filePath("Hrdf.PX")).contains("\x80\x0c"));
    for (const QStringList &pws : {QStringList{}, QStringList{"harborlyqz"}})
        QVERIFY_THROWS_EXCEPTION(EngineError, ParadoxTable::open(path, pws, true));
    auto t = ParadoxTable::open(path, {"HarborlyQZ"}, true);
    QCOMPARE(t->row(0), (Row{12, QStringLiteral("SECRETHOLDER")}));
}

void TstParadox::createsExactFileNames()
{
    QTemporaryDir dir;
    ParadoxTable::create(dir.filePath("Equipment.DB"), equipmentDef(), "HarborlyQZ");
    QStringList files = QDir(dir.path()).entryList(QDir::Files);
    QCOMPARE(files, (QStringList{"Equipment.DB", "Equipment.PX", "Equipment.VAL", "Equipment.X02",
                                 "Equipment.X03", "Equipment.XG0", "Equipment.XG1", "Equipment.XG2",
                                 "Equipment.Y02", "Equipment.Y03", "Equipment.YG0", "Equipment.YG1",
                                 "Equipment.YG2"}));
    // Creating it again fails, whatever the case of the name.
    QVERIFY_THROWS_EXCEPTION(EngineError, ParadoxTable::create(dir.filePath("EQUIPMENT.db"), equipmentDef(), ""));
    // Index definitions come back, named ones by name.
    auto t = ParadoxTable::open(dir.filePath("equipment.db"), {"HarborlyQZ"}, false);
    QCOMPARE(QFileInfo(t->path()).fileName(), QStringLiteral("Equipment.DB"));
    const QVector<IndexDef> want = equipmentDef().indexes;
    QCOMPARE(t->def().indexes.size(), want.size());
    for (int i = 0; i < want.size(); ++i) {
        QCOMPARE(t->def().indexes[i].name, want[i].name);
        QCOMPARE(t->def().indexes[i].fields, want[i].fields);
        QCOMPARE(t->def().indexes[i].fileExt, want[i].fileExt);
        QCOMPARE(t->def().indexes[i].caseInsensitive, want[i].caseInsensitive);
        QCOMPARE(t->def().indexes[i].descending, want[i].descending);
    }
    t->close();
    // No journal is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 13);
}

void TstParadox::fileNamesIgnoreCase()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("Aircraft.DB"), "x");
    QCOMPARE(kw::core::findFileNoCase(dir.path(), "Aircraft.db"), dir.filePath("Aircraft.DB"));
    QCOMPARE(kw::core::findFileNoCase(dir.path(), "AIRCRAFT.DB"), dir.filePath("Aircraft.DB"));
    QCOMPARE(kw::core::findFileNoCase(dir.path(), "Aircraft.DB"), dir.filePath("Aircraft.DB"));
    QCOMPARE(kw::core::findFileNoCase(dir.path(), "Bin.db"), dir.filePath("Bin.db"));
    // Companion files are found whatever their case.
    QTemporaryDir d2;
    ParadoxTable::create(d2.filePath("aircraft.db"), TableDef{{fd("Aircraft", FieldType::Alpha, 10)}, 1, {}, true}, "");
    QVERIFY(QFile::rename(d2.filePath("aircraft.PX"), d2.filePath("AIRCRAFT.px")));
    {
        auto t = ParadoxTable::open(d2.filePath("Aircraft.DB"), {}, false);
        Row r{QStringLiteral("N123")};
        t->insert(r);
        t->close();
    }
    const QStringList files = QDir(d2.path()).entryList(QDir::Files);
    QCOMPARE(QSet<QString>(files.begin(), files.end()), (QSet<QString>{"AIRCRAFT.px", "aircraft.VAL", "aircraft.db"}));
}

void TstParadox::derivedFilesRebuilt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Equipment.DB");
    ParadoxTable::create(path, equipmentDef(), "HarborlyQZ");
    {
        auto t = ParadoxTable::open(path, {"HarborlyQZ"}, false);
        for (int i = 0; i < 50; ++i) {
            Row r = equipmentRow(i % 7, QStringLiteral("NSN%1").arg(i % 5), QStringLiteral("s%1").arg(i),
                                 QDate(2025, 1, 1).addDays(i));
            t->insert(r);
        }
        t->close();
    }
    QHash<QString, QByteArray> good;
    for (const QString &e : QDir(dir.path()).entryList(QDir::Files))
        good[e] = readFile(dir.filePath(e));
    // Missing files come back identical (a lost .VAL needs the schema: see
    // syncSchemaRebuildsLostIndex).
    for (const char *e : {"Equipment.PX", "Equipment.X03", "Equipment.Y02", "Equipment.YG1"})
        QVERIFY(QFile::remove(dir.filePath(e)));
    ParadoxTable::open(path, {"HarborlyQZ"}, false)->close();
    for (auto it = good.cbegin(); it != good.cend(); ++it)
        QVERIFY2(readFile(dir.filePath(it.key())) == it.value(), qPrintable(it.key()));
    // Stale files (an old copy of the index) are rebuilt, but not when read-only.
    {
        auto t = ParadoxTable::open(path, {"HarborlyQZ"}, false);
        Row r = equipmentRow(1, "NEW", "new");
        t->insert(r);
        t->close();
    }
    for (const char *e : {"Equipment.XG0", "Equipment.YG0"})
        writeFile(dir.filePath(e), good[e]);
    ParadoxTable::open(path, {"HarborlyQZ"}, true);
    QCOMPARE(readFile(dir.filePath("Equipment.XG0")), good["Equipment.XG0"]);
    ParadoxTable::open(path, {"HarborlyQZ"}, false)->close();
    QVERIFY(readFile(dir.filePath("Equipment.XG0")) != good["Equipment.XG0"]);
    const QByteArray xg0 = readFile(dir.filePath("Equipment.XG0"));
    QCOMPARE(qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(xg0.constData()) + 6), 51U);
}

void TstParadox::syncSchemaRebuildsLostIndex()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Equipment.DB");
    ParadoxTable::create(path, equipmentDef(), "");
    for (const char *e : {"Equipment.XG2", "Equipment.YG2", "Equipment.VAL"})
        QVERIFY(QFile::remove(dir.filePath(e)));
    auto t = ParadoxTable::open(path, {}, false);
    QCOMPARE(t->def().indexes.size(), 4); // the named one is lost with its files
    TableDef want = equipmentDef();
    want.fields[2].required = true;
    t->syncSchema(want);
    QCOMPARE(t->def().indexes.size(), 5);
    QCOMPARE(t->def().indexes[4].name, QStringLiteral("DueDesc"));
    QVERIFY(QFileInfo::exists(dir.filePath("Equipment.XG2")));
    QVERIFY(QFileInfo::exists(dir.filePath("Equipment.YG2")));
    t->close();
    auto again = ParadoxTable::open(path, {}, true);
    QCOMPARE(again->def().indexes.size(), 5);
    QVERIFY(again->def().fields[2].required);
    TableDef wrong = want;
    wrong.fields.removeLast();
    auto rw = ParadoxTable::open(path, {}, false);
    QVERIFY_THROWS_EXCEPTION(EngineError, rw->syncSchema(wrong));
}

// A batch changes the rows at once but the file only when it ends; a failed
// change inside it takes back that change alone.
void TstParadox::batchWritesOnceAtItsEnd()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Equipment.DB");
    ParadoxTable::create(path, equipmentDef(), QString());
    auto t = ParadoxTable::open(path, {}, false);
    Row first = equipmentRow(1, QStringLiteral("1111-00-000-0001"), QStringLiteral("S-1"));
    t->insert(first);
    const QByteArray before = readFile(path);
    const quint64 changes = t->changeCount();
    t->beginBatch();
    t->beginBatch(); // nested: only the outermost end writes
    // Enough rows to need new blocks, and a change and a removal among them.
    for (int i = 0; i < 150; ++i) {
        Row r = equipmentRow(2, QStringLiteral("2222-00-000-%1").arg(i, 4, 10, QLatin1Char('0')),
                             QStringLiteral("B-%1").arg(i));
        const int pos = t->insert(r);
        QCOMPARE(pos, t->rowCount() - 1);
        QCOMPARE(r[0].toInt(), i + 2); // AutoInc assigned at once
    }
    Row changed = t->row(5);
    changed[4] = 9;
    t->update(5, changed);
    t->remove(7);
    QCOMPARE(t->rowCount(), 150);
    QVERIFY(t->changeCount() > changes);
    t->endBatch();
    QCOMPARE(readFile(path), before);
    // Readers of the file see the table as it was before the batch.
    QCOMPARE(ParadoxTable::open(path, {}, true)->rowCount(), 1);
    t->endBatch();
    QVERIFY(readFile(path) != before);
    t->endBatch(); // one end too many does nothing
    {
        auto r = ParadoxTable::open(path, {}, true);
        QCOMPARE(r->rowCount(), 150);
        QCOMPARE(r->row(5)[4].toInt(), 9);
        QCOMPARE(r->row(149)[0].toInt(), 151);
    }
    // close() ends a batch left open.
    t->beginBatch();
    Row last = equipmentRow(3, QStringLiteral("3333-00-000-0001"), QStringLiteral("C-1"));
    t->insert(last);
    t->close();
    auto again = ParadoxTable::open(path, {}, false);
    QCOMPARE(again->rowCount(), 151);
    QCOMPARE(again->row(150)[3].toString(), QStringLiteral("C-1"));
}

void TstParadox::journalReplay()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("J.DB");
    TableDef def;
    def.fields = {fd("K", FieldType::Short), fd("V", FieldType::Alpha, 8)};
    def.keyFieldCount = 1;
    ParadoxTable::create(path, def, QString());
    QByteArray journal;
    {
        auto t = ParadoxTable::open(path, {}, false);
        Row r{1, QStringLiteral("one")};
        t->insert(r);
        // The journal of the last change stays until close; keep a copy.
        journal = readFile(path + "-journal");
        r = Row{2, QStringLiteral("two")};
        t->insert(r);
        t->close();
    }
    QVERIFY(journal.isEmpty()); // emptied once the table holds the change
    // A complete journal is replayed: build one by snapshotting a change.
    const QByteArray before = readFile(path);
    {
        auto t = ParadoxTable::open(path, {}, false);
        Row r{3, QStringLiteral("three")};
        t->insert(r);
        t->close();
    }
    const QByteArray after = readFile(path);
    writeFile(path, before);
    // Journal: magic, count, final length, entries, CRC, end mark.
    QByteArray j("KWPXJNL1");
    auto le = [&j](quint64 v, int n) {
        for (int i = 0; i < n; ++i)
            j.append(char((v >> (8 * i)) & 0xFF));
    };
    le(1, 4);
    le(quint64(after.size()), 8);
    le(2048, 4);
    le(px::crc32(before.constData(), 2048), 4);
    le(px::crc32(after.constData(), 2048), 4);
    le(0, 8);
    le(quint64(after.size()), 4);
    j.append(after);
    le(px::crc32(j.constData(), j.size()), 4);
    j.append("KWPXJEND");
    // Incomplete (cut short): dropped, the table stays as it was.
    writeFile(path + "-journal", j.left(j.size() - 3));
    QCOMPARE(ParadoxTable::open(path, {}, false)->rowCount(), 2);
    QVERIFY(!QFileInfo::exists(path + "-journal"));
    // A journal that goes with another state of the table (the table was
    // replaced since) is not applied.
    QByteArray other = before;
    other[0x49] = char(other[0x49] + 1);
    writeFile(path, other);
    writeFile(path + "-journal", j);
    QCOMPARE(ParadoxTable::open(path, {}, true)->rowCount(), 2);
    writeFile(path, before);
    QCOMPARE(ParadoxTable::open(path, {}, true)->rowCount(), 3); // read-only: replayed in memory
    QCOMPARE(readFile(path), before);
    QCOMPARE(ParadoxTable::open(path, {}, false)->rowCount(), 3);
    QCOMPARE(readFile(path).mid(0, 0x14), after.mid(0, 0x14));
}

void TstParadox::readOnlyRefusesChanges()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("R.DB");
    ParadoxTable::create(path, TableDef{{fd("A", FieldType::Alpha, 4)}, 0, {}, false}, "");
    auto t = ParadoxTable::open(path, {}, true);
    Row r{QStringLiteral("x")};
    QVERIFY_THROWS_EXCEPTION(EngineError, t->insert(r));
    QVERIFY_THROWS_EXCEPTION(EngineError, t->removeAll());
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    auto t2 = ParadoxTable::open(path, {}, false);
    QVERIFY(t2->isReadOnly() || ::geteuid() == 0);
    if (!t2->isReadOnly()) {
        // One writer at a time; readers may still look.
        QVERIFY_THROWS_EXCEPTION(EngineError, ParadoxTable::open(path, {}, false));
        QCOMPARE(ParadoxTable::open(path, {}, true)->rowCount(), 0);
        t2->close();
        ParadoxTable::open(path, {}, false)->close();
    }
}

// The derived files are never trusted: damaged ones are rebuilt from the
// table on open.
void TstParadox::damagedDerivedFilesAreRebuilt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Equipment.DB");
    ParadoxTable::create(path, equipmentDef(), "HarborlyQZ");
    {
        auto t = ParadoxTable::open(path, {"HarborlyQZ"}, false);
        QVector<Row> rows;
        for (int i = 0; i < 300; ++i)
            rows.append(equipmentRow(i % 9, QStringLiteral("N%1").arg(i % 13), QStringLiteral("S%1").arg(i)));
        t->insertRows(rows);
        t->close();
    }
    const QStringList derived{"Equipment.PX", "Equipment.VAL", "Equipment.X02", "Equipment.Y02",
                              "Equipment.X03", "Equipment.Y03", "Equipment.YG0", "Equipment.YG1"};
    QHash<QString, QByteArray> good;
    for (const QString &e : derived)
        good[e] = readFile(dir.filePath(e));
    QRandomGenerator rng(99);
    for (int n = 0; n < 24; ++n) {
        const QString victim = derived[int(rng.bounded(derived.size()))];
        QByteArray bad = good[victim];
        if (n % 3 == 0)
            bad.truncate(int(rng.bounded(bad.size())));
        else
            for (int c = 0; c < 4; ++c)
                bad[int(rng.bounded(n % 2 ? std::min<int>(0x100, bad.size()) : bad.size()))] = char(rng.bounded(256));
        writeFile(dir.filePath(victim), bad);
        auto t = ParadoxTable::open(path, {"HarborlyQZ"}, false);
        QCOMPARE(t->rowCount(), 300);
        t->close();
        if (victim != "Equipment.VAL")
            QVERIFY2(readFile(dir.filePath(victim)) == good[victim], qPrintable(victim));
    }
}

// Damaged files: every truncation and random byte changes either open or
// fail with an EngineError that names the file; never a crash.
void TstParadox::damagedFilesFailCleanly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    for (const char *f : {"CUSTOMER.DB", "AREACODE.DB", "encrypted.db", "date7.db", "long.db", "C.DB"})
        QTest::newRow(f) << QString::fromLatin1(f) << QStringLiteral("123");
}

void TstParadox::damagedFilesFailCleanly()
{
    QFETCH(QString, file);
    QFETCH(QString, password);
    const QByteArray good = readFile(kFixtures + '/' + file);
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QRandomGenerator rng(7);
    int failures = 0, opened = 0;
    auto attempt = [&](const QByteArray &bytes) {
        writeFile(path, bytes);
        try {
            auto t = ParadoxTable::open(path, {password}, true);
            for (int i = 0; i < t->rowCount(); ++i)
                (void)t->row(i);
            ++opened;
        } catch (const EngineError &e) {
            ++failures;
            QVERIFY2(e.message().contains(file), qPrintable(e.message()));
        }
    };
    for (int len = 0; len < good.size(); len += (len < 0x100 ? 7 : 97))
        attempt(good.left(len));
    for (int n = 0; n < 300; ++n) {
        QByteArray bad = good;
        const int changes = 1 + int(rng.bounded(4));
        for (int c = 0; c < changes; ++c) {
            const int at = int(rng.bounded(n % 2 ? 0x100 : int(bad.size())));
            bad[at] = char(rng.bounded(256));
        }
        attempt(bad);
    }
    QVERIFY(failures > 0);
    QVERIFY(opened > 0);
}

QTEST_GUILESS_MAIN(TstParadox)
#include "tst_paradox.moc"
