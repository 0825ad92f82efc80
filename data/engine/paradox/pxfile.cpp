// The files a table derives: headers of new files, the primary index, the
// secondary indexes and the .VAL file, built whole from the table's records
// (reading a header is pxheader.cpp).
#include "data/engine/paradox/pxfile.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/pxformat.h"

#include <QtEndian>
#include <algorithm>
#include <numeric>

namespace kw::data::px {

int TableInfo::recordSize() const
{
    int n = 0;
    for (const FieldDef &f : def.fields)
        n += f.size;
    return n;
}

// ---- building headers -------------------------------------------------------------

namespace {

struct HeaderParams {
    bool indexLayout = false; // .PX/.Y*
    int fileType = 0;
    int blockSizeCode = 2;
    int recordSize = 0;
    int version = 0x0C;
    QVector<QPair<int, int>> desc; // type code, size byte
    QStringList names;
    QVector<int> fieldNumbers;
    int keyFieldCount = 0;
    quint32 checksum = 0;
    int sortId = 0;
    QByteArray sortName;
    int codePage = 437;
    QByteArray tableName;
    QByteArray indexName;
    int indexFieldNumber = 0;
    int stamp2C = 0, cc1 = 0, cc2 = 0, stamp2F = 0;
    quint32 updateTime = 0;
    int nextFieldId = 0;
    quint32 autoInc = 0;
    int flags55 = 0;
    int counter12 = 6;
    quint32 numRecords = 0;
    int blocks = 0;
    int indexRoot = 0, indexLevels = 0;
};

// What follows the fixed part: the field descriptors, the table name and,
// in a table or index data file, the field names; from level 4 on also the
// field numbers, the sort order's name and the index name. The offsets of
// those last three are stored in the fixed part.
struct VariablePart {
    QByteArray bytes;
    int fieldNumbersOff = 0, sortOff = 0, indexNameOff = 0;
};

VariablePart variablePart(const HeaderParams &p, int base, int nameLen, bool ext)
{
    VariablePart v;
    QByteArray &var = v.bytes;
    for (const auto &dsc : p.desc) {
        var.append(char(dsc.first));
        var.append(char(dsc.second));
    }
    var.append(4, '\0');
    if (!p.indexLayout)
        var.append(4 * p.desc.size(), '\0');
    QByteArray tn = p.tableName.left(nameLen - 1);
    var.append(tn);
    var.append(nameLen - tn.size(), '\0');
    if (p.indexLayout)
        return v;
    for (const QString &name : p.names) {
        var.append(encodeText(name, p.codePage));
        var.append('\0');
    }
    if (ext) {
        v.fieldNumbersOff = base + var.size();
        for (int fnum : p.fieldNumbers) {
            var.append(char(fnum & 0xFF));
            var.append(char((fnum >> 8) & 0xFF));
        }
        v.sortOff = base + var.size();
        var.append(p.sortName);
        var.append('\0');
        if (!p.indexName.isEmpty()) {
            v.indexNameOff = base + var.size();
            var.append(p.indexName);
            var.append('\0');
        }
    }
    return v;
}

void writeFixedPart(uchar *d, const HeaderParams &p, int headerSize, int realSize, int nameLen, bool ext)
{
    const int n = int(p.desc.size());
    qToLittleEndian<quint16>(quint16(p.recordSize), d);
    qToLittleEndian<quint16>(quint16(headerSize), d + 2);
    d[4] = uchar(p.fileType);
    d[5] = uchar(p.blockSizeCode);
    qToLittleEndian<quint32>(p.numRecords, d + 6);
    qToLittleEndian<quint16>(quint16(p.blocks), d + 0x0A);
    qToLittleEndian<quint16>(quint16(p.blocks), d + 0x0C);
    qToLittleEndian<quint16>(quint16(p.blocks ? 1 : 0), d + 0x0E);
    qToLittleEndian<quint16>(quint16(p.blocks), d + 0x10);
    d[0x12] = uchar(p.counter12);
    d[0x15] = uchar(p.indexFieldNumber);
    qToLittleEndian<quint16>(quint16(p.indexRoot), d + 0x1E);
    d[0x20] = uchar(p.indexLevels);
    qToLittleEndian<quint16>(quint16(n), d + 0x21);
    qToLittleEndian<quint16>(quint16(p.keyFieldCount), d + 0x23);
    qToLittleEndian<quint32>(ext ? 0xFF00FF00U : p.checksum, d + 0x25);
    d[0x29] = uchar(p.sortId);
    d[0x2C] = uchar(p.stamp2C);
    d[0x2D] = uchar(p.cc1);
    d[0x2E] = uchar(p.cc2);
    d[0x2F] = uchar(p.stamp2F);
    d[0x39] = uchar(p.version);
    qToLittleEndian<quint16>(quint16(p.blocks), d + 0x3A);
    if (!p.indexLayout && !p.checksum)
        qToLittleEndian<quint16>(0x0F1F, d + 0x3E);
    qToLittleEndian<quint32>(p.autoInc, d + 0x49);
    qToLittleEndian<quint16>(quint16(p.indexLayout ? 0x58 + 2 * n + 4 + nameLen : realSize), d + 0x51);
    d[0x55] = uchar(p.flags55);
    if (!p.indexLayout)
        d[0x56] = p.version >= 5 ? 0x20 : 0;
}

// Level 4 and up (tables and index data files): the repeated version, the
// checksum, stamps, and where the variable part keeps what.
void writeExtension(uchar *d, const HeaderParams &p, const VariablePart &v)
{
    qToLittleEndian<quint16>(quint16(0x100 + p.version), d + 0x58);
    qToLittleEndian<quint16>(quint16(0x100 + p.version), d + 0x5A);
    qToLittleEndian<quint32>(p.checksum, d + 0x5C);
    qToLittleEndian<quint32>(p.updateTime, d + 0x60);
    qToLittleEndian<quint16>(quint16(p.nextFieldId), d + 0x64);
    qToLittleEndian<quint16>(quint16(v.fieldNumbersOff - 0x58), d + 0x66);
    qToLittleEndian<quint16>(quint16(v.indexNameOff ? v.indexNameOff - 0x58 : 0), d + 0x68);
    qToLittleEndian<quint16>(quint16(p.codePage), d + 0x6A);
    d[0x6C] = 1;
    d[0x6D] = 1;
    qToLittleEndian<quint16>(quint16(v.sortOff - 0x58), d + 0x6E);
    qToLittleEndian<quint16>(1, d + 0x70);
}

QByteArray buildHeader(const HeaderParams &p)
{
    const int nameLen = p.version >= 0x0C ? 261 : 79;
    const bool ext = !p.indexLayout && p.version >= 5;
    const int base = ext ? 0x78 : 0x58;
    const VariablePart var = variablePart(p, base, nameLen, ext);
    const int realSize = base + var.bytes.size();
    int headerSize = 0x800;
    while (headerSize < realSize)
        headerSize += 0x800;
    QByteArray h(headerSize, '\0');
    auto *d = reinterpret_cast<uchar *>(h.data());
    writeFixedPart(d, p, headerSize, realSize, nameLen, ext);
    if (ext)
        writeExtension(d, p, var);
    std::memcpy(d + base, var.bytes.constData(), size_t(var.bytes.size()));
    return h;
}

// Packs sorted records into full blocks chained 1 -> 2 -> ... -> n.
QByteArray packBlocks(const QVector<QByteArray> &records, int recordSize, int blockSize,
                      quint32 checksum, int *blockCount)
{
    const int cap = (blockSize - 6) / recordSize;
    const int n = records.isEmpty() ? 0 : int((records.size() + cap - 1) / cap);
    QByteArray out(qsizetype(n) * blockSize, '\0');
    for (int b = 0; b < n; ++b) {
        auto *blk = reinterpret_cast<uchar *>(out.data()) + qsizetype(b) * blockSize;
        const int first = b * cap;
        const int count = std::min<int>(cap, int(records.size()) - first);
        qToLittleEndian<quint16>(quint16(b + 1 < n ? b + 2 : 0), blk);
        qToLittleEndian<quint16>(quint16(b), blk + 2);
        qToLittleEndian<quint16>(quint16((count - 1) * recordSize), blk + 4);
        for (int i = 0; i < count; ++i)
            std::memcpy(blk + 6 + i * recordSize, records[first + i].constData(), size_t(recordSize));
        if (checksum)
            encryptBlock(blk, blockSize, checksum, quint32(b + 1));
    }
    *blockCount = n;
    return out;
}

void writeSortableShort(uchar *p, int v)
{
    v = std::clamp(v, -32767, 32767);
    const quint16 u = quint16(qint16(v)) ^ 0x8000;
    p[0] = uchar(u >> 8);
    p[1] = uchar(u);
}

struct TreeEntry {
    QByteArray key;
    int child = 0;
    int count = 0;
};

using TreeLevel = QVector<QVector<TreeEntry>>; // entries grouped into blocks

// levels[0] = the leaves grouped into blocks; each level above holds one
// entry per block of the level below; the last level is the root, a single
// block.
QVector<TreeLevel> treeLevels(const QVector<TreeEntry> &leaves, int cap)
{
    QVector<TreeLevel> levels;
    if (leaves.isEmpty())
        return levels;
    QVector<TreeEntry> current = leaves;
    for (;;) {
        TreeLevel blocks;
        if (current.size() <= cap) {
            blocks.append(current);
            levels.append(blocks);
            return levels;
        }
        const int per = cap - 1;
        for (int i = 0; i < current.size(); i += per)
            blocks.append(current.mid(i, per));
        levels.append(blocks);
        QVector<TreeEntry> up;
        for (const auto &blk : blocks) {
            TreeEntry e;
            e.key = blk.first().key;
            for (const TreeEntry &c : blk)
                e.count += c.count;
            up.append(e);
        }
        current = up;
    }
}

// A .PX-format file (also the .Y* files) over the given level-1 entries.
QByteArray buildTreeFile(HeaderParams p, const QVector<TreeEntry> &leaves, int keyBytes)
{
    const int recordSize = keyBytes + 6;
    const int blockSize = 2048;
    const int cap = (blockSize - 6) / recordSize;
    p.indexLayout = true;
    p.blockSizeCode = 2;
    p.recordSize = recordSize;
    const QVector<TreeLevel> levels = treeLevels(leaves, cap);
    // Number the blocks: root first, then each lower level, leaves last.
    QVector<int> firstNumber(levels.size());
    int next = 1;
    for (int l = int(levels.size()) - 1; l >= 0; --l) {
        firstNumber[l] = next;
        next += int(levels[l].size());
    }
    const int total = next - 1;
    QByteArray body(qsizetype(total) * blockSize, '\0');
    quint32 entries = 0;
    for (int l = int(levels.size()) - 1; l >= 0; --l) {
        for (int b = 0; b < levels[l].size(); ++b) {
            const int number = firstNumber[l] + b;
            auto *blk = reinterpret_cast<uchar *>(body.data()) + qsizetype(number - 1) * blockSize;
            const auto &es = levels[l][b];
            qToLittleEndian<quint16>(quint16(number < total ? number + 1 : 0), blk);
            qToLittleEndian<quint16>(quint16(number - 1), blk + 2);
            qToLittleEndian<quint16>(quint16((es.size() - 1) * recordSize), blk + 4);
            for (int i = 0; i < es.size(); ++i) {
                uchar *r = blk + 6 + i * recordSize;
                std::memcpy(r, es[i].key.constData(), size_t(keyBytes));
                const int child = l == 0 ? es[i].child : firstNumber[l - 1] + int(b * (cap - 1)) + i;
                writeSortableShort(r + keyBytes, child);
                writeSortableShort(r + keyBytes + 2, es[i].count);
                writeSortableShort(r + keyBytes + 4, 0);
            }
            entries += quint32(es.size());
        }
    }
    p.numRecords = entries;
    p.blocks = total;
    p.indexRoot = 1;
    p.indexLevels = int(levels.size());
    const quint32 checksum = p.checksum;
    if (checksum)
        for (int b = 0; b < total; ++b)
            encryptBlock(reinterpret_cast<uchar *>(body.data()) + qsizetype(b) * blockSize,
                         blockSize, checksum, quint32(b + 1));
    return buildHeader(p) + body;
}

HeaderParams tableParams(const TableInfo &info)
{
    HeaderParams p;
    p.version = info.version;
    p.blockSizeCode = info.blockSizeCode;
    p.checksum = info.checksum;
    p.sortId = info.sortId;
    p.sortName = info.sortName;
    p.codePage = info.codePage;
    p.cc1 = info.changeCounter1;
    p.cc2 = info.changeCounter2;
    p.updateTime = info.updateTime;
    p.nextFieldId = info.nextFieldId;
    p.autoInc = info.autoIncrement;
    return p;
}

int sizeByte(const FieldDef &f) { return f.type == FieldType::Bcd ? f.decimals : f.size; }

int keyBytesOf(const TableDef &def, int count)
{
    int n = 0;
    for (int i = 0; i < count && i < def.fields.size(); ++i)
        n += def.fields[i].size;
    return n;
}

} // namespace

QByteArray buildTableHeader(const TableInfo &info)
{
    HeaderParams p = tableParams(info);
    p.fileType = info.def.keyFieldCount > 0 ? 0 : 2;
    p.recordSize = info.recordSize();
    for (const FieldDef &f : info.def.fields) {
        p.desc.append({int(f.type), sizeByte(f)});
        p.names.append(f.name);
    }
    p.fieldNumbers = info.fieldNumbers;
    p.keyFieldCount = info.def.keyFieldCount;
    p.tableName = info.fileName;
    return buildHeader(p);
}

QByteArray buildPrimaryIndex(const TableInfo &info, const QVector<QByteArray> &records,
                             const QVector<ChainBlock> &chain, const QByteArray &fileName)
{
    const int k = info.def.keyFieldCount;
    const int keyBytes = keyBytesOf(info.def, k);
    HeaderParams p = tableParams(info);
    p.fileType = 1;
    for (int i = 0; i < k; ++i)
        p.desc.append({int(info.def.fields[i].type), sizeByte(info.def.fields[i])});
    p.tableName = fileName;
    p.stamp2C = info.changeCounter1;
    p.cc1 = p.cc2 = 0;
    p.autoInc = 1;
    p.counter12 = 4;
    QVector<TreeEntry> leaves;
    for (const ChainBlock &b : chain) {
        if (b.count <= 0)
            continue;
        leaves.append({records[b.first].left(keyBytes), b.number, b.count});
    }
    return buildTreeFile(p, leaves, keyBytes);
}

static int fieldOffset(const TableDef &def, int index)
{
    int off = 0;
    for (int i = 0; i < index; ++i)
        off += def.fields[i].size;
    return off;
}

namespace {

// Where the fields of one secondary index lie in a table record and in an
// entry of its data file, with the header of that file so far.
struct SecondaryLayout {
    bool keyed = false;       // the table has a primary key
    bool named = false;       // an .XGn index
    QVector<int> fields;      // indexed fields, in key order
    QVector<int> offsets, sizes; // of each indexed field in a record
    int indexedBytes = 0;
    int keyBytes = 0;         // of the table's primary key
    int recordSize = 0;       // of an entry
    HeaderParams p;
};

SecondaryLayout secondaryLayout(const TableInfo &info, const IndexDef &index)
{
    const TableDef &def = info.def;
    SecondaryLayout l;
    l.keyed = def.keyFieldCount > 0;
    l.named = index.fileExt.startsWith(QLatin1String("XG"), Qt::CaseInsensitive);
    for (const QString &name : index.fields) {
        const int i = def.fieldIndex(name);
        if (i < 0)
            throw EngineError(QStringLiteral("Index %1 names the unknown field '%2'.").arg(index.name, name));
        l.fields.append(i);
    }
    if (l.fields.isEmpty())
        throw EngineError(QStringLiteral("Index %1 has no fields.").arg(index.name));

    HeaderParams &p = l.p;
    p = tableParams(info);
    int pos = 0;
    for (int i : std::as_const(l.fields)) {
        const FieldDef &f = def.fields[i];
        p.desc.append({int(f.type), sizeByte(f)});
        p.names.append(f.name);
        p.fieldNumbers.append((i + 1) | (index.descending ? 0x8000 : 0));
        l.offsets.append(fieldOffset(def, i));
        l.sizes.append(f.size);
        ++pos;
    }
    l.indexedBytes = std::accumulate(l.sizes.begin(), l.sizes.end(), 0);
    l.keyBytes = keyBytesOf(def, def.keyFieldCount);
    auto addField = [&](int type, int size, const QString &name) {
        p.desc.append({type, size});
        p.names.append(name);
        p.fieldNumbers.append(++pos);
    };
    if (l.keyed) {
        for (int i = 0; i < def.keyFieldCount; ++i)
            addField(int(def.fields[i].type), sizeByte(def.fields[i]), def.fields[i].name);
        addField(0x03, 2, QStringLiteral("Blk Num"));
        p.keyFieldCount = int(p.desc.size()) - 1;
    } else {
        addField(0x04, 4, QStringLiteral("Tup No"));
        addField(0x03, 2, QStringLiteral("Blk Num"));
        addField(0x03, 2, QStringLiteral("Tup Offset"));
        p.keyFieldCount = int(l.fields.size()) + 2;
    }
    l.recordSize = l.indexedBytes + (l.keyed ? l.keyBytes + 2 : 8);
    return l;
}

// One entry per table record: the indexed bytes, then the key (or the
// record's position), then where it lives.
QVector<QByteArray> indexEntries(const SecondaryLayout &l, const QVector<QByteArray> &records,
                                 const QVector<ChainBlock> &chain)
{
    QVector<QByteArray> entries;
    entries.reserve(records.size());
    int ordinal = 0;
    for (const ChainBlock &b : chain) {
        for (int r = 0; r < b.count; ++r, ++ordinal) {
            const QByteArray &rec = records[b.first + r];
            QByteArray e(l.recordSize, '\0');
            auto *d = reinterpret_cast<uchar *>(e.data());
            int at = 0;
            for (int f = 0; f < l.fields.size(); ++f) {
                std::memcpy(d + at, rec.constData() + l.offsets[f], size_t(l.sizes[f]));
                at += l.sizes[f];
            }
            if (l.keyed) {
                std::memcpy(d + at, rec.constData(), size_t(l.keyBytes));
                at += l.keyBytes;
                writeSortableShort(d + at, b.number);
            } else {
                qToBigEndian<quint32>(quint32(ordinal) ^ 0x80000000U, d + at);
                writeSortableShort(d + at + 4, b.number);
                writeSortableShort(d + at + 6, r);
            }
            entries.append(e);
        }
    }
    return entries;
}

// The entries in index order: by the indexed bytes (case-insensitive
// indexes by the upper-case form of Alpha fields, then the bytes), then by
// the rest of the key.
QVector<QByteArray> sortedEntries(const SecondaryLayout &l, const IndexDef &index, const TableDef &def,
                                  const QVector<QByteArray> &entries)
{
    const int sortBytes = l.keyed ? l.recordSize - 2 : l.recordSize;
    QVector<QByteArray> sortKeys;
    if (index.caseInsensitive) {
        sortKeys.reserve(entries.size());
        for (const QByteArray &e : entries) {
            QByteArray k = e.left(l.indexedBytes);
            int at = 0;
            for (int f = 0; f < l.fields.size(); ++f) {
                if (def.fields[l.fields[f]].type == FieldType::Alpha)
                    for (int j = 0; j < l.sizes[f]; ++j) {
                        char &c = k[at + j];
                        if (c >= 'a' && c <= 'z')
                            c = char(c - 'a' + 'A');
                    }
                at += l.sizes[f];
            }
            sortKeys.append(k);
        }
    }
    QVector<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const char *ka = index.caseInsensitive ? sortKeys[a].constData() : entries[a].constData();
        const char *kb = index.caseInsensitive ? sortKeys[b].constData() : entries[b].constData();
        int c = std::memcmp(ka, kb, size_t(l.indexedBytes));
        if (c != 0)
            return index.descending ? c > 0 : c < 0;
        if (index.caseInsensitive) {
            c = std::memcmp(entries[a].constData(), entries[b].constData(), size_t(l.indexedBytes));
            if (c != 0)
                return c < 0;
        }
        return std::memcmp(entries[a].constData() + l.indexedBytes, entries[b].constData() + l.indexedBytes,
                           size_t(sortBytes - l.indexedBytes)) < 0;
    });
    QVector<QByteArray> sorted;
    sorted.reserve(entries.size());
    for (int i : order)
        sorted.append(entries[i]);
    return sorted;
}

