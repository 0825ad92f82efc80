// The command lines of both programs: what the GUI makes of its arguments,
// and what each executable prints and returns for help, version and mistakes.
#include "app/commandline.h"

#include <QProcess>
#include <QtTest>

using kw::app::StartRequest;

class TstCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("kind");
        QTest::newRow("no arguments starts the window") << QStringList{} << int(StartRequest::RunGui);
        QTest::newRow("help") << QStringList{"--help"} << int(StartRequest::ShowHelp);
        QTest::newRow("short help") << QStringList{"-h"} << int(StartRequest::ShowHelp);
        QTest::newRow("version") << QStringList{"--version"} << int(StartRequest::ShowVersion);
        QTest::newRow("Qt option with its value") << QStringList{"-platform", "offscreen"} << int(StartRequest::RunGui);
        QTest::newRow("Qt option, value attached") << QStringList{"-style=fusion"} << int(StartRequest::RunGui);
        QTest::newRow("Qt option with two dashes") << QStringList{"--style", "fusion"} << int(StartRequest::RunGui);
        QTest::newRow("Qt switch") << QStringList{"-reverse"} << int(StartRequest::RunGui);
        QTest::newRow("help after a Qt option")
            << QStringList{"-style", "fusion", "--help"} << int(StartRequest::ShowHelp);
        QTest::newRow("version after a mistake") << QStringList{"--bogus", "--version"} << int(StartRequest::BadUsage);
        QTest::newRow("unknown long option") << QStringList{"--bogus"} << int(StartRequest::BadUsage);
        QTest::newRow("unknown short option") << QStringList{"-x"} << int(StartRequest::BadUsage);
        QTest::newRow("prefix of a Qt option") << QStringList{"-plat", "xcb"} << int(StartRequest::BadUsage);
        QTest::newRow("Qt option lacking its value") << QStringList{"-platform"} << int(StartRequest::BadUsage);
        QTest::newRow("Qt switch given a value") << QStringList{"-reverse=1"} << int(StartRequest::BadUsage);
        QTest::newRow("file argument") << QStringList{"Hrdf.DB"} << int(StartRequest::BadUsage);
        QTest::newRow("lone dashes") << QStringList{"--"} << int(StartRequest::BadUsage);
    }

    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(int, kind);
        const StartRequest r = kw::app::parseCommandLine(args);
        QCOMPARE(int(r.kind), kind);
        // A mistake names the argument it stumbled on.
        if (kind == StartRequest::BadUsage)
            QVERIFY2(r.error.contains(args.first()), qPrintable(r.error));
    }

    // Run as a user would run them from a terminal: no display, so help and
    // version must answer before any window system is reached.
    void executables_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("stdoutPattern");  // empty: nothing on stdout
        QTest::addColumn<QString>("stderrHas");    // empty: nothing on stderr
        const QString gui = QStringLiteral(KW_GUI_PATH), cli = QStringLiteral(KW_CLI_PATH);
        // The whole output is the one line, with the version CMake gave the build.
        const QString version = QStringLiteral("\\AKitwarden ")
                                + QRegularExpression::escape(QStringLiteral(KW_PROJECT_VERSION)) + QStringLiteral("\n\\z");
        QTest::newRow("program version") << gui << QStringList{"--version"} << true << version << QString();
        QTest::newRow("program help") << gui << QStringList{"--help"} << true << "^Usage: kitwarden " << QString();
        QTest::newRow("program unknown option")
            << gui << QStringList{"--bogus"} << false << QString() << "Usage: kitwarden ";
        QTest::newRow("program file argument")
            << gui << QStringList{"shop.db"} << false << QString() << "'shop.db'";
        QTest::newRow("cli version") << cli << QStringList{"--version"} << true << version << QString();
        QTest::newRow("cli help") << cli << QStringList{"--help"} << true << "^usage: kitwarden-cli [\\s\\S]*\n  backup ARCHIVE" << QString();
        QTest::newRow("cli help on a command")
            << cli << QStringList{"backup", "--help"} << true << "\\Ausage: kitwarden-cli \\[--data DIR\\] backup ARCHIVE[^\n]*\n\\z"
            << QString();
        QTest::newRow("cli unknown option")
            << cli << QStringList{"--bogus"} << false << QString() << "unknown option: --bogus";
        QTest::newRow("cli data option without a folder")
            << cli << QStringList{"--data"} << false << QString() << "--data needs a directory";
        QTest::newRow("cli without command") << cli << QStringList{} << false << QString() << "usage: kitwarden-cli ";
    }

    void executables()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(bool, succeeds);
        QFETCH(QString, stdoutPattern);
        QFETCH(QString, stderrHas);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        p.setProcessEnvironment(env);
        p.start(program, args);
        QVERIFY2(p.waitForFinished(60000), qPrintable(program));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode() == 0, succeeds);
        if (stdoutPattern.isEmpty())
            QCOMPARE(out, QString());
        else
            QVERIFY2(QRegularExpression(stdoutPattern).match(out).hasMatch(), qPrintable(out));
        if (stderrHas.isEmpty())
            QCOMPARE(err, QString());
        else
            QVERIFY2(err.contains(stderrHas), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
