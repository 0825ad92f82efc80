#include "data/engine/paradox/pxformat.h"

#include "data/engine/fieldvalue.h"
#include "data/engine/paradox/pxcodepages.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>
#include <cmath>

namespace kw::data::px {

bool isKnownType(unsigned char code)
{
    switch (code) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06: case 0x09:
    case 0x0C: case 0x0D: case 0x0E: case 0x0F: case 0x10: case 0x14: case 0x15:
    case 0x16: case 0x17: case 0x18:
        return true;
    default:
        return false;
    }
}

QChar typeLetter(FieldType type)
{
    switch (type) {
    case FieldType::Alpha: return 'A';
    case FieldType::Date: return 'D';
    case FieldType::Short: return 'S';
    case FieldType::Long: return 'I';
    case FieldType::Currency: return '$';
    case FieldType::Number: return 'N';
    case FieldType::Logical: return 'L';
    case FieldType::Memo: return 'M';
    case FieldType::Blob: return 'B';
    case FieldType::FmtMemo: return 'F';
    case FieldType::Ole: return 'O';
    case FieldType::Graphic: return 'G';
    case FieldType::Time: return 'T';
    case FieldType::Timestamp: return '@';
    case FieldType::AutoInc: return '+';
    case FieldType::Bcd: return '#';
    case FieldType::Bytes: return 'Y';
    }
    return '?';
}

// ---- cipher ---------------------------------------------------------------

static void chunkTransform(uchar *chunk, uchar a, uchar b, uchar c, uchar d, bool encrypt)
{
    uchar in[256];
    std::memcpy(in, chunk, 256);
    for (int x = 0; x < 256; ++x) {
        const int y = (kCryptC[x] - d) & 0xFF;
        const uchar mask = kCryptA[(x + a) & 0xFF] ^ kCryptB[(y + b) & 0xFF] ^ kCryptC[(y + c) & 0xFF];
        if (encrypt)
            chunk[y] = in[x] ^ mask;
        else
            chunk[x] = in[y] ^ mask;
    }
}

static void blockTransform(uchar *data, int size, quint32 checksum, quint32 blockNo, bool encrypt)
{
    const uchar a = uchar(checksum & 0xFF), b = uchar((checksum >> 8) & 0xFF);
    for (int i = 0; i + 256 <= size; i += 256)
        chunkTransform(data + i, a, b, uchar(i / 256), uchar(blockNo & 0xFF), encrypt);
}

void encryptBlock(uchar *data, int size, quint32 checksum, quint32 blockNo)
{
    blockTransform(data, size, checksum, blockNo, true);
}

void decryptBlock(uchar *data, int size, quint32 checksum, quint32 blockNo)
{
    blockTransform(data, size, checksum, blockNo, false);
}

quint32 passwordChecksum(const QByteArray &password)
{
    const int len = int(password.size());
    if (len == 0)
        return 0;
    const auto *pw = reinterpret_cast<const uchar *>(password.constData());
    uchar p1[256];
    for (int i = 0; i < 256; ++i)
        p1[i] = pw[i % len];
    chunkTransform(p1, p1[0], p1[1], p1[2], p1[3], true);
    const quint32 low16 = quint32(p1[0]) | (quint32(p1[1]) << 8);

    uchar p2[256];
    const int n = std::min(len, 256);
    std::memcpy(p2, pw, size_t(n));
    for (int i = n; i < 256; ++i)
        p2[i] = kCryptA[p2[i - n]] ^ uchar(i);
    chunkTransform(p2, p2[0], p2[20], p2[40], p2[255], true);
    uchar e = 0, o = 0;
    for (int i = 0; i < 256; i += 2) {
        e ^= p2[i];
        o ^= p2[i + 1];
    }
    quint32 high16 = (quint32(o) << 8) | e;
    if (high16 == 0)
        high16 = 1;
    return (high16 << 16) | low16;
}

// ---- text -------------------------------------------------------------------

static const char16_t *highHalf(int codePage)
{
    switch (codePage) {
    case 437: return kCp437High;
    case 850: return kCp850High;
    case 1252: return kCp1252High;
    default: return nullptr;
    }
}

