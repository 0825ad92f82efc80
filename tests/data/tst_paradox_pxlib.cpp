// pxlib as an independent reader of the tables the engine writes: header,
// field list, every value, key order, the .PX and a secondary index file.
// pxlib 0.6.8 misreads NULL Long/Date/Time/AutoInc as -2147483648 and never
// flags NULL 8-byte values except through its return code; the checks
// below allow exactly that.
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/paradox/pxformat.h"
#include "fielddefs.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <paradox.h>
}

using namespace kw::data;
using kwtest::fd;

namespace {

TableDef testDef()
{
    TableDef d;
    d.fields = {fd("Code", FieldType::Short), fd("Name", FieldType::Alpha, 24), fd("When", FieldType::Date),
                fd("Flag", FieldType::Logical), fd("Count", FieldType::Long), fd("Amount", FieldType::Number),
                fd("Money", FieldType::Currency), fd("At", FieldType::Time), fd("Stamp", FieldType::Timestamp),
                fd("Seq", FieldType::AutoInc)};
    d.keyFieldCount = 1;
    d.indexes = {IndexDef{"ByName", {"Name", "When"}, false, false, "XG0"},
                 IndexDef{"Count", {"Count"}, false, false, "X05"}};
    return d;
}

QVariant maybeNull(QRandomGenerator &rng, QVariant v) { return rng.bounded(5) == 0 ? QVariant() : v; }

struct PxDoc {
    pxdoc_t *doc = PX_new();
    ~PxDoc()
    {
        if (doc) {
            PX_close(doc);
            PX_delete(doc);
        }
    }
};

// One value read by pxlib, as the engine would give it.
QVariant pxValue(pxdoc_t *doc, const pxfield_t &f, char *data, bool *nullForSure)
{
    *nullForSure = false;
    switch (f.px_ftype) {
    case pxfAlpha: {
        char *s = nullptr;
        const int r = PX_get_data_alpha(doc, data, f.px_flen, &s);
        if (r <= 0 || !s) {
            *nullForSure = true;
            return {};
        }
        const QString out = QString::fromLatin1(s);
        doc->free(doc, s);
        return out;
    }
    case pxfShort: {
        short v = 0;
        if (PX_get_data_short(doc, data, f.px_flen, &v) <= 0) {
            *nullForSure = true;
            return {};
        }
        return int(v);
    }
    case pxfLogical: {
        char v = 0;
        if (PX_get_data_byte(doc, data, f.px_flen, &v) <= 0) {
            *nullForSure = true;
            return {};
        }
        return v != 0;
    }
    case pxfLong:
    case pxfAutoInc:
    case pxfDate:
    case pxfTime: {
        long v = 0;
        if (PX_get_data_long(doc, data, f.px_flen, &v) <= 0 || v == -2147483648L) {
            *nullForSure = false; // pxlib 0.6.8 cannot tell
            return {};
        }
        if (f.px_ftype == pxfDate)
            return px::dateFromDayNumber(v);
        if (f.px_ftype == pxfTime)
            return QTime::fromMSecsSinceStartOfDay(int(v));
        return int(v);
    }
    case pxfNumber:
    case pxfCurrency:
    case pxfTimestamp: {
        double v = 0;
        if (PX_get_data_double(doc, data, f.px_flen, &v) <= 0) {
            *nullForSure = true;
            return {};
        }
        if (f.px_ftype == pxfTimestamp) {
            const qint64 ms = qint64(v);
            return QDateTime(px::dateFromDayNumber(ms / 86400000),
                             QTime::fromMSecsSinceStartOfDay(int(ms % 86400000)), Qt::UTC);
        }
        return v;
    }
    default:
        return {};
    }
}

} // namespace

class TstParadoxPxlib : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { PX_boot(); }
    void cleanupTestCase() { PX_shutdown(); }
    void pxlibReadsWhatWeWrite_data();
    void pxlibReadsWhatWeWrite();
};

void TstParadoxPxlib::pxlibReadsWhatWeWrite_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("operations");
    QTest::newRow("plain") << QString() << 600;
    QTest::newRow("encrypted") << QStringLiteral("HarborlyQZ") << 600;
    QTest::newRow("plain, few rows") << QString() << 3;
    QTest::newRow("empty") << QString() << 0;
}

