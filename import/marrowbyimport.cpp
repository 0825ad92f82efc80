// The import runs its stages in a fixed order on one thread. Each stage reads
// the predecessor's rows one by one (reporting after each row) and collects
// the rows it adds to a shop table, which are written in one change at the
// end of the stage: one durable write per stage instead of one per row.
//
// The statements on the predecessor's tables bind every value: holder names
// and nomenclatures hold apostrophes and quotes ("O'Neil"), which must not
// end up in the SQL text.
//
// All or nothing rests on ImportCopies (importundo.h): the six shop tables
// written (all their files) and the three predecessor tables rewritten are
// copied before the first change, while the shop tables are held open for
// writing so nothing else changes them; any failure puts the copies back.
#include "import/marrowbyimport.h"
#include "import/marrowbysource.h"

#include "core/durablefile.h"
#include "core/folders.h"
#include "core/findfile.h"
#include "data/shop/clock.h"
#include "data/engine/dbase/dbftable.h"
#include "data/engine/fieldvalue.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"
#include "data/shop/shopschema.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

#include "import/importundo.h"

namespace kw::import {

using namespace kw::data;
using kw::core::findFileNoCase;

QString marrowbyDirectory(const Session &session)
{
    return session.aliasNames().contains(kMarrowbyAlias) ? session.aliasDirectory(kMarrowbyAlias) : QString();
}

namespace {

using marrowby::Source;
using marrowby::text;

const QString kSpacer = QStringLiteral(" ");

// One shop table the import writes: rows are built with the same value
// conversion and required-field checks as a dataset, collected, and written
// in one change by flush().
class Target {
public:
    Target(Session &session, const QString &dir, const QString &name)
        : m_table(session.table(dir, shop::findTable(name)->fileName)), m_schema(shop::findTable(name))
    {
        for (const FieldDef &f : m_table->def().fields)
            m_specs << spec(f);
    }
    ParadoxTable &table() { return *m_table; }

    using Values = std::initializer_list<std::pair<const char *, QVariant>>;
    Row row(Values values) const
    {
        const TableDef &def = m_table->def();
        Row r(def.fields.size());
        for (const auto &[name, v] : values) {
            const int c = def.fieldIndex(QLatin1String(name));
            if (c < 0)
                throw EngineError(QStringLiteral("Field '%1' not found in %2").arg(QLatin1String(name), m_schema->fileName));
            r[c] = fieldvalue::convert(m_specs[c], v);
        }
        for (int c = 0; c < def.fields.size(); ++c)
            if (def.fields[c].type != FieldType::AutoInc)
                fieldvalue::checkRequired(m_specs[c], r[c]);
        return r;
    }
    // The stored form of a key value (cut to the key field's width).
    QVariant key(const QVariant &v) const { return fieldvalue::convert(m_specs.value(0), v); }
    // Whether the table or the rows not yet written hold this key.
    bool hasKey(const QVariant &storedKey) const
    {
        return m_pendingKeys.contains(storedKey.toString()) || m_table->findKey(Row{storedKey}) >= 0;
    }
    void add(Row r)
    {
        if (m_table->def().keyFieldCount > 0)
            m_pendingKeys.insert(r.value(0).toString());
        m_pending.append(std::move(r));
    }
    int flush()
    {
        const int n = m_pending.size();
        if (n)
            m_table->insertRows(m_pending);
        m_pending.clear();
        m_pendingKeys.clear();
        return n;
    }

private:
    // The field as the program shows it (its label) and checks it: the
    // required flag of the file or of the shop's own definition.
    FieldSpec spec(const FieldDef &def) const
    {
        FieldSpec f = FieldSpec::of(def);
        const int s = m_schema->def.fieldIndex(f.label);
        if (s >= 0) {
            f.required = f.required || m_schema->def.fields[s].required;
            if (!m_schema->display.value(s).label.isEmpty())
                f.label = m_schema->display.value(s).label;
        }
        return f;
    }

