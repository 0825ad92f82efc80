// Local SQL over real, encrypted shop tables: statements written back reach
// the files, survive a close and reopen, and a refused statement leaves the
// file as it was.
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"
#include "data/engine/sql/localsql.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

using namespace kw::data;

namespace {

class FileProvider : public TableProvider {
public:
    std::map<QString, std::unique_ptr<ParadoxTable>> open;
    QHash<QString, QString> aliases;

    QString aliasDirectory(const QString &alias) const override
    {
        if (!aliases.contains(alias))
            throw EngineError(QStringLiteral("Unknown database: %1").arg(alias));
        return aliases.value(alias);
    }
    ParadoxTable *paradoxTable(const QString &path) override
    {
        const QString key = QFileInfo(path).absoluteFilePath();
        auto it = open.find(key);
        if (it == open.end())
            it = open.emplace(key, ParadoxTable::open(path, {shop::kTablePassword})).first;
        return it->second.get();
    }
    void closeAll()
    {
        for (auto &[k, t] : open)
            t->close();
        open.clear();
    }
};

const QString kInsp = QStringLiteral(
    "SELECT E.\"Hr Number\", H.\"Hr Holder\", E.NSN, L.Nomenclature, E.OH, E.\"Insp Due\", L.Alse, E.\"Auto\"\n"
    "FROM \"Equipment.DB\" E,\n\"Lists.DB\"     L,\n\"Hrdf.DB\"      H\n"
    "WHERE  (E.NSN = L.NSN)  AND\n((L.\"Insp Type\"='D') OR (L.\"Insp Type\"='Y'))  AND\n"
    "(E.\"HR Number\" = H.\"HR Number\")\nORDER BY E.'Insp Due'\n ");

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSqlParadox : public QObject {
    Q_OBJECT
private slots:
    void writeBackReachesTheFiles();
};

void TestSqlParadox::writeBackReachesTheFiles()
{
    QTemporaryDir dir;
    shop::createMissingTables(dir.path());
    FileProvider provider;
    provider.aliases.insert(QStringLiteral("Kitwarden"), dir.path());
    {
        LocalSql sql(provider);
        const auto run = [&](const QString &s, const QHash<QString, QVariant> &p = {}) {
            return sql.exec(s, dir.path(), p);
        };
        run(QStringLiteral("INSERT INTO \"Hrdf.DB\" (\"HR Number\", \"HR Holder\") VALUES (1, 'Smith')"));
        run(QStringLiteral("INSERT INTO \"hrdf.db\" (\"HR Number\", \"HR Holder\") VALUES (:n, :h)"),
            {{QStringLiteral("n"), 2}, {QStringLiteral("h"), QStringLiteral("Jones")}});
        run(QStringLiteral("INSERT INTO \"Lists.DB\" (NSN, Nomenclature, \"Insp Type\", \"Insp Freq\", Alse) VALUES ('100', 'Vest', 'Y', 1, TRUE)"));
        run(QStringLiteral("INSERT INTO \"Lists.DB\" (NSN, Nomenclature, \"Insp Type\", \"Insp Freq\", Alse) VALUES ('200', 'Radio', 'D', 30, FALSE)"));
        for (int i = 0; i < 4; ++i)
            run(QStringLiteral("insert into \"Equipment.DB\" (\"Equipment.DB\".\"HR Number\", \"Equipment.DB\".\"NSN\", "
                               "\"Equipment.DB\".\"OH\", \"Equipment.DB\".\"Insp Due\") values (:\"HR Number\", :\"NSN\", :\"OH\", :\"Insp Due\")"),
                {{QStringLiteral("HR Number"), 1 + i % 2}, {QStringLiteral("NSN"), i % 2 ? QStringLiteral("200") : QStringLiteral("100")},
                 {QStringLiteral("OH"), 1}, {QStringLiteral("Insp Due"), QDate(2005, 1, 1).addDays(-i)}});

        SqlResult r = run(kInsp);
        QCOMPARE(r.rows.size(), 4);
        QCOMPARE(r.rows[0][7], QVariant(4)); // AutoInc values 1..4, latest due date first
        QCOMPARE(r.rows[0][5], QVariant(QDate(2004, 12, 29)));
        QCOMPARE(r.rows[0][1], QVariant(QStringLiteral("Jones")));
        QCOMPARE(r.rows[0][6], QVariant(false));

        run(QStringLiteral("update \"Equipment.DB\" set \"Equipment.DB\".\"OH\" = :\"OH\", \"Equipment.DB\".\"Insp Due\" = :\"Insp Due\" "
                           "where \"Equipment.DB\".\"Auto\" = :\"OLD_Auto\""),
            {{QStringLiteral("OH"), 7}, {QStringLiteral("Insp Due"), QDate(2010, 6, 1)}, {QStringLiteral("OLD_Auto"), 4}});
        QCOMPARE(run(QStringLiteral("delete from \"Equipment.DB\" where \"Equipment.DB\".\"Auto\" = :\"OLD_Auto\""),
                     {{QStringLiteral("OLD_Auto"), 1}}).rowsAffected, 1);
        r = run(kInsp);
        QCOMPARE(r.rows.size(), 3);
        QCOMPARE(r.rows[2][7], QVariant(4));
        QCOMPARE(r.rows[2][4], QVariant(7));

        // A key violation leaves the table file as it was.
        const QString lists = dir.filePath(QStringLiteral("Lists.DB"));
        const QByteArray before = fileBytes(lists);
        QVERIFY_THROWS_EXCEPTION(KeyViolation,
            run(QStringLiteral("INSERT INTO \"Lists.DB\" (NSN, Nomenclature) VALUES ('100', 'Again')")));
        QCOMPARE(fileBytes(lists), before);
        QVERIFY_THROWS_EXCEPTION(EngineError,
            run(QStringLiteral("INSERT INTO \"Hrdf.DB\" (\"HR Number\") VALUES (3)")));
    }
    provider.closeAll();

    // Everything is in the files: a fresh engine over freshly opened tables.
    LocalSql sql(provider);
    const SqlResult r = sql.exec(kInsp, dir.path());
    QCOMPARE(r.rows.size(), 3);
    QCOMPARE(r.rows[2][4], QVariant(7));
    QCOMPARE(r.rows[2][5], QVariant(QDate(2010, 6, 1)));
    const SqlResult h = sql.exec(QStringLiteral("SELECT COUNT(*) FROM ':Kitwarden:hrdf'"), QString());
    QCOMPARE(h.rows[0][0], QVariant(2));
    provider.closeAll();
}

QTEST_GUILESS_MAIN(TestSqlParadox)
#include "tst_sql_paradox.moc"