// The index data file over the sorted entries, and its .Y* file: a primary
// index over the data file's key fields.
SecondaryFiles secondaryFiles(const TableInfo &info, const IndexDef &index, SecondaryLayout &l,
                              const QVector<QByteArray> &sorted, const QByteArray &xName, const QByteArray &yName)
{
    HeaderParams &p = l.p;
    int maxNumber = 0;
    for (int fnum : std::as_const(p.fieldNumbers))
        maxNumber = std::max(maxNumber, fnum & 0x7FFF);
    p.fileType = l.keyed ? (l.named ? 8 : 5) : (l.named ? 6 : 3);
    p.recordSize = l.recordSize;
    p.indexFieldNumber = l.fields.first() + 1;
    p.nextFieldId = maxNumber + 1;
    p.stamp2C = 0xFF;
    p.cc1 = 1;
    p.cc2 = info.changeCounter2;
    p.stamp2F = info.changeCounter1;
    p.tableName = xName;
    if (l.named) {
        p.indexName = encodeText(index.name, 437);
        p.flags55 = (index.caseInsensitive ? 0x01 : 0) | (index.descending ? 0x10 : 0);
    }
    int blocks = 0;
    const int blockSize = info.blockSizeCode * 1024;
    const QByteArray body = packBlocks(sorted, l.recordSize, blockSize, info.checksum, &blocks);
    p.numRecords = quint32(sorted.size());
    p.blocks = blocks;
    SecondaryFiles out;
    out.x = buildHeader(p) + body;

    HeaderParams y = tableParams(info);
    y.fileType = 4;
    y.desc = p.desc.mid(0, p.keyFieldCount);
    y.tableName = yName;
    y.stamp2C = p.cc1;
    y.cc1 = y.cc2 = 0;
    y.autoInc = 1;
    y.counter12 = 4;
    int yKeyBytes = 0;
    for (int i = 0; i < p.keyFieldCount; ++i)
        yKeyBytes += storedSize(FieldType(p.desc[i].first), p.desc[i].second);
    const int cap = (blockSize - 6) / l.recordSize;
    QVector<TreeEntry> leaves;
    for (int b = 0; b < blocks; ++b) {
        const int first = b * cap;
        const int count = std::min<int>(cap, int(sorted.size()) - first);
        leaves.append({sorted[first].left(yKeyBytes), b + 1, count});
    }
    out.y = buildTreeFile(y, leaves, yKeyBytes);
    return out;
}

} // namespace