    ParadoxTable *m_table;
    const shop::ShopTable *m_schema;
    QVector<FieldSpec> m_specs;
    QVector<Row> m_pending;
    QSet<QString> m_pendingKeys;
};

class Run {
public:
    Run(Session &session, const ImportOptions &o, ImportProgress *p, ImportReport &r)
        : m_session(session), m_opt(o), m_progress(p), m_report(r)
    {
        m_today = o.today.isValid() ? o.today : Clock::today();
        m_dateText = m_today.toString(o.shortDateFormat.isEmpty() ? QLocale::system().dateFormat(QLocale::ShortFormat)
                                                                   : o.shortDateFormat);
    }

    void stages()
    {
        emptyHandReceiptTables();
        companyName();
        holders();
        orphanHolders();
        illegalCharacters();
        masterList();
        renameOrphanItems();
        orphanItemsToMasterList();
        items();
        aircraft();
        kitTypes();
        kits();
        setStatus(QStringLiteral("Complete"));
    }

    QString status() const { return m_status; }

private:
    // ---- reporting

    void setStatus(const QString &s)
    {
        m_status = s;
        if (m_progress)
            m_progress->status(s);
    }
    void setBars(int part, int total)
    {
        if (part == m_part && total == m_total)
            return;
        m_part = part;
        m_total = total;
        if (m_progress)
            m_progress->progress(part, total);
    }
    void rowDone(int done, int of) { setBars(of > 0 ? int(qint64(done) * 100 / of) : 100, m_total); }
    void stageDone(int total) { setBars(0, total); }
    void log(const QString &line) { m_report.log << line; }
    void logCount(int n, const QString &what)
    {
        if (n > 0) {
            log(QString::number(n) + what);
            log(kSpacer);
        }
    }

    // ---- the predecessor's tables through local SQL

    SqlResult sql(const QString &statement, const QHash<QString, QVariant> &params = {})
    {
        return m_session.sql().exec(statement, m_opt.marrowbyDir, params);
    }
    Target target(const QString &name) { return Target(m_session, m_opt.dataDir, name); }

    // ---- stages

    void emptyHandReceiptTables()
    {
        setStatus(QStringLiteral("Erasing HRDF Table"));
        target(QStringLiteral("Equipment")).table().removeAll();
        setBars(33, m_total);
        setStatus(QStringLiteral("Erasing  HR Table"));
        target(QStringLiteral("Hrdf")).table().removeAll();
    }

    void companyName()
    {
        const QString path = findFileNoCase(m_opt.marrowbyDir, QStringLiteral("Suggest.DB"));
        // Read-only: the predecessor's own files of this table stay untouched.
        auto suggest = ParadoxTable::open(path, m_session.passwords(), true);
        const int c = suggest->def().fieldIndex(QStringLiteral("Title"));
        if (c < 0)
            throw EngineError(QStringLiteral("Field 'Title' not found in Suggest.DB"));
        const QString title = suggest->rowCount() > 0 ? text(suggest->row(0).value(c)).trimmed() : QString();
        suggest->close();
        stageDone(10);
        if (title.isEmpty()) {
            log(QStringLiteral("No Company Name found in Marrowby."));
        } else {
            m_report.company = title;
            log(QStringLiteral("Company Name Imported."));
        }
        log(kSpacer);
    }

