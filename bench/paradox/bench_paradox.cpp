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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QByteArray(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {10000, 50000};
    const int reps = 31;
    std::printf("%-8s %-28s %12s %12s %8s\n", "rows", "step", "paradox ms", "sqlite ms", "ratio");
    for (int n : sizes) {
        QTemporaryDir dir;
        const QString path = dir.filePath("Equipment.DB");
        ParadoxTable::create(path, equipmentDef(), QStringLiteral("HarborlyQZ"));
        {
            auto t = ParadoxTable::open(path, {QStringLiteral("HarborlyQZ")}, false);
            QVector<Row> rows;
            for (int i = 0; i < n; ++i)
                rows.append(item(i));
            t->insertRows(rows);
            t->close();
        }
        // SQLite with the same rows and the same indexes.
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(dir.filePath("bench.sqlite")).constData(), &db);
        exec(db, "PRAGMA synchronous=FULL");
        exec(db, "CREATE TABLE Equipment(Auto INTEGER PRIMARY KEY, HR INTEGER, NSN TEXT, Serial TEXT, OH INTEGER,"
                 " Completed TEXT, Due TEXT, Remarks TEXT)");
        exec(db, "CREATE INDEX i1 ON Equipment(HR)");
        exec(db, "CREATE INDEX i2 ON Equipment(NSN)");
        exec(db, "CREATE INDEX i3 ON Equipment(HR, NSN)");
        exec(db, "CREATE INDEX i4 ON Equipment(Serial)");
        exec(db, "CREATE INDEX i5 ON Equipment(Due)");
        exec(db, "BEGIN");
        sqlite3_stmt *ins = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Equipment(HR, NSN, Serial, OH, Due) VALUES(?,?,?,?,?)", -1, &ins, nullptr);
        auto bindItem = [&](int i) {
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
        };
        for (int i = 0; i < n; ++i)
            bindItem(i);
        exec(db, "COMMIT");

        QElapsedTimer timer;
        QVector<double> open, append, change, close, sqlAppend, sqlChange;
        for (int r = 0; r < 5; ++r) {
            timer.start();
            auto t = ParadoxTable::open(path, {QStringLiteral("HarborlyQZ")}, false);
            open << timer.nsecsElapsed() / 1e6;
        }
        auto t = ParadoxTable::open(path, {QStringLiteral("HarborlyQZ")}, false);
        sqlite3_stmt *upd = nullptr;
        sqlite3_prepare_v2(db, "UPDATE Equipment SET Due=?, Remarks=? WHERE Auto=?", -1, &upd, nullptr);
        for (int r = 0; r < reps; ++r) {
            Row row = item(n + r);
            timer.start();
            t->insert(row);
            append << timer.nsecsElapsed() / 1e6;

            const int pos = (r * 7919) % t->rowCount();
            Row changed = t->row(pos);
            changed[6] = QDate(2030, 1, 1).addDays(r);
            changed[7] = QStringLiteral("r%1").arg(r);
            timer.start();
            t->update(pos, changed);
            change << timer.nsecsElapsed() / 1e6;

            timer.start();
            bindItem(n + r);
            sqlAppend << timer.nsecsElapsed() / 1e6;

            const QByteArray due = QDate(2030, 1, 1).addDays(r).toString(Qt::ISODate).toUtf8();
            const QByteArray rem = QStringLiteral("r%1").arg(r).toUtf8();
            timer.start();
            sqlite3_bind_text(upd, 1, due.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(upd, 2, rem.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(upd, 3, 1 + (r * 7919) % n);
            sqlite3_step(upd);
            sqlite3_reset(upd);
            sqlChange << timer.nsecsElapsed() / 1e6;
        }
        timer.start();
        t->close();
        close << timer.nsecsElapsed() / 1e6;
        sqlite3_finalize(ins);
        sqlite3_finalize(upd);
        sqlite3_close(db);
        auto line = [n](const char *what, double a, double b) {
            if (b > 0)
                std::printf("%-8d %-28s %12.2f %12.2f %8.2f\n", n, what, a, b, a / b);
            else
                std::printf("%-8d %-28s %12.2f %12s %8s\n", n, what, a, "-", "-");
        };
        line("open table (median)", median(open), 0);
        line("append one row (median)", median(append), median(sqlAppend));
        line("change one row (median)", median(change), median(sqlChange));
        line("close, derived files", median(close), 0);
    }
    return 0;
}
