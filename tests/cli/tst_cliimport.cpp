// kitwarden-cli import, run as an administrator would run it.
#include "marrowbyfixture.h"

#include "data/shopschema.h"
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
        const Run r = cli({QStringLiteral("import")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile log(QDir(m_data->path()).filePath(QStringLiteral("Import.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(r.out, QString::fromUtf8(log.readAll()));
        QVERIFY(r.out.contains(QStringLiteral("Multiple Hand Receipt Numbers found for HR# 2\n")));
        QVERIFY(r.out.contains(QStringLiteral("1 Previously Deleted Hand Receipt Numbers were Imported.\n")));
        QCOMPARE(company(), m.title);
        // Another run repeats on the data as the first left it.
        const Run again = cli({QStringLiteral("import")});
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QVERIFY(!again.out.contains(QStringLiteral("Multiple")));
    }

    void failedImportExitsNonZero()
    {
        kwtest::Marrowby m = predecessor();
        m.leaveOut = {QStringLiteral("CWX.DBF")};
        m.write(m_marrowby->path());
        QCOMPARE(cli({QStringLiteral("alias"), QStringLiteral("set"), QStringLiteral("Marrowby"), m_marrowby->path()}).code, 0);
        const auto before = kwtest::fileHashes(m_data->path());
        const Run r = cli({QStringLiteral("import")});
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(QStringLiteral("CWX.DBF")), qPrintable(r.err));
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