    // Holders, with the passes that consolidate the records of a number held
    // more than once into one whose holder starts with "! ".
    void holders()
    {
        setStatus(QStringLiteral("Opening HRDF Tables"));
        Target hrdf = target(QStringLiteral("Hrdf"));
        setStatus(QStringLiteral("Importing Marrowby HRDF Table"));
        double threshold = -1;
        for (bool again = true; again;) {
            again = false;
            const SqlResult rows = sql(QStringLiteral("Select Distinct HRNUM, HOLDER from HRDF\nOrder By HRNUM"));
            for (int i = 0; i < rows.rows.size() && !again; ++i) {
                const QVariant number = rows.rows[i].value(0);
                QString holder = text(rows.rows[i].value(1));
                rowDone(i + 1, rows.rows.size());
                // A negative or blank number is never imported.
                if (number.isNull() || !(number.toDouble() > threshold))
                    continue;
                const QHash<QString, QVariant> p{{QStringLiteral("HRNUM"), number}};
                const int count = sql(QStringLiteral("Select Count(*) from HRDF\nWhere HRNUM = :HRNUM"), p)
                                      .rows.value(0).value(0).toInt();
                if (count > 1) {
                    log(QStringLiteral("Multiple Hand Receipt Numbers found for HR# ") + text(number));
                    log(QStringLiteral("   Entries will be consolidated into [! ") + holder + QStringLiteral("]"));
                    log(kSpacer);
                    sql(QStringLiteral("Delete from HRDF\nWhere HRNUM = :HRNUM"), p);
                    holder = QStringLiteral("! ") + holder;
                    sql(QStringLiteral("Insert Into HRDF (HRNUM, HOLDER)\nValues (:HRNUM, :HOLDER)"),
                        {{QStringLiteral("HRNUM"), number}, {QStringLiteral("HOLDER"), holder}});
                    threshold = number.toDouble();
                    again = true;
                }
                hrdf.add(holderRow(hrdf, number, holder));
            }
        }
        m_report.holders = hrdf.flush();
        stageDone(20);
        log(QStringLiteral("Existing Hand Receipt Numbers Imported."));
        log(kSpacer);
    }

    Row holderRow(const Target &hrdf, const QVariant &number, const QString &holder)
    {
        try {
            return hrdf.row({{"HR Number", number}, {"HR Holder", holder}});
        } catch (const EngineError &e) {
            throw EngineError(QStringLiteral("HR# %1: %2").arg(text(number), e.message()));
        }
    }

    void orphanHolders()
    {
        setStatus(QStringLiteral("Checking for Orphaned HR Numbers"));
        Target hrdf = target(QStringLiteral("Hrdf"));
        // A holder record without a number must not hide every orphan (NOT IN
        // over a list holding NULL is never true).
        const SqlResult rows = sql(QStringLiteral("Select Distinct HRNUM from ALSE\n"
                                                  "Where HRNUM not in (select HRNUM from HRDF where HRNUM is not null)"));
        for (int k = 1; k <= rows.rows.size(); ++k) {
            setStatus(QStringLiteral("Adding HR# - %1").arg(k));
            const QVariant number = rows.rows[k - 1].value(0);
            hrdf.add(holderRow(hrdf, number, QStringLiteral("Previously Deleted HR#")));
            rowDone(k, rows.rows.size());
        }
        setStatus(QStringLiteral("Closing HRDF Tables"));
        m_report.orphanHolders = hrdf.flush();
        stageDone(30);
        logCount(m_report.orphanHolders, QStringLiteral(" Previously Deleted Hand Receipt Numbers were Imported."));
    }

    // Apostrophes, double quotes and colons leave the predecessor's
    // nomenclatures, as the shop's own texts never hold them either.
    void illegalCharacters()
    {
        setStatus(QStringLiteral("Checking for Illegal Characters"));
        int removed = 0;
        for (const char *file : {"SHRMSTR.DBF", "ALSE.DBF"}) {
            Source src(m_opt.marrowbyDir, QLatin1String(file));
            const int nomen = src.col("NOMEN");
            bool changed = false;
            for (int i = 0; i < src.count(); ++i) {
                rowDone(i + 1, src.count());
                if (!src.live(i))
                    continue;
                Row r = src.record(i);
                const QString before = text(r[nomen]);
                QString after = before;
                after.remove(QLatin1Char('\'')).remove(QLatin1Char('"')).remove(QLatin1Char(':'));
                if (after.size() == before.size())
                    continue;
                removed += int(before.size() - after.size());
                r[nomen] = after.isEmpty() ? QVariant() : QVariant(after);
                src.table().setRecord(i, r);
                changed = true;
            }
            if (changed)
                src.table().save();
        }
        m_report.removedCharacters = removed;
        stageDone(40);
        logCount(removed, QStringLiteral(" characters which interfere with the Import were found and deleted."));
    }