SecondaryFiles buildSecondaryIndex(const TableInfo &info, const IndexDef &index,
                                   const QVector<QByteArray> &records,
                                   const QVector<ChainBlock> &chain, const QByteArray &xName,
                                   const QByteArray &yName)
{
    SecondaryLayout layout = secondaryLayout(info, index);
    const QVector<QByteArray> sorted = sortedEntries(layout, index, info.def, indexEntries(layout, records, chain));
    return secondaryFiles(info, index, layout, sorted, xName, yName);
}

IndexDef indexDefFromHeader(const FileHeader &xh, const TableDef &table, const QString &ext)
{
    IndexDef def;
    // A single-field index is named after its field's number: the name is
    // what counts, whatever a damaged header says.
    bool single = false;
    const int fieldNo = ext.mid(1).toInt(&single, 16);
    if (single && !ext.startsWith(QLatin1String("XG"), Qt::CaseInsensitive)) {
        if (fieldNo >= 1 && fieldNo <= table.fields.size()) {
            def.name = table.fields[fieldNo - 1].name;
            def.fields = QStringList{def.name};
            def.fileExt = ext.toUpper();
        }
        return def;
    }
    const bool keyed = table.keyFieldCount > 0;
    const int indexed = keyed ? xh.numFields - 1 - table.keyFieldCount : xh.numFields - 3;
    if (indexed < 1 || xh.fieldNumbers.size() < indexed)
        return def;
    for (int i = 0; i < indexed; ++i) {
        const int fnum = xh.fieldNumbers[i] & 0x7FFF;
        if (fnum < 1 || fnum > table.fields.size())
            return def;
        def.fields.append(table.fields[fnum - 1].name);
        if (xh.fieldNumbers[i] & 0x8000)
            def.descending = true;
    }
    def.fileExt = ext.toUpper();
    if (def.fileExt.startsWith(QLatin1String("XG"))) {
        def.name = xh.indexName.isEmpty() ? def.fields.join(QLatin1Char(';')) : xh.indexName;
        def.caseInsensitive = xh.indexFlags & 0x01;
        def.descending = def.descending || (xh.indexFlags & 0x10);
    } else {
        def.name = def.fields.first();
    }
    return def;
}

