// kitwarden-cli repair, run as a user would: a table refused as damaged is
// rebuilt, the damaged file kept, and the count of recovered rows printed.
#include "data/engine/paradox/paradoxtable.h"
#include "clirun.h"
#include "fielddefs.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace kw::data;

namespace {

using Run = kwtest::CliRun;

Run cli(const QStringList &args, const QString &configDir) { return kwtest::runCli(args, configDir, 120000); }

// An unkeyed table of rows rows whose header's first block is the second.
QString damagedTable(const QString &dir, int rows)
{
    const QString path = QDir(dir).filePath(QStringLiteral("Log.DB"));
    TableDef def;
    def.fields = {kwtest::fd("Line", FieldType::Long), kwtest::fd("Text", FieldType::Alpha, 40)};
    ParadoxTable::create(path, def, QString());
    auto t = ParadoxTable::open(path, {}, false);
    QVector<Row> all;
    for (int i = 0; i < rows; ++i)
        all.append(Row{i + 1, QStringLiteral("line %1").arg(i + 1)});
    t->insertRows(all);
    t->close();
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return {};
    QByteArray b = f.readAll();
    const int header = qFromLittleEndian<quint16>(b.constData() + 2);
    const int first = qFromLittleEndian<quint16>(b.constData() + 0x0E);
    const int second = qFromLittleEndian<quint16>(b.constData() + header + (first - 1) * 2048);
    qToLittleEndian<quint16>(quint16(second), b.data() + 0x0E);
    f.seek(0);
    f.write(b);
    return path;
}

} // namespace

class TstCliRepair : public QObject {
    Q_OBJECT
    QTemporaryDir m_cfg;

private slots:
    void repairsADamagedTable()
    {
        QTemporaryDir data;
        const QString path = damagedTable(data.path(), 200);
        QVERIFY(!path.isEmpty());
        const QStringList dump{"--data", data.path(), "dump", "Log.DB", "--csv"};
        Run r = cli(dump, m_cfg.path());
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("damaged") && r.err.contains("kitwarden-cli repair") && r.err.contains(path),
                 qPrintable(r.err));

        r = cli({"--data", data.path(), "repair", "log"}, m_cfg.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("Log.DB repaired: 200 rows recovered") && r.out.contains(path + ".damaged"), qPrintable(r.out));
        QVERIFY(QFileInfo::exists(path + ".damaged"));

        r = cli(dump, m_cfg.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 201);
        QCOMPARE(lines[1], QStringLiteral("1,line 1"));
        QCOMPARE(lines[200], QStringLiteral("200,line 200"));

        r = cli({"--data", data.path(), "repair", "Log"}, m_cfg.path());
        QVERIFY2(r.code == 0 && r.out.contains("Log.DB is not damaged"), qPrintable(r.out + r.err));
        QVERIFY(!QFileInfo::exists(path + ".damaged-2"));
    }

    void mistakesAndFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says"); // on stderr, or stdout for code 0
        QTest::newRow("no table") << QStringList{"repair"} << 2 << "usage: kitwarden-cli [--data DIR] repair TABLE";
        QTest::newRow("two tables") << QStringList{"repair", "Log.DB", "Other.DB"} << 2 << "usage:";
        QTest::newRow("an option") << QStringList{"repair", "--all"} << 2 << "usage:";
        QTest::newRow("missing table") << QStringList{"repair", "Missing.DB"} << 1 << "Missing.DB";
        QTest::newRow("its help") << QStringList{"repair", "--help"} << 0 << "repair TABLE";
        QTest::newRow("listed in the help") << QStringList{"--help"} << 0 << "repair TABLE";
    }
    void mistakesAndFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, says);
        QTemporaryDir data;
        const Run r = cli(QStringList{"--data", data.path()} + args, m_cfg.path());
        QCOMPARE(r.code, code);
        QVERIFY2((code == 0 ? r.out : r.err).contains(says), qPrintable(r.out + r.err));
    }
};

QTEST_GUILESS_MAIN(TstCliRepair)
#include "tst_clirepair.moc"
