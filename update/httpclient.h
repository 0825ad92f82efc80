#pragma once
// A plain HTTP/1.0 GET on QTcpSocket: the request lines, the status line and
// the headers the update check needs, the body stored into a file, and
// redirections followed with their cookie. While it waits, the thread keeps
// handling events (windows repaint) but not user input.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include "core/error.h"

namespace kw::update {

class EHttpError : public kw::core::Error {
public:
    using kw::core::Error::Error;
};

// Bounds that keep a silent or endless server from holding the program.
struct HttpLimits {
    int connectTimeoutMs = 20000;    // name lookup and connection together
    int idleTimeoutMs = 30000;       // longest silence while the answer is awaited or read
    int transferTimeoutMs = 120000;  // one whole exchange
    int maxRedirects = 5;            // redirections followed in one run
    qint64 maxBodyBytes = 16 << 20;  // an update file is a few hundred bytes
};

struct HttpAddress {
    QString host;
    quint16 port = 80;
    QString path;  // at most 256 characters, "/" when empty
};

// "Empty URL", "HTTP Secure Socket is not supported".
HttpAddress parseHttpAddress(const QString &url);

// One answer as its bytes arrive: the status line and headers up to the
// empty line (CRLF or LF), then the body, handed on as it comes and bounded by
// maxBodyBytes. Raises EHttpError for an answer that is not HTTP or too large.
class HttpResponseReader {
public:
    HttpResponseReader(qint64 maxBodyBytes, std::function<void()> headDone,
                       std::function<void(const QByteArray &)> body);
    void feed(const QByteArray &data);
    // The connection closed: a status line without the empty line after the
    // headers still counts; nothing at all is an error.
    void finish();

    bool headerDone() const { return headerDone_; }
    int statusCode() const { return status_; }
    const QStringList &headerLines() const { return headers_; }
    const QString &location() const { return location_; }
    const QString &cookie() const { return cookie_; }

private:
    void parseHeader(const QByteArray &block);
    void body(const QByteArray &data);

    qint64 maxBodyBytes_;
    std::function<void()> headDone_;
    std::function<void(const QByteArray &)> body_;
    QByteArray head_;
    bool headerDone_ = false;
    qint64 bodyBytes_ = 0;
    int status_ = 0;
    QStringList headers_;
    QString location_, cookie_;
};

// Where a location header points, seen from the address just fetched.
QString resolveLocation(const QString &location, const HttpAddress &from);

class HttpClient {
public:
    HttpLimits limits;

    // Fetches url with GET, storing the body of every answer in bodyFile
    // (created anew each time, written whole or not at all) and following
    // redirections 300 to 302. Raises EHttpError on failures.
    void get(const QString &url, const QString &bodyFile);

    // Of the last answer.
    int statusCode() const { return status_; }
    QStringList headerLines() const { return headers_; }
    QString location() const { return location_; }
    QString cookie() const { return cookie_; }
    // Every request sent during the last get(), byte for byte.
    QList<QByteArray> requests() const { return requests_; }
    // The addresses requested, in order.
    QStringList urls() const { return urls_; }

    static QByteArray requestBytes(const HttpAddress &a, const QString &cookie);

private:
    void exchange(const HttpAddress &a, const QString &bodyFile);

    int status_ = 0;
    QStringList headers_;
    QString location_, cookie_, sendCookie_;
    QList<QByteArray> requests_;
    QStringList urls_;
};

} // namespace kw::update