// ---- .VAL ------------------------------------------------------------------------------

QByteArray buildValFile(const TableInfo &info, const QByteArray &storedPath)
{
    const TableDef &def = info.def;
    QVector<int> req;
    for (int i = 0; i < def.fields.size(); ++i)
        if (def.fields[i].required)
            req.append(i);
    const int r = int(req.size());
    QByteArray v(0x35, '\0');
    auto *d = reinterpret_cast<uchar *>(v.data());
    d[0] = uchar(info.changeCounter2);
    d[1] = info.version <= 9 ? 0x09 : 0x0B;
    d[2] = uchar(r);
    qToLittleEndian<quint32>(info.updateTime, d + 3);
    qToLittleEndian<quint16>(quint16(info.nextFieldId), d + 7);
    qToLittleEndian<quint32>(quint32(0x35 + 28 * r), d + 9);
    for (int i : req) {
        QByteArray rec(28, '\0');
        rec[0] = char(i);
        rec[2] = 1;
        v.append(rec);
    }
    const int n = int(def.fields.size());
    QByteArray names;
    for (const FieldDef &f : def.fields) {
        names.append(encodeText(f.name, info.codePage));
        names.append('\0');
    }
    QByteArray footer(6, '\0');
    auto *f = reinterpret_cast<uchar *>(footer.data());
    qToLittleEndian<quint16>(quint16(n), f);
    qToLittleEndian<quint16>(quint16(r > 0 ? r - 1 : 0), f + 2);
    qToLittleEndian<quint16>(quint16(79 + names.size()), f + 4);
    for (int i = 0; i < n; ++i) {
        const int fnum = i < info.fieldNumbers.size() ? info.fieldNumbers[i] : i + 1;
        footer.append(char(fnum & 0xFF));
        footer.append(char(fnum >> 8));
    }
    for (const FieldDef &fd : def.fields) {
        footer.append(char(fd.type));
        footer.append(char(sizeByte(fd)));
    }
    QByteArray path = storedPath.left(78);
    footer.append(path);
    footer.append(79 - path.size(), '\0');
    footer.append(names);
    return v + footer;
}

