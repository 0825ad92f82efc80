// Damaged Paradox tables: a block chain that disagrees with its header, a
// header damaged so that it looks encrypted, and the way back (repair).
// Every damage is made by the test from a good table it writes itself; a
// refused table must keep every byte it had.
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"
#include "fielddefs.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace kw::data;
using kwtest::fd;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Shaped like the hand receipt items table: AutoInc key, secondary indexes.
TableDef equipmentDef()
{
    TableDef d;
    d.fields = {fd("Auto", FieldType::AutoInc), fd("HR Number", FieldType::Short),
                fd("NSN", FieldType::Alpha, 16), fd("Serial Number", FieldType::Alpha, 20),
                fd("Remarks", FieldType::Alpha, 15)};
    d.keyFieldCount = 1;
    d.indexes = {IndexDef{"HR Number", {"HR Number"}, false, false, "X02"},
                 IndexDef{"HRNUM", {"HR Number", "NSN"}, false, false, "XG0"}};
    return d;
}

// An unkeyed table: its stored order is the only order it has.
TableDef logDef()
{
    TableDef d;
    d.fields = {fd("Line", FieldType::Long), fd("Text", FieldType::Alpha, 40)};
    return d;
}

Row equipmentRow(int i, const QString &tag)
{
    return Row{QVariant(), i % 9, QStringLiteral("N%1").arg(i % 13), QStringLiteral("%1-%2").arg(tag).arg(i),
               QVariant()};
}

// Creates a table of rows rows (password-protected when password is set).
QString makeTable(const QString &dir, const QString &name, const TableDef &def, int rows,
                  const QString &password = {})
{
    const QString path = QDir(dir).filePath(name);
    ParadoxTable::create(path, def, password);
    auto t = ParadoxTable::open(path, {password}, false);
    QVector<Row> all;
    for (int i = 0; i < rows; ++i)
        all.append(def.keyFieldCount ? equipmentRow(i, name) : Row{i + 1, QStringLiteral("line %1").arg(i + 1)});
    t->insertRows(all);
    t->close();
    return path;
}

// Reads and changes the chain fields of a table file held in memory
// (unencrypted tables only).
struct TableBytes {
    QByteArray bytes;
    uchar *d() { return reinterpret_cast<uchar *>(bytes.data()); }
    int headerSize() { return qFromLittleEndian<quint16>(d() + 2); }
    int blockSize() { return d()[5] * 1024; }
    int at(int block) { return headerSize() + (block - 1) * blockSize(); }
    int first() { return qFromLittleEndian<quint16>(d() + 0x0E); }
    int next(int block) { return qFromLittleEndian<quint16>(d() + at(block)); }
    void setNext(int block, int to) { qToLittleEndian<quint16>(quint16(to), d() + at(block)); }
    void setPrev(int block, int to) { qToLittleEndian<quint16>(quint16(to), d() + at(block) + 2); }
    void setU16(int off, int v) { qToLittleEndian<quint16>(quint16(v), d() + off); }
    quint32 rows() { return qFromLittleEndian<quint32>(d() + 6); }
    // Block numbers in chain order.
    QVector<int> chain()
    {
        QVector<int> c;
        for (int b = first(); b != 0 && c.size() < 1000; b = next(b))
            c.append(b);
        return c;
    }
};

// Every file of the table family, by name, with its bytes.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QString &e : QDir(dir).entryList(QDir::Files))
        files.insert(e, readFile(QDir(dir).filePath(e)));
    return files;
}

} // namespace

class TstParadoxDamage : public QObject {
    Q_OBJECT
private slots:
    void chainDisagreesWithHeader_data();
    void chainDisagreesWithHeader();
    void headerDamageIsNotAPassword_data();
    void headerDamageIsNotAPassword();
    void staleTemporariesRemovedOnWrite_data();
    void staleTemporariesRemovedOnWrite();
    void repairRecoversRows_data();
    void repairRecoversRows();
    void repairKeepsEveryDamagedCopy();
    void repairLeavesSoundTablesAlone_data();
    void repairLeavesSoundTablesAlone();
};

// A chain that walks cleanly but disagrees with the header (rows lost
// silently, and for good at the next write), or that leaves the file,
// loops or links back wrongly: the table is refused, by name, as damaged,
// whether opened to read, to write, or written through local SQL, and no
// file of it changes.
void TstParadoxDamage::chainDisagreesWithHeader_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("says");
    QTest::newRow("first block points at the second") << "first" << "links back";
    QTest::newRow("first block of another table in the chain") << "foreign first" << "links back";
    QTest::newRow("a block of another table linking back alike") << "foreign" << "header counts";
    QTest::newRow("header counts one row more") << "rows" << "header counts";
    QTest::newRow("header counts one block more") << "used" << "header counts";
    QTest::newRow("a block skipped by its predecessor") << "skip" << "links back";
    QTest::newRow("a block linking back to the wrong one") << "prev" << "links back";
    QTest::newRow("a block number past the end of the file") << "outside" << "outside the file";
    QTest::newRow("a chain that loops") << "loop" << "twice";
    QTest::newRow("the file cut inside a block") << "cut" << "ends inside block";
}

