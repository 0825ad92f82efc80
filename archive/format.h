#pragma once
// The archive file format: header with the user-data record, file entries,
// block frames, and the file stream the component reads and writes them with.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <memory>

namespace kw::archive {

constexpr uint32_t kSignature = 4664; // bytes 38 12 00 00
constexpr int kFormatVersion = 1;
constexpr int kFixedHeaderSize = 273; // without the comment's bytes
constexpr int kEntryFixedSize = 45;   // without the name's bytes
constexpr int kFrameHeadSize = 8;

enum ArchiveFlag : uint8_t {
    afCrypted = 0x01,
    afCompressed = 0x02,
    afSolid = 0x04,
    afReadOnly = 0x08,
    afFinalSegment = 0x10,
};

enum EntryFlag : uint8_t {
    efFile = 0x01,
    efFolder = 0x02,
    efComplete = 0x04,
    efEncrypted = 0x08,
};

// Windows attribute bits as stored in entries.
enum FileAttribute : int32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faDirectory = 0x10,
    faArchive = 0x20,
};

struct TTotals {
    int32_t FileCount = 0;
    double Size = 0;           // ext80 on disk
    double CompressedSize = 0; // ext80 on disk
    bool operator==(const TTotals &) const = default;
};

struct TUserData {
    QString UserName;     // text20
    QString UserCompany;  // text20
    QString SerialNumber; // text20
    QString BackupName;   // text20
    double BackupDate = 0; // date64
    int32_t ProductId = 0;
    int32_t ProductVersion = 0;
    QByteArray Reserved = QByteArray(32, '\0');
};

struct TArchiveHeader {
    uint32_t Signature = kSignature;
    int32_t Version = kFormatVersion;
    uint32_t ArchiveId = 0;
    int32_t BlockSize = 0;
    int32_t DataEnd = 0;
    uint32_t Segment = 0;
    uint8_t Flags = 0;
    TTotals ArchiveTotals;
    TTotals SegmentTotals;
    TUserData UserData;
    QByteArray Reserved = QByteArray(64, '\0');
    QByteArray Comment; // raw ANSI bytes

    int headerSize() const { return kFixedHeaderSize + int(Comment.size()); }
};

struct TFileEntry {
    QString Name;
    double Date = 0; // ext80 on disk, OLE date
    int32_t Attributes = 0;
    uint16_t StartSegment = 0;
    int32_t EntryOffset = 0;
    int32_t PartOffset = 0;
    uint8_t Flags = 0;
    int32_t Size = 0;
    int32_t CompressedSize = 0;
    int32_t PartSize = 0;
    int32_t PartCompressedSize = 0;

    int entrySize() const;
};

// Serialisation of the structures (byte-exact, little-endian, packed).
QByteArray encodeHeader(const TArchiveHeader &h);
QByteArray encodeUserData(const TUserData &u);
TUserData decodeUserData(const unsigned char *p);
QByteArray encodeEntry(const TFileEntry &e);
void encodeText20(unsigned char *p, const QString &s);
QString decodeText20(const unsigned char *p);

// One segment file. Every failure throws EStreamError with the runtime's text.
class ArchiveStream {
public:
    ArchiveStream() = default;
    ~ArchiveStream();
    ArchiveStream(const ArchiveStream &) = delete;
    ArchiveStream &operator=(const ArchiveStream &) = delete;

    enum class Mode { Create, ReadWrite, ReadOnly };
    // Returns false when the file cannot be opened in that mode.
    bool open(const QString &path, Mode mode);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    bool isReadOnly() const { return m_readOnly; }
    const QString &path() const { return m_path; }

    qint64 pos() const;
    qint64 size() const;
    void seek(qint64 pos);
    void readExact(void *buf, qint64 n);  // "Stream read error" when short
    void write(const void *buf, qint64 n); // "Stream write error" when short
    void flush(); // to the disk; "Stream write error. <reason>" when that fails

private:
    QFile m_file;
    bool m_readOnly = false;
    QString m_path;
};

// Header and entry I/O on a stream at its current position.
// readHeader returns false (reading nothing more) on a wrong signature.
bool readHeader(ArchiveStream &s, TArchiveHeader &h);
void writeHeaderBytes(ArchiveStream &s, const TArchiveHeader &h);
// Reads an entry; maxNameLength bounds the name count so damaged counts fail
// cleanly instead of allocating.
void readEntry(ArchiveStream &s, TFileEntry &e, qint64 maxNameLength);
void writeEntryBytes(ArchiveStream &s, const TFileEntry &e);

} // namespace kw::archive
