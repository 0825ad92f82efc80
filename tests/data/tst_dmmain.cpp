// The data module over real shop tables: master/detail, lookups, required
// fields, keys, index orders, filters, the due-date rule and the write-back
// of the joined queries.
#include "core/findfile.h"
#include "data/shop/batchadd.h"
#include "data/shop/dmmain.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::data;

namespace {

// Rows straight from a table file, bypassing every dataset.
QVector<Row> fileRows(const QString &dir, const QString &file)
{
    auto t = ParadoxTable::open(kw::core::findFileNoCase(dir, file), {shop::kTablePassword}, true);
    QVector<Row> rows;
    for (int i = 0; i < t->rowCount(); ++i)
        rows << t->row(i);
    t->close();
    return rows;
}

void addRow(const QString &dir, const QString &file, Row row)
{
    auto t = ParadoxTable::open(kw::core::findFileNoCase(dir, file), {shop::kTablePassword});
    t->insert(row);
    t->close();
}

Row listRow(const QString &nsn, const QString &nomen, const QString &type, QVariant freq,
            bool alse = false, bool list1 = false)
{
    Row r(16);
    r[0] = nsn;
    r[3] = nomen;
    r[4] = QStringLiteral("EA");
    r[5] = QStringLiteral("2");
    r[6] = type.isEmpty() ? QVariant() : QVariant(type);
    r[7] = freq;
    for (int i = 8; i < 16; ++i)
        r[i] = false;
    r[8] = alse;
    r[14] = list1;
    return r;
}

Row item(int hr, const QString &nsn, const QString &serial, QDate due = {})
{
    Row r(8);
    r[1] = hr;
    r[2] = nsn;
    r[3] = serial;
    r[4] = 1;
    if (due.isValid())
        r[6] = due;
    return r;
}

// The holders table as a table dataset or as a query on db.
std::unique_ptr<Dataset> hrdfDataset(Database &db, bool query)
{
    if (query) {
        auto q = std::make_unique<QueryDataset>(db, QStringLiteral("hrdfQuery"));
        q->setSql({QStringLiteral("SELECT * FROM \"Hrdf.DB\"")});
        return q;
    }
    auto t = std::make_unique<TableDataset>(db, QStringLiteral("hrdfTable"));
    t->setTableName(QStringLiteral("Hrdf.DB"));
    return t;
}

void hrdfDatasetKinds()
{
    QTest::addColumn<bool>("query");
    QTest::newRow("table") << false;
    QTest::newRow("query") << true;
}

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const EngineError &e) {
        return e.message();
    }
    return {};
}

// Serial numbers of a dataset's rows, in order.
QStringList kwtestSerials(Dataset &ds)
{
    QStringList out;
    const int f = ds.fieldByName(QStringLiteral("Serial Number")).index();
    for (int r = 0; r < ds.recordCount(); ++r)
        out << ds.rowValue(r, f).toString();
    return out;
}

} // namespace