void TstParadoxPxlib::pxlibReadsWhatWeWrite()
{
    QFETCH(QString, password);
    QFETCH(int, operations);
    QTemporaryDir dir;
    const QString path = dir.filePath("Oracle.DB");
    ParadoxTable::create(path, testDef(), password);
    QRandomGenerator rng(1234);
    {
        auto t = ParadoxTable::open(path, {password}, false);
        for (int i = 0; i < operations; ++i) {
            const int code = int(rng.bounded(30000)) - 15000;
            const int pos = t->findKey(Row{code});
            Row r{code,
                  maybeNull(rng, QStringLiteral("Name %1").arg(rng.bounded(500))),
                  maybeNull(rng, QDate(1990, 1, 1).addDays(rng.bounded(15000))),
                  maybeNull(rng, bool(rng.bounded(2))),
                  maybeNull(rng, int(rng.bounded(2000000)) - 1000000),
                  maybeNull(rng, rng.bounded(10000.0) - 5000.0),
                  maybeNull(rng, double(rng.bounded(100000)) / 100.0),
                  maybeNull(rng, QTime::fromMSecsSinceStartOfDay(int(rng.bounded(86400000)))),
                  maybeNull(rng, QDateTime(QDate(2020, 1, 1).addDays(rng.bounded(2000)),
                                           QTime::fromMSecsSinceStartOfDay(int(rng.bounded(86400)) * 1000), Qt::UTC)),
                  QVariant()};
            if (pos < 0)
                t->insert(r);
            else if (rng.bounded(3) == 0)
                t->remove(pos);
            else
                t->update(pos, r);
        }
        t->close();
    }
    auto ours = ParadoxTable::open(path, {password}, true);

    PxDoc px;
    QCOMPARE(PX_open_file(px.doc, QFile::encodeName(path).constData()), 0);
    QCOMPARE(PX_get_num_records(px.doc), ours->rowCount());
    QCOMPARE(PX_get_num_fields(px.doc), ours->def().fields.size());
    QCOMPARE(int(px.doc->px_head->px_fileversion), 70);
    QCOMPARE(px.doc->px_head->px_primarykeyfields, 1);
    QCOMPARE(px.doc->px_head->px_encryption != 0, !password.isEmpty());
    pxfield_t *fields = PX_get_fields(px.doc);
    for (int f = 0; f < ours->def().fields.size(); ++f) {
        QCOMPARE(QString::fromLatin1(fields[f].px_fname), ours->def().fields[f].name);
        QCOMPARE(int(uchar(fields[f].px_ftype)), int(ours->def().fields[f].type));
        QCOMPARE(fields[f].px_flen, ours->def().fields[f].size);
    }
    QByteArray data(px.doc->px_head->px_recordsize, '\0');
    int nulls = 0;
    for (int r = 0; r < ours->rowCount(); ++r) {
        QVERIFY(PX_get_record(px.doc, r, data.data()));
        int off = 0;
        const Row &want = ours->row(r);
        for (int f = 0; f < ours->def().fields.size(); ++f) {
            bool sure = false;
            const QVariant got = pxValue(px.doc, fields[f], data.data() + off, &sure);
            off += fields[f].px_flen;
            const QString where = QStringLiteral("row %1 field %2").arg(r).arg(f);
            if (want[f].isNull()) {
                ++nulls;
                QVERIFY2(got.isNull(), qPrintable(where));
            } else if (want[f].typeId() == QMetaType::Double) {
                QVERIFY2(qFuzzyCompare(got.toDouble(), want[f].toDouble()), qPrintable(where));
            } else {
                QVERIFY2(got == want[f], qPrintable(where + ": " + got.toString() + " != " + want[f].toString()));
            }
        }
        if (r > 0)
            QVERIFY(want[0].toInt() > ours->row(r - 1)[0].toInt()); // key order as pxlib sees it
    }
    if (operations > 100)
        QVERIFY(nulls > 100);

    if (ours->rowCount() == 0)
        return; // pxlib cannot read an index without blocks
    // The primary index: pxlib finds every record through it.
    PxDoc pindex;
    QCOMPARE(PX_open_file(pindex.doc, QFile::encodeName(dir.filePath("Oracle.PX")).constData()), 0);
    QCOMPARE(PX_read_primary_index(pindex.doc), 0);
    QCOMPARE(PX_add_primary_index(px.doc, pindex.doc), 0);
    pindex.doc = nullptr; // now owned by the table's document
    for (int r = 0; r < ours->rowCount(); ++r) {
        QVERIFY(PX_get_record(px.doc, r, data.data()));
        short code = 0;
        PX_get_data_short(px.doc, data.data(), 2, &code);
        QCOMPARE(int(code), ours->row(r)[0].toInt());
    }

    // A named secondary index is a keyed table of its own: (Name, When,
    // Code, Blk Num) in order of the first three.
    PxDoc xg;
    QCOMPARE(PX_open_file(xg.doc, QFile::encodeName(dir.filePath("Oracle.XG0")).constData()), 0);
    QCOMPARE(PX_get_num_records(xg.doc), ours->rowCount());
    QCOMPARE(PX_get_num_fields(xg.doc), 4);
    pxfield_t *xf = PX_get_fields(xg.doc);
    QCOMPARE(QString::fromLatin1(xf[3].px_fname), QStringLiteral("Blk Num"));
    QByteArray xdata(xg.doc->px_head->px_recordsize, '\0');
    QByteArray prev;
    QSet<int> codes;
    for (int r = 0; r < ours->rowCount(); ++r) {
        QVERIFY(PX_get_record(xg.doc, r, xdata.data()));
        const QByteArray key = xdata.left(xdata.size() - 2);
        QVERIFY(prev.isEmpty() || prev < key);
        prev = key;
        short code = 0;
        PX_get_data_short(xg.doc, xdata.data() + 24 + 4, 2, &code);
        codes.insert(code);
        const int row = ours->findKey(Row{int(code)});
        QVERIFY(row >= 0);
        bool sure = false;
        const QVariant name = pxValue(xg.doc, xf[0], xdata.data(), &sure);
        QCOMPARE(name.isNull(), ours->row(row)[1].isNull());
        if (!name.isNull())
            QCOMPARE(name, ours->row(row)[1]);
    }
    QCOMPARE(codes.size(), ours->rowCount());
}

QTEST_GUILESS_MAIN(TstParadoxPxlib)
#include "tst_paradox_pxlib.moc"
