// Reading the header of a table or index file. Everything it says is
// checked against the file and against itself before it is used: a damaged
// header is refused with the reason, never read past its end.
#include "data/engine/engineerror.h"
#include "data/engine/paradox/pxfile.h"
#include "data/engine/paradox/pxformat.h"

#include <QDir>
#include <QtEndian>

namespace kw::data::px {

int levelOfVersion(int v)
{
    if (v <= 4)
        return 3;
    if (v <= 9)
        return 4;
    if (v <= 0x0B)
        return 5;
    return 7;
}

namespace {

int fixedSize(unsigned char code)
{
    switch (code) {
    case 0x02: case 0x04: case 0x14: case 0x16: return 4;
    case 0x03: return 2;
    case 0x05: case 0x06: case 0x15: return 8;
    case 0x09: return 1;
    default: return 0;
    }
}

[[noreturn]] void corrupt(const QString &path, const QString &why)
{
    throw EngineError(QStringLiteral("The table or index header is damaged: %1.\nFile: %2")
                          .arg(why, QDir::toNativeSeparators(path)));
}

// The part every file has at the same offsets.
FileHeader readFixedPart(const uchar *d)
{
    FileHeader h;
    h.recordSize = qFromLittleEndian<quint16>(d);
    h.headerSize = qFromLittleEndian<quint16>(d + 2);
    h.fileType = d[4];
    h.blockSizeCode = d[5];
    h.blockSize = h.blockSizeCode * 1024;
    h.numRecords = qFromLittleEndian<quint32>(d + 6);
    h.usedBlocks = qFromLittleEndian<quint16>(d + 0x0A);
    h.fileBlocks = qFromLittleEndian<quint16>(d + 0x0C);
    h.firstBlock = qFromLittleEndian<quint16>(d + 0x0E);
    h.lastBlock = qFromLittleEndian<quint16>(d + 0x10);
    h.indexFieldNumber = d[0x15];
    h.indexRoot = qFromLittleEndian<quint16>(d + 0x1E);
    h.indexLevels = d[0x20];
    h.numFields = qFromLittleEndian<qint16>(d + 0x21);
    h.keyFieldCount = qFromLittleEndian<qint16>(d + 0x23);
    h.sortId = d[0x29];
    h.version = d[0x39];
    h.autoIncrement = qFromLittleEndian<quint32>(d + 0x49);
    h.firstFreeBlock = qFromLittleEndian<quint16>(d + 0x4D);
    h.indexFlags = d[0x55];
    return h;
}

// The sizes and counts that everything after the fixed part relies on.
void checkFixedPart(const FileHeader &h, bool indexFile, qsizetype len, const QString &path)
{
    if (h.version < 3 || h.version > 0x0C)
        corrupt(path, QStringLiteral("unknown file version %1").arg(h.version));
    if (h.blockSizeCode < 1 || h.blockSizeCode > 32)
        corrupt(path, QStringLiteral("bad block size"));
    if (h.headerSize < 0x58 || h.headerSize > len)
        corrupt(path, QStringLiteral("the header is cut short"));
    if (indexFile ? (h.fileType != 1 && h.fileType != 4)
                  : (h.fileType != 0 && h.fileType != 2 && h.fileType != 3 && h.fileType != 5
                     && h.fileType != 6 && h.fileType != 8))
        corrupt(path, QStringLiteral("unexpected file type %1").arg(h.fileType));
    if (h.recordSize < 1 || h.recordSize > h.blockSize - 6)
        corrupt(path, QStringLiteral("bad record size"));
    if (h.numFields < 1 || h.numFields > 255 || h.keyFieldCount < 0
        || h.keyFieldCount > h.numFields)
        corrupt(path, QStringLiteral("bad field count"));
}

// Reads the variable part of the header, never past its end.
struct HeaderCursor {
    const uchar *d;
    int pos;
    int end;
    const QString &path;

    void need(int bytes) const
    {
        if (bytes < 0 || pos + bytes > end)
            corrupt(path, QStringLiteral("the field list runs past the header"));
    }