void TstParadoxDamage::chainDisagreesWithHeader()
{
    QFETCH(QString, damage);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = makeTable(dir.path(), QStringLiteral("Equipment.DB"), equipmentDef(), 300);
    const QString other = makeTable(dir.path(), QStringLiteral("Other.DB"), equipmentDef(), 50);
    TableBytes t{readFile(path)};
    const QVector<int> chain = t.chain();
    QVERIFY(chain.size() >= 4);
    if (damage == "first") {
        t.setU16(0x0E, chain[1]);
    } else if (damage.startsWith("foreign")) {
        // The other table has two blocks: its second ends the chain early.
        TableBytes o{readFile(other)};
        const QVector<int> oc = o.chain();
        QCOMPARE(oc.size(), 2);
        const int from = damage == "foreign" ? oc[1] : oc[0];
        t.bytes.replace(t.at(chain[1]), t.blockSize(), o.bytes.mid(o.at(from), o.blockSize()));
    } else if (damage == "rows") {
        qToLittleEndian<quint32>(t.rows() + 1, t.d() + 6);
    } else if (damage == "used") {
        t.setU16(0x0A, chain.size() + 1);
    } else if (damage == "skip") {
        t.setNext(chain[1], chain[3]);
    } else if (damage == "prev") {
        t.setPrev(chain[2], chain[0]);
    } else if (damage == "outside") {
        t.setNext(chain[1], 999);
    } else if (damage == "cut") {
        t.bytes.truncate(t.at(chain.last()) + 6 + 57 + 20); // a row and part of the next
    } else {
        t.setNext(chain[2], chain[0]);
    }
    QVERIFY(writeFile(path, t.bytes));
    QFile::remove(other);
    const auto before = snapshot(dir.path());

    for (bool readOnly : {true, false}) {
        try {
            auto table = ParadoxTable::open(path, {}, readOnly);
            QFAIL(qPrintable(QStringLiteral("opened with %1 rows").arg(table->rowCount())));
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(QLatin1String("damaged")) && e.message().contains(says)
                         && e.message().contains(QDir::toNativeSeparators(path)),
                     qPrintable(e.message()));
        }
    }
    Session session;
    QVERIFY_THROWS_EXCEPTION(EngineError, session.sql().exec(
        QStringLiteral("INSERT INTO \"Equipment.DB\" (\"HR Number\", NSN) VALUES (1, 'X')"), dir.path()));
    session.releaseTables();
    QCOMPARE(snapshot(dir.path()), before);
}

// "Invalid password." is kept for a wrong password of a table that is
// encrypted; a header damaged so that the table looks encrypted (or reads
// with the wrong layout) is damage, named as such with its file.
void TstParadoxDamage::headerDamageIsNotAPassword_data()
{
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<int>("offset");   // byte changed, -1 for none
    QTest::addColumn<int>("value");
    QTest::addColumn<QStringList>("passwords");
    QTest::addColumn<QString>("says"); // empty: opens

    const QStringList none, wrong{QStringLiteral("guess")}, right{QStringLiteral("secret")};
    QTest::newRow("checksum set, no password given") << false << 0x5C << 0x9A << none << "damaged";
    QTest::newRow("checksum set, a password given") << false << 0x5D << 0x17 << wrong << "damaged";
    QTest::newRow("checksum set, empty table") << false << 0x5C << 0x9A << none << "damaged";
    QTest::newRow("version byte says level 5") << false << 0x39 << 0x0B << none << "damaged";
    QTest::newRow("version byte says level 4") << false << 0x39 << 0x09 << none << "damaged";
    QTest::newRow("version byte says level 3.5") << false << 0x39 << 0x04 << none << "damaged";
    QTest::newRow("version byte says level 3.5, a password given") << false << 0x39 << 0x04 << wrong << "damaged";
    QTest::newRow("encrypted, checksum's low half changed") << true << 0x5C << 0x33 << right << "damaged";
    QTest::newRow("encrypted, checksum's high half changed") << true << 0x5E << 0x33 << right << "damaged";
    QTest::newRow("encrypted, empty table, wrong password") << true << -1 << 0 << wrong << "Invalid password.";
    QTest::newRow("encrypted, version byte says level 3.5") << true << 0x39 << 0x04 << right << "damaged";
    QTest::newRow("encrypted, wrong password") << true << -1 << 0 << wrong << "Invalid password.";
    QTest::newRow("encrypted, no password") << true << -1 << 0 << none << "no password was given";
    QTest::newRow("encrypted, right password") << true << -1 << 0 << right << "";
    QTest::newRow("plain, a password given") << false << -1 << 0 << wrong << "";
}

