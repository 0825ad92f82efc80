// Prints medians of the settings, version and update-check operations that
// lie on the start-up path or behind a menu item.
#include "settings/iniout.h"
#include "update/updatecheck.h"
#include "update/verinfo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

static double medianMs(int runs, const std::function<void()> &f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer e;
        e.start();
        f();
        t.push_back(double(e.nsecsElapsed()) / 1e6);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

class Holder : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width MEMBER width)
    Q_PROPERTY(int Left MEMBER left)
    Q_PROPERTY(bool checked MEMBER checked)
public:
    int width = 0, left = 0;
    bool checked = false;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir cfg;
    qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toUtf8());

    QObject form;
    form.setObjectName(QStringLiteral("frmMain"));
    int top = 0, left = 0, width = 0;
    for (const char *n : {"pnlHrLeft", "Splitter1", "splMain", "pnlMainLeft", "cbAutoUpdate", "cbAutoUpdateNotify"}) {
        auto *h = new Holder;
        h->setParent(&form);
        h->setObjectName(QString::fromLatin1(n));
    }
    kw::settings::TIniOut ini(&form);
    ini.bindInt(QStringLiteral("frmMain"), QStringLiteral("Top"), [&] { return top; }, [&](int v) { top = v; });
    ini.bindInt(QStringLiteral("frmMain"), QStringLiteral("Left"), [&] { return left; }, [&](int v) { left = v; });
    ini.bindInt(QStringLiteral("frmMain"), QStringLiteral("Width"), [&] { return width; }, [&](int v) { width = v; });
    ini.setItems(kw::settings::mainWindowItems());

    std::printf("LoadItems, first run (9 items):      %.3f ms\n", medianMs(200, [&] { ini.LoadItems(); }));
    std::printf("SaveItems (9 items, durable writes): %.3f ms\n", medianMs(50, [&] { ini.SaveItems(); }));
    std::printf("LoadItems, stored values:            %.3f ms\n", medianMs(200, [&] { ini.LoadItems(); }));
    std::printf("ReadRegString x5 (setup texts):      %.3f ms\n", medianMs(200, [&] {
        for (const char *n : {"Company", "AlseOfficer", "Prepared", "Authorized", "Approved"})
            ini.ReadRegString(kw::settings::kSetupKey, QString::fromLatin1(n), QStringLiteral("d"));
    }));
    std::printf("FileVersionInt(own executable):      %.3f ms\n",
                medianMs(200, [] { kw::update::FileVersionInt(kw::update::executableFile()); }));

    // A whole download from a server in this process.
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
            if (!s->readAll().contains("\r\n\r\n"))
                return;
            s->write("HTTP/1.0 200 OK\r\n\r\n[Kitwarden]\r\nBuild=2.0.0.0\r\n");
            s->disconnectFromHost();
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    });
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    const QString local = cfg.filePath(QStringLiteral("QuillfenUpdates.ini"));
    std::printf("Download + compare (127.0.0.1):      %.3f ms\n", medianMs(50, [&] {
        kw::update::downloadUpdateInfo(host, local);
        const auto info = kw::update::readUpdateInfo(local, host);
        kw::update::isNewerRelease(kw::update::FileVersionString(kw::update::executableFile()), info.build);
    }));
    return 0;
}

#include "bench_update.moc"
