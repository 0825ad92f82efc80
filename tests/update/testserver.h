#pragma once
// A scripted HTTP server on 127.0.0.1 inside the test: it records each
// request's exact bytes and answers as the test's handler says.
#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

struct Reply {
    enum Ending { Close, KeepOpen, Silent, CloseAtOnce };
    QByteArray bytes;
    Ending ending = Close;
};

inline Reply ok(const QByteArray &body, const QByteArray &extraHeaders = {})
{
    return {"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n" + extraHeaders + "\r\n" + body};
}

class TestServer : public QObject {
public:
    std::function<Reply(const QByteArray &request, int index)> handler;
    QList<QByteArray> requests;

    TestServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                s->setParent(this);
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { onData(s); });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

private:
    void onData(QTcpSocket *s)
    {
        QByteArray &buf = pending[s];
        buf += s->readAll();
        const int end = buf.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray request = buf.left(end + 4);
        buf.clear();
        requests << request;
        const Reply r = handler ? handler(request, int(requests.size()) - 1) : Reply{};
        switch (r.ending) {
        case Reply::Silent: return;
        case Reply::CloseAtOnce: s->disconnectFromHost(); return;
        case Reply::KeepOpen: s->write(r.bytes); return;
        case Reply::Close:
            s->write(r.bytes);
            s->disconnectFromHost();
            return;
        }
    }

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> pending;
};