    void masterList()
    {
        setStatus(QStringLiteral("Opening Master List Tables"));
        Target lists = target(QStringLiteral("Lists"));
        Source src(m_opt.marrowbyDir, QStringLiteral("SHRMSTR.DBF"));
        const int nsn = src.col("NSN"), lin = src.col("LIN"), nomen = src.col("NOMEN"), ui = src.col("UI"),
                  auth = src.col("AUTH"), freq = src.col("INFREQ"), type = src.col("INTYPE");
        setStatus(QStringLiteral("Checking Marrowby Master List"));
        for (int i = 0; i < src.count(); ++i) {
            rowDone(i + 1, src.count());
            if (!src.live(i))
                continue;
            const Row r = src.record(i);
            if (text(r[nsn]).isEmpty() || lists.hasKey(lists.key(r[nsn])))
                continue;
            setStatus(QStringLiteral("Checking Marrowby Master List"));
            lists.add(lists.row({{"LIN", r[lin]}, {"NSN", r[nsn]}, {"Nomenclature", r[nomen]}, {"UI", r[ui]},
                                 {"Auth", r[auth]}, {"Insp Freq", r[freq]}, {"Insp Type", r[type]},
                                 {"Alse", true}}));
        }
        m_report.masterAdded = lists.flush();
        stageDone(50);
        logCount(m_report.masterAdded, QStringLiteral(" new items were added to the Master List."));
    }

    static QString orphanQuery(bool distinct)
    {
        return (distinct ? QStringLiteral("SELECT DISTINCT ALSE.NSN, ALSE.NOMEN, ALSE.REMARKS\n")
                         : QStringLiteral("SELECT ALSE.NSN, ALSE.NOMEN, ALSE.REMARKS\n"))
            + QStringLiteral("FROM ALSE WHERE ALSE.NSN NOT IN\n"
                             "(SELECT Lists.NSN FROM ':Kitwarden:Lists.DB' Lists)");
    }

    // Items whose NSN is not in the master list get the NSN "k - date" and
    // keep their old NSN at the front of their remarks.
    void renameOrphanItems()
    {
        setStatus(QStringLiteral("Checking for Orphaned HR Items"));
        Target lists = target(QStringLiteral("Lists"));
        const int nsnWidth = [&] {
            Source alse(m_opt.marrowbyDir, QStringLiteral("ALSE.DBF"));
            return alse.width(alse.col("NSN"));
        }();
        const SqlResult rows = sql(orphanQuery(false));
        int number = 0;
        for (int k = 1; k <= rows.rows.size(); ++k) {
            setStatus(QStringLiteral("Replacing NSN - %1").arg(k));
            const Row &r = rows.rows[k - 1];
            // A number whose NSN the master list already holds (an import
            // earlier the same day) is passed over: two items must not
            // share a generated NSN.
            QString nsn;
            do
                nsn = QStringLiteral("%1 - %2").arg(++number).arg(m_dateText);
            while (lists.hasKey(lists.key(nsn.left(nsnWidth))));
            sql(QStringLiteral("update ALSE\nset NSN = :NSN,\nREMARKS = :REMARKS\n"
                               "where NSN = :OLD_NSN and \nNOMEN IS :NOMEN"),
                {{QStringLiteral("NSN"), nsn},
                 {QStringLiteral("REMARKS"), text(r.value(0)) + QLatin1Char('-') + text(r.value(2))},
                 {QStringLiteral("OLD_NSN"), r.value(0)},
                 {QStringLiteral("NOMEN"), r.value(1)}});
            rowDone(k, rows.rows.size());
        }
        m_report.orphanItems = rows.rows.size();
        if (!rows.rows.isEmpty()) {
            log(QString::number(rows.rows.size()) + QStringLiteral(" items were found in the Marrowby Hand Receipt file"));
            log(QStringLiteral("   without Master List items.  These items have been assigned"));
            log(QStringLiteral("   # - ") + m_dateText + QStringLiteral(" in the NSN field.  The original NSN has been"));
            log(QStringLiteral("   placed with the item remarks of the Hand Receipts and the Part Number"));
            log(QStringLiteral("   of the Master List."));
        }
    }

