// Local SQL timings over a hand receipt table of 10,000 and 50,000 items held
// in memory: the first run of the inspection query (mirror built), one edited
// row written back and the query run again, and the query after a change made
// outside SQL (mirror reloaded). Beside them, SQLite alone on a file with
// synchronous=FULL doing one update and the same join.
#include "data/engine/sql/localsql.h"
#include "tst_sql_fakeparadox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>

using namespace kw::data;
using namespace kw::data::test;

namespace {

const char *kInsp =
    "SELECT E.\"Hr Number\",\n H.\"Hr Holder\",\n L.LIN,\n E.NSN,\n L.Nomenclature,\n E.\"Serial Number\",\n"
    " L.UI,\n L.Auth,\n E.OH,\n L.\"Insp Freq\",\n L.\"Insp Type\",\n E.\"Insp Completed\",\n E.\"Insp Due\",\n"
    " L.Alse,\n L.Batt,\n L.Pyro,\n L.Med,\n L.Radio,\n L.Flotation,\n E.Remarks,\n E.\"Auto\"\n\n"
    "FROM \"Equipment.DB\" E,\n\"Lists.DB\"     L,\n\"Hrdf.DB\"      H\n\n"
    "WHERE  (E.NSN = L.NSN)  AND\n((L.\"Insp Type\"='D') OR (L.\"Insp Type\"='Y'))  AND\n"
    "(E.\"HR Number\" = H.\"HR Number\")\n\nORDER BY E.'Insp Due'\n ";

const char *kModify =
    "update \"Equipment.DB\"\nset\n \"Equipment.DB\".\"HR Number\" = :\"HR Number\",\n"
    " \"Equipment.DB\".\"NSN\" = :\"NSN\",\n \"Equipment.DB\".\"Serial Number\" = :\"Serial Number\",\n"
    " \"Equipment.DB\".\"OH\" = :\"OH\",\n \"Equipment.DB\".\"Insp Completed\" = :\"Insp Completed\",\n"
    " \"Equipment.DB\".\"Insp Due\" = :\"Insp Due\",\n \"Equipment.DB\".\"Remarks\" = :\"Remarks\"\n"
    "where\n \"Equipment.DB\".\"Auto\" = :\"OLD_Auto\"";

// CPU time of this thread: on a busy machine wall time mostly measures the
// other processes.
double cpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Shop {
    FakeParadox equipment{QString(), TableDef{}};
    FakeParadox lists{QString(), TableDef{}};
    FakeParadox hrdf{QString(), TableDef{}};
};

TableDef def(std::initializer_list<FieldDef> f, int keys)
{
    TableDef d;
    d.fields = f;
    d.keyFieldCount = keys;
    return d;
}

void sqliteBaseline(int items, double *update, double *query, double *queryCpu)
{
    QTemporaryDir dir;
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(dir.filePath("shop.sqlite")).constData(), &db);
    const auto ex = [&](const char *s) { sqlite3_exec(db, s, nullptr, nullptr, nullptr); };
    ex("PRAGMA synchronous=FULL");
    ex("CREATE TABLE E(Auto INTEGER PRIMARY KEY, HR INTEGER, NSN TEXT, Serial TEXT, OH INTEGER, Completed TEXT, Due TEXT, Remarks TEXT)");
    ex("CREATE TABLE L(NSN TEXT PRIMARY KEY, LIN TEXT, Part TEXT, Nomen TEXT, UI TEXT, Auth TEXT, IType TEXT, IFreq INTEGER, Alse INT, Batt INT, Pyro INT, Med INT, Radio INT, Flot INT)");
    ex("CREATE TABLE H(HR INTEGER PRIMARY KEY, Holder TEXT)");
    ex("BEGIN");
    for (int i = 0; i < 400; ++i)
        ex(QStringLiteral("INSERT INTO L VALUES('%1','L','P','Nomen %1','EA','1','%2',1,1,0,0,0,0,0)")
               .arg(i).arg(i % 10 == 0 ? "N" : (i % 2 ? "D" : "Y")).toUtf8().constData());
    for (int i = 1; i <= 40; ++i)
        ex(QStringLiteral("INSERT INTO H VALUES(%1,'Holder %1')").arg(i).toUtf8().constData());
    for (int i = 1; i <= items; ++i)
        ex(QStringLiteral("INSERT INTO E VALUES(%1,%2,'%3','S%1',1,NULL,'%4','')")
               .arg(i).arg(1 + i % 40).arg(i % 400).arg(QDate(2020, 1, 1).addDays(i % 2000).toString(Qt::ISODate))
               .toUtf8().constData());
    ex("COMMIT");
    ex("CREATE INDEX E_NSN ON E(NSN)");
    ex("CREATE INDEX E_Due ON E(Due)");
    sqlite3_stmt *up = nullptr, *q = nullptr;
    sqlite3_prepare_v2(db, "UPDATE E SET OH=?, Due=? WHERE Auto=?", -1, &up, nullptr);
    sqlite3_prepare_v2(db, "SELECT E.HR,H.Holder,L.LIN,E.NSN,L.Nomen,E.Serial,L.UI,L.Auth,E.OH,L.IFreq,L.IType,E.Completed,E.Due,"
                           "L.Alse,L.Batt,L.Pyro,L.Med,L.Radio,L.Flot,E.Remarks,E.Auto FROM E,L,H "
                           "WHERE E.NSN=L.NSN AND (L.IType='D' OR L.IType='Y') AND E.HR=H.HR ORDER BY E.Due", -1, &q, nullptr);
    QVector<double> u, r, rc;
    for (int k = 0; k < 15; ++k) {
        QElapsedTimer t;
        t.start();
        sqlite3_bind_int(up, 1, k);
        sqlite3_bind_text(up, 2, "2030-01-01", -1, SQLITE_STATIC);
        sqlite3_bind_int(up, 3, 1 + k * 7);
        sqlite3_step(up);
        sqlite3_reset(up);
        u << t.nsecsElapsed() / 1e6;
        t.start();
        const double c0 = cpuMs();
        int rows = 0;
        while (sqlite3_step(q) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < 21; ++c)
                sqlite3_column_text(q, c);
        }
        sqlite3_reset(q);
        r << t.nsecsElapsed() / 1e6;
        rc << cpuMs() - c0;
    }
    sqlite3_finalize(up);
    sqlite3_finalize(q);
    sqlite3_close(db);
    *update = median(u);
    *query = median(r);
    *queryCpu = median(rc);
}

