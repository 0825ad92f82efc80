#include "archive/format.h"

#include "archive/encoding.h"
#include "archive/errors.h"

#include <QFileInfo>
#include <cstring>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kw::archive {

static const QString kReadError = QStringLiteral("Stream read error");
static const QString kWriteError = QStringLiteral("Stream write error");
static const QString kRangeError = QStringLiteral("Range check error");

int TFileEntry::entrySize() const
{
    return kEntryFixedSize + int(toAnsi(Name).size());
}

void encodeText20(unsigned char *p, const QString &s)
{
    std::memset(p, 0, 21);
    const QByteArray b = toAnsi(s).left(20);
    p[0] = uint8_t(b.size());
    std::memcpy(p + 1, b.constData(), size_t(b.size()));
}

QString decodeText20(const unsigned char *p)
{
    const int n = p[0] > 20 ? 20 : p[0];
    return fromAnsi(QByteArray(reinterpret_cast<const char *>(p + 1), n));
}

static void putTotals(unsigned char *p, const TTotals &t)
{
    putI32(p, t.FileCount);
    doubleToExt80(t.Size, p + 4);
    doubleToExt80(t.CompressedSize, p + 14);
}

static TTotals getTotals(const unsigned char *p)
{
    TTotals t;
    t.FileCount = getI32(p);
    t.Size = ext80ToDouble(p + 4);
    t.CompressedSize = ext80ToDouble(p + 14);
    return t;
}

QByteArray encodeUserData(const TUserData &u)
{
    QByteArray out(132, '\0');
    auto *p = reinterpret_cast<unsigned char *>(out.data());
    encodeText20(p + 0, u.UserName);
    encodeText20(p + 21, u.UserCompany);
    encodeText20(p + 42, u.SerialNumber);
    encodeText20(p + 63, u.BackupName);
    putF64(p + 84, u.BackupDate);
    putI32(p + 92, u.ProductId);
    putI32(p + 96, u.ProductVersion);
    std::memcpy(p + 100, u.Reserved.constData(), size_t(qMin<qsizetype>(32, u.Reserved.size())));
    return out;
}

TUserData decodeUserData(const unsigned char *p)
{
    TUserData u;
    u.UserName = decodeText20(p + 0);
    u.UserCompany = decodeText20(p + 21);
    u.SerialNumber = decodeText20(p + 42);
    u.BackupName = decodeText20(p + 63);
    u.BackupDate = getF64(p + 84);
    u.ProductId = getI32(p + 92);
    u.ProductVersion = getI32(p + 96);
    u.Reserved = QByteArray(reinterpret_cast<const char *>(p + 100), 32);
    return u;
}

QByteArray encodeHeader(const TArchiveHeader &h)
{
    QByteArray out(kFixedHeaderSize + h.Comment.size(), '\0');
    auto *p = reinterpret_cast<unsigned char *>(out.data());
    putU32(p + 0, h.Signature);
    putI32(p + 4, h.Version);
    putU32(p + 8, h.ArchiveId);
    putI32(p + 12, h.BlockSize);
    putI32(p + 16, h.DataEnd);
    putU32(p + 20, h.Segment);
    p[24] = h.Flags;
    putTotals(p + 25, h.ArchiveTotals);
    putTotals(p + 49, h.SegmentTotals);
    const QByteArray ud = encodeUserData(h.UserData);
    std::memcpy(p + 73, ud.constData(), 132);
    std::memcpy(p + 205, h.Reserved.constData(), size_t(qMin<qsizetype>(64, h.Reserved.size())));
    putI32(p + 269, int32_t(h.Comment.size()));
    std::memcpy(p + 273, h.Comment.constData(), size_t(h.Comment.size()));
    return out;
}

QByteArray encodeEntry(const TFileEntry &e)
{
    const QByteArray name = toAnsi(e.Name);
    const int n = int(name.size());
    QByteArray out(kEntryFixedSize + n, '\0');
    auto *p = reinterpret_cast<unsigned char *>(out.data());
    putI32(p, n);
    std::memcpy(p + 4, name.constData(), size_t(n));
    p += n;
    doubleToExt80(e.Date, p + 4);
    putI32(p + 14, e.Attributes);
    putU16(p + 18, e.StartSegment);
    putI32(p + 20, e.EntryOffset);
    putI32(p + 24, e.PartOffset);
    p[28] = e.Flags;
    putI32(p + 29, e.Size);
    putI32(p + 33, e.CompressedSize);
    putI32(p + 37, e.PartSize);
    putI32(p + 41, e.PartCompressedSize);
    return out;
}