    void orphanItemsToMasterList()
    {
        setStatus(QStringLiteral("Adding Orphaned Items"));
        Target lists = target(QStringLiteral("Lists"));
        const SqlResult rows = sql(orphanQuery(true));
        for (int k = 1; k <= rows.rows.size(); ++k) {
            setStatus(QStringLiteral("Adding Item - %1").arg(k));
            const Row &r = rows.rows[k - 1];
            if (!lists.hasKey(lists.key(r.value(0))))
                lists.add(lists.row({{"LIN", QStringLiteral("Imported")}, {"NSN", r.value(0)},
                                     {"Part Number", r.value(2)}, {"Nomenclature", r.value(1)}}));
            rowDone(k, rows.rows.size());
        }
        setStatus(QStringLiteral("Closing Master List Tables"));
        m_report.orphanMasterAdded = lists.flush();
        stageDone(60);
        if (m_report.orphanMasterAdded > 0) {
            log(QStringLiteral("   %1 of these items had unique Nomenclatures and were added to the Master List")
                    .arg(m_report.orphanMasterAdded));
            log(kSpacer);
        }
    }

    void items()
    {
        setStatus(QStringLiteral("Opening Hand Receipt Table"));
        Target equipment = target(QStringLiteral("Equipment"));
        Source src(m_opt.marrowbyDir, QStringLiteral("ALSE.DBF"));
        const int hr = src.col("HRNUM"), nsn = src.col("NSN"), serial = src.col("SERNO"), oh = src.col("OH"),
                  due = src.col("INDD"), remarks = src.col("REMARKS");
        setStatus(QStringLiteral("Importing Marrowby HR Items"));
        // An empty date of the predecessor reads as this day.
        const QDate noDate(1899, 12, 30);
        for (int i = 0; i < src.count(); ++i) {
            rowDone(i + 1, src.count());
            if (!src.live(i))
                continue;
            const Row r = src.record(i);
            if (text(r[nsn]).isEmpty()) {
                ++m_report.blankNsnItems;
                continue;
            }
            const QDate d = r[due].toDate();
            equipment.add(equipment.row({{"HR Number", r[hr]}, {"NSN", r[nsn]}, {"Serial Number", r[serial]},
                                         {"OH", r[oh]}, {"Insp Due", d.isValid() && d > noDate ? QVariant(d) : QVariant()},
                                         {"Remarks", r[remarks]}}));
        }
        setStatus(QStringLiteral("Closing Hand Receipt Tables"));
        m_report.items = equipment.flush();
        stageDone(70);
        logCount(m_report.items, QStringLiteral(" Hand Receipt items were Imported."));
        logCount(m_report.blankNsnItems, QStringLiteral(" items with blank NSN's were not Imported."));
    }

    void aircraft()
    {
        setStatus(QStringLiteral("Erasing Aircraft Equipment Table"));
        target(QStringLiteral("Kits")).table().removeAll();
        Target aircraft = target(QStringLiteral("Aircraft"));
        aircraft.table().removeAll();
        setStatus(QStringLiteral("Opening Aircraft Table"));
        Source src(m_opt.marrowbyDir, QStringLiteral("CWX.DBF"));
        const int tail = src.col("AIRCRAFT");
        setStatus(QStringLiteral("Checking Marrowby Aircraft"));
        int added = 0;
        for (int i = 0; i < src.count(); ++i) {
            rowDone(i + 1, src.count());
            const Row r = src.live(i) ? src.record(i) : Row();
            if (r.isEmpty() || text(r[tail]).isEmpty() || aircraft.hasKey(aircraft.key(r[tail])))
                continue;
            setStatus(QStringLiteral("Checking Marrowby Aircraft - %1 Records Left - %2 Records Added")
                          .arg(src.count() - i - 1)
                          .arg(++added));
            aircraft.add(aircraft.row({{"Aircraft", r[tail]}}));
        }
        setStatus(QStringLiteral("Closing Aircraft Tables"));
        m_report.aircraft = aircraft.flush();
        stageDone(80);
        logCount(m_report.aircraft, QStringLiteral(" Aircraft tail numbers were Imported."));
    }