bool readValFile(const QByteArray &data, ValInfo *out)
{
    const auto *d = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype len = data.size();
    if (len < 0x35 || (d[1] != 0x09 && d[1] != 0x0A && d[1] != 0x0B))
        return false;
    const int count = d[2];
    const quint32 footer = qFromLittleEndian<quint32>(d + 9);
    if (footer < 0x35 || footer + 6 > quint64(len))
        return false;
    const int n = qFromLittleEndian<quint16>(d + footer);
    if (n < 1 || n > 255 || footer + 6 + 4ULL * n > quint64(len))
        return false;
    QVector<int> sizes(n);
    for (int i = 0; i < n; ++i) {
        const uchar type = d[footer + 6 + 2 * n + 2 * i];
        const uchar size = d[footer + 6 + 2 * n + 2 * i + 1];
        sizes[i] = type == 0x17 ? 17 : size;
    }
    out->required = QVector<bool>(n, false);
    out->changeCounter2 = d[0];
    out->updateTime = qFromLittleEndian<quint32>(d + 3);
    out->nextFieldId = qFromLittleEndian<quint16>(d + 7);
    out->fieldCount = n;
    quint64 pos = 0x35;
    for (int c = 0; c < count; ++c) {
        if (pos + 28 > footer)
            return false;
        const uchar *r = d + pos;
        const int field = r[0];
        if (field >= n)
            return false;
        if (r[2])
            out->required[field] = true;
        quint64 skip = 28;
        if (qFromLittleEndian<quint32>(r + 4))
            skip += 80;
        if (qFromLittleEndian<quint32>(r + 12))
            skip += quint64(sizes[field]);
        if (qFromLittleEndian<quint32>(r + 16))
            skip += quint64(sizes[field]);
        if (qFromLittleEndian<quint32>(r + 20))
            skip += quint64(sizes[field]);
        if (qFromLittleEndian<quint32>(r + 24))
            skip += r[1];
        pos += skip;
    }
    return pos <= footer;
}

} // namespace kw::data::px