bool readHeader(ArchiveStream &s, TArchiveHeader &h)
{
    unsigned char p[kFixedHeaderSize];
    s.readExact(p, 4);
    h.Signature = getU32(p);
    if (h.Signature != kSignature)
        return false;
    s.readExact(p + 4, kFixedHeaderSize - 4);
    h.Version = getI32(p + 4);
    h.ArchiveId = getU32(p + 8);
    h.BlockSize = getI32(p + 12);
    h.DataEnd = getI32(p + 16);
    h.Segment = getU32(p + 20);
    if (h.Segment > 65535)
        throw EStreamError(kRangeError);
    h.Flags = p[24];
    h.ArchiveTotals = getTotals(p + 25);
    h.SegmentTotals = getTotals(p + 49);
    h.UserData = decodeUserData(p + 73);
    h.Reserved = QByteArray(reinterpret_cast<const char *>(p + 205), 64);
    const int32_t n = getI32(p + 269);
    if (n < 0 || n > s.size() - s.pos())
        throw EStreamError(kReadError);
    h.Comment = QByteArray(n, '\0');
    s.readExact(h.Comment.data(), n);
    return true;
}

void writeHeaderBytes(ArchiveStream &s, const TArchiveHeader &h)
{
    const QByteArray b = encodeHeader(h);
    s.seek(0);
    s.write(b.constData(), b.size());
}

void readEntry(ArchiveStream &s, TFileEntry &e, qint64 maxNameLength)
{
    unsigned char head[4];
    s.readExact(head, 4);
    const int32_t n = getI32(head);
    if (n < 0 || n > maxNameLength || n > s.size() - s.pos())
        throw EStreamError(kReadError);
    QByteArray buf(kEntryFixedSize - 4 + n, '\0');
    s.readExact(buf.data(), buf.size());
    e.Name = fromAnsi(QByteArray(buf.constData(), n));
    // p[k] is the byte at entry offset n + k (the fields after the name).
    const auto *base = reinterpret_cast<const unsigned char *>(buf.constData()) + n;
    auto p = [base](int k) { return base + (k - 4); };
    e.Date = ext80ToDouble(p(4));
    e.Attributes = getI32(p(14));
    e.StartSegment = getU16(p(18));
    e.EntryOffset = getI32(p(20));
    e.PartOffset = getI32(p(24));
    e.Flags = *p(28);
    e.Size = getI32(p(29));
    e.CompressedSize = getI32(p(33));
    e.PartSize = getI32(p(37));
    e.PartCompressedSize = getI32(p(41));
}

void writeEntryBytes(ArchiveStream &s, const TFileEntry &e)
{
    const QByteArray b = encodeEntry(e);
    s.write(b.constData(), b.size());
}

// ---- ArchiveStream: an unbuffered QFile, so block transfers go straight to
// the operating system without a second copy through a buffer layer.

ArchiveStream::~ArchiveStream()
{
    close();
}

bool ArchiveStream::open(const QString &path, Mode mode)
{
    close();
    if (QFileInfo(path).isDir())
        return false;
    m_file.setFileName(path);
    QIODevice::OpenMode m = QIODevice::Unbuffered;
    switch (mode) {
    case Mode::Create: m |= QIODevice::ReadWrite | QIODevice::Truncate; break;
    case Mode::ReadWrite: m |= QIODevice::ReadWrite | QIODevice::ExistingOnly; break;
    case Mode::ReadOnly: m |= QIODevice::ReadOnly | QIODevice::ExistingOnly; break;
    }
    if (!m_file.open(m))
        return false;
    m_readOnly = mode == Mode::ReadOnly;
    m_path = path;
    return true;
}

void ArchiveStream::close()
{
    if (m_file.isOpen())
        m_file.close();
}

qint64 ArchiveStream::pos() const
{
    return m_file.isOpen() ? m_file.pos() : 0;
}

qint64 ArchiveStream::size() const
{
    return m_file.isOpen() ? m_file.size() : 0;
}

void ArchiveStream::seek(qint64 pos)
{
    if (!m_file.isOpen() || pos < 0 || !m_file.seek(pos))
        throw EStreamError(kReadError);
}

void ArchiveStream::readExact(void *buf, qint64 n)
{
    if (!m_file.isOpen() || n < 0)
        throw EStreamError(kReadError);
    auto *p = static_cast<char *>(buf);
    qint64 done = 0;
    while (done < n) {
        const qint64 r = m_file.read(p + done, n - done);
        if (r <= 0)
            throw EStreamError(kReadError);
        done += r;
    }
}

void ArchiveStream::write(const void *buf, qint64 n)
{
    if (!m_file.isOpen() || m_readOnly || n < 0)
        throw EStreamError(kWriteError);
    if (m_file.write(static_cast<const char *>(buf), n) != n)
        throw EStreamError(kWriteError);
}

void ArchiveStream::flush()
{
    if (m_file.isOpen() && !m_readOnly) {
        m_file.flush();
#ifdef Q_OS_UNIX
        ::fsync(m_file.handle());
#endif
    }
}

} // namespace kw::archive
