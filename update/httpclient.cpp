#include "update/httpclient.h"

#include "core/durablefile.h"

#include <QDir>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

namespace kw::update {

static constexpr int kMaxField = 256;

HttpAddress parseHttpAddress(const QString &url)
{
    const QString u = url.trimmed();
    if (u.isEmpty())
        throw EHttpError(QStringLiteral("Empty URL"));
    if (u.startsWith(QLatin1String("https"), Qt::CaseInsensitive))
        throw EHttpError(QStringLiteral("HTTP Secure Socket is not supported"));
    const int slashes = u.indexOf(QLatin1String("//"));
    const int hostStart = slashes < 0 ? 0 : slashes + 2;
    int pathStart = u.indexOf(QLatin1Char('/'), hostStart);
    if (pathStart < 0)
        pathStart = u.size();
    HttpAddress a;
    QString host = u.mid(hostStart, pathStart - hostStart);
    const int colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QString digits = host.mid(colon + 1);
        bool ok = !digits.isEmpty();
        for (QChar c : digits)
            ok = ok && c.isDigit();
        if (ok) {
            const uint port = digits.toUInt(&ok);
            if (!ok || port == 0 || port > 65535)
                throw EHttpError(QStringLiteral("Invalid port in %1").arg(u));
            a.port = quint16(port);
            host.truncate(colon);
        }
    }
    a.host = host;
    a.path = u.mid(pathStart).left(kMaxField);
    if (a.path.isEmpty())
        a.path = QStringLiteral("/");
    if (a.host.isEmpty())
        throw EHttpError(QStringLiteral("Host Lookup Failed"));
    return a;
}

QByteArray HttpClient::requestBytes(const HttpAddress &a, const QString &cookie)
{
    QByteArray r;
    r += "GET " + a.path.toUtf8() + " HTTP/1.0\r\n";
    r += "Host: " + a.host.toUtf8() + "\r\n";
    r += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
    r += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
    r += "Content-type: application/x-www-form-urlencoded\r\n";
    if (!cookie.isEmpty())
        r += "Cookie: " + cookie.toUtf8() + "\r\n";
    r += "\r\n";
    return r;
}

QString resolveLocation(const QString &location, const HttpAddress &from)
{
    if (location.contains(QLatin1String("//")))
        return location;
    const QString origin = QStringLiteral("http://") + from.host
                           + (from.port != 80 ? QStringLiteral(":%1").arg(from.port) : QString());
    if (location.startsWith(QLatin1Char('/')))
        return origin + location;
    const QString dir = from.path.left(from.path.lastIndexOf(QLatin1Char('/')) + 1);
    return origin + (dir.isEmpty() ? QStringLiteral("/") : dir) + location;
}

void HttpClient::get(const QString &url, const QString &bodyFile)
{
    requests_.clear();
    urls_.clear();
    sendCookie_.clear();
    QString next = url;
    for (int redirects = 0;; ++redirects) {
        const HttpAddress a = parseHttpAddress(next);
        urls_ << next;
        exchange(a, bodyFile);
        if (!cookie_.isEmpty())
            sendCookie_ = cookie_;  // sent on every later request of this run
        if (status_ < 300 || status_ > 302 || location_.isEmpty())
            return;
        if (redirects >= limits.maxRedirects)
            throw EHttpError(QStringLiteral("Too many redirections (more than %1)").arg(limits.maxRedirects));
        next = resolveLocation(location_, a);
    }
}

namespace {

// One connection and the loop that waits on it: while the socket connects or
// the answer comes, the thread handles events (windows repaint) but not user
// input. Every wait ends on a socket event or a timer.
class SocketWait {
public:
    SocketWait()
    {
        idle.setSingleShot(true);
        whole.setSingleShot(true);
        QObject::connect(&socket, &QTcpSocket::connected, &loop, [this] { connected = true; loop.quit(); });
        QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [this] { loop.quit(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, &loop, [this] { closed = true; loop.quit(); });
        QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, [this](QAbstractSocket::SocketError e) {
            if (e == QAbstractSocket::RemoteHostClosedError) {
                closed = true;
            } else {
                failed = true;
                error = e;
            }
            loop.quit();
        });
        QObject::connect(&idle, &QTimer::timeout, &loop, [this] { timedOut = true; loop.quit(); });
        QObject::connect(&whole, &QTimer::timeout, &loop, [this] { timedOut = true; loop.quit(); });
    }

    // The socket looks the name up; a dotted address is used as is.
    void connectTo(const QString &host, quint16 port, int timeoutMs)
    {
        idle.start(timeoutMs);
        socket.connectToHost(host, port);
        while (!connected && !failed && !timedOut)
            wait();
        if (!connected) {
            if (failed && error == QAbstractSocket::HostNotFoundError)
                throw EHttpError(QStringLiteral("Host Lookup Failed"));
            throw EHttpError(QStringLiteral("Connection Failed"));
        }
    }