class TstDmMain : public QObject {
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    Session *m_session = nullptr;
    TdmMain *m_dm = nullptr;
    QString dir() const { return m_dir->path(); }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        shop::createMissingTables(dir());
        for (const Row &r : {listRow("1111-01-000-0001", "VEST, SURVIVAL", "D", 30, true, true),
                             listRow("1111-01-000-0002", "FLARE, SIGNAL", "Y", 1),
                             listRow("1111-01-000-0003", "GLOVES", "N", 0, false, true),
                             listRow("1111-01-000-0004", "beacon", "d", 2)})
            addRow(dir(), "Lists.DB", r);
        addRow(dir(), "Hrdf.DB", Row{101, QStringLiteral("SGT ZULU"), QStringLiteral("A CO"), QVariant()});
        addRow(dir(), "Hrdf.DB", Row{102, QStringLiteral("CPT ALPHA"), QStringLiteral("B CO"), QVariant()});
        addRow(dir(), "Equipment.DB", item(101, "1111-01-000-0001", "V1", QDate(2003, 5, 1)));
        addRow(dir(), "Equipment.DB", item(101, "1111-01-000-0002", "F1", QDate(2002, 1, 1)));
        addRow(dir(), "Equipment.DB", item(102, "1111-01-000-0003", "G1"));
        addRow(dir(), "Equipment.DB", item(102, "9999-99-999-9999", "X1", QDate(2001, 1, 1))); // not in list
        addRow(dir(), "Equipment.DB", item(555, "1111-01-000-0001", "ORPHAN", QDate(2000, 1, 1))); // no holder
        m_session = new Session;
        m_dm = new TdmMain(*m_session);
        m_dm->dbMain.setParam(QStringLiteral("PATH"), dir());
        for (TableDataset *t : m_dm->shopTables())
            t->open();
    }

    void cleanup()
    {
        delete m_dm;
        delete m_session;
        delete m_dir;
    }

    void createsEveryFileOfTheBackupList()
    {
        const QStringList files = shop::databaseFiles();
        QCOMPARE(files.size(), 74);
        QCOMPARE(files.first(), QStringLiteral("Aircraft.DB"));
        QCOMPARE(files.last(), QStringLiteral("TechManuals.YG0"));
        QTemporaryDir fresh;
        QVERIFY(shop::hasNoTables(fresh.path()));
        QCOMPARE(shop::createMissingTables(fresh.path()).size(), 11);
        for (const QString &f : files)
            QVERIFY2(QFileInfo::exists(QDir(fresh.path()).filePath(f)), qPrintable(f));
        QVERIFY(shop::createMissingTables(fresh.path()).isEmpty());
    }

    void lostIndexAndValidityFilesComeBack()
    {
        m_dm->dbMain.close();
        for (const char *f : {"Hrdf.XG1", "Hrdf.YG1", "Hrdf.VAL"})
            QVERIFY(QFile::remove(QDir(dir()).filePath(QLatin1String(f))));
        {
            // The engine alone takes a table as its files say: only a session
            // given the shop's schema puts the shop's definitions back.
            kw::data::Session bare;
            bare.addPassword(shop::kTablePassword);
            QCOMPARE(bare.table(dir(), QStringLiteral("Hrdf"))->rowCount(), 2);
            bare.releaseTables();
            QVERIFY(!QFileInfo::exists(QDir(dir()).filePath(QStringLiteral("Hrdf.VAL"))));
        }
        m_dm->tblHrdf.open();
        m_dm->tblHrdf.setIndexName(QStringLiteral("Holder"));
        QCOMPARE(m_dm->tblHrdf.fieldByName("HR Holder").asString(), QStringLiteral("CPT ALPHA"));
        m_dm->dbMain.close();
        for (const char *f : {"Hrdf.XG1", "Hrdf.YG1", "Hrdf.VAL"})
            QVERIFY2(QFileInfo::exists(QDir(dir()).filePath(QLatin1String(f))), f);
        // The required flags are back in the validity file.
        auto t = ParadoxTable::open(QDir(dir()).filePath("Hrdf.DB"), {shop::kTablePassword}, true);
        QVERIFY(t->def().fields[1].required);
        t->close();
    }

    void masterDetailFollowsTheHolder()
    {
        TdmMain &dm = *m_dm;
        QCOMPARE(dm.tblHrdf.recordCount(), 2);
        QCOMPARE(dm.tblHrdf.fieldByName("HR Number").value().toInt(), 101);
        QCOMPARE(dm.tblHr.recordCount(), 2);
        dm.tblHrdf.next();
        QCOMPARE(dm.tblHr.recordCount(), 2);
        QCOMPARE(dm.tblHr.fieldByName("Serial Number").asString(), QStringLiteral("G1"));

        // A new item carries the holder's number.
        dm.tblHr.append();
        QCOMPARE(dm.tblHr.fieldByName("HR Number").value().toInt(), 102);
        dm.tblHr.fieldByName("Serial Number").setValue(QStringLiteral("NEW"));
        dm.tblHr.post();
        QCOMPARE(dm.tblHr.recordCount(), 3);
        int found = 0;
        for (const Row &r : fileRows(dir(), "Equipment.DB"))
            if (r[3] == QStringLiteral("NEW") && r[1] == 102 && r[0].toInt() > 0)
                ++found;
        QCOMPARE(found, 1);
    }

    void lookupsFollowTheNsnAfterARead()
    {
        TdmMain &dm = *m_dm;
        QCOMPARE(dm.tblHr.fieldByName("Nomenclature").asString(), QStringLiteral("VEST, SURVIVAL"));
        QCOMPARE(dm.tblHr.fieldByName("Auth").value(), QVariant(2));
        QVERIFY(!errorOf([&] { dm.tblHr.fieldByName("Nomenclature").setValue("x"); }).isEmpty());
        dm.tblHr.fieldByName("NSN").setValue(QStringLiteral("1111-01-000-0002"));
        // The change posted the row at once and the lookups show the new row.
        QCOMPARE(dm.tblHr.state(), DatasetState::Browse);
        bool seen = false;
        for (int r = 0; r < dm.tblHr.recordCount(); ++r)
            if (dm.tblHr.rowValue(r, dm.tblHr.fieldByName("Serial Number").index()) == QStringLiteral("V1")) {
                QCOMPARE(dm.tblHr.rowValue(r, dm.tblHr.fieldByName("Nomenclature").index()).toString(),
                         QStringLiteral("FLARE, SIGNAL"));
                seen = true;
            }
        QVERIFY(seen);
    }

    void requiredFieldsAndKeys()
    {
        TdmMain &dm = *m_dm;
        dm.tblHrdf.append();
        dm.tblHrdf.fieldByName("HR Number").setValue(103);
        QCOMPARE(errorOf([&] { dm.tblHrdf.post(); }), QStringLiteral("Field 'HR Holder' must have a value"));
        QCOMPARE(dm.tblHrdf.state(), DatasetState::Insert);
        dm.tblHrdf.cancel();
        dm.tblHrdf.append();
        dm.tblHrdf.fieldByName("HR Holder").setValue(QStringLiteral("NOBODY"));
        QCOMPARE(errorOf([&] { dm.tblHrdf.post(); }), QStringLiteral("Field 'HR #' must have a value"));
        dm.tblHrdf.fieldByName("HR Number").setValue(101);
        QCOMPARE(errorOf([&] { dm.tblHrdf.post(); }), KeyViolation().message());
        QCOMPARE(dm.tblHrdf.state(), DatasetState::Insert);
        dm.tblHrdf.cancel();
        QCOMPARE(fileRows(dir(), "Hrdf.DB").size(), 2);
    }

    void indexOrderFilterAndFindKey()
    {
        TdmMain &dm = *m_dm;
        dm.tblHrdf.setIndexName(QStringLiteral("Holder"));
        QCOMPARE(dm.tblHrdf.fieldByName("HR Holder").asString(), QStringLiteral("CPT ALPHA"));
        dm.tblHrdf.setIndexName(QStringLiteral("HrNum"));
        QCOMPARE(dm.tblHrdf.fieldByName("HR Holder").asString(), QStringLiteral("SGT ZULU"));
        QVERIFY(!errorOf([&] { dm.tblHrdf.setIndexName(QStringLiteral("NOPE")); }).isEmpty());

        // Master list by nomenclature without regard to case.
        QCOMPARE(dm.tblList.fieldByName("Nomenclature").asString(), QStringLiteral("beacon"));
        dm.tblList.setFilter(QStringLiteral("[List 1] = True"));
        dm.tblList.setFiltered(true);
        QCOMPARE(dm.tblList.recordCount(), 2);
        dm.tblList.setFilter(QStringLiteral("Alse = True"));
        QCOMPARE(dm.tblList.recordCount(), 1);
        dm.tblList.setFiltered(false);
        QCOMPARE(dm.tblList.recordCount(), 4);

        QVERIFY(dm.tblcbList.findKey({QStringLiteral("1111-01-000-0003")}));
        QCOMPARE(dm.tblcbList.fieldByName("Nomenclature").asString(), QStringLiteral("GLOVES"));
        QVERIFY(!dm.tblcbList.findKey({QStringLiteral("0000")}));

        dm.tblAircraft.append();
        dm.tblAircraft.fieldByName("Aircraft").setValue(QStringLiteral("90-26001"));
        dm.tblAircraft.post();
        QCOMPARE(dm.tblAircraft.recordCount(), 1);
        dm.tblAircraft.emptyTable();
        QCOMPARE(dm.tblAircraft.recordCount(), 0);
        QVERIFY(fileRows(dir(), "Aircraft.DB").isEmpty());
    }

    void joinedQueriesLeaveOutUnmatchedItems()
    {
        TdmMain &dm = *m_dm;
        dm.qryInsp.open();
        dm.qryGear.open();
        // V1 (D) and F1 (Y) inspect; G1 is type N; X1 has no master row;
        // ORPHAN has no holder.
        QCOMPARE(dm.qryInsp.recordCount(), 2);
        QCOMPARE(dm.qryInsp.fieldByName("Serial Number").asString(), QStringLiteral("F1")); // due 2002 first
        QCOMPARE(dm.qryGear.recordCount(), 3);
        QCOMPARE(dm.qryInsp.fieldByName("Hr Holder").asString(), QStringLiteral("SGT ZULU"));
        QVERIFY(!errorOf([&] { dm.qryInsp.fieldByName("Nomenclature").setValue("x"); }).isEmpty());
        QVERIFY(!errorOf([&] { dm.qryInsp.fieldByName("Hr Holder").setValue("x"); }).isEmpty());
    }

    void postWritesBackAndReReads()
    {
        TdmMain &dm = *m_dm;
        dm.qryInsp.open();
        dm.qryInsp.moveTo(1); // V1
        dm.qryInsp.fieldByName("OH").setValue(7);
        dm.qryInsp.moveTo(0);
        QVERIFY(!dm.qryInsp.updatesPending());
        QCOMPARE(dm.qryInsp.recNo(), 0);
        bool written = false;
        for (const Row &r : fileRows(dir(), "Equipment.DB"))
            if (r[3] == QStringLiteral("V1"))
                written = r[4] == 7;
        QVERIFY(written);
    }

    void deletionAndLaterEditGoInOneApply()
    {
        TdmMain &dm = *m_dm;
        dm.qryGear.open();
        QCOMPARE(dm.qryGear.recordCount(), 3);
        dm.qryGear.first();
        const QString gone = dm.qryGear.fieldByName("Serial Number").asString();
        dm.qryGear.deleteRecord();
        QVERIFY(dm.qryGear.updatesPending());
        QCOMPARE(fileRows(dir(), "Equipment.DB").size(), 5); // not yet written
        dm.qryGear.first();
        const QString kept = dm.qryGear.fieldByName("Serial Number").asString();
        dm.qryGear.fieldByName("Remarks").setValue(QStringLiteral("CHECKED"));
        dm.qryGear.post();
        const auto rows = fileRows(dir(), "Equipment.DB");
        QCOMPARE(rows.size(), 4);
        for (const Row &r : rows) {
            QVERIFY(r[3] != gone);
            if (r[3] == kept)
                QCOMPARE(r[7].toString(), QStringLiteral("CHECKED"));
        }
        QCOMPARE(dm.qryGear.recordCount(), 2);
    }

    void failedApplyKeepsTheCache()
    {
        TdmMain &dm = *m_dm;
        dm.qryInsp.open();
        const QString good = dm.updInsp.tableFile;
        dm.updInsp.tableFile = QStringLiteral("Missing.DB");
        dm.qryInsp.fieldByName("OH").setValue(9);
        QVERIFY(!errorOf([&] { dm.qryInsp.post(); }).isEmpty());
        QVERIFY(dm.qryInsp.updatesPending());
        QCOMPARE(dm.qryInsp.fieldByName("OH").value().toInt(), 9);
        dm.updInsp.tableFile = good;
        dm.applyOnLeave(dm.qryInsp);
        QVERIFY(!dm.qryInsp.active());
        bool written = false;
        for (const Row &r : fileRows(dir(), "Equipment.DB"))
            written = written || (r[3] == QStringLiteral("F1") && r[4] == 9);
        QVERIFY(written);

        // Closing drops what was not applied; nothing pending keeps it open.
        dm.qryInsp.open();
        dm.qryInsp.deleteRecord();
        dm.qryInsp.close();
        QCOMPARE(fileRows(dir(), "Equipment.DB").size(), 5);
        dm.qryInsp.open();
        dm.applyOnLeave(dm.qryInsp);
        QVERIFY(dm.qryInsp.active());
    }

    // The add-all path: every row is written back to Parts.DB before the
    // next one is begun, the file is synced and the query read again once.
    void batchStoresEachRowAndSyncsAtTheEnd()
    {
        TdmMain &dm = *m_dm;
        for (const char *nsn : {"5305-00-000-0001", "5305-00-000-0002", "5305-00-000-0003"}) {
            dm.tblPartsList.append();
            dm.tblPartsList.fieldByName("NSN").setValue(QString::fromLatin1(nsn));
            dm.tblPartsList.fieldByName("Nomenclature").setValue(QStringLiteral("SCREW ") + QLatin1String(nsn).right(1));
            dm.tblPartsList.post();
        }
        // One row on hand, deleted by the user but not yet written back.
        dm.qryParts.open();
        dm.qryParts.append();
        dm.qryParts.fieldByName("NSN").setValue(QStringLiteral("5305-00-000-0001"));
        dm.qryParts.post();
        QCOMPARE(dm.qryParts.recordCount(), 1);
        dm.qryParts.deleteRecord();
        QVERIFY(dm.qryParts.updatesPending());

        dm.beginBatch(dm.qryParts);
        QVERIFY(!dm.qryParts.updatesPending()); // the deletion went first, on its own
        QCOMPARE(fileRows(dir(), "Parts.DB").size(), 0);
        ParadoxTable *parts = m_session->table(dir(), QStringLiteral("Parts.DB"));
        int rereads = 0;
        connect(&dm.qryParts, &Dataset::rowsReset, this, [&] { rereads += dm.qryParts.active() ? 1 : 0; });
        dm.qryParts.disableControls();
        dm.qryParts.disableControls();
        for (int i = 0; i < 3; ++i) {
            dm.qryParts.append();
            QCOMPARE(parts->rowCount(), i); // the row begun before is stored
            QVERIFY(!dm.qryParts.updatesPending());
            dm.qryParts.fieldByName("NSN").setValue(dm.tblPartsList.rowValue(i, 0));
        }
        dm.qryParts.post();
        QCOMPARE(parts->rowCount(), 3);
        QCOMPARE(fileRows(dir(), "Parts.DB").size(), 0); // on disk when the batch ends
        // Not read again per row: the new rows have no numbers yet.
        QVERIFY(dm.qryParts.rowValue(0, dm.qryParts.fieldByName("Auto").index()).isNull());
        // Grids heard nothing while display updates were off; once when on.
        QCOMPARE(rereads, 0);
        dm.qryParts.enableControls();
        QCOMPARE(rereads, 0);
        dm.qryParts.enableControls();
        QCOMPARE(rereads, 1);
        dm.endBatch(dm.qryParts);
        QVERIFY(!dm.inBatch(dm.qryParts));
        QCOMPARE(rereads, 2);
        QCOMPARE(fileRows(dir(), "Parts.DB").size(), 3);
        QCOMPARE(dm.qryParts.recordCount(), 3);
        // Read again: the joined columns and the row numbers are there.
        QCOMPARE(dm.qryParts.rowValue(2, dm.qryParts.fieldByName("Nomenclature").index()).toString(),
                 QStringLiteral("SCREW 3"));
        QVERIFY(!dm.qryParts.rowValue(0, dm.qryParts.fieldByName("Auto").index()).isNull());
        dm.endBatch(dm.qryParts); // not in a batch: nothing
    }

    // A row that cannot be written back ends the adding; the rows before it
    // stay stored and the cached row is dropped when the batch ends.
    void batchKeepsRowsBeforeAFailure()
    {
        TdmMain &dm = *m_dm;
        dm.tblPartsList.append();
        dm.tblPartsList.fieldByName("NSN").setValue(QStringLiteral("5305-00-000-0001"));
        dm.tblPartsList.post();
        dm.qryParts.open();
        dm.beginBatch(dm.qryParts);
        dm.qryParts.append();
        dm.qryParts.fieldByName("NSN").setValue(QStringLiteral("5305-00-000-0001"));
        dm.qryParts.post();
        const QStringList good = dm.updParts.insertSql;
        dm.updParts.insertSql = {QStringLiteral("insert into \"Missing.DB\" (\"X\") values (:\"NSN\")")};
        dm.qryParts.append();
        dm.qryParts.fieldByName("NSN").setValue(QStringLiteral("5305-00-000-0001"));
        QVERIFY(!errorOf([&] { dm.qryParts.post(); }).isEmpty());
        QVERIFY(dm.qryParts.updatesPending());
        dm.updParts.insertSql = good;
        dm.endBatch(dm.qryParts);
        QVERIFY(!dm.qryParts.updatesPending());
        QCOMPARE(dm.qryParts.recordCount(), 1);
        QCOMPARE(fileRows(dir(), "Parts.DB").size(), 1);
    }

    void dueDateRuleThroughTheDatasets()
    {
        TdmMain &dm = *m_dm;
        // Hand receipts: V1 is type D, 30 days.
        dm.tblHr.first();
        QCOMPARE(dm.tblHr.fieldByName("Serial Number").asString(), QStringLiteral("V1"));
        dm.tblHr.fieldByName("Insp Completed").setValue(QDate(2002, 1, 15));
        QCOMPARE(dm.tblHr.fieldByName("Insp Due").value().toDate(), QDate(2002, 2, 14));
        QVERIFY(dm.tblHr.fieldByName("Insp Completed").isNull());
        dm.tblHr.post();

        // Type N keeps the entered date and leaves the due date alone.
        dm.tblHrdf.next();
        dm.tblHr.first();
        QCOMPARE(dm.tblHr.fieldByName("Serial Number").asString(), QStringLiteral("G1"));
        dm.tblHr.fieldByName("Insp Completed").setValue(QDate(2002, 1, 15));
        QCOMPARE(dm.tblHr.fieldByName("Insp Completed").value().toDate(), QDate(2002, 1, 15));
        QVERIFY(dm.tblHr.fieldByName("Insp Due").isNull());
        dm.tblHr.cancel();

        // Unknown NSN: empty type, interval 0.
        dm.tblHr.next();
        QCOMPARE(dm.tblHr.fieldByName("Serial Number").asString(), QStringLiteral("X1"));
        dm.tblHr.fieldByName("Insp Completed").setValue(QDate(2005, 6, 7));
        QCOMPARE(dm.tblHr.fieldByName("Insp Due").value().toDate(), QDate(2005, 6, 7));
        QVERIFY(dm.tblHr.fieldByName("Insp Completed").isNull());
        dm.tblHr.cancel();

        // An impossible date changes nothing and says why.
        dm.qryInsp.open();
        dm.qryInsp.first(); // F1, type Y 1
        const QVariant due = dm.qryInsp.fieldByName("Insp Due").value();
        QCOMPARE(errorOf([&] { dm.qryInsp.fieldByName("Insp Completed").setValue(QDate(2004, 2, 29)); }),
                 QStringLiteral("Invalid argument to date encode"));
        QCOMPARE(dm.qryInsp.fieldByName("Insp Due").value(), due);
        QCOMPARE(dm.qryInsp.fieldByName("Insp Completed").value().toDate(), QDate(2004, 2, 29));
        dm.qryInsp.fieldByName("Insp Completed").setValue(QDate(2002, 1, 15));
        dm.qryInsp.post(); // written back, re-read
        bool moved = false;
        for (const Row &r : fileRows(dir(), "Equipment.DB"))
            moved = moved || (r[3] == QStringLiteral("F1") && r[6] == QDate(2003, 1, 15) && r[5].isNull());
        QVERIFY(moved);

        // Kits carry their own type; lower case counts as the year rule.
        dm.tblKits.append();
        dm.tblKits.fieldByName("Insp Type").setValue(QStringLiteral("d"));
        dm.tblKits.fieldByName("Insp Freq").setValue(2);
        dm.tblKits.fieldByName("Insp Completed").setValue(QDate(2010, 3, 4));
        QCOMPARE(dm.tblKits.fieldByName("Insp Due").value().toDate(), QDate(2012, 3, 4));
        dm.tblKits.post();
        QCOMPARE(dm.tblKits.recordCount(), 1);
    }

    void closingTheConnectionFreesTheFiles()
    {
        TdmMain &dm = *m_dm;
        dm.qryInsp.open();
        dm.dbMain.close();
        for (TableDataset *t : dm.shopTables())
            QVERIFY(!t->active());
        QVERIFY(!dm.qryInsp.active());
        // The files can be replaced now and are read anew on reopening.
        addRow(dir(), "Hrdf.DB", Row{150, QStringLiteral("NEW HOLDER"), QVariant(), QVariant()});
        dm.tblHrdf.open();
        QVERIFY(dm.dbMain.connected());
        QCOMPARE(dm.tblHrdf.recordCount(), 3);
    }

    // Datasets come and go while their connection stays (a page's extra
    // dataset, a report's query): closing the connection afterwards must
    // reach only the datasets still alive.
    void datasetLeavesItsConnectionWhenDestroyed_data() { hrdfDatasetKinds(); }
    void datasetLeavesItsConnectionWhenDestroyed()
    {
        QFETCH(bool, query);
        TdmMain &dm = *m_dm;
        const qsizetype before = dm.dbMain.datasets().size();
        {
            const std::unique_ptr<Dataset> extra = hrdfDataset(dm.dbMain, query);
            extra->open();
            QCOMPARE(dm.dbMain.datasets().size(), before + 1);
        }
        QCOMPARE(dm.dbMain.datasets().size(), before);
        dm.dbMain.close();
        QVERIFY(!dm.tblHrdf.active());
    }

    // The other order: a connection destroyed before a dataset on it. The
    // dataset says so when used and is destroyed without touching it.
    void datasetOutlivingItsConnection_data() { hrdfDatasetKinds(); }
    void datasetOutlivingItsConnection()
    {
        QFETCH(bool, query);
        auto db = std::make_unique<Database>(*m_session, QStringLiteral("brief"));
        db->setParam(QStringLiteral("PATH"), dir());
        std::unique_ptr<Dataset> ds = hrdfDataset(*db, query);
        ds->open();
        QCOMPARE(ds->recordCount(), 2);
        db.reset();
        QVERIFY(!ds->active());
        QCOMPARE(errorOf([&] { ds->open(); }), QStringLiteral("The dataset's database connection is gone"));
        ds.reset();
    }

    // Two connections on one directory share its table files: closing one
    // leaves the other's open datasets reading them.
    void closingOneOfTwoConnectionsOnADirectory()
    {
        TdmMain &dm = *m_dm;
        {
            Database other(*m_session, QStringLiteral("other"));
            other.setParam(QStringLiteral("PATH"), dir());
            TableDataset hrdf(other, QStringLiteral("otherHrdf"));
            hrdf.setTableName(QStringLiteral("Hrdf.DB"));
            hrdf.open();
            QCOMPARE(hrdf.recordCount(), 2);
            other.close();
            QVERIFY(!hrdf.active());
        }
        QVERIFY(dm.tblHrdf.active());
        dm.tblHrdf.last();
        QCOMPARE(dm.tblHrdf.fieldByName(QStringLiteral("HR Holder")).asString(), QStringLiteral("CPT ALPHA"));
        dm.tblHrdf.refresh();
        QCOMPARE(dm.tblHrdf.recordCount(), 2);
    }

    // A statement run on another directory names the program's own tables
    // by the connection's name, ahead of a configured alias of that name.
    void connectionNameReachesItsTablesFromSql()
    {
        QTemporaryDir other, cfg;
        m_session->setConfigFile(QDir(cfg.path()).filePath(QStringLiteral("engine.json")));
        m_session->config().setAlias(QStringLiteral("Kitwarden"), other.path());
        m_session->config().setAlias(QStringLiteral("Elsewhere"), dir());
        const auto count = [&](const QString &table) {
            return m_session->sql()
                .exec(QStringLiteral("SELECT COUNT(*) FROM '%1' L").arg(table), other.path())
                .rows.value(0).value(0);
        };
        QCOMPARE(count(QStringLiteral(":Kitwarden:Lists.DB")), QVariant(4));
        QCOMPARE(count(QStringLiteral(":Elsewhere:Hrdf.DB")), QVariant(2));
        QCOMPARE(errorOf([&] { count(QStringLiteral(":kitwarden:Lists.DB")); }),
                 QStringLiteral("Unknown database: kitwarden"));
    }

    // A detail row begun while its master is a new (or changed) row that was
    // not posted: the master is posted first, so the detail gets its key; a
    // master that cannot be posted shows its error and no detail row begins.
    void detailPostsItsNewMasterFirst_data()
    {
        QTest::addColumn<int>("number");    // typed into the new holder row; -1: none
        QTest::addColumn<QString>("holder"); // likewise
        QTest::addColumn<bool>("editFirst"); // the current holder changed instead of a new one
        QTest::addColumn<QString>("error");
        QTest::newRow("new holder, complete") << 300 << "NEW HOLDER" << false << QString();
        QTest::newRow("changed holder") << 102 << "CPT BRAVO" << true << QString();
        QTest::newRow("new holder without a name") << 300 << QString() << false << "Field 'HR Holder' must have a value";
        QTest::newRow("new holder without a number") << -1 << "NEW HOLDER" << false << "Field 'HR #' must have a value";
        QTest::newRow("new holder with a number in use") << 101 << "NEW HOLDER" << false << "Key violation.";
    }
    void detailPostsItsNewMasterFirst()
    {
        QFETCH(int, number);
        QFETCH(QString, holder);
        QFETCH(bool, editFirst);
        QFETCH(QString, error);
        TdmMain &dm = *m_dm;
        const int itemsBefore = int(fileRows(dir(), "Equipment.DB").size());
        if (editFirst) {
            dm.tblHrdf.last();
            dm.tblHrdf.edit();
        } else {
            dm.tblHrdf.append();
        }
        if (number >= 0)
            dm.tblHrdf.fieldByName("HR Number").setValue(number);
        if (!holder.isEmpty())
            dm.tblHrdf.fieldByName("HR Holder").setValue(holder);

        QCOMPARE(errorOf([&] { dm.tblHr.append(); }), error);
        if (!error.isEmpty()) {
            QCOMPARE(dm.tblHr.state(), DatasetState::Browse);
            QCOMPARE(dm.tblHrdf.state(), DatasetState::Insert); // kept for the user to mend
            QCOMPARE(fileRows(dir(), "Hrdf.DB").size(), 2);
            QCOMPARE(fileRows(dir(), "Equipment.DB").size(), itemsBefore);
            return;
        }
        QCOMPARE(dm.tblHrdf.state(), DatasetState::Browse);
        QCOMPARE(dm.tblHr.state(), DatasetState::Insert);
        QCOMPARE(dm.tblHr.fieldByName("HR Number").value().toInt(), number);
        QCOMPARE(errorOf([&] {
                     dm.tblHr.fieldByName("NSN").setValue(QStringLiteral("1111-01-000-0002"));
                     dm.tblHr.fieldByName("Serial Number").setValue(QStringLiteral("NEW-ITEM"));
                     dm.tblHr.post();
                 }),
                 QString());
        QCOMPARE(dm.tblHrdf.fieldByName("HR Number").value().toInt(), number);
        QCOMPARE(dm.tblHr.fieldByName("Serial Number").asString(), QStringLiteral("NEW-ITEM"));
        int holders = 0, items = 0;
        for (const Row &r : fileRows(dir(), "Hrdf.DB"))
            holders += r[0] == number && r[1] == holder;
        for (const Row &r : fileRows(dir(), "Equipment.DB"))
            items += r[1] == number && r[3] == QStringLiteral("NEW-ITEM");
        QCOMPARE(holders, 1);
        QCOMPARE(items, 1);
    }

    // Leaving a row being inserted or edited writes it only when a field
    // was changed: an untouched new row (its link and default values are no
    // change of the user's) is dropped.
    void untouchedRowIsDropped_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("leave");
        QTest::addColumn<bool>("change");
        QTest::addColumn<int>("added"); // rows added to the table's file
        for (const char *leave : {"first", "append", "refresh", "holder moves"}) {
            QTest::addRow("untouched item, %s", leave) << "Equipment.DB" << leave << false << 0;
            QTest::addRow("typed item, %s", leave) << "Equipment.DB" << leave << true << 1;
        }
        QTest::newRow("untouched holder, first") << "Hrdf.DB" << "first" << false << 0;
        QTest::newRow("untouched holder, append") << "Hrdf.DB" << "append" << false << 0;
        QTest::newRow("typed holder, first") << "Hrdf.DB" << "first" << true << 1;
    }
    void untouchedRowIsDropped()
    {
        QFETCH(QString, table);
        QFETCH(QString, leave);
        QFETCH(bool, change);
        QFETCH(int, added);
        TdmMain &dm = *m_dm;
        TableDataset &ds = table == QLatin1String("Hrdf.DB") ? dm.tblHrdf : dm.tblHr;
        const int before = int(fileRows(dir(), table).size());
        ds.append();
        if (change && &ds == &dm.tblHrdf) {
            ds.fieldByName("HR Number").setValue(300);
            ds.fieldByName("HR Holder").setValue(QStringLiteral("NEW HOLDER"));
        } else if (change) {
            ds.fieldByName("Serial Number").setValue(QStringLiteral("TYPED"));
        }
        const QString error = errorOf([&] {
            if (leave == QLatin1String("first"))
                ds.first();
            else if (leave == QLatin1String("append"))
                ds.append();
            else if (leave == QLatin1String("refresh"))
                ds.refresh();
            else
                dm.tblHrdf.next();
        });
        QCOMPARE(error, QString());
        if (leave != QLatin1String("append"))
            QCOMPARE(ds.state(), DatasetState::Browse);
        QCOMPARE(fileRows(dir(), table).size(), before + added);
        ds.cancel();
        ds.checkBrowseMode();
        QCOMPARE(fileRows(dir(), table).size(), before + added);
    }

    // A cached insert that ran in an apply which failed later, changed or
    // deleted again by the user: the next apply changes the row the table
    // holds instead of inserting it a second time.
    void reappliedInsertFollowsTheTable_data()
    {
        QTest::addColumn<QString>("then");
        QTest::addColumn<QStringList>("expected"); // holders in the file afterwards, by number
        QTest::newRow("edited again") << "edit" << QStringList{"101 SGT ZULU", "150 CPT ALPHA", "300 NEWER"};
        QTest::newRow("number changed") << "renumber" << QStringList{"101 SGT ZULU", "150 CPT ALPHA", "301 NEW"};
        QTest::newRow("deleted") << "delete" << QStringList{"101 SGT ZULU", "150 CPT ALPHA"};
        QTest::newRow("left alone") << "nothing" << QStringList{"101 SGT ZULU", "150 CPT ALPHA", "300 NEW"};
    }
    void reappliedInsertFollowsTheTable()
    {
        QFETCH(QString, then);
        QFETCH(QStringList, expected);
        QueryDataset q(m_dm->dbMain, QStringLiteral("qryHolders"));
        UpdateSql upd;
        const QString t = QStringLiteral("\"Hrdf.DB\"");
        upd.insertSql = {"insert into " + t + " (\"HR Number\", \"HR Holder\") values (:\"HR Number\", :\"HR Holder\")"};
        upd.modifySql = {"update " + t + " set \"HR Number\" = :\"HR Number\", \"HR Holder\" = :\"HR Holder\"",
                         "where \"HR Number\" = :\"OLD_HR Number\""};
        upd.deleteSql = {"delete from " + t + " where \"HR Number\" = :\"OLD_HR Number\""};
        q.setSql({"SELECT \"HR Number\", \"HR Holder\" FROM " + t + " ORDER BY \"HR Number\""});
        q.cachedUpdates = true;
        q.updateObject = &upd;
        q.open();
        auto holderRow = [&](int number) {
            for (int r = 0; r < q.recordCount(); ++r)
                if (q.rowValue(r, 0).toInt() == number)
                    return r;
            return -1;
        };
        q.append();
        q.fieldByName("HR Number").setValue(300);
        q.fieldByName("HR Holder").setValue(QStringLiteral("NEW"));
        q.post();
        q.moveTo(holderRow(102));
        q.fieldByName("HR Number").setValue(101); // the key of another holder: this apply fails
        q.post();
        QCOMPARE(errorOf([&] { q.applyUpdates(); }), QStringLiteral("Key violation."));

        for (int r = 0; r < q.recordCount(); ++r)
            if (q.rowValue(r, 1).toString() == QStringLiteral("CPT ALPHA"))
                q.moveTo(r);
        q.fieldByName("HR Number").setValue(150);
        q.post();
        q.moveTo(holderRow(300));
        if (then == QLatin1String("edit"))
            q.fieldByName("HR Holder").setValue(QStringLiteral("NEWER"));
        else if (then == QLatin1String("renumber"))
            q.fieldByName("HR Number").setValue(301);
        else if (then == QLatin1String("delete"))
            q.deleteRecord();
        q.checkBrowseMode();
        QCOMPARE(errorOf([&] { q.applyUpdates(); }), QString());
        q.commitUpdates();
        QStringList holders;
        for (const Row &r : fileRows(dir(), "Hrdf.DB"))
            holders << QStringLiteral("%1 %2").arg(r[0].toInt()).arg(r[1].toString());
        holders.sort();
        QCOMPARE(holders, expected);
    }
    // A post that re-reads and re-orders a joined query stays on the record:
    // the one posted, or the one the move went to.
    void postKeepsTheRecordThroughAReRead()
    {
        TdmMain &dm = *m_dm;
        QueryDataset &q = dm.qryInsp;
        q.open();
        QCOMPARE(kwtestSerials(q), (QStringList{"F1", "V1"}));
        q.fieldByName("Insp Due").setValue(QDate(2009, 1, 1)); // F1 moves to the end
        q.post();
        QCOMPARE(kwtestSerials(q), (QStringList{"V1", "F1"}));
        QCOMPARE(q.fieldByName("Serial Number").asString(), QStringLiteral("F1"));
        q.fieldByName("Insp Due").setValue(QDate(2000, 1, 1)); // F1 back to the front...
        q.moveTo(0);                                           // ...while the move goes to V1
        QCOMPARE(kwtestSerials(q), (QStringList{"F1", "V1"}));
        QCOMPARE(q.fieldByName("Serial Number").asString(), QStringLiteral("V1"));
        QCOMPARE(q.recNo(), 1);
    }

    // A joined row writes back only what was changed in it, and never over
    // a change made elsewhere since it was read.
    void staleJoinedRow_data()
    {
        QTest::addColumn<QString>("elsewhere"); // column changed on the table meanwhile ("" = row deleted)
        QTest::addColumn<QString>("here");      // column changed in the query
        QTest::addColumn<bool>("refused");
        QTest::newRow("other column") << "Remarks" << "OH" << false;
        QTest::newRow("same column") << "OH" << "OH" << true;
        QTest::newRow("row deleted") << "" << "OH" << true;
    }
    void staleJoinedRow()
    {
        QFETCH(QString, elsewhere);
        QFETCH(QString, here);
        QFETCH(bool, refused);
        TdmMain &dm = *m_dm;
        dm.qryGear.open(); // V1 read now
        QVERIFY(!dm.qryGear.stale());
        QVERIFY(dm.tblHrdf.findKey({101}));
        dm.tblHr.open();
        for (int r = 0; r < dm.tblHr.recordCount(); ++r)
            if (dm.tblHr.rowValue(r, dm.tblHr.fieldByName("Serial Number").index()) == QStringLiteral("V1"))
                dm.tblHr.moveTo(r);
        if (elsewhere.isEmpty())
            dm.tblHr.deleteRecord();
        else
            dm.tblHr.fieldByName(elsewhere).setValue(elsewhere == "OH" ? QVariant(5) : QVariant("CHECKED"));
        dm.tblHr.post();
        QVERIFY(dm.qryGear.stale());

        dm.qryGear.moveTo(int(kwtestSerials(dm.qryGear).indexOf("V1")));
        dm.qryGear.fieldByName(here).setValue(9);
        const QString error = errorOf([&] { dm.qryGear.post(); });
        QCOMPARE(error.isEmpty(), !refused);
        QVERIFY(!dm.qryGear.updatesPending());
        Row v1;
        for (const Row &r : fileRows(dir(), "Equipment.DB"))
            if (r[3] == QStringLiteral("V1"))
                v1 = r;
        if (elsewhere.isEmpty()) {
            QVERIFY(v1.isEmpty()); // not brought back
            QVERIFY(!kwtestSerials(dm.qryGear).contains("V1"));
            return;
        }
        QCOMPARE(v1[4].toInt(), refused ? 5 : 9);
        if (elsewhere == "Remarks")
            QCOMPARE(v1[7].toString(), QStringLiteral("CHECKED"));
        // What the query shows is what the table holds.
        QVERIFY(!dm.qryGear.stale());
        QCOMPARE(dm.qryGear.fieldByName("Serial Number").asString(), QStringLiteral("V1"));
        QCOMPARE(dm.qryGear.fieldByName("OH").value().toInt(), v1[4].toInt());
    }

    // The add-all rules without their dialogs.
    void batchAddsWithoutWidgets()
    {
        TdmMain &dm = *m_dm;
        QVERIFY(dm.tblHrdf.findKey({102}));
        dm.tblHr.open();
        QCOMPARE(addListItemsToHolder(dm, false, false).added, 0);
        const BatchAddReport items = addListItemsToHolder(dm, true, false); // VEST and GLOVES are on List 1
        QVERIFY2(items.ok(), qPrintable(items.error));
        QCOMPARE(items.added, 2);
        int onHolder = 0;
        for (const Row &r : fileRows(dir(), "Equipment.DB"))
            onHolder += r[1].toInt() == 102;
        QCOMPARE(onHolder, 4);

        dm.tblPartsList.append();
        dm.tblPartsList.fieldByName("NSN").setValue(QStringLiteral("2222-01-000-0001"));
        dm.tblPartsList.post();
        int steps = 0;
        const BatchAddReport parts = addAllPartsToBenchStock(dm, [&] { ++steps; });
        QVERIFY2(parts.ok(), qPrintable(parts.error));
        QCOMPARE(parts.added, 1);
        QCOMPARE(steps, 1);
        QCOMPARE(fileRows(dir(), "Parts.DB").size(), 1);
    }

    // Items stand under their holder's number: a holder who still signs for
    // items is neither deleted nor renumbered; one without items is.
    void holdersKeepTheirItems()
    {
        TdmMain &dm = *m_dm;
        QVERIFY(dm.tblHrdf.findKey({101}));
        QCOMPARE(errorOf([&] { dm.tblHrdf.deleteRecord(); }),
                 QStringLiteral("HR 101 (SGT ZULU) still signs for 2 items: move or delete them first."));
        dm.tblHrdf.fieldByName("HR Number").setValue(103);
        QVERIFY(errorOf([&] { dm.tblHrdf.post(); })
                    .startsWith(QStringLiteral("HR 101 (SGT ZULU) still signs for 2 items, so its number cannot change.")));
        dm.tblHrdf.cancel();
        QCOMPARE(fileRows(dir(), "Hrdf.DB").size(), 2);
        QCOMPARE(fileRows(dir(), "Hrdf.DB")[0][0].toInt(), 101);

        dm.tblHrdf.append();
        dm.tblHrdf.fieldByName("HR Number").setValue(104);
        dm.tblHrdf.fieldByName("HR Holder").setValue("SPC NEW");
        dm.tblHrdf.post();
        dm.tblHrdf.fieldByName("HR Number").setValue(105);
        dm.tblHrdf.post();
        QVERIFY(dm.tblHrdf.findKey({105}));
        dm.tblHrdf.deleteRecord();
        QCOMPARE(fileRows(dir(), "Hrdf.DB").size(), 2);

        // An item takes only a holder's number.
        QVERIFY(dm.tblHrdf.findKey({101}));
        dm.tblHr.open();
        dm.tblHr.fieldByName("HR Number").setValue(999);
        QCOMPARE(errorOf([&] { dm.tblHr.post(); }), QStringLiteral("No holder has HR # 999: add the holder first, or "
                                                                   "give the item the number of an existing holder."));
        dm.tblHr.cancel();

        // Older data: an item whose number no holder has.
        const auto orphans = dm.itemsWithoutHolder();
        QCOMPARE(orphans.size(), 1);
        QCOMPARE(orphans[0].hrNumber, 555);
        QCOMPARE(orphans[0].items, 1);
    }

};

