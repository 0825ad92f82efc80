#include "testserver.h"
#include "update/httpclient.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kw::update;

static QByteArray request(const QByteArray &path, const QByteArray &host, const QByteArray &cookie = {})
{
    QByteArray r = "GET " + path + " HTTP/1.0\r\n"
                   "Host: " + host + "\r\n"
                   "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
                   "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
                   "Content-type: application/x-www-form-urlencoded\r\n";
    if (!cookie.isEmpty())
        r += "Cookie: " + cookie + "\r\n";
    return r + "\r\n";
}

static QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class TstHttp : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString body() const { return dir.filePath(QStringLiteral("QuillfenUpdates.ini")); }
    HttpClient client() const
    {
        HttpClient c;
        c.limits.connectTimeoutMs = 5000;
        c.limits.idleTimeoutMs = 400;  // short, so silent servers end the test soon
        c.limits.transferTimeoutMs = 10000;
        return c;
    }
    QString url(const TestServer &s, const char *path = "/files/updates.ini") const
    {
        return QStringLiteral("http://") + s.hostPort() + QString::fromLatin1(path);
    }

private slots:
    void init() { QFile::remove(body()); }

    void parseAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "http://www.quillfen.example/files/updates.ini" << "www.quillfen.example" << 80
                               << "/files/updates.ini";
        QTest::newRow("port") << "http://10.1.2.3:8080/a/b?c" << "10.1.2.3" << 8080 << "/a/b?c";
        QTest::newRow("no path") << "http://h" << "h" << 80 << "/";
        QTest::newRow("long path") << "http://h/" + QString(300, QLatin1Char('x')) << "h" << 80
                                   << "/" + QString(255, QLatin1Char('x'));
    }
    void parseAddress()
    {
        QFETCH(QString, url);
        const HttpAddress a = parseHttpAddress(url);
        QTEST(a.host, "host");
        QTEST(int(a.port), "port");
        QTEST(a.path, "path");
    }

    void refusedAddresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "" << "Empty URL";
        QTest::newRow("https") << "https://h/x" << "HTTP Secure Socket is not supported";
        QTest::newRow("HTTPS") << "HTTPS://h/x" << "HTTP Secure Socket is not supported";
    }
    void refusedAddresses()
    {
        QFETCH(QString, url);
        QFETCH(QString, message);
        HttpClient c = client();
        try {
            c.get(url, body());
            QFAIL("no error");
        } catch (const EHttpError &e) {
            QCOMPARE(e.message(), message);
        }
        QVERIFY(!QFile::exists(body()));
    }

    void plainAnswer()
    {
        TestServer s;
        // Content-Length does not limit the reading: everything up to the close is kept.
        s.handler = [](const QByteArray &, int) {
            return ok("[Kitwarden]\r\nBuild=2.0.3.31\r\n", "Content-Length: 5\r\n");
        };
        HttpClient c = client();
        c.get(url(s), body());
        QCOMPARE(s.requests.size(), 1);
        QCOMPARE(s.requests[0], request("/files/updates.ini", "127.0.0.1"));
        QCOMPARE(c.statusCode(), 200);
        QCOMPARE(readAll(body()), QByteArray("[Kitwarden]\r\nBuild=2.0.3.31\r\n"));
        QVERIFY(c.headerLines().contains(QStringLiteral("Content-Length: 5")));
    }

    void redirects_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<bool>("withHost");
        QTest::addColumn<QByteArray>("cookie");
        QTest::newRow("301 with host") << QByteArray("301 Moved Permanently") << true << QByteArray();
        QTest::newRow("302 without host, cookie") << QByteArray("302 Found") << false << QByteArray("sid=42");
        QTest::newRow("300 with host, cookie") << QByteArray("300 Multiple") << true << QByteArray("a=b");
    }
    void redirects()
    {
        QFETCH(QByteArray, status);
        QFETCH(bool, withHost);
        QFETCH(QByteArray, cookie);
        TestServer s;
        const QByteArray target = withHost ? "http://" + s.hostPort().toLatin1() + "/new/place.ini" : "/new/place.ini";
        s.handler = [&](const QByteArray &, int i) -> Reply {
            if (i == 0) {
                QByteArray h = "HTTP/1.0 " + status + "\r\nlocation: " + target + "\r\n";
                if (!cookie.isEmpty())
                    h += "Set-Cookie: " + cookie + "\r\n";
                return {h + "\r\n<html>moved</html>"};
            }
            if (i == 1)  // a further hop: the cookie stays on later requests
                return {"HTTP/1.0 302 Found\r\nLocation: /final.ini\r\n\r\n"};
            return ok("[Kitwarden]\r\nBuild=9.9.9.9\r\n");
        };
        HttpClient c = client();
        c.get(url(s), body());
        QCOMPARE(s.requests.size(), 3);
        QCOMPARE(s.requests[1], request("/new/place.ini", "127.0.0.1", cookie));
        QCOMPARE(s.requests[2], request("/final.ini", "127.0.0.1", cookie));
        QCOMPARE(c.statusCode(), 200);
        QCOMPARE(readAll(body()), QByteArray("[Kitwarden]\r\nBuild=9.9.9.9\r\n"));
    }

    void errorPageIsStored()
    {
        TestServer s;
        s.handler = [](const QByteArray &, int) {
            return Reply{"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>Not here</html>"};
        };
        HttpClient c = client();
        c.get(url(s), body());
        QCOMPARE(c.statusCode(), 404);
        QCOMPARE(readAll(body()), QByteArray("<html>Not here</html>"));
    }

    void otherRedirectStatusEnds()
    {
        TestServer s;
        s.handler = [](const QByteArray &, int) { return Reply{"HTTP/1.0 303 See Other\r\nLocation: /x\r\n\r\nbody"}; };
        HttpClient c = client();
        c.get(url(s), body());
        QCOMPARE(s.requests.size(), 1);
        QCOMPARE(c.statusCode(), 303);
    }

    void redirectLoopStops()
    {
        TestServer s;
        s.handler = [](const QByteArray &, int) { return Reply{"HTTP/1.0 302 Found\r\nLocation: /files/updates.ini\r\n\r\n"}; };
        HttpClient c = client();
        QVERIFY(QFile(body()).open(QIODevice::WriteOnly));
        try {
            c.get(url(s), body());
            QFAIL("no error");
        } catch (const EHttpError &e) {
            QCOMPARE(e.message(), QStringLiteral("Too many redirections (more than 5)"));
        }
        QCOMPARE(s.requests.size(), 6);
    }

    void failingServers_data()
    {
        QTest::addColumn<int>("ending");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("closes at once") << int(Reply::CloseAtOnce) << QByteArray()
                                        << "The server closed the connection without an answer";
        QTest::newRow("never answers") << int(Reply::Silent) << QByteArray()
                                       << "The server did not finish its answer in time";
        QTest::newRow("never closes") << int(Reply::KeepOpen) << QByteArray("HTTP/1.0 200 OK\r\n\r\n[Kitwarden]\r\n")
                                      << "The server did not finish its answer in time";
    }
    void failingServers()
    {
        QFETCH(int, ending);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        {
            QFile f(body());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("previous copy");
        }
        TestServer s;
        s.handler = [&](const QByteArray &, int) { return Reply{bytes, Reply::Ending(ending)}; };
        HttpClient c = client();
        try {
            c.get(url(s), body());
            QFAIL("no error");
        } catch (const EHttpError &e) {
            QCOMPARE(e.message(), message);
        }
        QCOMPARE(readAll(body()), QByteArray("previous copy"));  // a failed download leaves the copy whole
    }

    void connectionFailed()
    {
        quint16 port;
        {
            TestServer gone;
            port = gone.port();
        }
        HttpClient c = client();
        try {
            c.get(QStringLiteral("http://127.0.0.1:%1/files/updates.ini").arg(port), body());
            QFAIL("no error");
        } catch (const EHttpError &e) {
            QCOMPARE(e.message(), QStringLiteral("Connection Failed"));
        }
    }

    void hostLookupFailed()
    {
        HttpClient c = client();
        c.limits.connectTimeoutMs = 60000;  // a slow resolver must still answer "not found"
        try {
            c.get(QStringLiteral("http://no-such-host.invalid/files/updates.ini"), body());
            QFAIL("no error");
        } catch (const EHttpError &e) {
            QCOMPARE(e.message(), QStringLiteral("Host Lookup Failed"));
        }
    }

    void cannotCreateFile()
    {
        TestServer s;
        s.handler = [](const QByteArray &, int) { return ok("x"); };
        HttpClient c = client();
        const QString bad = dir.filePath(QStringLiteral("no/such/dir/QuillfenUpdates.ini"));
        try {
            c.get(url(s), bad);
            QFAIL("no error");
        } catch (const EHttpError &e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(bad)));
        }
    }

    // However the answer's bytes arrive (the last piece may come with the
    // close), the headers and the body are the same.
    void answerInPieces_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("crlf") << QByteArray("HTTP/1.0 200 OK\r\nSet-Cookie: a=1\r\n\r\n[Kitwarden]\r\nBuild=2.1\r\n")
                              << 200 << QByteArray("[Kitwarden]\r\nBuild=2.1\r\n");
        QTest::newRow("lf only") << QByteArray("HTTP/1.0 302 Found\nLocation: /x\n\nmoved") << 302
                                 << QByteArray("moved");
        QTest::newRow("no empty line") << QByteArray("HTTP/1.0 404 Not Found\r\nServer: y") << 404 << QByteArray();
        QTest::newRow("empty body") << QByteArray("HTTP/1.0 204 No Content\r\n\r\n") << 204 << QByteArray();
    }
    void answerInPieces()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        for (int piece = 1; piece <= answer.size(); ++piece) {
            QByteArray got;
            bool opened = false;
            HttpResponseReader r(1 << 20, [&] { opened = true; }, [&](const QByteArray &d) { got += d; });
            for (int at = 0; at < answer.size(); at += piece)
                r.feed(answer.mid(at, piece));
            r.finish();
            const QByteArray where = "pieces of " + QByteArray::number(piece);
            QVERIFY2(opened, where);
            QVERIFY2(r.statusCode() == status, where);
            QVERIFY2(got == body, where);
        }
    }

    void answerLimits()
    {
        HttpResponseReader big(10, [] {}, [](const QByteArray &) {});
        QVERIFY_THROWS_EXCEPTION(EHttpError, big.feed("HTTP/1.0 200 OK\r\n\r\n0123456789A"));
        HttpResponseReader endless(1 << 20, [] {}, [](const QByteArray &) {});
        QVERIFY_THROWS_EXCEPTION(EHttpError, endless.feed(QByteArray(70000, 'h')));
        HttpResponseReader nothing(1 << 20, [] {}, [](const QByteArray &) {});
        QVERIFY_THROWS_EXCEPTION(EHttpError, nothing.finish());
    }
};

QTEST_GUILESS_MAIN(TstHttp)
#include "tst_http.moc"