    void send(const QByteArray &bytes) { socket.write(bytes); }

    // Hands the answer to reader as it arrives, until the server closes.
    // idleMs bounds each silence, wholeMs the whole answer.
    void readAnswer(HttpResponseReader &reader, int idleMs, int wholeMs)
    {
        idle.start(idleMs);
        whole.start(wholeMs);
        for (;;) {
            const QByteArray data = socket.readAll();
            if (!data.isEmpty())
                idle.start(idleMs);
            reader.feed(data);
            if (closed || socket.state() == QAbstractSocket::UnconnectedState) {
                reader.feed(socket.readAll());
                return;
            }
            if (failed)
                throw EHttpError(socket.errorString());
            if (timedOut)
                throw EHttpError(QStringLiteral("The server did not finish its answer in time"));
            if (socket.bytesAvailable() == 0)
                wait();
        }
    }

private:
    void wait() { loop.exec(QEventLoop::ExcludeUserInputEvents); }

    QTcpSocket socket;
    QEventLoop loop;
    QTimer idle, whole;
    bool connected = false, closed = false, timedOut = false, failed = false;
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
};

} // namespace

void HttpClient::exchange(const HttpAddress &a, const QString &bodyFile)
{
    status_ = 0;
    headers_.clear();
    location_.clear();
    cookie_.clear();

    SocketWait net;
    net.connectTo(a.host, a.port, limits.connectTimeoutMs);
    const QByteArray request = requestBytes(a, sendCookie_);
    requests_ << request;
    net.send(request);

    kw::core::DurableFile out(bodyFile);
    const QString cannotCreate =
        QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(bodyFile));
    HttpResponseReader reader(
        limits.maxBodyBytes,
        [&] {
            if (!out.open())
                throw EHttpError(cannotCreate);
        },
        [&](const QByteArray &data) {
            if (!out.write(data))
                throw EHttpError(cannotCreate);
        });
    net.readAnswer(reader, limits.idleTimeoutMs, limits.transferTimeoutMs);
    reader.finish();
    status_ = reader.statusCode();
    headers_ = reader.headerLines();
    location_ = reader.location();
    cookie_ = reader.cookie();
    if (!out.commit())
        throw EHttpError(cannotCreate);
}

HttpResponseReader::HttpResponseReader(qint64 maxBodyBytes, std::function<void()> headDone,
                                       std::function<void(const QByteArray &)> body)
    : maxBodyBytes_(maxBodyBytes), headDone_(std::move(headDone)), body_(std::move(body))
{
}

void HttpResponseReader::body(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    bodyBytes_ += data.size();
    if (bodyBytes_ > maxBodyBytes_)
        throw EHttpError(QStringLiteral("The server's answer is too large"));
    body_(data);
}

void HttpResponseReader::parseHeader(const QByteArray &block)
{
    QList<QByteArray> lines = block.split('\n');
    for (QByteArray &l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    const QStringList words = QString::fromLatin1(lines.value(0)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool ok = false;
    const int code = words.value(1).toInt(&ok);
    status_ = ok ? code : 0;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QString line = QString::fromLatin1(lines[i]);
        headers_ << line;
        const QString upper = line.toUpper();
        if (upper.startsWith(QLatin1String("LOCATION:")))
            location_ = line.mid(9).trimmed().left(kMaxField);
        else if (upper.startsWith(QLatin1String("SET-COOKIE:")))
            cookie_ = line.mid(11).trimmed().left(kMaxField);
    }
    headerDone_ = true;
    headDone_();
}

void HttpResponseReader::feed(const QByteArray &data)
{
    if (headerDone_) {
        body(data);
        return;
    }
    head_ += data;
    int end = head_.indexOf("\r\n\r\n");
    int sep = 4;
    const int lfEnd = head_.indexOf("\n\n");
    if (lfEnd >= 0 && (end < 0 || lfEnd < end)) {
        end = lfEnd;
        sep = 2;
    }
    if (end >= 0) {
        const QByteArray rest = head_.mid(end + sep);
        parseHeader(head_.left(end));
        head_.clear();
        body(rest);
    } else if (head_.size() > 64 * 1024) {
        throw EHttpError(QStringLiteral("The server's answer is not HTTP"));
    }
}

void HttpResponseReader::finish()
{
    if (headerDone_)
        return;
    // A status line without the empty line after the headers still counts.
    if (!head_.contains('\n') && !head_.startsWith("HTTP/"))
        throw EHttpError(QStringLiteral("The server closed the connection without an answer"));
    parseHeader(head_);
    head_.clear();
}

} // namespace kw::update