void TstParadoxDamage::headerDamageIsNotAPassword()
{
    QFETCH(bool, encrypted);
    QFETCH(int, offset);
    QFETCH(int, value);
    QFETCH(QStringList, passwords);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const bool empty = QByteArray(QTest::currentDataTag()).contains("empty");
    const QString path = makeTable(dir.path(), QStringLiteral("Equipment.DB"), equipmentDef(), empty ? 0 : 120,
                                   encrypted ? QStringLiteral("secret") : QString());
    QByteArray bytes = readFile(path);
    if (offset >= 0) {
        QVERIFY(bytes[offset] != char(value));
        bytes[offset] = char(value);
        QVERIFY(writeFile(path, bytes));
    }
    for (bool readOnly : {true, false}) {
        try {
            auto t = ParadoxTable::open(path, passwords, readOnly);
            QVERIFY2(says.isEmpty(), qPrintable(QStringLiteral("opened with %1 rows").arg(t->rowCount())));
            QCOMPARE(t->rowCount(), empty ? 0 : 120);
        } catch (const EngineError &e) {
            QVERIFY2(!says.isEmpty() && e.message().contains(says) && e.message().contains(QDir::toNativeSeparators(path)),
                     qPrintable(e.message()));
            if (says == QLatin1String("damaged"))
                QVERIFY2(!e.message().contains(QLatin1String("password")), qPrintable(e.message()));
        }
    }
    if (!says.isEmpty())
        QCOMPARE(readFile(path), bytes);
}

// Temporaries a kill left beside the table's files go when the table is
// next opened for writing; a reader leaves them (a writer may be busy),
// and names of other tables, other files or another shape stay.
void TstParadoxDamage::staleTemporariesRemovedOnWrite_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::newRow("named index") << "Equipment.XG0.iyyUky" << true;
    QTest::newRow("its tree") << "Equipment.YG0.Q1w2E3" << true;
    QTest::newRow("single-field index, other case") << "equipment.x02.abcdef" << true;
    QTest::newRow("primary index") << "Equipment.PX.ZZ09aa" << true;
    QTest::newRow("validity file") << "Equipment.VAL.a1b2c3" << true;
    QTest::newRow("table file") << "Equipment.DB.a1b2c3" << true;
    QTest::newRow("another table's index") << "Other.XG0.iyyUky" << false;
    QTest::newRow("a table whose name starts alike") << "Equipment2.PX.abcdef" << false;
    QTest::newRow("not a file of a table") << "Equipment.XLS.abcdef" << false;
    QTest::newRow("five random characters") << "Equipment.XG0.iyyUk" << false;
    QTest::newRow("kept damaged copy") << "Equipment.DB.damaged" << false;
}

void TstParadoxDamage::staleTemporariesRemovedOnWrite()
{
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    const QString path = makeTable(dir.path(), QStringLiteral("Equipment.DB"), equipmentDef(), 5);
    const QString stale = dir.filePath(name);
    QVERIFY(writeFile(stale, "half written"));
    ParadoxTable::open(path, {}, true)->close();
    QVERIFY(QFileInfo::exists(stale));
    ParadoxTable::open(path, {}, false)->close();
    QCOMPARE(!QFileInfo::exists(stale), removed);
    QCOMPARE(ParadoxTable::open(path, {}, true)->rowCount(), 5);
}