// The three tables of the inspection query, with the fields the shop has.
void defineTables(Shop &shop)
{
    shop.equipment = FakeParadox(QString(), def({fd("Auto", FieldType::AutoInc, 4), fd("HR Number", FieldType::Short, 2),
                                                 fd("NSN", FieldType::Alpha, 16), fd("Serial Number", FieldType::Alpha, 20),
                                                 fd("OH", FieldType::Short, 2), fd("Insp Completed", FieldType::Date, 4),
                                                 fd("Insp Due", FieldType::Date, 4), fd("Remarks", FieldType::Alpha, 15)}, 1));
    shop.lists = FakeParadox(QString(), def({fd("NSN", FieldType::Alpha, 16), fd("LIN", FieldType::Alpha, 6),
                                             fd("Part Number", FieldType::Alpha, 25), fd("Nomenclature", FieldType::Alpha, 40),
                                             fd("UI", FieldType::Alpha, 2), fd("Auth", FieldType::Alpha, 3),
                                             fd("Insp Type", FieldType::Alpha, 1), fd("Insp Freq", FieldType::Short, 2),
                                             fd("Alse", FieldType::Logical), fd("Batt", FieldType::Logical),
                                             fd("Pyro", FieldType::Logical), fd("Med", FieldType::Logical),
                                             fd("Radio", FieldType::Logical), fd("Flotation", FieldType::Logical),
                                             fd("List 1", FieldType::Logical), fd("List 2", FieldType::Logical)}, 1));
    shop.hrdf = FakeParadox(QString(), def({fd("HR Number", FieldType::Short, 2), fd("HR Holder", FieldType::Alpha, 30),
                                            fd("Section", FieldType::Alpha, 20), fd("Phone", FieldType::Alpha, 10)}, 1));
}

void fillTables(Shop &shop, int items)
{
    for (int i = 0; i < 400; ++i) {
        Row r{QString::number(i), QStringLiteral("L"), QStringLiteral("P"), QStringLiteral("Nomen %1").arg(i),
              QStringLiteral("EA"), QStringLiteral("1"), QString::fromLatin1(i % 10 == 0 ? "N" : (i % 2 ? "D" : "Y")), 1,
              true, false, false, false, false, false, false, false};
        shop.lists.insert(r);
    }
    for (int i = 1; i <= 40; ++i) {
        Row r{i, QStringLiteral("Holder %1").arg(i), QVariant(), QVariant()};
        shop.hrdf.insert(r);
    }
    for (int i = 1; i <= items; ++i) {
        Row r{QVariant(), 1 + i % 40, QString::number(i % 400), QStringLiteral("S%1").arg(i), 1, QVariant(),
              QDate(2020, 1, 1).addDays(i % 2000), QVariant()};
        shop.equipment.insert(r);
    }
}

