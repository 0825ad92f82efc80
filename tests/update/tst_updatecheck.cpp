#include "elfwriter.h"
#include "testserver.h"
#include "update/scriptedupdateui.h"
#include "update/updatecheck.h"
#include "settings/iniout.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::update;

static QByteArray ok200(const QByteArray &body)
{
    return ok(body).bytes;
}

class TstUpdateCheck : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString installed;

private slots:
    void initTestCase()
    {
        installed = dir.filePath(QStringLiteral("Kitwarden.exe"));
        QVERIFY(testelf::writeVersionedFile(installed, "2.0.3.30"));
        QVERIFY(testelf::writeFile(dir.filePath(QStringLiteral("plain.exe")), "no resource"));
    }

    void messages()
    {
        QCOMPARE(messageCheck(), QStringLiteral("Kitwarden is going to check for the latest\nsoftware version.  "
                                                "You will need an Internet\nconnection to complete this task."));
        QCOMPARE(messageNewer(), QStringLiteral("A new version of Kitwarden 2.0 is available.\n\n"
                                                "Kitwarden will close then download the\nsoftware update."));
        QCOMPARE(messageCurrent(), QStringLiteral("You have the most current version of \nKitwarden 2.0 already installed."));
    }

    void decisions_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<bool>("autoBox");
        QTest::addColumn<bool>("notifyOnly");
        QTest::addColumn<QByteArray>("served");   // the whole answer; empty: no server
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("executable");  // empty: the 2.0.3.30 file
        QTest::addColumn<QStringList>("events");  // %F: the default download address
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("requests");

        const QByteArray same = ok200("[Kitwarden]\r\nBuild=2.0.3.30\r\nFile=http://dl.example/k.exe\r\n");
        const QByteArray newer = ok200("[Kitwarden]\r\nBuild=2.0.3.31\r\nFile=http://dl.example/k.exe\r\n");
        const QStringList fetched{"busy", "normal"};
        using R = UpdateResult;

        QTest::newRow("menu, M1 cancel: no traffic") << false << false << false << same << "n" << ""
            << QStringList{"M1"} << int(R::Cancelled) << 0;
        QTest::newRow("menu, M1 ok, same") << false << false << false << same << "y" << ""
            << QStringList{"M1", "busy", "normal", "M3"} << int(R::Current) << 1;
        QTest::newRow("menu, box checked: no M1") << false << true << true << same << "" << ""
            << fetched + QStringList{"M3"} << int(R::Current) << 1;
        QTest::newRow("automatic, notify only, same") << true << true << true << same << "" << ""
            << fetched << int(R::Current) << 1;
        QTest::newRow("automatic, same") << true << true << false << same << "" << ""
            << fetched + QStringList{"M3"} << int(R::Current) << 1;
        QTest::newRow("newer, OK") << false << true << false << newer << "y" << ""
            << fetched + QStringList{"M2", "busy", "open http://dl.example/k.exe", "normal", "close"}
            << int(R::NewerOpened) << 1;
        QTest::newRow("newer, cancel") << false << true << false << newer << "n" << ""
            << fetched + QStringList{"M2"} << int(R::NewerDeclined) << 1;
        QTest::newRow("automatic, notify only, newer") << true << true << true << newer << "n" << ""
            << fetched + QStringList{"M2"} << int(R::NewerDeclined) << 1;
        // Versions weigh their parts: 2.1.0.0 is newer than 2.0.3.30, 1.9.99.9 older.
        QTest::newRow("server 2.1.0.0 vs 2.0.3.30") << false << true << false
            << ok200("[Kitwarden]\r\nBuild=2.1.0.0\r\n") << "n" << "" << fetched + QStringList{"M2"}
            << int(R::NewerDeclined) << 1;
        QTest::newRow("server 1.9.99.9 vs 2.0.3.30") << false << true << false
            << ok200("[Kitwarden]\r\nBuild=1.9.99.9\r\n") << "" << "" << fetched + QStringList{"M3"}
            << int(R::Current) << 1;
        QTest::newRow("newer, no File: default address") << false << true << false
            << ok200("[Kitwarden]\r\nBuild=2.0.3.99\r\n") << "y" << ""
            << fetched + QStringList{"M2", "busy", "open %F", "normal", "close"} << int(R::NewerOpened) << 1;
        QTest::newRow("newer, File not a web address") << false << true << false
            << ok200("[Kitwarden]\r\nBuild=2.0.3.99\r\nFile=file:///etc/passwd\r\n") << "y" << ""
            << fetched + QStringList{"M2", "busy", "normal",
                                     "error The update server named an address that is not a web page:\n"
                                     "file:///etc/passwd\nNothing was opened."}
            << int(R::AddressRefused) << 1;
        QTest::newRow("404 page: no section") << false << true << false
            << QByteArray("HTTP/1.0 404 Not Found\r\n\r\n<html><body>Not Found</body></html>") << "" << ""
            << fetched + QStringList{"M3"} << int(R::Current) << 1;
        QTest::newRow("body without the section") << true << true << false
            << ok200("[Other]\r\nBuild=9.9.9.9\r\n") << "" << "" << fetched + QStringList{"M3"} << int(R::Current) << 1;
        QTest::newRow("Build not a number") << false << true << false
            << ok200("[Kitwarden]\r\nBuild=2.x.0\r\n") << "" << ""
            << fetched + QStringList{"error '2x0' is not a valid integer value"} << int(R::Failed) << 1;
        QTest::newRow("no version resource, after download") << false << true << false << same << "" << "plain.exe"
            << fetched + QStringList{"error No Version Info Available."} << int(R::Failed) << 1;
        QTest::newRow("server down") << true << true << false << QByteArray() << "" << ""
            << fetched + QStringList{"error Connection Failed"} << int(R::Failed) << 0;
    }
    void decisions()
    {
        QFETCH(bool, automatic);
        QFETCH(bool, autoBox);
        QFETCH(bool, notifyOnly);
        QFETCH(QByteArray, served);
        QFETCH(QString, answers);
        QFETCH(QString, executable);
        QFETCH(QStringList, events);
        QFETCH(int, result);
        QFETCH(int, requests);

        auto server = std::make_unique<TestServer>();
        const QString host = server->hostPort();
        server->handler = [&](const QByteArray &, int) { return Reply{served}; };
        if (served.isEmpty())
            server.reset();  // nobody listens on that port any more

        ScriptedUpdateUi ui;
        for (QChar a : answers)
            ui.answers.push_back(a == QLatin1Char('y'));
        UpdateCheckOptions o;
        o.automatic = automatic;
        o.autoUpdateChecked = autoBox;
        o.notifyOnly = notifyOnly;
        o.serverHost = host;
        o.localFile = dir.filePath(QStringLiteral("QuillfenUpdates.ini"));
        o.executable = executable.isEmpty() ? installed : dir.filePath(executable);
        o.limits.idleTimeoutMs = 2000;
        const UpdateResult r = runUpdateCheck(o, ui);
        events.replaceInStrings(QStringLiteral("%F"), defaultDownloadAddress(host));
        QCOMPARE(ui.events, events);
        QCOMPARE(int(r), result);
        QCOMPARE(server ? int(server->requests.size()) : 0, requests);
        if (server && requests)
            QVERIFY(server->requests[0].startsWith("GET /files/updates.ini HTTP/1.0\r\nHost: 127.0.0.1\r\n"));
        QVERIFY(ui.answers.empty());
    }

    void serverHostSetting()
    {
        QTemporaryDir cfg;
        qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toUtf8());
        QCOMPARE(updateServerHost(), QStringLiteral("www.quillfen.example"));
        QCOMPARE(updateInfoPath(), QDir(cfg.path()).filePath(QStringLiteral("QuillfenUpdates.ini")));
        kw::settings::TIniOut ini(nullptr);
        ini.WriteRegString(kw::settings::kMainKey, QStringLiteral("UpdateServer"), QStringLiteral("10.0.0.5:8080"));
        QCOMPARE(updateServerHost(), QStringLiteral("10.0.0.5:8080"));
        QCOMPARE(updateInfoUrl(updateServerHost()), QStringLiteral("http://10.0.0.5:8080/files/updates.ini"));
        QCOMPARE(defaultDownloadAddress(QStringLiteral("h")), QStringLiteral("http://h/alse/Kitwarden200exe.exe"));
    }

    void webAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("web");
        QTest::newRow("http") << "http://www.quillfen.example/alse/Kitwarden200exe.exe" << true;
        QTest::newRow("https") << "HTTPS://h/x.exe" << true;
        QTest::newRow("file") << "file:///tmp/x.exe" << false;
        QTest::newRow("bare path") << "/usr/bin/xterm" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("no host") << "http:///x" << false;
        QTest::newRow("empty") << "" << false;
    }
    void webAddresses()
    {
        QFETCH(QString, address);
        QTEST(isWebAddress(address), "web");
    }
};

QTEST_MAIN(TstUpdateCheck)
#include "tst_updatecheck.moc"
