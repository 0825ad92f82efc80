// The update server's answer: the HTTP response as it arrives, then the
// update-information file it carries, the release decision and the address
// the program would offer to open. The first byte cuts the rest into the
// pieces the socket hands over; any cut must give the same answer as the
// whole, and any answer must end in values or an error.
#include "fuzzsupport.h"

#include "settings/convert.h"
#include "update/httpclient.h"
#include "update/updatecheck.h"

#include <cstdlib>

using namespace kw::update;

// Larger answers are refused by the head limit or the body limit alike;
// fuzzing them only costs time.
static constexpr size_t kMaxAnswer = 60 * 1024;

struct Answer {
    bool failed = false;
    QString error;
    int status = 0;
    QStringList headers;
    QString location, cookie;
    QByteArray body;
    bool headDone = false;
    bool operator==(const Answer &) const = default;
};

static Answer read(const QByteArray &bytes, int piece)
{
    Answer a;
    HttpResponseReader r(16 * 1024, [&a] { a.headDone = true; }, [&a](const QByteArray &d) { a.body += d; });
    try {
        for (qsizetype at = 0; at < bytes.size(); at += piece)
            r.feed(bytes.mid(at, piece));
        r.finish();
    } catch (const EHttpError &e) {
        a.failed = true;
        a.error = e.message();
        return a;
    }
    if (a.headDone != r.headerDone())
        std::abort();
    a.status = r.statusCode();
    a.headers = r.headerLines();
    a.location = r.location();
    a.cookie = r.cookie();
    return a;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > kMaxAnswer)
        return 0;
    const int piece = 1 + data[0] % 97;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const Answer whole = read(bytes, qMax<int>(1, int(bytes.size())));
    const Answer pieces = read(bytes, piece);
    if (!(whole == pieces))
        std::abort(); // the answer depends on how the bytes arrived
    if (whole.failed) {
        kwfuzz::note(whole.error);
        return 0;
    }
    kwfuzz::note(QStringLiteral("status %1, %2 body bytes").arg(whole.status).arg(whole.body.size()));

    if (!whole.location.isEmpty()) {
        HttpAddress from;
        from.host = QStringLiteral("www.quillfen.example");
        from.path = QStringLiteral("/files/updates.ini");
        try {
            const HttpAddress next = parseHttpAddress(resolveLocation(whole.location, from));
            kwfuzz::consume(next.host + next.path);
        } catch (const EHttpError &e) {
            kwfuzz::consume(e.message());
        }
    }

    const QString file = kwfuzz::scratchDir() + QStringLiteral("/QuillfenUpdates.ini");
    kwfuzz::writeFile(file, whole.body);
    const UpdateInfo info = readUpdateInfo(file, QStringLiteral("www.quillfen.example"));
    try {
        (void)isNewerRelease(QStringLiteral("2.0.0.0"), info.build);
    } catch (const kw::settings::EConvertError &e) {
        kwfuzz::consume(e.message());
    }
    kwfuzz::note(QStringLiteral("build %1, file %2, web address %3")
                     .arg(info.build, info.file)
                     .arg(isWebAddress(info.file)));
    return 0;
}