// Repair rebuilds the chain from the blocks: every row a readable block
// holds comes back, in key order or (unkeyed) in the chain's order, the
// damaged file is kept byte for byte, and the derived files agree with the
// rebuilt rows (a writer's open and close then changes nothing).
void TstParadoxDamage::repairRecoversRows_data()
{
    QTest::addColumn<bool>("keyed");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<QString>("damage");
    QTest::newRow("keyed, first block pointing at the second") << true << false << "first";
    QTest::newRow("keyed, a block skipped") << true << false << "skip";
    QTest::newRow("keyed, a chain that loops") << true << false << "loop";
    QTest::newRow("keyed, header counting one row more") << true << false << "rows";
    QTest::newRow("keyed, one block unreadable") << true << false << "unreadable";
    QTest::newRow("keyed, a block copied over another") << true << false << "copy";
    QTest::newRow("unkeyed, first block pointing at the second") << false << false << "first";
    QTest::newRow("unkeyed, a block skipped") << false << false << "skip";
    QTest::newRow("unkeyed, a block linking back wrongly") << false << false << "prev";
    QTest::newRow("unkeyed, a chain that loops") << false << false << "loop";
    QTest::newRow("unkeyed, a block number past the end") << false << false << "outside";
    QTest::newRow("encrypted, first block pointing at the second") << true << true << "first";
    // Only rows the file holds whole: none made of the zeros past its end.
    QTest::newRow("keyed, file cut inside its last block") << true << false << "cut";
    QTest::newRow("unkeyed, file cut inside its last block") << false << false << "cut";
    QTest::newRow("encrypted, file cut inside its last block") << true << true << "cut";
}

void TstParadoxDamage::repairRecoversRows()
{
    QFETCH(bool, keyed);
    QFETCH(bool, encrypted);
    QFETCH(QString, damage);
    QTemporaryDir dir;
    const QString pw = encrypted ? QStringLiteral("secret") : QString();
    const QString path = makeTable(dir.path(), QStringLiteral("Equipment.DB"), keyed ? equipmentDef() : logDef(), 300, pw);
    QVector<Row> rows;
    {
        auto t = ParadoxTable::open(path, {pw}, true);
        for (int i = 0; i < t->rowCount(); ++i)
            rows.append(t->row(i));
    }
    TableBytes t{readFile(path)};
    const int perBlock = (t.blockSize() - 6) / qFromLittleEndian<quint16>(t.d()); // blocks written full
    const QVector<int> chain = encrypted ? QVector<int>{1, 2, 3, 4, 5} : t.chain();
    QVERIFY(chain.size() >= 5);
    QVector<Row> expected = rows;
    int unreadable = 0, duplicates = 0, cut = 0;
    if (damage == "first") {
        t.setU16(0x0E, chain[1]);
    } else if (damage == "skip") {
        t.setNext(chain[1], chain[3]);
    } else if (damage == "prev") {
        t.setPrev(chain[2], chain[0]);
    } else if (damage == "loop") {
        t.setNext(chain[2], chain[0]);
    } else if (damage == "outside") {
        t.setNext(chain[1], 999);
    } else if (damage == "rows") {
        qToLittleEndian<quint32>(t.rows() + 1, t.d() + 6);
    } else if (damage == "unreadable") {
        t.setU16(t.at(chain[2]) + 4, 7); // no record size divides it
        expected.remove(2 * perBlock, perBlock);
        unreadable = 1;
    } else if (damage == "cut") {
        // Part of the last block's rows; an encrypted block reads only in
        // whole 256-byte chunks.
        const int recSize = qFromLittleEndian<quint16>(t.d());
        const int blocks = int((t.bytes.size() - t.headerSize()) / t.blockSize());
        const int inLast = int(rows.size()) - (blocks - 1) * perBlock;
        const int whole = 300 / recSize + 1;
        const int keep = 6 + recSize * whole + recSize / 2;
        QVERIFY(inLast > whole + 1);
        t.bytes.truncate(t.at(blocks) + keep);
        const int sound = encrypted ? keep / 256 * 256 : keep;
        cut = inLast - (sound - 6) / recSize;
        expected.remove(expected.size() - cut, cut);
    } else if (damage == "copy") {
        // Block 3's rows twice, block 5's rows gone; links kept as they were.
        const QByteArray links = t.bytes.mid(t.at(chain[4]), 4);
        t.bytes.replace(t.at(chain[4]), t.blockSize(), t.bytes.mid(t.at(chain[2]), t.blockSize()));
        t.bytes.replace(t.at(chain[4]), 4, links);
        expected.remove(4 * perBlock, perBlock);
        duplicates = perBlock;
    }
    QVERIFY(writeFile(path, t.bytes));
    QVERIFY_THROWS_EXCEPTION(EngineError, ParadoxTable::open(path, {pw}, true));

    const TableRepairReport r = ParadoxTable::repair(dir.filePath(QStringLiteral("equipment")), {pw});
    QCOMPARE(r.path, path);
    QVERIFY(r.damaged);
    QCOMPARE(r.rowsRecovered, expected.size());
    QCOMPARE(r.headerRows, damage == "rows" ? 301u : 300u);
    QCOMPARE(r.blocksUnreadable, unreadable);
    QCOMPARE(r.duplicatesDropped, duplicates);
    QCOMPARE(r.rowsCutOff, cut);
    QCOMPARE(r.keptCopy, path + QStringLiteral(".damaged"));
    QCOMPARE(readFile(r.keptCopy), t.bytes);

    const auto repaired = snapshot(dir.path());
    {
        auto table = ParadoxTable::open(path, {pw}, false);
        QCOMPARE(table->rowCount(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(table->row(i), expected[i]);
        table->close();
    }
    QCOMPARE(snapshot(dir.path()), repaired);
    if (keyed) {
        // Numbering goes on after the highest number a recovered row holds.
        auto table = ParadoxTable::open(path, {pw}, false);
        Row row = equipmentRow(1, QStringLiteral("new"));
        table->insert(row);
        QCOMPARE(row[0].toInt(), 301);
    }
}

// A second repair never replaces the copy the first one kept; index files
// that cannot be read are dropped, damaged ones that still name their field
// are rebuilt.
void TstParadoxDamage::repairKeepsEveryDamagedCopy()
{
    QTemporaryDir dir;
    const QString path = makeTable(dir.path(), QStringLiteral("Equipment.DB"), equipmentDef(), 120);
    TableBytes t{readFile(path)};
    const int first = t.first();
    t.setU16(0x0E, t.next(first));
    QVERIFY(writeFile(path, t.bytes));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Equipment.XG7")), "not an index"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Equipment.YG7")), "nor this"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Equipment.X02")), readFile(dir.filePath("Equipment.X02")).left(100)));
    const TableRepairReport r1 = ParadoxTable::repair(path, {});
    QCOMPARE(r1.rowsRecovered, 120);
    QCOMPARE(r1.indexesDropped, (QStringList{"Equipment.XG7", "Equipment.YG7"}));
    QVERIFY(QFileInfo::exists(dir.filePath("Equipment.X02")));
    const auto repaired = snapshot(dir.path());
    ParadoxTable::open(path, {}, false)->close();
    QCOMPARE(snapshot(dir.path()), repaired);

    TableBytes again{readFile(path)};
    qToLittleEndian<quint32>(again.rows() + 5, again.d() + 6);
    QVERIFY(writeFile(path, again.bytes));
    const TableRepairReport r2 = ParadoxTable::repair(path, {});
    QCOMPARE(r2.keptCopy, path + QStringLiteral(".damaged-2"));
    QCOMPARE(readFile(r1.keptCopy), t.bytes);
    QCOMPARE(readFile(r2.keptCopy), again.bytes);
    QCOMPARE(r2.rowsRecovered, 120);
    QCOMPARE(r2.headerRows, 125u);
}