class TstDueDate : public QObject {
    Q_OBJECT
private slots:
    void rule_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariant>("freq");
        QTest::addColumn<QDate>("completed");
        QTest::addColumn<QDate>("due");
        QTest::addColumn<QString>("error");
        const QDate jan15(2002, 1, 15);
        QTest::newRow("days") << "D" << QVariant(30) << jan15 << QDate(2002, 2, 14) << "";
        QTest::newRow("years") << "Y" << QVariant(1) << jan15 << QDate(2003, 1, 15) << "";
        QTest::newRow("lower-case d is years") << "d" << QVariant(2) << jan15 << QDate(2004, 1, 15) << "";
        QTest::newRow("empty type, empty interval") << "" << QVariant() << jan15 << jan15 << "";
        QTest::newRow("29 Feb to a leap year") << "Y" << QVariant(4) << QDate(2004, 2, 29) << QDate(2008, 2, 29) << "";
        QTest::newRow("29 Feb to a common year") << "Y" << QVariant(1) << QDate(2004, 2, 29) << QDate()
                                                 << "Invalid argument to date encode";
        QTest::newRow("29 Feb plus days") << "D" << QVariant(1) << QDate(2004, 2, 29) << QDate(2004, 3, 1) << "";
        QTest::newRow("year 9999") << "Y" << QVariant(1) << QDate(9998, 6, 1) << QDate(9999, 6, 1) << "";
        QTest::newRow("past 9999") << "Y" << QVariant(1) << QDate(9999, 6, 1) << QDate()
                                   << "Invalid argument to date encode";
        QTest::newRow("days past 9999") << "D" << QVariant(30) << QDate(9999, 12, 15) << QDate()
                                        << "Invalid argument to date encode";
        QTest::newRow("year 0") << "Y" << QVariant(-2002) << jan15 << QDate() << "Invalid argument to date encode";
        QTest::newRow("below year 0") << "Y" << QVariant(-3000) << jan15 << QDate() << "Range check error";
    }
    void rule()
    {
        QFETCH(QString, type);
        QFETCH(QVariant, freq);
        QFETCH(QDate, completed);
        QFETCH(QDate, due);
        QFETCH(QString, error);
        try {
            QCOMPARE(inspectionDueDate(type, freq, completed), due);
            QVERIFY(error.isEmpty());
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), error);
        }
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rc = 0;
    TstDueDate due;
    rc |= QTest::qExec(&due, argc, argv);
    TstDmMain dm;
    rc |= QTest::qExec(&dm, argc, argv);
    return rc;
}

#include "tst_dmmain.moc"
