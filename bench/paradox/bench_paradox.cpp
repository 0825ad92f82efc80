// Paradox table layer against SQLite (synchronous=FULL) on the same rows:
// opening a table, appending one row, changing one row. Prints medians.
// Usage: bench_paradox [ROWS...]   (default 10000 50000)
#include "data/engine/paradox/paradoxtable.h"
#include "fielddefs.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

using namespace kw::data;
using kwtest::fd;

namespace {

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
                 IndexDef{"Serial", {"Serial Number"}, false, false, "XG1"},
                 IndexDef{"Due", {"Insp Due"}, false, false, "XG2"}};
    return d;
}

Row item(int i)
{
    return Row{QVariant(), 1 + i % 40, QStringLiteral("8465-01-%1").arg(i % 400, 3, 10, QLatin1Char('0')),
               QStringLiteral("SN%1").arg(i), 1, QVariant(), QDate(2026, 1, 1).addDays(i % 700), QVariant()};
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

void exec(sqlite3 *db, const char *sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", err);
        sqlite3_free(err);
    }
}

const QString kPassword = QStringLiteral("HarborlyQZ");

// The Paradox table filled with n rows in one batch.
void fillParadox(const QString &path, int n)
{
    ParadoxTable::create(path, equipmentDef(), kPassword);
    auto t = ParadoxTable::open(path, {kPassword}, false);
    QVector<Row> rows;
    for (int i = 0; i < n; ++i)
        rows.append(item(i));
    t->insertRows(rows);
    t->close();
}

// SQLite with the same rows and the same indexes, and the two statements the
// measured runs use.
struct SqliteSide {
    sqlite3 *db = nullptr;
    sqlite3_stmt *ins = nullptr;
    sqlite3_stmt *upd = nullptr;

    void bindItem(int i)
    {
        const Row r = item(i);
        sqlite3_bind_int(ins, 1, r[1].toInt());
        const QByteArray nsn = r[2].toString().toUtf8(), sn = r[3].toString().toUtf8(),
                         due = r[6].toDate().toString(Qt::ISODate).toUtf8();
        sqlite3_bind_text(ins, 2, nsn.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 3, sn.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(ins, 4, 1);
        sqlite3_bind_text(ins, 5, due.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    void close()
    {
        sqlite3_finalize(ins);
        sqlite3_finalize(upd);
        sqlite3_close(db);
    }
};

SqliteSide fillSqlite(const QString &file, int n)
{
    SqliteSide s;
    sqlite3_open(QFile::encodeName(file).constData(), &s.db);
    exec(s.db, "PRAGMA synchronous=FULL");
    exec(s.db, "CREATE TABLE Equipment(Auto INTEGER PRIMARY KEY, HR INTEGER, NSN TEXT, Serial TEXT, OH INTEGER,"
               " Completed TEXT, Due TEXT, Remarks TEXT)");
    exec(s.db, "CREATE INDEX i1 ON Equipment(HR)");
    exec(s.db, "CREATE INDEX i2 ON Equipment(NSN)");
    exec(s.db, "CREATE INDEX i3 ON Equipment(HR, NSN)");
    exec(s.db, "CREATE INDEX i4 ON Equipment(Serial)");
    exec(s.db, "CREATE INDEX i5 ON Equipment(Due)");
    exec(s.db, "BEGIN");
    sqlite3_prepare_v2(s.db, "INSERT INTO Equipment(HR, NSN, Serial, OH, Due) VALUES(?,?,?,?,?)", -1, &s.ins, nullptr);
    for (int i = 0; i < n; ++i)
        s.bindItem(i);
    exec(s.db, "COMMIT");
    return s;
}

struct Timings {
    QVector<double> open, append, change, close, sqlAppend, sqlChange;
};

double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

void timeOpen(const QString &path, Timings &tm)
{
    QElapsedTimer timer;
    for (int r = 0; r < 5; ++r) {
        timer.start();
        auto t = ParadoxTable::open(path, {kPassword}, false);
        tm.open << msSince(timer);
    }
}

// Run r on the Paradox table: one row appended, one row changed.
void timeParadoxEdits(ParadoxTable &t, int n, int r, Timings &tm)
{
    QElapsedTimer timer;
    Row row = item(n + r);
    timer.start();
    t.insert(row);
    tm.append << msSince(timer);

    const int pos = (r * 7919) % t.rowCount();
    Row changed = t.row(pos);
    changed[6] = QDate(2030, 1, 1).addDays(r);
    changed[7] = QStringLiteral("r%1").arg(r);
    timer.start();
    t.update(pos, changed);
    tm.change << msSince(timer);
}

// Run r on SQLite: the same append and change.
void timeSqliteEdits(SqliteSide &s, int n, int r, Timings &tm)
{
    QElapsedTimer timer;
    timer.start();
    s.bindItem(n + r);
    tm.sqlAppend << msSince(timer);

    const QByteArray due = QDate(2030, 1, 1).addDays(r).toString(Qt::ISODate).toUtf8();
    const QByteArray rem = QStringLiteral("r%1").arg(r).toUtf8();
    timer.start();
    sqlite3_bind_text(s.upd, 1, due.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s.upd, 2, rem.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s.upd, 3, 1 + (r * 7919) % n);
    sqlite3_step(s.upd);
    sqlite3_reset(s.upd);
    tm.sqlChange << msSince(timer);
}

void printFigures(int n, const Timings &tm)
{
    auto line = [n](const char *what, double a, double b) {
        if (b > 0)
            std::printf("%-8d %-28s %12.2f %12.2f %8.2f\n", n, what, a, b, a / b);
        else
            std::printf("%-8d %-28s %12.2f %12s %8s\n", n, what, a, "-", "-");
    };
    line("open table (median)", median(tm.open), 0);
    line("append one row (median)", median(tm.append), median(tm.sqlAppend));
    line("change one row (median)", median(tm.change), median(tm.sqlChange));
    line("close, derived files", median(tm.close), 0);
}

void benchSize(int n)
{
    const int reps = 31;
    QTemporaryDir dir;
    const QString path = dir.filePath("Equipment.DB");
    fillParadox(path, n);
    SqliteSide sqlite = fillSqlite(dir.filePath("bench.sqlite"), n);

    Timings tm;
    timeOpen(path, tm);
    auto t = ParadoxTable::open(path, {kPassword}, false);
    sqlite3_prepare_v2(sqlite.db, "UPDATE Equipment SET Due=?, Remarks=? WHERE Auto=?", -1, &sqlite.upd, nullptr);
    for (int r = 0; r < reps; ++r) {
        timeParadoxEdits(*t, n, r, tm);
        timeSqliteEdits(sqlite, n, r, tm);
    }
    QElapsedTimer timer;
    timer.start();
    t->close();
    tm.close << msSince(timer);
    sqlite.close();
    printFigures(n, tm);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QByteArray(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {10000, 50000};
    std::printf("%-8s %-28s %12s %12s %8s\n", "rows", "step", "paradox ms", "sqlite ms", "ratio");
    for (int n : sizes)
        benchSize(n);
    return 0;
}
