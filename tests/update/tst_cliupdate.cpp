#include "testserver.h"
#include "settings/iniout.h"

#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// kitwarden-cli check-update against a server inside the test.
class TstCliUpdate : public QObject {
    Q_OBJECT
    QTemporaryDir cfg;

    struct Run {
        int code = -1;
        QByteArray out, err;
    };
    Run run(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), cfg.path());
        p.setProcessEnvironment(env);
        QEventLoop loop;  // the server answers from this thread's events
        connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        p.start(QStringLiteral(KW_CLI), QStringList{QStringLiteral("check-update")} + args);
        loop.exec();
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }

private slots:
    void oneLine_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("newer") << QByteArray("[Kitwarden]\r\nBuild=2.0.3.99\r\nFile=http://dl.example/k.exe\r\n")
                               << QByteArray("newer 2.0.3.99 http://dl.example/k.exe\n");
        QTest::newRow("newer, default file") << QByteArray("[Kitwarden]\r\nBuild=2.0.3.99\r\n")
                                             << QByteArray("newer 2.0.3.99 http://%H/alse/Kitwarden200exe.exe\n");
        QTest::newRow("same") << QByteArray("[Kitwarden]\r\nBuild=" KW_PROJECT_VERSION "\r\n")
                              << QByteArray("current " KW_PROJECT_VERSION "\n");
        QTest::newRow("no section") << QByteArray("<html>oops</html>") << QByteArray("current 0.0.0.0\n");
    }
    void oneLine()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, line);
        TestServer s;
        s.handler = [&](const QByteArray &, int) { return ok(body); };
        const Run r = run({QStringLiteral("--server"), s.hostPort()});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, line.replace("%H", s.hostPort().toLatin1()));
        QCOMPARE(r.code, 0);
        QCOMPARE(s.requests.size(), 1);
    }

    void serverFromSettings()
    {
        TestServer s;
        s.handler = [](const QByteArray &, int) { return ok("[Kitwarden]\r\nBuild=1.0.0.0\r\n"); };
        qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toUtf8());
        kw::settings::TIniOut ini(nullptr);
        ini.WriteRegString(kw::settings::kMainKey, QStringLiteral("UpdateServer"), s.hostPort());
        const Run r = run({});
        QCOMPARE(r.out, QByteArray("current 1.0.0.0\n"));
        QCOMPARE(s.requests.size(), 1);
    }

    void errors()
    {
        quint16 port;
        {
            TestServer gone;
            port = gone.port();
        }
        Run r = run({QStringLiteral("--server"), QStringLiteral("127.0.0.1:%1").arg(port)});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.err.trimmed(), QByteArray("Connection Failed"));

        TestServer bad;
        bad.handler = [](const QByteArray &, int) { return ok("[Kitwarden]\r\nBuild=two\r\n"); };
        r = run({QStringLiteral("--server"), bad.hostPort()});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.err.trimmed(), QByteArray("'two' is not a valid integer value"));
    }
};

QTEST_GUILESS_MAIN(TstCliUpdate)
#include "tst_cliupdate.moc"
