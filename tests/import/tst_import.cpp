// The import from the predecessor program on small predecessor directories
// written by the tests: one table of cases per stage family, the log, the
// progress it reports, and all or nothing when a stage fails.
#include "import/marrowbyimport.h"
#include "marrowbyfixture.h"

#include "data/engine/engineerror.h"
#include "data/engine/session.h"
#include "data/shop/shopschema.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace kw::data;
using namespace kw::import;
using namespace kwtest;
using kw::core::findFileNoCase;

namespace {

const QDate kToday(2026, 12, 9);

// Status lines and bar values in the order they were reported.
struct Recorder : ImportProgress {
    QStringList statuses;
    QList<QPair<int, int>> bars;
    bool startedCalled = false;
    void started() override { startedCalled = true; }
    void status(const QString &text) override { statuses << text; }
    void progress(int part, int total) override { bars << qMakePair(part, total); }
};

QVector<Row> shopRows(const QString &dir, const QString &table)
{
    auto t = ParadoxTable::open(findFileNoCase(dir, shop::findTable(table)->fileName), {shop::kTablePassword}, true);
    QVector<Row> rows;
    for (int i = 0; i < t->rowCount(); ++i) {
        Row r = t->row(i);
        for (QVariant &v : r)
            if (v.isNull())
                v = QVariant(); // blank, whatever its type
        rows << r;
    }
    t->close();
    return rows;
}

void addShopRow(const QString &dir, const QString &table, Row row)
{
    auto t = ParadoxTable::open(findFileNoCase(dir, shop::findTable(table)->fileName), {shop::kTablePassword});
    t->insert(row);
    t->close();
}

// "number=holder" per row of Hrdf.DB, in key order.
QStringList holdersIn(const QString &dir)
{
    QStringList out;
    for (const Row &r : shopRows(dir, QStringLiteral("Hrdf")))
        out << r[0].toString() + QLatin1Char('=') + r[1].toString();
    return out;
}

// "number=holder" per live HRDF record of the predecessor, sorted.
QStringList predecessorHolders(const QString &dir)
{
    QStringList out;
    for (const Row &r : dbfRows(dir, QStringLiteral("HRDF.DBF")))
        out << r[0].toString() + QLatin1Char('=') + r[1].toString();
    out.sort();
    return out;
}

// Each line of actual matches the wildcard pattern of the same line ("2=! *").
bool matches(const QStringList &actual, const QStringList &patterns)
{
    if (actual.size() != patterns.size())
        return false;
    for (int i = 0; i < actual.size(); ++i)
        if (!QRegularExpression(QRegularExpression::wildcardToRegularExpression(patterns[i])).match(actual[i]).hasMatch())
            return false;
    return true;
}

// A master list row of its own (LIN as given, no NSN).
Row listRow(const char *lin)
{
    return Row{QString::fromLatin1(lin), QVariant(), QVariant(), QStringLiteral("ITEM ") + QString::fromLatin1(lin),
               QVariant(), QVariant(), QVariant(), QVariant(), false, false, false, false, false, false, false, false};
}

// The first field of every master list row.
QStringList listKeys(const QString &dir)
{
    QStringList keys;
    for (const Row &r : shopRows(dir, QStringLiteral("Lists")))
        keys << r[0].toString();
    return keys;
}

QList<MarrowbyHolder> holderList(const QStringList &specs)
{
    QList<MarrowbyHolder> out;
    for (const QString &s : specs) {
        const QString n = s.section(QLatin1Char('='), 0, 0);
        out << MarrowbyHolder{n.isEmpty() ? QVariant() : QVariant(n.toInt()), s.section(QLatin1Char('='), 1)};
    }
    return out;
}

} // namespace

class TstImport : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_data, m_marrowby;
    std::unique_ptr<Session> m_session;
    Recorder m_progress;

    QString data() const { return m_data->path(); }
    QString marrowby() const { return m_marrowby->path(); }

    ImportReport run(const Marrowby &m, bool write = true)
    {
        if (write)
            m.write(marrowby());
        m_progress = Recorder();
        return importFromMarrowby(*m_session, ImportOptions{data(), marrowby(), kToday, QStringLiteral("d/M/yyyy")},
                                  &m_progress);
    }
    static Marrowby basic()
    {
        Marrowby m;
        m.holders = holderList({"1=Able", "2=Baker"});
        m.master = {{"1111-01-000-0001", "V11111", "VEST, SURVIVAL", "EA", "2", "Y", "1"}};
        m.items = {{1, "1111-01-000-0001", "VEST, SURVIVAL", "V-1", "left locker"}};
        m.kits = {{"90-26001", "SKIT", "K-1", "LOT 7", QDate(2027, 1, 1), "180", "D", QDate(2027, 3, 1)}};
        return m;
    }

    QTemporaryDir m_emptyShop; // the empty shop tables, made once and copied per case

