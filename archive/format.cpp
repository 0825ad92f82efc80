#include "archive/format.h"

#include "archive/encoding.h"
#include "archive/errors.h"
#include "core/durablefile.h"

#include <QFileInfo>
#include <QtEndian>
#include <cstring>

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
    qToLittleEndian<qint32>(t.FileCount, p);
    doubleToExt80(t.Size, p + 4);
    doubleToExt80(t.CompressedSize, p + 14);
}

static TTotals getTotals(const unsigned char *p)
{
    TTotals t;
    t.FileCount = qFromLittleEndian<qint32>(p);
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
    qToLittleEndian<qint32>(u.ProductId, p + 92);
    qToLittleEndian<qint32>(u.ProductVersion, p + 96);
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
    u.ProductId = qFromLittleEndian<qint32>(p + 92);
    u.ProductVersion = qFromLittleEndian<qint32>(p + 96);
    u.Reserved = QByteArray(reinterpret_cast<const char *>(p + 100), 32);
    return u;
}

QByteArray encodeHeader(const TArchiveHeader &h)
{
    QByteArray out(kFixedHeaderSize + h.Comment.size(), '\0');
    auto *p = reinterpret_cast<unsigned char *>(out.data());
    qToLittleEndian<quint32>(h.Signature, p + 0);
    qToLittleEndian<qint32>(h.Version, p + 4);
    qToLittleEndian<quint32>(h.ArchiveId, p + 8);
    qToLittleEndian<qint32>(h.BlockSize, p + 12);
    qToLittleEndian<qint32>(h.DataEnd, p + 16);
    qToLittleEndian<quint32>(h.Segment, p + 20);
    p[24] = h.Flags;
    putTotals(p + 25, h.ArchiveTotals);
    putTotals(p + 49, h.SegmentTotals);
    const QByteArray ud = encodeUserData(h.UserData);
    std::memcpy(p + 73, ud.constData(), 132);
    std::memcpy(p + 205, h.Reserved.constData(), size_t(qMin<qsizetype>(64, h.Reserved.size())));
    qToLittleEndian<qint32>(int32_t(h.Comment.size()), p + 269);
    std::memcpy(p + 273, h.Comment.constData(), size_t(h.Comment.size()));
    return out;
}

QByteArray encodeEntry(const TFileEntry &e)
{
    const QByteArray name = toAnsi(e.Name);
    const int n = int(name.size());
    QByteArray out(kEntryFixedSize + n, '\0');
    auto *p = reinterpret_cast<unsigned char *>(out.data());
    qToLittleEndian<qint32>(n, p);
    std::memcpy(p + 4, name.constData(), size_t(n));
    p += n;
    doubleToExt80(e.Date, p + 4);
    qToLittleEndian<qint32>(e.Attributes, p + 14);
    qToLittleEndian<quint16>(e.StartSegment, p + 18);
    qToLittleEndian<qint32>(e.EntryOffset, p + 20);
    qToLittleEndian<qint32>(e.PartOffset, p + 24);
    p[28] = e.Flags;
    qToLittleEndian<qint32>(e.Size, p + 29);
    qToLittleEndian<qint32>(e.CompressedSize, p + 33);
    qToLittleEndian<qint32>(e.PartSize, p + 37);
    qToLittleEndian<qint32>(e.PartCompressedSize, p + 41);
    return out;
}

bool readHeader(ArchiveStream &s, TArchiveHeader &h)
{
    unsigned char p[kFixedHeaderSize];
    s.readExact(p, 4);
    h.Signature = qFromLittleEndian<quint32>(p);
    if (h.Signature != kSignature)
        return false;
    s.readExact(p + 4, kFixedHeaderSize - 4);
    h.Version = qFromLittleEndian<qint32>(p + 4);
    h.ArchiveId = qFromLittleEndian<quint32>(p + 8);
    h.BlockSize = qFromLittleEndian<qint32>(p + 12);
    h.DataEnd = qFromLittleEndian<qint32>(p + 16);
    h.Segment = qFromLittleEndian<quint32>(p + 20);
    if (h.Segment > 65535)
        throw EStreamError(kRangeError);
    h.Flags = p[24];
    h.ArchiveTotals = getTotals(p + 25);
    h.SegmentTotals = getTotals(p + 49);
    h.UserData = decodeUserData(p + 73);
    h.Reserved = QByteArray(reinterpret_cast<const char *>(p + 205), 64);
    const int32_t n = qFromLittleEndian<qint32>(p + 269);
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
    const int32_t n = qFromLittleEndian<qint32>(head);
    if (n < 0 || n > maxNameLength || n > s.size() - s.pos())
        throw EStreamError(kReadError);
    QByteArray buf(kEntryFixedSize - 4 + n, '\0');
    s.readExact(buf.data(), buf.size());
    e.Name = fromAnsi(QByteArray(buf.constData(), n));
    // p[k] is the byte at entry offset n + k (the fields after the name).
    const auto *base = reinterpret_cast<const unsigned char *>(buf.constData()) + n;
    auto p = [base](int k) { return base + (k - 4); };
    e.Date = ext80ToDouble(p(4));
    e.Attributes = qFromLittleEndian<qint32>(p(14));
    e.StartSegment = qFromLittleEndian<quint16>(p(18));
    e.EntryOffset = qFromLittleEndian<qint32>(p(20));
    e.PartOffset = qFromLittleEndian<qint32>(p(24));
    e.Flags = *p(28);
    e.Size = qFromLittleEndian<qint32>(p(29));
    e.CompressedSize = qFromLittleEndian<qint32>(p(33));
    e.PartSize = qFromLittleEndian<qint32>(p(37));
    e.PartCompressedSize = qFromLittleEndian<qint32>(p(41));
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
    // The system's reason ("No space left on device") goes with the error.
    QString why;
    if (!kw::core::writeAll(m_file, static_cast<const char *>(buf), n, &why))
        throw EStreamError(kWriteError + QStringLiteral(". ") + why);
}

void ArchiveStream::flush()
{
    QString reason;
    if (m_file.isOpen() && !m_readOnly && !kw::core::syncFile(m_file, &reason))
        throw EStreamError(kWriteError + QStringLiteral(". ") + reason);
}

} // namespace kw::archive