    // A kit type takes the interval of the first kit of that type.
    void kitTypes()
    {
        setStatus(QStringLiteral("Opening Kit Type Table"));
        Target types = target(QStringLiteral("KitType"));
        Source src(m_opt.marrowbyDir, QStringLiteral("CWX.DBF"));
        const int type = src.col("TYPE"), freq = src.col("INFREQ"), itype = src.col("INTYPE");
        setStatus(QStringLiteral("Checking Marrowby Kit Types"));
        int added = 0;
        for (int i = 0; i < src.count(); ++i) {
            rowDone(i + 1, src.count());
            const Row r = src.live(i) ? src.record(i) : Row();
            if (r.isEmpty() || text(r[type]).isEmpty() || types.hasKey(types.key(r[type])))
                continue;
            setStatus(QStringLiteral("Checking Marrowby Kit Types - %1 Records Left - %2 Records Added")
                          .arg(src.count() - i - 1)
                          .arg(++added));
            types.add(types.row({{"Type", r[type]}, {"Insp Freq", r[freq]}, {"Insp Type", r[itype]}}));
        }
        setStatus(QStringLiteral("Closing Kit Type Table"));
        m_report.kitTypes = types.flush();
        stageDone(90);
        logCount(m_report.kitTypes, QStringLiteral(" Survival Kit Types were Imported."));
    }

    void kits()
    {
        setStatus(QStringLiteral("Opening Aircraft Equipment Table"));
        Target kits = target(QStringLiteral("Kits"));
        Source src(m_opt.marrowbyDir, QStringLiteral("CWX.DBF"));
        const int tail = src.col("AIRCRAFT"), type = src.col("TYPE"), serial = src.col("SERNO"),
                  flare = src.col("FLAREX"), food = src.col("FOODX"), freq = src.col("INFREQ"),
                  itype = src.col("INTYPE"), due = src.col("INDD");
        setStatus(QStringLiteral("Importing Marrowby Aircraft Equipment"));
        for (int i = 0; i < src.count(); ++i) {
            rowDone(i + 1, src.count());
            if (!src.live(i))
                continue;
            const Row r = src.record(i);
            kits.add(kits.row({{"Aircraft", r[tail]}, {"Kit Type", r[type]}, {"Serial Number", r[serial]},
                               {"Flare Lot", r[flare]}, {"Food Exp", r[food]}, {"Insp Freq", r[freq]},
                               {"Insp Type", r[itype]}, {"Insp Due", r[due]}}));
        }
        setStatus(QStringLiteral("Closing Aircraft Equipment Tables"));
        m_report.kits = kits.flush();
        setBars(100, 100);
        logCount(m_report.kits, QStringLiteral(" Survival Kits were Imported."));
    }