// The first run of the query (mirror built), then a second one and a count
// join with nothing changed. Returns the first run's time and row count.
double firstQueries(LocalSql &sql, const QString &insp, const QString &dir, int *rows)
{
    QElapsedTimer t;
    t.start();
    *rows = sql.exec(insp, dir).rows.size();
    const double first = t.nsecsElapsed() / 1e6;
    t.start();
    sql.exec(insp, dir);
    std::printf("second query, nothing changed: %.1f ms\n", t.nsecsElapsed() / 1e6);
    t.start();
    sql.exec(QStringLiteral("SELECT COUNT(*) FROM \"Equipment.DB\" E, \"Lists.DB\" L WHERE E.NSN = L.NSN"), dir);
    std::printf("count join: %.1f ms\n", t.nsecsElapsed() / 1e6);
    return first;
}

// Another order of the same rows (a click on a column title): the kept
// rows sorted anew, against SQLite running the statement with that order
// (a condition that is always true makes it a statement not seen before).
void resortQueries(LocalSql &sql, const QString &insp, const QString &dir)
{
    QVector<double> resortCpu, freshCpu;
    const char *orders[] = {"ORDER BY L.'Nomenclature'", "ORDER BY H.'Hr Holder'", "ORDER BY E.'Serial Number'",
                            "ORDER BY E.OH DESC, E.'Insp Due'"};
    for (int k = 0; k < 4; ++k) {
        QString resorted = insp;
        resorted.replace(QStringLiteral("ORDER BY E.'Insp Due'"), QString::fromLatin1(orders[k]));
        double c0 = cpuMs();
        sql.exec(resorted, dir);
        resortCpu << cpuMs() - c0;
        resorted.replace(QStringLiteral("WHERE "), QStringLiteral("WHERE (%1 = %1) AND ").arg(k + 1));
        c0 = cpuMs();
        sql.exec(resorted, dir);
        freshCpu << cpuMs() - c0;
    }
    std::printf("re-sort by another column, CPU: kept rows sorted anew %.1f ms, run by SQLite %.1f ms\n",
                median(resortCpu), median(freshCpu));
}

struct PostTimes {
    QVector<double> post, requery, reload, requeryCpu;
};

// One edited row written back through the modify statement and the query
// run again; then a row appended outside SQL and the query run once more.
PostTimes postEdits(Shop &shop, LocalSql &sql, const QString &insp, const QString &dir)
{
    PostTimes pt;
    QElapsedTimer t;
    for (int k = 0; k < 15; ++k) {
        const int pos = 1 + k * 7;
        QHash<QString, QVariant> p;
        const Row &row = shop.equipment.row(pos);
        for (int c = 0; c < 8; ++c)
            p.insert(shop.equipment.def().fields[c].name, row[c]);
        p.insert("OLD_Auto", row[0]);
        p["OH"] = k;
        p["Insp Due"] = QDate(2030, 1, 1);
        t.start();
        sql.exec(QString::fromLatin1(kModify), dir, p);
        const double w = t.nsecsElapsed() / 1e6;
        const double c0 = cpuMs();
        sql.exec(insp, dir);
        pt.requeryCpu << cpuMs() - c0;
        pt.post << t.nsecsElapsed() / 1e6;
        pt.requery << t.nsecsElapsed() / 1e6 - w;
        Row added{QVariant(), 1, QStringLiteral("1"), QStringLiteral("X%1").arg(k), 1, QVariant(), QDate(2021, 1, 1), QVariant()};
        shop.equipment.insert(added); // a table dataset appends: the mirror reloads
        t.start();
        sql.exec(insp, dir);
        pt.reload << t.nsecsElapsed() / 1e6;
    }
    return pt;
}

void run(int items)
{
    Shop shop;
    defineTables(shop);
    fillTables(shop, items);
    FakeProvider provider;
    provider.tables.insert("equipment.db", &shop.equipment);
    provider.tables.insert("lists.db", &shop.lists);
    provider.tables.insert("hrdf.db", &shop.hrdf);
    QTemporaryDir dir;
    LocalSql sql(provider);
    const QString insp = QString::fromLatin1(kInsp);
    int rows = 0;
    const double first = firstQueries(sql, insp, dir.path(), &rows);
    resortQueries(sql, insp, dir.path());
    const PostTimes pt = postEdits(shop, sql, insp, dir.path());
    double su = 0, sq = 0, sqc = 0;
    sqliteBaseline(items, &su, &sq, &sqc);
    std::printf("%6d items, %6d query rows: first query %7.1f ms | post (write-back + re-query) %7.1f ms "
                "[re-query %6.1f] | query after outside change %7.1f ms | SQLite update+join %6.1f ms (%5.1f + %5.1f), ratio %.2f\n",
                items, rows, first, median(pt.post), median(pt.requery), median(pt.reload), su + sq, su, sq,
                median(pt.post) / (su + sq));
    std::printf("        CPU time of the query alone: local SQL %.1f ms, SQLite %.1f ms\n", median(pt.requeryCpu), sqc);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("Local SQL over in-memory tables (table file writes not included)\n");
    for (int n : {10000, 50000})
        run(n);
    return 0;
}