    QByteArray readString()
    {
        const int start = pos;
        while (pos < end && d[pos] != 0)
            ++pos;
        if (pos >= end)
            corrupt(path, QStringLiteral("a name runs past the header"));
        ++pos;
        return QByteArray(reinterpret_cast<const char *>(d + start), pos - start - 1);
    }
};

// The type and size byte of each field; together they must make up the
// record size the header states.
void readFieldDescriptors(FileHeader &h, HeaderCursor &c, bool indexFile)
{
    c.need(2 * h.numFields);
    int sum = 0;
    for (int i = 0; i < h.numFields; ++i) {
        const uchar type = c.d[c.pos + 2 * i], size = c.d[c.pos + 2 * i + 1];
        if (!isKnownType(type))
            corrupt(c.path, QStringLiteral("unknown field type %1").arg(type));
        const int fixed = fixedSize(type);
        if ((fixed && size != fixed) || (!fixed && type != 0x17 && size < 1)
            || (type >= 0x0C && type <= 0x10 && size < 10) || (type == 0x17 && size > 32))
            corrupt(c.path, QStringLiteral("bad size of field %1").arg(i + 1));
        FieldDef f;
        f.type = FieldType(type);
        f.size = storedSize(f.type, size);
        if (f.type == FieldType::Bcd)
            f.decimals = size;
        sum += f.size;
        h.fields.append(f);
        h.sizeBytes.append(size);
    }
    c.pos += 2 * h.numFields;
    if (sum + (indexFile ? 6 : 0) != h.recordSize)
        corrupt(c.path, QStringLiteral("the record size does not match the fields"));
}

// Level 4 and up: the field numbers, the sort order's name and, in a
// named index's data file, the index name.
void readExtension(FileHeader &h, HeaderCursor &c)
{
    c.need(2 * h.numFields);
    for (int i = 0; i < h.numFields; ++i)
        h.fieldNumbers.append(qFromLittleEndian<quint16>(c.d + c.pos + 2 * i));
    c.pos += 2 * h.numFields;
    h.sortName = QString::fromLatin1(c.readString());
    if (h.fileType == 6 || h.fileType == 8) {
        const int at = 0x58 + qFromLittleEndian<quint16>(c.d + 0x68);
        if (at >= 0x78 && at < c.end) {
            c.pos = at;
            h.indexName = QString::fromLatin1(c.readString());
        }
    }
}

} // namespace

FileHeader parseHeader(const QByteArray &data, bool indexFile, const QString &path)
{
    const auto *d = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype len = data.size();
    if (len < 0x58)
        corrupt(path, QStringLiteral("the file is too short"));
    FileHeader h = readFixedPart(d);
    checkFixedPart(h, indexFile, len, path);
    h.level = levelOfVersion(h.version);

    const bool ext = !indexFile && h.version >= 5;
    // The extension repeats the version: a changed version byte would
    // otherwise read the field names from the wrong place.
    if (ext && qFromLittleEndian<quint16>(d + 0x58) != 0x100 + h.version)
        corrupt(path, QStringLiteral("its format version bytes disagree"));
    h.checksum = ext ? qFromLittleEndian<quint32>(d + 0x5C) : qFromLittleEndian<quint32>(d + 0x25);
    h.codePage = ext ? qFromLittleEndian<quint16>(d + 0x6A) : 437;
    HeaderCursor c{d, ext ? 0x78 : 0x58, h.headerSize, path};
    readFieldDescriptors(h, c, indexFile);
    if (indexFile)
        return h;

    const int nameLen = h.version >= 0x0C ? 261 : 79;
    c.need(4 + 4 * h.numFields + nameLen);
    c.pos += 4 + 4 * h.numFields + nameLen;
    for (int i = 0; i < h.numFields; ++i)
        h.fields[i].name = decodeText(reinterpret_cast<const uchar *>(c.readString().constData()),
                                      256, h.codePage ? h.codePage : 437);
    if (ext) {
        readExtension(h, c);
    } else {
        for (int i = 0; i < h.numFields; ++i)
            h.fieldNumbers.append(i + 1);
        h.sortName = h.sortId == 0 ? QStringLiteral("ascii") : QString();
    }
    return h;
}

} // namespace kw::data::px
