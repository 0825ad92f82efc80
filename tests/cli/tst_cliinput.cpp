// What kitwarden-cli does with a mistaken command line or an input that is
// not what it claims to be: a usage error (exit 2) before anything is done,
// or an error that names the file and the real cause (exit 1).
#include "clirun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class TstCliInput : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;
    QString m_data; // a small demo shop

    QString cfgDir(const QString &name)
    {
        const QString dir = m_tmp.filePath(QStringLiteral("cfg-") + name);
        QDir().mkpath(dir);
        return dir;
    }

    kwtest::CliRun cli(const QStringList &args, const QString &configDir)
    {
        return kwtest::runCli(args, configDir, 60000);
    }

    // $DATA is the demo shop, $TMP the test's own folder.
    QStringList expand(QStringList args) const
    {
        for (QString &a : args) {
            a.replace(QLatin1String("$DATA"), m_data);
            a.replace(QLatin1String("$TMP"), m_tmp.path());
        }
        return args;
    }

    QStringList aliasNames(const QString &configDir)
    {
        QStringList names;
        for (const QString &line : cli({QStringLiteral("alias"), QStringLiteral("list")}, configDir)
                                       .out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            names << line.section(QLatin1Char('\t'), 0, 0);
        return names;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_data = m_tmp.filePath(QStringLiteral("shop"));
        const kwtest::CliRun r = cli({"demo", m_data, "--items", "5"}, cfgDir("demo"));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile(m_tmp.filePath("a-file")).open(QIODevice::WriteOnly);
        QVERIFY(::mkfifo(QFile::encodeName(m_tmp.filePath("a-fifo")).constData(), 0600) == 0);
    }

    // Each row is refused with the command's usage, and leaves no trace.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("usage");
        QTest::newRow("dump --index without a value") << QStringList{"--data", "$DATA", "dump", "Parts.DB", "--index"}
                                                      << "--index needs a value" << "dump TABLE";
        QTest::newRow("dump --filter without a value") << QStringList{"--data", "$DATA", "dump", "Parts.DB", "--filter"}
                                                       << "--filter needs a value" << "dump TABLE";
        QTest::newRow("dump --index followed by another option")
            << QStringList{"--data", "$DATA", "dump", "Parts.DB", "--index", "--csv"} << "--index needs a value"
            << "dump TABLE";
        QTest::newRow("dump with a second table") << QStringList{"--data", "$DATA", "dump", "Parts.DB", "Hrdf.DB"}
                                                  << "unexpected argument: Hrdf.DB" << "dump TABLE";
        QTest::newRow("dump with an unknown option") << QStringList{"--data", "$DATA", "dump", "Parts.DB", "--sort", "NSN"}
                                                     << "unknown option: --sort" << "dump TABLE";
        QTest::newRow("dump without a table") << QStringList{"--data", "$DATA", "dump"} << "missing argument"
                                              << "dump TABLE";
        QTest::newRow("demo --items without a value") << QStringList{"demo", "$TMP/demo-a", "--items"}
                                                      << "--items needs a value" << "demo DIR";
        QTest::newRow("demo --items too large for a number") << QStringList{"demo", "$TMP/demo-b", "--items", "99999999999"}
                                                             << "--items needs a whole number" << "demo DIR";
        QTest::newRow("demo --items past the largest demo") << QStringList{"demo", "$TMP/demo-c", "--items", "2000000000"}
                                                            << "--items needs a whole number" << "demo DIR";
        QTest::newRow("demo --items negative") << QStringList{"demo", "$TMP/demo-d", "--items", "-4"}
                                               << "--items needs a whole number" << "demo DIR";
        QTest::newRow("demo with two directories") << QStringList{"demo", "$TMP/demo-e", "$TMP/demo-f"}
                                                   << "unexpected argument: " << "demo DIR";
        QTest::newRow("init with two directories") << QStringList{"init", "$TMP/init-a", "$TMP/init-b"}
                                                   << "unexpected argument: " << "init [DIR]";
        QTest::newRow("alias set without a directory") << QStringList{"alias", "set", "X"} << "missing argument"
                                                       << "alias list";
        QTest::newRow("alias with an unknown word") << QStringList{"alias", "drop", "X"} << "unknown alias command: drop"
                                                    << "alias list";
        QTest::newRow("backup with two archives") << QStringList{"--data", "$DATA", "backup", "$TMP/b1.Alse", "$TMP/b2.Alse"}
                                                  << "unexpected argument: " << "backup ARCHIVE";
        QTest::newRow("info without an archive") << QStringList{"info"} << "missing argument" << "info ARCHIVE";
        QTest::newRow("restore --undo with an archive") << QStringList{"--data", "$DATA", "restore", "--undo", "x.Alse"}
                                                        << "unexpected argument: x.Alse" << "restore ARCHIVE";
        QTest::newRow("import with an argument") << QStringList{"--data", "$DATA", "import", "now"}
                                                 << "unexpected argument: now" << "import";
        QTest::newRow("--data without a directory") << QStringList{"dump", "Parts.DB", "--data"}
                                                    << "--data needs a directory" << "commands:";
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QFETCH(QString, usage);
        const QString cfg = cfgDir("usage");
        const QStringList before = QDir(m_tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const kwtest::CliRun r = cli(expand(args), cfg);
        QVERIFY2(r.code == 2, qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(r.err)));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("usage: kitwarden-cli ")) && r.err.contains(usage), qPrintable(r.err));
        QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }

    // Inputs that are not what the command needs: an error that says why.
    void refusedInputs_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("alias name with a colon") << QStringList{"alias", "set", "a:b", "$TMP"}
                                                 << "An alias name cannot contain \":\": a:b";
        QTest::newRow("alias of a directory that does not exist") << QStringList{"alias", "set", "X", "$TMP/none"}
                                                                  << "Directory does not exist: ";
        QTest::newRow("alias of a file") << QStringList{"alias", "set", "X", "$TMP/a-file"} << "a-file is not a directory";
        QTest::newRow("info of /dev/null") << QStringList{"info", "/dev/null"}
                                           << "\"/dev/null\" is not an archive file";
        QTest::newRow("list of /dev/null") << QStringList{"list", "/dev/null"} << "\"/dev/null\" is not an archive file";
        QTest::newRow("restore from /dev/null") << QStringList{"--data", "$DATA", "restore", "/dev/null"}
                                                << "\"/dev/null\" is not an archive file";
        QTest::newRow("info of a pipe") << QStringList{"info", "$TMP/a-fifo"} << "a-fifo\" is not an archive file";
        QTest::newRow("info of a directory") << QStringList{"info", "$TMP"} << "\" is not an archive file";
        QTest::newRow("info of an archive that does not exist") << QStringList{"info", "$TMP/none.Alse"}
                                                                << "none.Alse does not exist !";
    }
    void refusedInputs()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString cfg = cfgDir(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        const kwtest::CliRun r = cli(expand(args), cfg);
        QVERIFY2(r.code == 1, qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(r.err)));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QLatin1String("Stream read error")), qPrintable(r.err));
        QVERIFY(aliasNames(cfg).isEmpty());
        QVERIFY(QFileInfo(m_data + "/Parts.DB").isFile());
    }

    // An alias store that cannot be read is reported, naming the file, and
    // is never replaced by the next "alias set".
    void damagedAliasStore_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not JSON") << QByteArray("{\"aliases\": {\"Marrowby\": \"/x\"");
        QTest::newRow("not an object") << QByteArray("[1, 2]");
        QTest::newRow("aliases not an object") << QByteArray("{\"aliases\": 5}");
        QTest::newRow("alias without a directory") << QByteArray("{\"aliases\": {\"Marrowby\": 7}}");
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\x10 aliases", 11);
    }
    void damagedAliasStore()
    {
        QFETCH(QByteArray, content);
        const QString cfg = cfgDir(QStringLiteral("damaged-") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        const QString store = QDir(cfg).filePath("engine.json");
        QFile f(store);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        for (const QStringList &args : {QStringList{"alias", "set", "Marrowby", m_tmp.path()}, QStringList{"alias", "list"},
                                        QStringList{"--data", m_data, "sql", "SELECT COUNT(*) FROM \":Marrowby:Parts.DB\""}}) {
            const kwtest::CliRun r = cli(args, cfg);
            QVERIFY2(r.code == 1, qPrintable(args.join(' ') + ": " + r.err));
            QVERIFY2(r.err.contains(QDir::toNativeSeparators(store)) && r.err.contains("damaged"), qPrintable(r.err));
        }
        QFile back(store);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), content);
    }

    // A folder the user may not look into is reported as such, never as a
    // folder or table that does not exist. Run as another user when the test
    // runs as root (root may look everywhere).
    void permissionDenied_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("init below a closed folder") << QStringList{"init", "$LOCKED/new"}
                                                    << "Cannot reach the directory: Permission denied";
        QTest::newRow("dump from a closed folder") << QStringList{"--data", "$LOCKED/shop", "dump", "Parts.DB"}
                                                   << "Permission denied";
        QTest::newRow("sql on a closed folder") << QStringList{"--data", "$LOCKED/shop", "sql", "SELECT * FROM Parts"}
                                                << "Cannot open table: Permission denied";
        QTest::newRow("alias of a closed folder") << QStringList{"alias", "set", "X", "$LOCKED/shop"}
                                                  << "Cannot reach the directory $LOCKED/shop: Permission denied";
        QTest::newRow("info of an archive in a closed folder") << QStringList{"info", "$LOCKED/shop.Alse"}
                                                               << "Permission denied";
    }
    void permissionDenied()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const bool root = ::geteuid() == 0;
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (root && setpriv.isEmpty())
            QSKIP("running as root without setpriv: no way to be refused");
        // Reachable by the other user down to the closed folder.
        QTemporaryDir outer(QDir::tempPath() + QStringLiteral("/kw-denied-XXXXXX"));
        ::chmod(QFile::encodeName(outer.path()).constData(), 0755);
        const QString locked = outer.filePath("locked"), cfg = outer.filePath("cfg");
        QVERIFY(QDir().mkpath(locked + "/shop") && QDir().mkpath(cfg));
        QFile::copy(m_data + "/Parts.DB", locked + "/shop/Parts.DB");
        ::chmod(QFile::encodeName(cfg).constData(), 0777);
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), root ? 0700 : 0) == 0);

        for (QString &a : args)
            a.replace(QLatin1String("$LOCKED"), locked);
        message.replace(QLatin1String("$LOCKED"), locked);
        QProcessEnvironment env;
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), cfg);
        const kwtest::CliRun r = root ? kwtest::runProgram(setpriv,
                                                           QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                                                       QStringLiteral(KW_CLI_PATH)} + args, env, 60000)
                                      : kwtest::runCli(args, cfg, 60000);
        ::chmod(QFile::encodeName(locked).constData(), 0700);
        QVERIFY2(r.code == 1, qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(r.err)));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(!r.err.contains("does not exist") && !r.err.contains("Invalid path"), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TstCliInput)
#include "tst_cliinput.moc"
