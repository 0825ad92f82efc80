// kitwarden-cli import, run as an administrator would run it.
#include "clirun.h"
#include "marrowbyfixture.h"

#include "data/shop/shopschema.h"
#include "settings/iniout.h"
#include "settings/registry.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int code;
    QString out, err;
};

} // namespace

class TstCliImport : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_cfg, m_data, m_marrowby;

    Run cli(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), m_cfg->path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KW_CLI_PATH), QStringList{QStringLiteral("--data"), m_data->path()} + args);
        p.waitForFinished(300000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    kwtest::Marrowby predecessor() const
    {
        kwtest::Marrowby m;
        m.holders = {{1, QStringLiteral("Able")}, {2, QStringLiteral("Baker")}, {2, QStringLiteral("Charlie")}};
        m.master = {{"8465-01-111-1111", "V11111", "VEST", "EA", "2", "Y", "1"}};
        m.items = {{1, "8465-01-111-1111", "VEST", "V-1", ""}, {7, "9999", "RAFT", "R-1", "old"}};
        m.kits = {{"90-26001", "SKIT", "K-1", "", QDate(), "180", "D", QDate()}};
        return m;
    }
    QString company() const
    {
        // The settings of the child process, read from the same directory.
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg->path().toLocal8Bit());
        auto reg = kw::settings::openRegistry(kw::settings::TRegRoots::CURRENT_USER);
        if (!reg->openKey(kw::settings::kSetupKey, false) || !reg->valueExists(QStringLiteral("Company")))
            return {};
        return reg->readString(QStringLiteral("Company"));
    }

private slots:
    void init()
    {
        m_cfg = std::make_unique<QTemporaryDir>();
        m_data = std::make_unique<QTemporaryDir>();
        m_marrowby = std::make_unique<QTemporaryDir>();
        kw::data::shop::createMissingTables(m_data->path());
    }

    void noAliasChangesNothing()
    {
        predecessor().write(m_marrowby->path());
        const auto before = kwtest::fileHashes(m_data->path());
        const Run r = cli({QStringLiteral("import")});
        QVERIFY(r.code != 0);
        QCOMPARE(r.err, QStringLiteral("Marrowby does not appear to be on your system.\n"
                                       "Please contact Support if you think this an error.\n"));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(kwtest::fileHashes(m_data->path()), before);
        QVERIFY(company().isEmpty());
    }

    void importPrintsTheLog()
    {
        const kwtest::Marrowby m = predecessor();
        m.write(m_marrowby->path());
        QCOMPARE(cli({QStringLiteral("alias"), QStringLiteral("set"), QStringLiteral("Marrowby"), m_marrowby->path()}).code, 0);
        const Run r = cli({QStringLiteral("import"), QStringLiteral("--yes")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile log(QDir(m_data->path()).filePath(QStringLiteral("Import.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(r.out, QString::fromUtf8(log.readAll()));
        QVERIFY(r.out.contains(QStringLiteral("Multiple Hand Receipt Numbers found for HR# 2\n")));
        QVERIFY(r.out.contains(QStringLiteral("1 Previously Deleted Hand Receipt Numbers were Imported.\n")));
        QCOMPARE(company(), m.title);
        // Another run repeats on the data as the first left it.
        const Run again = cli({QStringLiteral("import"), QStringLiteral("--yes")});
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QVERIFY(!again.out.contains(QStringLiteral("Multiple")));
    }

    // The import replaces data only after a yes: --yes, or an answer on the
    // terminal. Without a terminal to ask on it changes nothing and exits 2,
    // saying that --yes is needed. The question counts both sides.
    void importAsksFirst_data()
    {
        QTest::addColumn<QString>("how"); // "--yes", "script", or the answer typed on a terminal
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("imported");
        QTest::newRow("--yes") << "--yes" << 0 << true;
        QTest::newRow("no terminal, no --yes") << "script" << 2 << false;
        QTest::newRow("terminal, answered y") << "y\n" << 0 << true;
        QTest::newRow("terminal, answered n") << "n\n" << 1 << false;
    }
    void importAsksFirst()
    {
        QFETCH(QString, how);
        QFETCH(int, code);
        QFETCH(bool, imported);
        const kwtest::Marrowby m = predecessor();
        m.write(m_marrowby->path());
        QCOMPARE(cli({QStringLiteral("alias"), QStringLiteral("set"), QStringLiteral("Marrowby"), m_marrowby->path()}).code, 0);
        const auto shopBefore = kwtest::fileHashes(m_data->path());
        const auto marrowbyBefore = kwtest::fileHashes(m_marrowby->path());
        Run r;
        const QStringList args{QStringLiteral("--data"), m_data->path(), QStringLiteral("import")};
        if (how == QLatin1String("--yes")) {
            r = cli({QStringLiteral("import"), QStringLiteral("--yes")});
        } else if (how == QLatin1String("script")) {
            r = cli({QStringLiteral("import")});
        } else {
            const kwtest::CliRun t = kwtest::runCliOnTerminal(args, how.toUtf8(), m_cfg->path());
            if (t.code == -2)
                QSKIP("no script(1) to give the command a terminal");
            r = {t.code, t.out, t.err};
        }
        QVERIFY2(r.code == code, qPrintable(QStringLiteral("exit %1: %2 %3").arg(r.code).arg(r.out, r.err)));
        // The empty shop's side, then the predecessor's: holders 1 and 2, and
        // 7 known only from an item; two items with an NSN; one kit.
        QVERIFY2((r.err + r.out).contains(QStringLiteral(
                     "The import replaces 0 holders, 0 hand receipt items, 0 aircraft, 0 survival kits and the company "
                     "name \"Your Company Name Here\" with Marrowby's 3 holders, 2 items, 1 aircraft, 1 kit and \"%1\".")
                                                      .arg(m.title)),
                 qPrintable(r.err + r.out));
        if (how == QLatin1String("script"))
            QVERIFY2(r.err.contains(QStringLiteral("Add --yes to run the import without asking.")), qPrintable(r.err));
        if (!imported) {
            QCOMPARE(kwtest::fileHashes(m_data->path()), shopBefore);
            QCOMPARE(kwtest::fileHashes(m_marrowby->path()), marrowbyBefore);
            QVERIFY(company().isEmpty());
            return;
        }
        QVERIFY(r.out.contains(QStringLiteral("Existing Hand Receipt Numbers Imported.")));
        QCOMPARE(company(), m.title);
    }

    void failedImportExitsNonZero()
    {
        kwtest::Marrowby m = predecessor();
        m.leaveOut = {QStringLiteral("CWX.DBF")};
        m.write(m_marrowby->path());
        QCOMPARE(cli({QStringLiteral("alias"), QStringLiteral("set"), QStringLiteral("Marrowby"), m_marrowby->path()}).code, 0);
        const auto before = kwtest::fileHashes(m_data->path());
        const Run r = cli({QStringLiteral("import"), QStringLiteral("--yes")});
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(QStringLiteral("CWX.DBF")), qPrintable(r.err));
        // Asked about what it could count.
        QVERIFY2(r.err.contains(QStringLiteral("an unknown number of aircraft")), qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("The import stopped at: Opening Aircraft Table\n")));
        QVERIFY(r.out.contains(QStringLiteral("Nothing was changed")));
        auto after = kwtest::fileHashes(m_data->path());
        QVERIFY(after.remove(QStringLiteral("Import.txt")));
        QCOMPARE(after, before);
        QVERIFY(company().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstCliImport)
#include "tst_cliimport.moc"