QString decodeText(const uchar *p, int len, int codePage)
{
    int n = 0;
    while (n < len && p[n] != 0)
        ++n;
    QString s(n, Qt::Uninitialized);
    const char16_t *high = highHalf(codePage);
    for (int i = 0; i < n; ++i)
        s[i] = p[i] < 0x80 || !high ? QChar(p[i]) : QChar(high[p[i] - 0x80]);
    return s;
}

QByteArray encodeText(const QString &text, int codePage)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    const char16_t *high = highHalf(codePage);
    qsizetype n = 0;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == 0)
            break; // a NUL ends the stored text
        uchar b = '?';
        if (u < 0x80) {
            b = uchar(u);
        } else if (!high) {
            if (u < 0x100)
                b = uchar(u);
        } else {
            for (int i = 0; i < 128; ++i)
                if (high[i] == u) {
                    b = uchar(0x80 + i);
                    break;
                }
        }
        out[n++] = char(b);
    }
    out.truncate(n);
    return out;
}

// ---- values -------------------------------------------------------------------

qint64 dayNumber(const QDate &d) { return d.toJulianDay() - 1721425; }
QDate dateFromDayNumber(qint64 n) { return QDate::fromJulianDay(n + 1721425); }

static bool allZero(const uchar *p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

static qint64 readSortableInt(const uchar *p, int n)
{
    quint64 v = p[0] ^ 0x80;
    for (int i = 1; i < n; ++i)
        v = (v << 8) | p[i];
    // sign-extend from n bytes
    const int shift = 64 - 8 * n;
    return qint64(v << shift) >> shift;
}

static void writeSortableInt(uchar *p, int n, qint64 v)
{
    for (int i = n - 1; i >= 0; --i) {
        p[i] = uchar(v & 0xFF);
        v >>= 8;
    }
    p[0] ^= 0x80;
}

static double readSortableDouble(const uchar *p)
{
    uchar b[8];
    std::memcpy(b, p, 8);
    if (b[0] & 0x80) {
        b[0] &= 0x7F;
    } else {
        for (uchar &x : b)
            x = uchar(~x);
    }
    quint64 bits = 0;
    for (uchar x : b)
        bits = (bits << 8) | x;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

static void writeSortableDouble(uchar *p, double d)
{
    if (d == 0.0)
        d = 0.0; // -0.0 is stored as +0.0
    quint64 bits;
    std::memcpy(&bits, &d, 8);
    if (bits & 0x8000000000000000ULL)
        bits = ~bits;
    else
        bits |= 0x8000000000000000ULL;
    for (int i = 7; i >= 0; --i) {
        p[i] = uchar(bits & 0xFF);
        bits >>= 8;
    }
}

QVariant decodeValue(FieldType type, const uchar *p, int size, int codePage)
{
    switch (type) {
    case FieldType::Alpha:
        if (p[0] == 0)
            return QVariant(QMetaType::fromType<QString>());
        return decodeText(p, size, codePage);
    case FieldType::Short:
        if (size != 2 || allZero(p, 2))
            return QVariant(QMetaType::fromType<int>());
        return int(readSortableInt(p, 2));
    case FieldType::Long:
    case FieldType::AutoInc:
        if (size != 4 || allZero(p, 4))
            return QVariant(QMetaType::fromType<int>());
        return int(readSortableInt(p, 4));
    case FieldType::Date: {
        if (size != 4 || allZero(p, 4))
            return QVariant(QMetaType::fromType<QDate>());
        return dateFromDayNumber(readSortableInt(p, 4));
    }
    case FieldType::Time: {
        if (size != 4 || allZero(p, 4))
            return QVariant(QMetaType::fromType<QTime>());
        const qint64 ms = readSortableInt(p, 4);
        if (ms < 0 || ms >= 86400000)
            return QVariant(QMetaType::fromType<QTime>());
        return QTime::fromMSecsSinceStartOfDay(int(ms));
    }
    case FieldType::Number:
    case FieldType::Currency:
        if (size != 8 || allZero(p, 8))
            return QVariant(QMetaType::fromType<double>());
        return readSortableDouble(p);
    case FieldType::Timestamp: {
        if (size != 8 || allZero(p, 8))
            return QVariant(QMetaType::fromType<QDateTime>());
        const double ms = readSortableDouble(p);
        if (!std::isfinite(ms) || ms < 0 || ms > 4.0e15)
            return QVariant(QMetaType::fromType<QDateTime>());
        const qint64 total = qint64(std::llround(ms));
        const QDate d = dateFromDayNumber(total / 86400000);
        const QTime t = QTime::fromMSecsSinceStartOfDay(int(total % 86400000));
        return QDateTime(d, t, Qt::UTC);
    }
    case FieldType::Logical:
        if (p[0] == 0)
            return QVariant(QMetaType::fromType<bool>());
        return p[0] != 0x80;
    case FieldType::Bcd:
        if (p[0] == 0)
            return QVariant(QMetaType::fromType<QByteArray>());
        return QByteArray(reinterpret_cast<const char *>(p), size);
    default: // memo, blob, bytes: the stored bytes as they are
        if (allZero(p, size))
            return QVariant(QMetaType::fromType<QByteArray>());
        return QByteArray(reinterpret_cast<const char *>(p), size);
    }
}

namespace {

// Each encoder below writes a value of its type, or gives the reason it
// cannot be stored and returns false.
bool refuse(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return false;
}

bool encodeInteger(int size, const QVariant &value, uchar *dest, QString *why)
{
    bool ok = true;
    const qlonglong v = value.toLongLong(&ok);
    const auto range = *fieldvalue::integerRange(size == 2 ? FieldType::Short : FieldType::Long);
    if (!ok || v < range.lo || v > range.hi)
        return refuse(why, QStringLiteral("value out of range"));
    writeSortableInt(dest, size, v);
    return true;
}

bool encodeDate(const QVariant &value, uchar *dest, QString *why)
{
    const QDate d = value.toDate();
    if (!d.isValid())
        return refuse(why, QStringLiteral("invalid date"));
    const qint64 n = dayNumber(d);
    if (n < 1 || n > 2147483647LL)
        return refuse(why, QStringLiteral("date out of range"));
    writeSortableInt(dest, 4, n);
    return true;
}

bool encodeTime(const QVariant &value, uchar *dest, QString *why)
{
    const QTime t = value.toTime();
    if (!t.isValid())
        return refuse(why, QStringLiteral("invalid time"));
    writeSortableInt(dest, 4, t.msecsSinceStartOfDay());
    return true;
}

bool encodeNumber(const QVariant &value, uchar *dest, QString *why)
{
    bool ok = true;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return refuse(why, QStringLiteral("invalid number"));
    writeSortableDouble(dest, d);
    return true;
}

bool encodeTimestamp(const QVariant &value, uchar *dest, QString *why)
{
    const QDateTime dt = value.toDateTime();
    if (!dt.isValid() || dayNumber(dt.date()) < 1)
        return refuse(why, QStringLiteral("invalid timestamp"));
    const double ms = double(dayNumber(dt.date())) * 86400000.0 + dt.time().msecsSinceStartOfDay();
    writeSortableDouble(dest, ms);
    return true;
}

// Text and raw bytes: as many as fit, the rest of the field stays zero.
void encodeBytes(const QByteArray &b, int size, uchar *dest)
{
    std::memcpy(dest, b.constData(), size_t(std::min<qsizetype>(b.size(), size)));
}

} // namespace

bool encodeValue(FieldType type, int size, const QVariant &value, uchar *dest, int codePage,
                 QString *why)
{
    std::memset(dest, 0, size_t(size));
    if (value.isNull() || !value.isValid())
        return true;
    switch (type) {
    case FieldType::Alpha:
        encodeBytes(encodeText(value.toString(), codePage), size, dest);
        return true;
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc:
        return encodeInteger(size, value, dest, why);
    case FieldType::Date:
        return encodeDate(value, dest, why);
    case FieldType::Time:
        return encodeTime(value, dest, why);
    case FieldType::Number:
    case FieldType::Currency:
        return encodeNumber(value, dest, why);
    case FieldType::Timestamp:
        return encodeTimestamp(value, dest, why);
    case FieldType::Logical:
        dest[0] = value.toBool() ? 0x81 : 0x80;
        return true;
    default:
        encodeBytes(value.toByteArray(), size, dest);
        return true;
    }
}

// ---- CRC-32 ------------------------------------------------------------------

quint32 crc32(const char *data, qsizetype len, quint32 crc)
{
    static quint32 table[256];
    static bool ready = [] {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    Q_UNUSED(ready);
    crc = ~crc;
    for (qsizetype i = 0; i < len; ++i)
        crc = table[(crc ^ uchar(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

} // namespace kw::data::px