// A table that opens is left as it is; one whose header cannot be read,
// or whose password is wrong, fails by name with nothing written.
void TstParadoxDamage::repairLeavesSoundTablesAlone_data()
{
    QTest::addColumn<int>("offset"); // -1: not damaged
    QTest::addColumn<int>("value");
    QTest::addColumn<QStringList>("passwords");
    QTest::addColumn<QString>("says"); // empty: nothing to repair
    QTest::newRow("sound table") << -1 << 0 << QStringList() << "";
    QTest::newRow("version byte changed") << 0x39 << 0x0B << QStringList() << "damaged";
    QTest::newRow("record size changed") << 0x00 << 0x07 << QStringList() << "damaged";
    QTest::newRow("wrong password") << -1 << 0 << QStringList{"guess"} << "Invalid password.";
}

void TstParadoxDamage::repairLeavesSoundTablesAlone()
{
    QFETCH(int, offset);
    QFETCH(int, value);
    QFETCH(QStringList, passwords);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const bool locked = says.startsWith(QLatin1String("Invalid"));
    const QString path = makeTable(dir.path(), QStringLiteral("Equipment.DB"), equipmentDef(), 80,
                                   locked ? QStringLiteral("secret") : QString());
    if (offset >= 0) {
        QByteArray bytes = readFile(path);
        bytes[offset] = char(value);
        QVERIFY(writeFile(path, bytes));
    }
    const auto before = snapshot(dir.path());
    try {
        const TableRepairReport r = ParadoxTable::repair(path, passwords);
        QVERIFY2(says.isEmpty(), "repaired a table it cannot read");
        QVERIFY(!r.damaged);
        QVERIFY(r.keptCopy.isEmpty());
    } catch (const EngineError &e) {
        QVERIFY2(!says.isEmpty() && e.message().contains(says) && e.message().contains(QDir::toNativeSeparators(path)),
                 qPrintable(e.message()));
    }
    QCOMPARE(snapshot(dir.path()), before);
}

QTEST_GUILESS_MAIN(TstParadoxDamage)
#include "tst_paradox_damage.moc"