    Session &m_session;
    const ImportOptions &m_opt;
    ImportProgress *m_progress;
    ImportReport &m_report;
    QDate m_today;
    QString m_dateText;
    QString m_status;
    int m_part = 1, m_total = 1; // as started() shows them
};

void releaseAll(Session &session, const ImportOptions &o)
{
    try {
        session.releaseTables(o.dataDir);
        session.releaseTables(o.marrowbyDir);
    } catch (...) {
        // Derived index files are rebuilt on the next open.
    }
}

// The log goes where any file a user reads goes: never over a database
// file, whatever link its name is.
void writeLog(ImportReport &r, const QString &dataDir)
{
    const QString path = QDir(dataDir).filePath(kLogFileName);
    r.logError = kw::core::refusedTarget(path, QStringLiteral("the import log"), dataDir, shop::tableFamilyFiles());
    if (!r.logError.isEmpty())
        return;
    QByteArray text;
    for (const QString &line : std::as_const(r.log))
        text += line.toUtf8() + '\n';
    QString error;
    if (kw::core::writeFileDurably(path, text, &error))
        r.logFile = path;
    else
        r.logError = error;
}

// The connection named "Kitwarden" names the shop tables inside statements
// on the predecessor's tables; one is made for the run when the caller has none.
std::unique_ptr<Database> ensureConnection(Session &session, const QString &dataDir)
{
    const QString want = QDir::cleanPath(QDir(dataDir).absolutePath());
    if (Database *db = session.findDatabase(QStringLiteral("Kitwarden"))) {
        if (db->databaseName() == QLatin1String("Kitwarden") && QDir::cleanPath(db->directory()) == want)
            return nullptr;
        throw EngineError(QStringLiteral("The database Kitwarden is at %1, not at %2")
                              .arg(QDir::toNativeSeparators(db->directory()), QDir::toNativeSeparators(want)));
    }
    auto db = std::make_unique<Database>(session, QStringLiteral("Kitwarden"));
    db->setParam(QStringLiteral("PATH"), want);
    return db;
}

// The copies go; when they cannot, the next start says the import was
// interrupted, which is the safe side.
void finishCompleted(ImportReport &report, ImportCopies &copies)
{
    try {
        copies.completed();
    } catch (const std::exception &e) {
        report.log << QStringLiteral("The copies taken before the import could not be removed: ") + kw::core::messageOf(e);
    }
}

void finishFailed(ImportReport &report, ImportCopies &copies, bool changing)
{
    report.company.clear();
    if (!report.log.isEmpty() && report.log.last() != kSpacer)
        report.log << kSpacer;
    if (!report.failedStatus.isEmpty())
        report.log << QStringLiteral("The import stopped at: ") + report.failedStatus;
    report.log << report.error;
    if (!changing) {
        report.restored = true;
        report.log << QStringLiteral("Nothing was changed.");
        return;
    }
    try {
        copies.failed();
        report.restored = true;
        report.log << QStringLiteral("Nothing was changed: the Kitwarden tables and the Marrowby files "
                                     "are as they were before the import.");
    } catch (const std::exception &e) {
        report.restoreError = kw::core::messageOf(e);
        report.log << QStringLiteral("The files could not all be put back: ") + report.restoreError
                   << QStringLiteral("Copies of the files as they were before the import are kept in ")
                          + QDir::toNativeSeparators(copies.directory())
                          + QStringLiteral("; \"kitwarden-cli import --undo\" puts them back.");
    }
}

} // namespace

ImportReport importFromMarrowby(Session &session, const ImportOptions &options, ImportProgress *progress)
{
    ImportReport report;
    ImportCopies copies(options.dataDir, options.marrowbyDir);
    report.keptDir = copies.directory();
    std::unique_ptr<Database> connection;
    std::optional<Run> run;
    bool changing = false;
    try {
        if (options.marrowbyDir.isEmpty() || !QFileInfo(options.marrowbyDir).isDir())
            throw EngineError(QStringLiteral("The Marrowby directory %1 does not exist")
                                  .arg(QDir::toNativeSeparators(options.marrowbyDir)));
        connection = ensureConnection(session, options.dataDir);
        shop::prepareSession(session);
        if (progress)
            progress->started();
        if (progress)
            progress->progress(1, 1);
        releaseAll(session, options);
        // Held open for writing (locked) from here on: nothing else changes
        // the tables between the copies and the import. Opening them also
        // settles what a killed write left in their journals.
        for (const QString &name : importedTables())
            session.table(options.dataDir, shop::findTable(name)->fileName);
        if (copies.take()) {
            report.log << QStringLiteral("An import that was interrupted is finished by this one, from the tables "
                                         "as they are now.");
            report.log << (copies.predecessorPutBack()
                               ? QStringLiteral("The Marrowby files were taken back to what they were before it.")
                               : QStringLiteral("The Marrowby files changed since it was interrupted: they are taken "
                                                "as they are."));
            report.log << kSpacer;
        }
        changing = true;
        run.emplace(session, options, progress, report);
        run->stages();
        report.completed = true;
    } catch (const std::exception &e) {
        report.error = kw::core::messageOf(e);
        report.failedStatus = run ? run->status() : QString();
    } catch (...) {
        report.error = QStringLiteral("Unexpected error");
        report.failedStatus = run ? run->status() : QString();
    }
    releaseAll(session, options);
    if (report.completed)
        finishCompleted(report, copies);
    else
        finishFailed(report, copies, changing);
    writeLog(report, options.dataDir);
    return report;
}

} // namespace kw::import
