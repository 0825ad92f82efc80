// Prints medians of the interactive steps of the table engine beside the same
// work done by SQLite (synchronous=FULL, file on the same disk).
//   bench_data [ITEMS...]   default: 10000 50000
#include "core/findfile.h"
#include "data/shop/demoshop.h"
#include "data/shop/dmmain.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <sqlite3.h>

using namespace kw::data;

namespace {

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

template <class F> double timeMs(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

void exec(sqlite3 *db, const char *sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        fprintf(stderr, "sqlite: %s\n", err);
        sqlite3_free(err);
        exit(1);
    }
}

// The same shop in SQLite, filled from the table files.
sqlite3 *sqliteCopy(const QString &dir, const QString &file)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;");
    exec(db, "CREATE TABLE equipment(auto INTEGER PRIMARY KEY, hr INT, nsn TEXT, serial TEXT, oh INT,"
             " completed TEXT, due TEXT, remarks TEXT);"
             "CREATE TABLE lists(nsn TEXT PRIMARY KEY, lin TEXT, nomen TEXT, ui TEXT, auth TEXT, itype TEXT,"
             " ifreq INT, alse INT, batt INT, pyro INT, med INT, radio INT, flot INT);"
             "CREATE TABLE hrdf(hr INTEGER PRIMARY KEY, holder TEXT);"
             "CREATE INDEX e_nsn ON equipment(nsn); CREATE INDEX e_hr ON equipment(hr);");
    exec(db, "BEGIN");
    auto copy = [&](const char *table, const char *sql, QVector<int> cols) {
        auto t = ParadoxTable::open(kw::core::findFileNoCase(dir, QString::fromLatin1(table)), {shop::kTablePassword}, true);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        for (int i = 0; i < t->rowCount(); ++i) {
            const Row &r = t->row(i);
            for (int c = 0; c < cols.size(); ++c) {
                const QVariant &v = r[cols[c]];
                if (v.isNull())
                    sqlite3_bind_null(st, c + 1);
                else if (v.typeId() == QMetaType::QDate)
                    sqlite3_bind_text(st, c + 1, v.toDate().toString(Qt::ISODate).toUtf8().constData(), -1, SQLITE_TRANSIENT);
                else if (v.typeId() == QMetaType::QString)
                    sqlite3_bind_text(st, c + 1, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
                else
                    sqlite3_bind_int(st, c + 1, v.toInt());
            }
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        t->close();
    };
    copy("Equipment.DB", "INSERT INTO equipment VALUES(?,?,?,?,?,?,?,?)", {0, 1, 2, 3, 4, 5, 6, 7});
    copy("Lists.DB", "INSERT INTO lists VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)", {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
    copy("Hrdf.DB", "INSERT INTO hrdf VALUES(?,?)", {0, 1});
    exec(db, "COMMIT");
    return db;
}

int rowsOf(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    int n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            sqlite3_column_text(st, c);
        ++n;
    }
    sqlite3_finalize(st);
    return n;
}

const int kReps = 15;

struct Figures {
    QVector<double> open, post, append, rerun, cold, sqUpdate, sqAppend;
};

void openShopTables(TdmMain &dm)
{
    for (TableDataset *ds : dm.shopTables())
        ds->open();
}

// Opening the query with nothing cached: the first visit of the page.
void timeColdOpen(const QString &path, Figures &f)
{
    for (int i = 0; i < 5; ++i) {
        Session session;
        TdmMain dm(session);
        dm.dbMain.setParam(QStringLiteral("PATH"), path);
        openShopTables(dm);
        f.cold << timeMs([&] { dm.qryInsp.open(); });
    }
}

void timePosts(TdmMain &dm, Figures &f)
{
    for (int i = 0; i < kReps; ++i) {
        dm.qryInsp.moveTo(1 + i);
        f.post << timeMs([&] {
            // A completion date: the due date moves, and with it the row.
            dm.qryInsp.fieldByName(QStringLiteral("Insp Completed")).setValue(QDate(2026, 12, 1 + i));
            dm.qryInsp.post(); // applies, commits and re-runs the join
        });
    }
}

// The engine's steps on one open data module: opening the tables, posting a
// query row, re-running the join, appending an item.
void timeEngine(const QString &path, Figures &f)
{
    Session session;
    TdmMain dm(session);
    dm.dbMain.setParam(QStringLiteral("PATH"), path);
    for (int i = 0; i < 5; ++i) {
        f.open << timeMs([&] { openShopTables(dm); });
        dm.dbMain.close();
    }
    openShopTables(dm);
    dm.qryInsp.open();
    timePosts(dm, f);
    for (int i = 0; i < 5; ++i)
        f.rerun << timeMs([&] {
            dm.qryInsp.close();
            dm.qryInsp.open();
        });
    for (int i = 0; i < kReps; ++i) {
        f.append << timeMs([&] {
            dm.tblHr.append();
            dm.tblHr.fieldByName(QStringLiteral("Serial Number")).setValue(QStringLiteral("B%1").arg(i));
            dm.tblHr.post();
        });
    }
}

// The same update, join and append done by SQLite on a copy of the shop.
void timeSqlite(const QTemporaryDir &tmp, Figures &f)
{
    sqlite3 *db = sqliteCopy(tmp.path(), tmp.filePath(QStringLiteral("bench.sqlite")));
    const char *join = "SELECT e.hr, h.holder, l.lin, e.nsn, l.nomen, e.serial, l.ui, l.auth, e.oh, l.ifreq, l.itype,"
                       " e.completed, e.due, l.alse, l.batt, l.pyro, l.med, l.radio, l.flot, e.remarks, e.auto"
                       " FROM equipment e, lists l, hrdf h WHERE e.nsn = l.nsn AND (l.itype = 'D' OR l.itype = 'Y')"
                       " AND e.hr = h.hr ORDER BY e.due";
    for (int i = 0; i < kReps; ++i) {
        f.sqUpdate << timeMs([&] {
            const QByteArray sql = QStringLiteral("UPDATE equipment SET oh = %1 WHERE auto = %2").arg(i).arg(10 + i).toUtf8();
            exec(db, sql.constData());
            rowsOf(db, join);
        });
        f.sqAppend << timeMs([&] {
            exec(db, "INSERT INTO equipment(hr, nsn, serial, oh) VALUES(100, 'X', 'B', 1)");
        });
    }
    sqlite3_close(db);
}

void printFigures(const Figures &f, QTextStream &out)
{
    auto line = [&](const char *what, double ours, double theirs) {
        out << QStringLiteral("  %1 %2 ms").arg(QLatin1String(what), -44).arg(ours, 8, 'f', 2);
        if (theirs > 0)
            out << QStringLiteral("   sqlite %1 ms   ratio %2").arg(theirs, 8, 'f', 2).arg(ours / theirs, 5, 'f', 2);
        out << '\n';
    };
    line("(a) open the eleven tables", median(f.open), 0);
    line("(b) post one qryInsp row, write back, re-run", median(f.post), median(f.sqUpdate));
    line("    re-running the join with nothing changed", median(f.rerun), 0);
    line("    opening qryInsp with nothing cached", median(f.cold), 0);
    line("(c) append one tblHr item", median(f.append), median(f.sqAppend));
    out.flush();
}

void run(int items, QTextStream &out)
{
    QTemporaryDir tmp;
    shop::DemoSize size;
    size.items = items;
    QElapsedTimer t;
    t.start();
    shop::createDemoShop(tmp.path(), size);
    out << "\n== " << items << " hand receipt items (demo shop built in " << t.elapsed() << " ms)\n";
    out.flush();

    Figures f;
    timeColdOpen(tmp.path(), f);
    timeEngine(tmp.path(), f);
    timeSqlite(tmp, f);
    printFigures(f, out);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {10000, 50000};
    out << "Medians over repeated runs; SQLite with synchronous=FULL on the same disk.\n";
    for (int n : sizes)
        run(n, out);
    return 0;
}
