// kitwarden-cli's table commands, run as a user would run them.
#include "clirun.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = kwtest::CliRun;

Run cli(const QStringList &args, const QString &configDir) { return kwtest::runCli(args, configDir); }

} // namespace

class TstCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_cfg;

private slots:
    void demoShopDumpAndSql()
    {
        QTemporaryDir data;
        Run r = cli({QStringLiteral("demo"), data.path()}, m_cfg.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // A second demo into the same directory is refused.
        QVERIFY(cli({QStringLiteral("demo"), data.path()}, m_cfg.path()).code != 0);

        r = cli({QStringLiteral("--data"), data.path(), QStringLiteral("dump"), QStringLiteral("hrdf.db"),
                 QStringLiteral("--index"), QStringLiteral("Holder"), QStringLiteral("--csv")},
                m_cfg.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("HR Number,HR Holder,Section,Phone"));
        QCOMPARE(lines.size(), 41);
        QStringList holders;
        for (int i = 1; i < lines.size(); ++i)
            holders << lines[i].section(QLatin1Char(','), 1, 1);
        QStringList sorted = holders;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(holders, sorted);

        r = cli({QStringLiteral("--data"), data.path(), QStringLiteral("dump"), QStringLiteral("Lists.DB"),
                 QStringLiteral("--filter"), QStringLiteral("[List 1] = True"), QStringLiteral("--csv")},
                m_cfg.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 2);
        // "List 1" is the last column but one (text columns may hold commas).
        QVERIFY(lines.first().endsWith(QStringLiteral(",List 1,List 2")));
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split(QLatin1Char(','));
            QCOMPARE(cells[cells.size() - 2], QStringLiteral("True"));
        }

        r = cli({QStringLiteral("--data"), data.path(), QStringLiteral("sql"),
                 QStringLiteral("SELECT COUNT(*) FROM \"Equipment.DB\" E")},
                m_cfg.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).value(1), QStringLiteral("1500"));

        // Drawers and bins are named as a shop names them, within the
        // widths the office pages show (6 and 4 characters); tail numbers
        // read as army tail numbers.
        r = cli({QStringLiteral("--data"), data.path(), QStringLiteral("dump"), QStringLiteral("Parts.DB"),
                 QStringLiteral("--csv")},
                m_cfg.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("Auto,Drawer,Bin,NSN,On Hand"));
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split(QLatin1Char(','));
            QVERIFY2(!cells[1].isEmpty() && cells[1].size() <= 6, qPrintable(lines[i]));
            QVERIFY2(!cells[2].isEmpty() && cells[2].size() <= 4, qPrintable(lines[i]));
        }
        r = cli({QStringLiteral("--data"), data.path(), QStringLiteral("dump"), QStringLiteral("Aircraft.db"),
                 QStringLiteral("--csv")},
                m_cfg.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 13);
        const QRegularExpression tail(QStringLiteral("^\\d\\d-\\d{5}$"));
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY2(tail.match(lines[i]).hasMatch(), qPrintable(lines[i]));
    }

    void errorsGoToStderr()
    {
        QTemporaryDir empty;
        const Run r = cli({QStringLiteral("--data"), empty.path(), QStringLiteral("dump"), QStringLiteral("Hrdf.DB")},
                          m_cfg.path());
        QVERIFY(r.code != 0);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains(QStringLiteral("Hrdf")));
        QVERIFY(cli({QStringLiteral("no-such-command")}, m_cfg.path()).code != 0);
    }

    void aliases()
    {
        QTemporaryDir dir;
        QCOMPARE(cli({QStringLiteral("alias"), QStringLiteral("set"), QStringLiteral("Marrowby"), dir.path()},
                     m_cfg.path()).code, 0);
        QCOMPARE(cli({QStringLiteral("alias"), QStringLiteral("set"), QStringLiteral("marrowby"), dir.path()},
                     m_cfg.path()).code, 0);
        const Run r = cli({QStringLiteral("alias"), QStringLiteral("list")}, m_cfg.path());
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2); // names are case-sensitive
        QVERIFY(lines.first().startsWith(QStringLiteral("Marrowby\t")));
        QVERIFY(cli({QStringLiteral("alias"), QStringLiteral("set"), QStringLiteral("X"),
                     dir.path() + QStringLiteral("/missing")},
                    m_cfg.path()).code != 0);
    }

    void initCreatesTheTables()
    {
        QTemporaryDir dir;
        const Run r = cli({QStringLiteral("init"), dir.path()}, m_cfg.path());
        QCOMPARE(r.code, 0);
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("Equipment.XG2"))));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("KitType.PX"))));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("KitType.VAL"))));
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