private slots:
    void initTestCase() { shop::createMissingTables(m_emptyShop.path()); }
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        m_marrowby = std::make_unique<QTemporaryDir>();
        for (const QString &f : QDir(m_emptyShop.path()).entryList(QDir::Files))
            QVERIFY(QFile::copy(QDir(m_emptyShop.path()).filePath(f), QDir(data()).filePath(f)));
        m_session = std::make_unique<Session>();
        shop::prepareSession(*m_session);
    }
    void cleanup()
    {
        m_session.reset();
        m_data.reset();
        m_marrowby.reset();
    }

    // ---- holders and their consolidation passes

    void holders_data()
    {
        QTest::addColumn<QStringList>("hrdf");       // predecessor records "number=holder"
        QTest::addColumn<QStringList>("imported");   // Hrdf.DB afterwards, patterns
        QTest::addColumn<QStringList>("remaining");  // predecessor records afterwards, sorted, patterns
        QTest::addColumn<QStringList>("consolidated"); // numbers named in the log

        QTest::newRow("numbers 1, 2, 2, 3") << QStringList{"1=Able", "2=Baker", "2=Charlie", "3=Dog"}
                                           << QStringList{"1=Able", "2=! *", "3=Dog"}
                                           << QStringList{"1=Able", "2=! *", "3=Dog"} << QStringList{"2"};
        QTest::newRow("highest number held twice") << QStringList{"1=Able", "2=Baker", "3=Dog", "3=Easy"}
                                                   << QStringList{"1=Able", "2=Baker", "3=! *"}
                                                   << QStringList{"1=Able", "2=Baker", "3=! *"} << QStringList{"3"};
        QTest::newRow("empty HRDF") << QStringList{} << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("same holder twice") << QStringList{"4=Fox", "4=Fox"} << QStringList{"4=! Fox"}
                                           << QStringList{"4=! Fox"} << QStringList{"4"};
        QTest::newRow("two numbers held twice, first and last")
            << QStringList{"1=Able", "1=Able", "2=Baker", "5=Easy", "5=Easy"}
            << QStringList{"1=! Able", "2=Baker", "5=! Easy"} << QStringList{"1=! Able", "2=Baker", "5=! Easy"}
            << QStringList{"1", "5"};
        QTest::newRow("negative and blank numbers stay out")
            << QStringList{"-3=Minus", "=Nobody", "0=Zero", "1=Able"} << QStringList{"0=Zero", "1=Able"}
            << QStringList{"-3=Minus", "0=Zero", "1=Able", "=Nobody"} << QStringList{};
        QTest::newRow("apostrophes and quotes in consolidated names")
            << QStringList{"2=O'Neil", "2=O'Neil", "3=Say \"Hi\""} << QStringList{"2=! O'Neil", "3=Say \"Hi\""}
            << QStringList{"2=! O'Neil", "3=Say \"Hi\""} << QStringList{"2"};
        QTest::newRow("a long name is cut to the holder field")
            << QStringList{"6=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "6=X"} << QStringList{"6=! *"}
            << QStringList{"6=! *"} << QStringList{"6"};
    }
    void holders()
    {
        QFETCH(QStringList, hrdf);
        QFETCH(QStringList, imported);
        QFETCH(QStringList, remaining);
        QFETCH(QStringList, consolidated);
        Marrowby m = basic();
        m.holders = holderList(hrdf);
        m.items.clear();
        const ImportReport r = run(m);
        QVERIFY2(r.completed, qPrintable(r.error));
        QVERIFY2(matches(holdersIn(data()), imported), qPrintable(holdersIn(data()).join(u'|')));
        QVERIFY2(matches(predecessorHolders(marrowby()), remaining),
                 qPrintable(predecessorHolders(marrowby()).join(u'|')));
        for (const QString &row : holdersIn(data()))
            QVERIFY(row.section(u'=', 1).size() <= 30);
        QStringList named;
        for (const QString &line : r.log)
            if (line.startsWith(QLatin1String("Multiple Hand Receipt Numbers found for HR# ")))
                named << line.section(u' ', -1);
        QCOMPARE(named, consolidated);
        const int at = r.log.indexOf(QStringLiteral("Existing Hand Receipt Numbers Imported."));
        QVERIFY(at > 0);
        QCOMPARE(r.log.value(at + 1), QStringLiteral(" "));
    }

    void holderWithoutNameFailsTheImport()
    {
        Marrowby m = basic();
        m.holders = holderList({"1=Able", "8="});
        const ImportReport r = run(m);
        QVERIFY(!r.completed);
        QCOMPARE(r.error, QStringLiteral("HR# 8: Field 'HR Holder' must have a value"));
        QCOMPARE(r.failedStatus, QStringLiteral("Importing Marrowby HRDF Table"));
    }

    // ---- holders known only from items

    void orphanHolders_data()
    {
        QTest::addColumn<QStringList>("hrdf");
        QTest::addColumn<QList<int>>("itemHolders");
        QTest::addColumn<QStringList>("imported");
        QTest::addColumn<QString>("logLine");

        QTest::newRow("item of a missing holder")
            << QStringList{"1=Able"} << QList<int>{1, 7, 7} << QStringList{"1=Able", "7=Previously Deleted HR#"}
            << "1 Previously Deleted Hand Receipt Numbers were Imported.";
        QTest::newRow("holder record without a number hides nothing")
            << QStringList{"1=Able", "=Blank"} << QList<int>{7, 9}
            << QStringList{"1=Able", "7=Previously Deleted HR#", "9=Previously Deleted HR#"}
            << "2 Previously Deleted Hand Receipt Numbers were Imported.";
        QTest::newRow("every holder known") << QStringList{"1=Able", "2=Baker"} << QList<int>{2, 1}
                                            << QStringList{"1=Able", "2=Baker"} << "";
    }
    void orphanHolders()
    {
        QFETCH(QStringList, hrdf);
        QFETCH(QList<int>, itemHolders);
        QFETCH(QStringList, imported);
        QFETCH(QString, logLine);
        Marrowby m = basic();
        m.holders = holderList(hrdf);
        m.items.clear();
        for (int hr : itemHolders)
            m.items << MarrowbyItem{hr, "1111-01-000-0001", "VEST, SURVIVAL", "S", ""};
        const ImportReport r = run(m);
        QVERIFY2(r.completed, qPrintable(r.error));
        QCOMPARE(holdersIn(data()), imported);
        const bool logged = r.log.filter(QStringLiteral("Previously Deleted")).size() == 1;
        QCOMPARE(logged, !logLine.isEmpty());
        if (!logLine.isEmpty())
            QVERIFY(r.log.contains(logLine));
    }

    // ---- characters removed from the predecessor's nomenclatures

    void illegalCharacters_data()
    {
        QTest::addColumn<QString>("nomen");
        QTest::addColumn<QString>("cleaned");
        QTest::addColumn<int>("count"); // per table; the item and the master entry share the text

        QTest::newRow("double quotes and colon") << "VEST \"LPU\": ADULT" << "VEST LPU ADULT" << 3;
        QTest::newRow("one double quote, one colon") << "CUTTER 6\" HOOK:" << "CUTTER 6 HOOK" << 2;
        QTest::newRow("apostrophes") << "PILOT'S KIT'" << "PILOTS KIT" << 2;
        QTest::newRow("nothing else removed") << "KIT, SURVIVAL; (HOT) - 1/2" << "KIT, SURVIVAL; (HOT) - 1/2" << 0;
        QTest::newRow("only removed characters") << "'\":" << "" << 3;
    }
    void illegalCharacters()
    {
        QFETCH(QString, nomen);
        QFETCH(QString, cleaned);
        QFETCH(int, count);
        Marrowby m = basic();
        m.master = {{"2222-01-000-0002", "L2", nomen, "EA", "1", "N", "0"}};
        m.items = {{1, "2222-01-000-0002", nomen, "S-1", ""}};
        m.write(marrowby());
        const QMap<QString, QByteArray> before = fileHashes(marrowby());
        const ImportReport r = run(m, false);
        QVERIFY2(r.completed, qPrintable(r.error));
        QCOMPARE(r.removedCharacters, 2 * count);
        QCOMPARE(dbfRows(marrowby(), "SHRMSTR.DBF").value(0).value(2).toString(), cleaned);
        QCOMPARE(dbfRows(marrowby(), "ALSE.DBF").value(0).value(2).toString(), cleaned);
        const QString line = QStringLiteral("%1 characters which interfere with the Import were found and deleted.")
                                 .arg(2 * count);
        QCOMPARE(r.log.contains(line), count > 0);
        // A table with nothing to remove is not rewritten.
        QCOMPARE(fileHashes(marrowby()).value("SHRMSTR.DBF") == before.value("SHRMSTR.DBF"), count == 0);
        QCOMPARE(shopRows(data(), "Lists").value(0).value(3).toString(), cleaned);
    }

    // ---- master list entries from the predecessor's list

    void masterList()
    {
        Marrowby m = basic();
        m.master = {{"3333-01-000-0001", "LONGLIN", "FLARE", "EA", "12", "D", " 90"},
                    {"3333-01-000-0001", "X", "FLARE AGAIN", "EA", "1", "Y", "1"}, // repeated NSN: added once
                    {"", "Y", "NO NSN", "EA", "1", "Y", "1"},                      // no NSN: left out
                    {"1111-01-000-0001", "Z", "ALREADY THERE", "EA", "1", "Y", "1"}};
        addShopRow(data(), "Lists", Row{"1111-01-000-0001", "OLD", QVariant(), "KEPT", "EA", "1", "N", 0,
                                        false, false, false, false, false, false, false, false});
        const ImportReport r = run(m);
        QVERIFY2(r.completed, qPrintable(r.error));
        const QVector<Row> lists = shopRows(data(), "Lists");
        QCOMPARE(lists.size(), 2);
        QCOMPARE(lists[0][3], QVariant("KEPT"));
        // Only the ALSE flag is set; the other categories stay blank.
        QCOMPARE(lists[1], (Row{"3333-01-000-0001", "LONGLI", QVariant(), "FLARE", "EA", "12", "D", 90, true, QVariant(),
                                QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}));
        QVERIFY(r.log.contains("1 new items were added to the Master List."));
    }

    void intervalThatIsNoNumberFailsTheImport()
    {
        Marrowby m = basic();
        m.master = {{"3333-01-000-0001", "L", "FLARE", "EA", "1", "D", "1x"}};
        const ImportReport r = run(m);
        QVERIFY(!r.completed);
        QCOMPARE(r.error, QStringLiteral("'1x' is not a valid integer value"));
        QCOMPARE(r.failedStatus, QStringLiteral("Checking Marrowby Master List"));
    }

    // ---- items without a master-list entry get a generated NSN

    void generatedNsns_data()
    {
        QTest::addColumn<QStringList>("items");      // "nsn|nomen|remarks"
        QTest::addColumn<QStringList>("listed");     // NSNs already in Lists.DB
        QTest::addColumn<QStringList>("itemsAfter"); // Equipment.DB "nsn|remarks", in file order
        QTest::addColumn<QStringList>("added");      // new Lists.DB rows "nsn|lin|part number|nomen"
        QTest::addColumn<int>("orphans");

        QTest::newRow("one unlisted item")
            << QStringList{"9999-00-000-0001|RAFT|green"} << QStringList{}
            << QStringList{"1 - 9/12/2026|9999-00-000-000"}
            << QStringList{"1 - 9/12/2026|Import|9999-00-000-0001-green|RAFT"} << 1;
        QTest::newRow("same NSN and nomenclature, different remarks")
            << QStringList{"9999-00-000-0001|RAFT|first", "9999-00-000-0001|RAFT|second"} << QStringList{}
            << QStringList{"1 - 9/12/2026|9999-00-000-000", "1 - 9/12/2026|9999-00-000-000"}
            << QStringList{"1 - 9/12/2026|Import|9999-00-000-0001-first|RAFT"} << 2;
        QTest::newRow("same NSN, two nomenclatures")
            << QStringList{"9999-00-000-0001|RAFT|", "9999-00-000-0001|VEST|"} << QStringList{}
            << QStringList{"1 - 9/12/2026|9999-00-000-000", "2 - 9/12/2026|9999-00-000-000"}
            << QStringList{"1 - 9/12/2026|Import|9999-00-000-0001-|RAFT", "2 - 9/12/2026|Import|9999-00-000-0001-|VEST"}
            << 2;
        QTest::newRow("listed items keep their NSN")
            << QStringList{"1111-01-000-0001|VEST|x", "8|O'NEIL KIT|y"} << QStringList{"1111-01-000-0001"}
            << QStringList{"1111-01-000-0001|x", "1 - 9/12/2026|8-y"}
            << QStringList{"1 - 9/12/2026|Import|8-y|ONEIL KIT"} << 1;
        QTest::newRow("NSN holding an apostrophe")
            << QStringList{"12'34|KIT|r"} << QStringList{} << QStringList{"1 - 9/12/2026|12'34-r"}
            << QStringList{"1 - 9/12/2026|Import|12'34-r|KIT"} << 1;
        QTest::newRow("empty nomenclature")
            << QStringList{"5555|  |r"} << QStringList{} << QStringList{"1 - 9/12/2026|5555-r"}
            << QStringList{"1 - 9/12/2026|Import|5555-r|"} << 1;
        QTest::newRow("a number taken the same day is passed over")
            << QStringList{"7777|KIT|r"} << QStringList{"1 - 9/12/2026"} << QStringList{"2 - 9/12/2026|7777-r"}
            << QStringList{"2 - 9/12/2026|Import|7777-r|KIT"} << 1;
    }
    void generatedNsns()
    {
        QFETCH(QStringList, items);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, itemsAfter);
        QFETCH(QStringList, added);
        QFETCH(int, orphans);
        Marrowby m = basic();
        m.master.clear();
        m.items.clear();
        for (const QString &i : items)
            m.items << MarrowbyItem{1, i.section(u'|', 0, 0), i.section(u'|', 1, 1).trimmed(), "S",
                                    i.section(u'|', 2, 2)};
        for (const QString &nsn : listed)
            addShopRow(data(), "Lists", Row{nsn, "OLD", QVariant(), "LISTED", "EA", "1", "N", 0, false, false, false,
                                            false, false, false, false, false});
        const ImportReport r = run(m);
        QVERIFY2(r.completed, qPrintable(r.error));
        QStringList after;
        for (const Row &e : shopRows(data(), "Equipment"))
            after << e[2].toString() + u'|' + e[7].toString();
        QCOMPARE(after, itemsAfter);
        QStringList newRows;
        for (const Row &l : shopRows(data(), "Lists"))
            if (!listed.contains(l[0].toString()))
                newRows << QStringList{l[0].toString(), l[1].toString(), l[2].toString(), l[3].toString()}.join(u'|');
        newRows.sort();
        QCOMPARE(newRows, added);
        QCOMPARE(r.orphanItems, orphans);
        // The predecessor's items carry the generated NSNs now.
        for (const Row &a : dbfRows(marrowby(), "ALSE.DBF"))
            QVERIFY(after.contains(a[1].toString() + u'|' + a[4].toString().left(15)));
        QVERIFY(r.log.contains(QStringLiteral("%1 items were found in the Marrowby Hand Receipt file").arg(orphans)));
        QVERIFY(r.log.contains("   # - 9/12/2026 in the NSN field.  The original NSN has been"));
        QVERIFY(r.log.contains(QStringLiteral("   %1 of these items had unique Nomenclatures and were added to the "
                                              "Master List")
                                   .arg(added.size())));
        QVERIFY(m_progress.statuses.contains(QStringLiteral("Replacing NSN - %1").arg(orphans)));
    }

    // ---- item and kit values: dates, empty NSNs, every kit record

    void itemValues_data()
    {
        QTest::addColumn<QDate>("indd");
        QTest::addColumn<QDate>("due");
        QTest::newRow("empty date") << QDate() << QDate();
        QTest::newRow("30 December 1899 is no date") << QDate(1899, 12, 30) << QDate();
        QTest::newRow("the day after") << QDate(1899, 12, 31) << QDate(1899, 12, 31);
        QTest::newRow("a real date") << QDate(2027, 1, 5) << QDate(2027, 1, 5);
    }
    void itemValues()
    {
        QFETCH(QDate, indd);
        QFETCH(QDate, due);
        Marrowby m = basic();
        m.items = {{2, "1111-01-000-0001", "VEST", "SERIAL-NUMBER-0000001X", "REMARKS LONGER THAN FIFTEEN", 3, indd},
                   {2, "", "NO NSN", "S-2", "", 1, indd}};
        const ImportReport r = run(m);
        QVERIFY2(r.completed, qPrintable(r.error));
        const QVector<Row> items = shopRows(data(), "Equipment");
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].mid(1), (Row{2, "1111-01-000-0001", "SERIAL-NUMBER-000000", 3, QVariant(),
                                       due.isValid() ? QVariant(due) : QVariant(), "REMARKS LONGER "}));
        QCOMPARE(r.items, 1);
        QVERIFY(r.log.contains("1 Hand Receipt items were Imported."));
        QVERIFY(r.log.contains("1 items with blank NSN's were not Imported."));
    }

    void kitsAircraftAndKitTypes()
    {
        Marrowby m = basic();
        m.kits = {{"90-26001", "SKIT", "K-1", "LOT 7", QDate(2027, 1, 1), "180", "D", QDate(2027, 3, 1)},
                  {"90-26001", "SKIT", "K-2", "", QDate(), "365", "Y", QDate()}, // the type keeps 180 D
                  {"", "", "", "", QDate(), "", "", QDate()},                    // every record is a kit
                  {"90-26002", "OKIT", "K-3", "", QDate(), "", "", QDate()}};
        addShopRow(data(), "KitType", Row{"OKIT", "N", 0});
        addShopRow(data(), "Aircraft", Row{"OLD-TAIL"});
        const ImportReport r = run(m);
        QVERIFY2(r.completed, qPrintable(r.error));
        QCOMPARE(shopRows(data(), "Aircraft"), (QVector<Row>{{"90-26001"}, {"90-26002"}}));
        QCOMPARE(shopRows(data(), "KitType"), (QVector<Row>{{"OKIT", "N", 0}, {"SKIT", "D", 180}}));
        const QVector<Row> kits = shopRows(data(), "Kits");
        QCOMPARE(kits.size(), 4);
        QCOMPARE(kits[0].mid(1), (Row{"90-26001", "SKIT", "K-1", "LOT 7", QDate(2027, 1, 1), "D", 180, QVariant(),
                                      QDate(2027, 3, 1)}));
        QCOMPARE(kits[1].mid(1), (Row{"90-26001", "SKIT", "K-2", QVariant(), QVariant(), "Y", 365, QVariant(), QVariant()}));
        QCOMPARE(kits[2].mid(1), Row(9));
        QVERIFY(r.log.contains("2 Aircraft tail numbers were Imported."));
        QVERIFY(r.log.contains("1 Survival Kit Types were Imported."));
        QVERIFY(r.log.contains("4 Survival Kits were Imported."));
        QVERIFY(m_progress.statuses.contains("Checking Marrowby Aircraft - 0 Records Left - 2 Records Added"));
        QVERIFY(m_progress.statuses.contains("Checking Marrowby Kit Types - 3 Records Left - 1 Records Added"));
    }

    // ---- the whole run: order of stages, progress, log, a second run

    void stagesProgressAndLog()
    {
        addShopRow(data(), "Hrdf", Row{50, "OLD HOLDER", QVariant(), QVariant()});
        const ImportReport r = run(basic());
        QVERIFY2(r.completed, qPrintable(r.error));
        QCOMPARE(r.company, QStringLiteral("B Co 2-501 AVN"));
        QVERIFY(m_progress.startedCalled);
        const QStringList order = {"Erasing HRDF Table", "Erasing  HR Table", "Opening HRDF Tables",
                                   "Importing Marrowby HRDF Table", "Checking for Orphaned HR Numbers",
                                   "Closing HRDF Tables", "Checking for Illegal Characters",
                                   "Opening Master List Tables", "Checking Marrowby Master List",
                                   "Checking for Orphaned HR Items", "Adding Orphaned Items",
                                   "Closing Master List Tables", "Opening Hand Receipt Table",
                                   "Importing Marrowby HR Items", "Closing Hand Receipt Tables",
                                   "Erasing Aircraft Equipment Table", "Opening Aircraft Table",
                                   "Checking Marrowby Aircraft", "Closing Aircraft Tables",
                                   "Opening Kit Type Table", "Checking Marrowby Kit Types", "Closing Kit Type Table",
                                   "Opening Aircraft Equipment Table", "Importing Marrowby Aircraft Equipment",
                                   "Closing Aircraft Equipment Tables", "Complete"};
        int at = 0;
        for (const QString &s : order) {
            const int found = m_progress.statuses.indexOf(s, at);
            QVERIFY2(found >= at, qPrintable(s));
            at = found;
        }
        // The whole import's bar takes the stage values in order and ends at 100.
        QList<int> totals;
        for (const auto &[part, total] : m_progress.bars) {
            QVERIFY(part >= 0 && part <= 100);
            if (totals.isEmpty() || totals.last() != total)
                totals << total;
        }
        QCOMPARE(totals, (QList<int>{1, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
        QCOMPARE(m_progress.bars.last(), qMakePair(100, 100));
        QCOMPARE(m_progress.bars.value(0), qMakePair(1, 1));
        QCOMPARE(m_progress.bars.value(1), qMakePair(33, 1));

        QCOMPARE(holdersIn(data()), (QStringList{"1=Able", "2=Baker"}));
        QCOMPARE(r.log.first(), QStringLiteral("Company Name Imported."));
        // The log is in the data directory, as reported, and nowhere else.
        QCOMPARE(r.logFile, QDir(data()).filePath("Import.txt"));
        QFile f(r.logFile);
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(QString::fromUtf8(f.readAll()), r.log.join(u'\n') + u'\n');
        QVERIFY(!QFileInfo::exists(QDir(data()).filePath(kKeptDirName)));
    }

    void secondRunRepeatsOnTheDataAsLeft()
    {
        Marrowby m = basic();
        m.holders = holderList({"1=Able", "2=Baker", "2=Charlie"});
        m.items << MarrowbyItem{1, "9999", "RAFT", "R-1", "old"};
        const ImportReport first = run(m);
        QVERIFY2(first.completed, qPrintable(first.error));
        const QVector<Row> hrdf = shopRows(data(), "Hrdf"), lists = shopRows(data(), "Lists"),
                           kitTypes = shopRows(data(), "KitType"), aircraft = shopRows(data(), "Aircraft");
        const int items = shopRows(data(), "Equipment").size(), kits = shopRows(data(), "Kits").size();

        const ImportReport second = run(m, false);
        QVERIFY2(second.completed, qPrintable(second.error));
        QCOMPARE(shopRows(data(), "Hrdf"), hrdf);
        QCOMPARE(shopRows(data(), "Lists"), lists);
        QCOMPARE(shopRows(data(), "KitType"), kitTypes);
        QCOMPARE(shopRows(data(), "Aircraft"), aircraft);
        QCOMPARE(shopRows(data(), "Equipment").size(), items);
        QCOMPARE(shopRows(data(), "Kits").size(), kits);
        QCOMPARE(second.masterAdded + second.orphanItems + second.orphanMasterAdded + second.kitTypes, 0);
        QVERIFY(second.log.filter("Multiple Hand Receipt Numbers").isEmpty());
    }

    // ---- all or nothing

    void failureChangesNothing_data()
    {
        QTest::addColumn<QString>("leaveOut");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("no CWX.DBF") << "CWX.DBF" << "Opening Aircraft Table" << "CWX.DBF";
        QTest::newRow("no SHRMSTR.DBF") << "SHRMSTR.DBF" << "Checking for Illegal Characters" << "SHRMSTR.DBF";
        QTest::newRow("no Suggest.DB") << "Suggest.DB" << "Erasing  HR Table" << "Suggest.DB";
        QTest::newRow("no ALSE.DBF") << "ALSE.DBF" << "Checking for Orphaned HR Numbers" << "ALSE";
    }
    void failureChangesNothing()
    {
        QFETCH(QString, leaveOut);
        QFETCH(QString, status);
        QFETCH(QString, error);
        // A shop with data of its own, and a predecessor whose files the
        // stages before the failure change.
        addShopRow(data(), "Hrdf", Row{50, "OLD HOLDER", QVariant(), QVariant()});
        addShopRow(data(), "Equipment", Row{QVariant(), 50, "1111-01-000-0001", "OLD", 1, QVariant(), QVariant(), "x"});
        addShopRow(data(), "Aircraft", Row{"OLD-TAIL"});
        addShopRow(data(), "Kits", Row{QVariant(), "OLD-TAIL", "SKIT", "K", QVariant(), QVariant(), "Y", 1, QVariant(), QVariant()});
        Marrowby m = basic();
        m.holders = holderList({"1=Able", "1=O'Neil"});
        m.items << MarrowbyItem{1, "9999", "RAFT \"X\"", "R", "r"};
        m.master << MarrowbyMaster{"4444", "L", "KIT: BIG", "EA", "1", "Y", "1"};
        m.leaveOut = {leaveOut};
        m.write(marrowby());
        const QMap<QString, QByteArray> shopBefore = fileHashes(data()), marrowbyBefore = fileHashes(marrowby());

        const ImportReport r = run(m, false);
        QVERIFY(!r.completed);
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        QCOMPARE(r.failedStatus, status);
        QVERIFY(r.restored);
        QVERIFY(r.company.isEmpty());
        QCOMPARE(fileHashes(marrowby()), marrowbyBefore);
        QMap<QString, QByteArray> shopAfter = fileHashes(data());
        QVERIFY(shopAfter.remove(kLogFileName));
        QCOMPARE(shopAfter, shopBefore);
        QVERIFY(!QFileInfo::exists(QDir(data()).filePath(kKeptDirName)));
        // The log says what failed and that nothing changed, and is on disk.
        QVERIFY(r.log.contains("The import stopped at: " + status));
        QVERIFY(r.log.contains(r.error));
        QVERIFY(r.log.last().startsWith("Nothing was changed"));
        QCOMPARE(r.logFile, QDir(data()).filePath(kLogFileName));
        // And the tables open as before.
        QCOMPARE(holdersIn(data()), QStringList{"50=OLD HOLDER"});
    }

    void busyTableStopsBeforeAnyChange()
    {
        Marrowby m = basic();
        m.write(marrowby());
        const QMap<QString, QByteArray> marrowbyBefore = fileHashes(marrowby());
        auto other = ParadoxTable::open(findFileNoCase(data(), "Kits.DB"), {shop::kTablePassword});
        const ImportReport r = run(m, false);
        other->close();
        QVERIFY(!r.completed);
        QVERIFY2(r.error.contains("busy"), qPrintable(r.error));
        QVERIFY(r.failedStatus.isEmpty());
        QCOMPARE(fileHashes(marrowby()), marrowbyBefore);
        QVERIFY(!QFileInfo::exists(QDir(data()).filePath(kKeptDirName)));
        QCOMPARE(r.log, (QStringList{r.error, "Nothing was changed."}));
    }

    // An import that a crash ended is taken up by the next one as the tables
    // are now: the copies from before it are not put back over work done
    // since, which stays; the next import finishes the job.
    void interruptedImportIsFinishedByTheNext()
    {
        Marrowby m = basic();
        m.holders = holderList({"1=Able", "1=Baker"});
        m.write(marrowby());
        addShopRow(data(), "Lists", listRow("OLD"));
        { ImportCopies killed(data(), marrowby()); killed.take(); } // its process dies
        QVERIFY(importWasInterrupted(data()));
        QVERIFY(interruptedImportText(data()).contains("import --undo"));
        addShopRow(data(), "Lists", listRow("AFTER")); // work acknowledged since

        const ImportReport r = run(m, false);
        QVERIFY2(r.completed, qPrintable(r.error));
        QVERIFY(r.log.first().startsWith(QStringLiteral("An import that was interrupted is finished by this one")));
        QVERIFY(listKeys(data()).contains("OLD") && listKeys(data()).contains("AFTER"));
        QVERIFY(matches(holdersIn(data()), {"1=! *"}));
        QVERIFY(!importWasInterrupted(data()));
        QVERIFY(!QFileInfo::exists(QDir(data()).filePath(kKeptDirName)));
    }

    // The way back from an interrupted import: everything as it was before
    // it, with the files changed since named (their changes go too).
    void undoOfAnInterruptedImport()
    {
        Marrowby m = basic();
        m.write(marrowby());
        addShopRow(data(), "Lists", listRow("OLD"));
        const QMap<QString, QByteArray> shopBefore = fileHashes(data()), marrowbyBefore = fileHashes(marrowby());
        { ImportCopies killed(data(), marrowby()); killed.take(); }
        // What the killed import had done: a table emptied, a predecessor file rewritten.
        { auto t = ParadoxTable::open(findFileNoCase(data(), "Hrdf.DB"), {shop::kTablePassword}); t->removeAll(); t->close(); }
        DbfTable hrdf = DbfTable::open(findFileNoCase(marrowby(), "HRDF.DBF"));
        hrdf.setDeleted(0, true);
        hrdf.save();
        QVERIFY(!interruptedImportText(data()).isEmpty()); // noticed: the state is noted
        addShopRow(data(), "Lists", listRow("AFTER"));
        QCOMPARE(changedSinceImport(data()), QStringList{"Lists.DB"});

        const ImportUndoReport u = undoImport(data(), marrowby());
        QVERIFY2(u.done, qPrintable(u.error));
        QCOMPARE(u.changedSince.join(','), QStringLiteral("Lists.DB"));
        QCOMPARE(fileHashes(marrowby()), marrowbyBefore);
        QCOMPARE(fileHashes(data()), shopBefore);
        QVERIFY(!importWasInterrupted(data()));
        QVERIFY(!undoImport(data(), marrowby()).done); // nothing left to undo
    }

    // A run that takes up an interrupted import and fails puts back the
    // files as they were before it (work done since included) and leaves
    // the import interrupted, its way back still there.
    void failedRunOfAnInterruptedImportStaysInterrupted()
    {
        Marrowby m = basic();
        m.write(marrowby());
        const QMap<QString, QByteArray> shopBefore = fileHashes(data());
        { ImportCopies killed(data(), marrowby()); killed.take(); }
        interruptedImportText(data());
        addShopRow(data(), "Lists", listRow("AFTER"));
        const QMap<QString, QByteArray> beforeRun = fileHashes(data());
        QVERIFY(QFile::remove(findFileNoCase(marrowby(), "CWX.DBF")));
        const ImportReport r = run(m, false);
        QVERIFY(!r.completed);
        QVERIFY(r.restored);
        QMap<QString, QByteArray> after = fileHashes(data());
        after.remove(kLogFileName);
        QCOMPARE(after, beforeRun);
        QVERIFY(importWasInterrupted(data()));
        QCOMPARE(changedSinceImport(data()), QStringList{"Lists.DB"});
        const ImportUndoReport u = undoImport(data(), marrowby());
        QVERIFY2(u.done, qPrintable(u.error));
        QMap<QString, QByteArray> undone = fileHashes(data());
        undone.remove(kLogFileName);
        QStringList differ;
        for (const QString &k : undone.keys() + shopBefore.keys())
            if (undone.value(k) != shopBefore.value(k) && !differ.contains(k))
                differ << k;
        QCOMPARE(differ.join(','), QString());
    }

    // A value the predecessor's file holds that cannot be read stops the
    // import with nothing changed, naming the file, the record and the field.
    void unreadableValueStopsTheImport()
    {
        Marrowby m = basic();
        m.write(marrowby());
        const QString cwx = findFileNoCase(marrowby(), "CWX.DBF");
        QFile f(cwx);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype at = bytes.indexOf("20270101");
        QVERIFY(at > 0);
        bytes.replace(at, 8, "2027 101");
        QVERIFY(f.seek(0) && f.write(bytes) == bytes.size());
        f.close();
        const QMap<QString, QByteArray> shopBefore = fileHashes(data()), marrowbyBefore = fileHashes(marrowby());
        const ImportReport r = run(m, false);
        QVERIFY(!r.completed);
        QVERIFY2(r.error.contains("CWX.DBF") && r.error.contains("record 1") && r.error.contains("FOODX"),
                 qPrintable(r.error));
        QCOMPARE(fileHashes(marrowby()), marrowbyBefore);
        QMap<QString, QByteArray> after = fileHashes(data());
        after.remove(kLogFileName);
        QCOMPARE(after, shopBefore);
    }

    // Its working folders are never followed through a link: what a link
    // there points to is neither emptied nor filled.
    void workingFoldersAreNeverFollowed_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("Import-Undo") << "Import-Undo";
        QTest::newRow("Import-Undo.new") << "Import-Undo.new";
    }
    void workingFoldersAreNeverFollowed()
    {
        QFETCH(QString, folder);
        QTemporaryDir outside;
        QFile keep(outside.filePath("keep.txt"));
        QVERIFY(keep.open(QIODevice::WriteOnly) && keep.write("outside") == 7);
        keep.close();
        QVERIFY(QFile::link(outside.path(), QDir(data()).filePath(folder)));
        Marrowby m = basic();
        m.leaveOut = {"CWX.DBF"}; // fails late: the copies go back
        const ImportReport r = run(m);
        QVERIFY(!r.completed && r.restored);
        Marrowby cwx = basic(); // the missing file now there
        cwx.leaveOut = {"Suggest.DB", "HRDF.DBF", "ALSE.DBF", "SHRMSTR.DBF"};
        const ImportReport again = run(cwx);
        QVERIFY2(again.completed, qPrintable(again.error));
        QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"keep.txt"});
        QVERIFY(keep.open(QIODevice::ReadOnly));
        QCOMPARE(keep.readAll(), QByteArray("outside"));
    }

    // The log is written as any file a user reads: never through a link
    // over a database file.
    void logNeverReplacesATable()
    {
        Marrowby m = basic();
        QVERIFY(QFile::link(QDir(data()).filePath("Parts.DB"), QDir(data()).filePath(kLogFileName)));
        const QByteArray parts = fileHashes(data()).value("Parts.DB");
        const ImportReport r = run(m);
        QVERIFY2(r.completed, qPrintable(r.error));
        QVERIFY2(r.logError.contains("is a database file"), qPrintable(r.logError));
        QVERIFY(r.logFile.isEmpty());
        QCOMPARE(fileHashes(data()).value("Parts.DB"), parts);
    }

    void noAlias()
    {
        QTemporaryDir cfg;
        m_session->setConfigFile(QDir(cfg.path()).filePath("engine.json"));
        QVERIFY(marrowbyDirectory(*m_session).isEmpty());
        m_session->config().setAlias("marrowby", marrowby());
        QVERIFY(marrowbyDirectory(*m_session).isEmpty()); // the name must match exactly
        m_session->config().setAlias("Marrowby", marrowby());
        QCOMPARE(marrowbyDirectory(*m_session), QDir(marrowby()).absolutePath());
    }
};

QTEST_GUILESS_MAIN(TstImport)
#include "tst_import.moc"
