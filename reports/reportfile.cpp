// The report file (.kwr): laid-out pages, not data, so a saved report opens
// again exactly as it was printed. Layout of the file:
//   "KWREPORT"                 8 bytes
//   version                    quint32, big-endian
//   payload length             quint32
//   SHA-256 of the payload     32 bytes
//   payload                    qCompress() of the body below
// Body (QDataStream, Qt 6.4 format): title, page set-up (six qint32), the
// fonts (count, then family, size, bold, underline) and the pages (count,
// then per page the item count and the items). The checksum turns any
// damage into a clear error before the body is read; the body is still
// checked item by item, since nothing else guards the painter against a
// font index out of range.
#include "reports/exports.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QIODevice>

namespace kw::reports {

namespace {

const QByteArray kMagic = QByteArrayLiteral("KWREPORT");
constexpr quint32 kVersion = 1;
constexpr int kHashSize = 32;
// The largest body a report file may claim; guards the decompression.
constexpr quint32 kMaxBody = 1u << 30;
constexpr int kMinItemBytes = 1 + 1 + 2 + 16 + 4 + 4; // an item with empty text

void writeBody(QDataStream &s, const ReportDocument &doc)
{
    s << doc.title;
    const PageSetup &p = doc.page;
    s << qint32(p.paperWidth) << qint32(p.paperHeight) << qint32(p.leftMargin) << qint32(p.topMargin)
      << qint32(p.rightMargin) << qint32(p.bottomMargin);
    s << quint32(doc.fonts.size());
    for (const FontSpec &f : doc.fonts)
        s << f.family << f.pointSize << f.bold << f.underline;
    s << quint32(doc.pages.size());
    for (const Page &page : doc.pages) {
        s << quint32(page.items.size());
        for (const PageItem &it : page.items)
            s << quint8(it.kind) << quint8(it.align) << it.font << it.x << it.y << it.w << it.h << it.textWidth
              << it.text;
    }
}

[[noreturn]] void damaged(const QString &why)
{
    throw ReportFileError(QStringLiteral("The report file is damaged (%1).").arg(why));
}

void readBody(QDataStream &s, qint64 size, ReportDocument &doc)
{
    auto check = [&](const char *what) {
        if (s.status() != QDataStream::Ok)
            damaged(QLatin1String(what));
    };
    s >> doc.title;
    qint32 v[6];
    for (qint32 &x : v)
        s >> x;
    check("page set-up");
    doc.page = {v[0], v[1], v[2], v[3], v[4], v[5]};
    for (qint32 x : v)
        if (x < 0 || x > 100 * kUnitsPerInch)
            damaged(QStringLiteral("page set-up"));

    quint32 fonts = 0;
    s >> fonts;
    if (fonts > 65535 || fonts > size)
        damaged(QStringLiteral("fonts"));
    for (quint32 i = 0; i < fonts; ++i) {
        FontSpec f;
        s >> f.family >> f.pointSize >> f.bold >> f.underline;
        check("fonts");
        if (!(f.pointSize > 0 && f.pointSize < 1000))
            damaged(QStringLiteral("font size"));
        doc.fonts.append(f);
    }

    quint32 pages = 0;
    s >> pages;
    if (pages > size)
        damaged(QStringLiteral("page count"));
    doc.pages.reserve(int(pages));
    for (quint32 p = 0; p < pages; ++p) {
        quint32 items = 0;
        s >> items;
        check("pages");
        if (items > size / kMinItemBytes)
            damaged(QStringLiteral("item count"));
        Page page;
        page.items.reserve(int(items));
        for (quint32 i = 0; i < items; ++i) {
            PageItem it;
            quint8 kind = 0, align = 0;
            s >> kind >> align >> it.font >> it.x >> it.y >> it.w >> it.h >> it.textWidth >> it.text;
            check("page items");
            if (kind > quint8(ItemKind::Line) || align > quint8(Alignment::BandCenter))
                damaged(QStringLiteral("page items"));
            if (kind == quint8(ItemKind::Text) && it.font >= doc.fonts.size())
                damaged(QStringLiteral("font index"));
            it.kind = ItemKind(kind);
            it.align = Alignment(align);
            page.items.append(std::move(it));
        }
        doc.pages.append(std::move(page));
    }
    if (!s.atEnd())
        damaged(QStringLiteral("data after the last page"));
}

} // namespace

void saveReportFile(const ReportDocument &doc, QIODevice &out)
{
    QByteArray body;
    {
        QDataStream s(&body, QIODevice::WriteOnly);
        s.setVersion(QDataStream::Qt_6_4);
        writeBody(s, doc);
    }
    const QByteArray payload = qCompress(body, 6);
    QByteArray head = kMagic;
    QDataStream h(&head, QIODevice::WriteOnly | QIODevice::Append);
    h << kVersion << quint32(payload.size());
    head += QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    if (out.write(head) != head.size() || out.write(payload) != payload.size())
        throw ReportFileError(QStringLiteral("Cannot write the report file: %1").arg(out.errorString()));
}

ReportDocument loadReportFile(QIODevice &in)
{
    const QByteArray head = in.read(kMagic.size() + 8 + kHashSize);
    if (!head.startsWith(kMagic))
        throw ReportFileError(QStringLiteral("This is not a Kitwarden report file."));
    if (head.size() < kMagic.size() + 8 + kHashSize)
        damaged(QStringLiteral("it ends early"));
    QDataStream h(head.mid(kMagic.size(), 8));
    quint32 version = 0, length = 0;
    h >> version >> length;
    if (version > kVersion || version == 0)
        throw ReportFileError(
            QStringLiteral("The report file was written by a newer version of Kitwarden (format %1).")
                .arg(version));
    const QByteArray payload = in.read(length);
    if (payload.size() != qsizetype(length))
        damaged(QStringLiteral("it ends early"));
    if (!in.atEnd())
        damaged(QStringLiteral("data after the end"));
    if (QCryptographicHash::hash(payload, QCryptographicHash::Sha256) != head.right(kHashSize))
        damaged(QStringLiteral("checksum mismatch"));
    if (payload.size() < 4)
        damaged(QStringLiteral("empty"));
    const quint32 claimed = (quint32(quint8(payload[0])) << 24) | (quint32(quint8(payload[1])) << 16)
        | (quint32(quint8(payload[2])) << 8) | quint32(quint8(payload[3]));
    if (claimed > kMaxBody)
        damaged(QStringLiteral("size"));
    const QByteArray body = qUncompress(payload);
    if (body.isEmpty())
        damaged(QStringLiteral("compressed data"));
    QDataStream s(body);
    s.setVersion(QDataStream::Qt_6_4);
    ReportDocument doc;
    readBody(s, body.size(), doc);
    return doc;
}

ReportDocument loadReportFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ReportFileError(QStringLiteral("Cannot open %1: %2").arg(path, f.errorString()));
    try {
        return loadReportFile(f);
    } catch (const ReportFileError &e) {
        throw ReportFileError(QStringLiteral("%1: %2").arg(path, e.message()));
    }
}

} // namespace kw::reports
