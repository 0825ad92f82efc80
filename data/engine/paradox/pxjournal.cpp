// Durability: a change is first written to "<table>-journal" as the complete
// new images of the blocks (and header) it touches, with a CRC and an end
// mark, and synced; only then are the blocks written in place and the table
// synced. On open, a complete journal is replayed (replaying the last one
// twice is harmless: it holds new images, not differences) and an incomplete
// one is dropped, since the table was not touched before it was complete.
//
// Layout: magic "KWPXJNL1", the number of writes, the final length, the
// header length and the CRCs of the header before and after the change,
// then each write (offset, length, bytes), a CRC-32 of all that, and the
// end mark "KWPXJEND". Numbers are little-endian.
#include "data/engine/paradox/pxjournal.h"

#include "core/durablefile.h"

#include "data/engine/paradox/pxformat.h"
#include "data/engine/paradox/pxio.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace kw::data::px {

namespace {

const char kJournalMagic[8] = {'K', 'W', 'P', 'X', 'J', 'N', 'L', '1'};
const char kJournalEnd[8] = {'K', 'W', 'P', 'X', 'J', 'E', 'N', 'D'};

} // namespace

bool Journal::belongsTo(const QByteArray &table) const
{
    if (table.size() < qsizetype(headerLength))
        return false;
    const quint32 crc = crc32(table.constData(), headerLength);
    return crc == headerBefore || crc == headerAfter;
}

QByteArray Journal::encode() const
{
    QByteArray out(kJournalMagic, 8);
    const auto put64 = [&out](quint64 v) {
        v = qToLittleEndian(v);
        out.append(reinterpret_cast<const char *>(&v), sizeof v);
    };
    const auto put32v = [&out](quint32 v) {
        v = qToLittleEndian(v);
        out.append(reinterpret_cast<const char *>(&v), sizeof v);
    };
    put32v(quint32(writes.size()));
    put64(quint64(finalLength));
    put32v(headerLength);
    put32v(headerBefore);
    put32v(headerAfter);
    for (const auto &w : writes) {
        put64(quint64(w.first));
        put32v(quint32(w.second.size()));
        out.append(w.second);
    }
    put32v(crc32(out.constData(), out.size()));
    out.append(kJournalEnd, 8);
    return out;
}

bool Journal::decode(const QByteArray &data, Journal *j)
{
    const auto *d = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype len = data.size();
    if (len < 8 + 4 + 8 + 12 + 4 + 8 || std::memcmp(d, kJournalMagic, 8) != 0
        || std::memcmp(d + len - 8, kJournalEnd, 8) != 0)
        return false;
    const qsizetype body = len - 12;
    if (crc32(data.constData(), body) != qFromLittleEndian<quint32>(d + body))
        return false;
    const auto get64 = [d](qsizetype at) { return qFromLittleEndian<quint64>(d + at); };
    const quint32 count = qFromLittleEndian<quint32>(d + 8);
    j->finalLength = qint64(get64(12));
    j->headerLength = qFromLittleEndian<quint32>(d + 20);
    j->headerBefore = qFromLittleEndian<quint32>(d + 24);
    j->headerAfter = qFromLittleEndian<quint32>(d + 28);
    qsizetype pos = 32;
    for (quint32 i = 0; i < count; ++i) {
        if (pos + 12 > body)
            return false;
        const quint64 off = get64(pos);
        const quint32 n = qFromLittleEndian<quint32>(d + pos + 8);
        pos += 12;
        if (n > quint64(body - pos) || off > (quint64(1) << 40))
            return false;
        j->writes.append({qint64(off), data.mid(pos, n)});
        pos += n;
    }
    return pos == body && j->finalLength >= 0 && j->finalLength < (qint64(1) << 40);
}

void Journal::applyTo(QByteArray &data) const
{
    data.resize(finalLength, '\0');
    for (const auto &w : writes) {
        if (w.first >= finalLength)
            continue;
        const qsizetype n = std::min<qsizetype>(w.second.size(), finalLength - w.first);
        std::memcpy(data.data() + w.first, w.second.constData(), size_t(n));
    }
}

void Journal::applyTo(QFile &f) const
{
    for (const auto &w : writes) {
        QString why;
        if (!f.seek(w.first) || !kw::core::writeAll(f, w.second, &why))
            ioError(QStringLiteral("Cannot write table file"), f.fileName(), why.isEmpty() ? f.errorString() : why);
    }
    if (f.size() != finalLength && !f.resize(finalLength))
        ioError(QStringLiteral("Cannot write table file"), f.fileName(), f.errorString());
    syncFile(f);
}

} // namespace kw::data::px
