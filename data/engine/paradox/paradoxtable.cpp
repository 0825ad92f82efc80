// The Paradox table engine: reads a table into memory, writes every change
// through a write-ahead journal of whole blocks (pxjournal.cpp), and keeps
// the derived files (.PX, .VAL, secondary indexes) in step at create, open
// and close (pxderived.cpp).
#include "data/engine/paradox/paradoxtableimpl.h"

#include "core/durablefile.h"
#include "core/filelock.h"
#include "core/findfile.h"
#include "data/engine/fieldvalue.h"
#include "data/engine/paradox/pxformat.h"
#include "data/engine/paradox/pxio.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <atomic>

namespace kw::data::px {

quint64 firstChangeCount()
{
    // Each opening gets 2^32 changes of its own.
    static std::atomic<quint64> openings{0};
    return (openings.fetch_add(1) + 1) << 32;
}

// ---- open -------------------------------------------------------------------------

void ParadoxTableImpl::load(const QString &requested, const QStringList &passwords, bool readOnly)
{
    findFiles(requested);
    if (!readOnly)
        lockForWriting();
    bool ok = false;
    QByteArray data = readWholeFile(m_path, &ok);
    if (!ok)
        throw EngineError(QStringLiteral("Cannot open table.\nFile: %1").arg(native(m_path)));
    const std::optional<Journal> pending = replayJournal(data);

    const FileHeader h = parseHeader(data, false, m_path);
    if (h.fileType != 0 && h.fileType != 2)
        throw EngineError(QStringLiteral("Not a table file.\nFile: %1").arg(native(m_path)));
    checkPassword(h, data, passwords);
    takeHeader(h, data);
    BlockReader blocks(data, m_headerSize, m_blockSize, h.checksum);
    QVector<bool> seen = readBlockChain(h, blocks);
    readFreeList(h, blocks, seen);
    checkKeyOrder();
    readRequiredFlags();
    scanIndexes();

    openJournal(pending);
    m_replayedInMemory = pending && m_readOnly;
    if (!m_readOnly)
        removeStaleTemporaries();
    m_open = true;
    if (!m_readOnly && derivedStale()) {
        writeDerived();
        m_header[0x14] = 0;
        commit({}, false);
    }
}

void ParadoxTableImpl::findFiles(const QString &requested)
{
    const QFileInfo rfi(requested);
    m_dir = rfi.absolutePath();
    m_path = kw::core::findFileNoCase(m_dir, rfi.fileName());
    if (!QFileInfo::exists(m_path) && rfi.suffix().isEmpty())
        m_path = kw::core::findFileNoCase(m_dir, rfi.fileName() + QStringLiteral(".DB"));
    if (!QFileInfo(m_path).isFile())
        throw EngineError(QStringLiteral("Table does not exist.\nFile: %1").arg(native(m_path)));
    m_base = QFileInfo(m_path).completeBaseName();
    m_jnlPath = kw::core::findFileNoCase(m_dir, journalFileName(QFileInfo(m_path).fileName()));
}

// A writer holds the table exclusively (two writers would each keep their
// own copy of the rows); the kernel drops the lock if it dies. A file that
// cannot be opened for writing is opened read-only.
void ParadoxTableImpl::lockForWriting()
{
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return;
    if (!kw::core::tryLockFile(m_file, kw::core::LockMode::Exclusive)) {
        m_file.close();
        throw TableBusy(QStringLiteral("Table is busy: it is open for writing elsewhere.\nFile: %1").arg(native(m_path)));
    }
}

// Finishes in memory a change that a crash interrupted after its journal
// was complete; the journal is returned to be applied to the file too. An
// incomplete journal, or one of another table, is dropped.
std::optional<Journal> ParadoxTableImpl::replayJournal(QByteArray &data) const
{
    if (!QFileInfo::exists(m_jnlPath))
        return std::nullopt;
    bool ok = false;
    const QByteArray bytes = readWholeFile(m_jnlPath, &ok);
    Journal pending;
    if (!ok || !Journal::decode(bytes, &pending) || !pending.belongsTo(data))
        return std::nullopt;
    pending.applyTo(data);
    return pending;
}

// A checksum no password matches is a wrong password, or damage that made
// a plain table look encrypted (a changed checksum field, or a changed
// version byte that moves where the checksum is read from). The blocks
// tell them apart without the password: data encrypted with the stored
// checksum decrypts to a sound first block, anything else to noise.
bool ParadoxTableImpl::looksEncrypted(const FileHeader &h, const QByteArray &data,
                                      const QStringList &passwords) const
{
    // Tables of level 4 and up keep this fixed value where level 3 keeps
    // the checksum; as a checksum it is a sign of a changed version byte.
    if (h.level < 4 && h.checksum == 0xFF00FF00U)
        return false;
    // Only the low half of the checksum encrypts the data: a password that
    // matches it alone means the high half changed.
    for (const QString &pw : passwords)
        if ((passwordChecksum(pw.toLatin1()) & 0xFFFF) == (h.checksum & 0xFFFF))
            return false;
    BlockReader blocks(data, h.headerSize, h.blockSize, h.checksum);
    if (h.firstBlock == 0) {
        // No data to tell by: plain tables carry this mark, encrypted ones not.
        return h.level < 4 || qFromLittleEndian<quint16>(data.constData() + 0x3E) != 0x0F1F;
    }
    if (h.firstBlock > blocks.blocksInFile())
        return true; // a damaged chain, reported as such once the password is right
    const uchar *b = blocks.read(h.firstBlock);
    const int next = qFromLittleEndian<quint16>(b), back = qFromLittleEndian<quint16>(b + 2);
    const int last = qFromLittleEndian<qint16>(b + 4);
    return back == 0 && next <= blocks.blocksInFile() && next != h.firstBlock && last >= -h.recordSize
        && (last + h.recordSize) % h.recordSize == 0 && last / h.recordSize + 1 <= (h.blockSize - 6) / h.recordSize;
}

void ParadoxTableImpl::checkPassword(const FileHeader &h, const QByteArray &data, const QStringList &passwords) const
{
    if (!h.checksum)
        return;
    for (const QString &pw : passwords)
        if (passwordChecksum(pw.toLatin1()) == h.checksum)
            return;
    if (!looksEncrypted(h, data, passwords))
        throw EngineError(QStringLiteral("The table header is damaged: its encryption field does not match "
                                         "the table's data.\nFile: %1")
                              .arg(native(m_path)));
    throw EngineError(passwords.isEmpty()
                          ? QStringLiteral("Table is password protected and no password was given.\nTable: %1").arg(native(m_path))
                          : QStringLiteral("Invalid password.\nTable: %1").arg(native(m_path)));
}

void ParadoxTableImpl::takeHeader(const FileHeader &h, const QByteArray &data)
{
    m_level = h.level;
    m_recSize = h.recordSize;
    m_blockSize = h.blockSize;
    m_headerSize = h.headerSize;
    const auto *d = reinterpret_cast<const uchar *>(data.constData());
    m_info.def.fields = h.fields;
    m_info.def.keyFieldCount = h.keyFieldCount;
    m_info.version = h.version;
    m_info.blockSizeCode = h.blockSizeCode;
    m_info.sortId = h.sortId;
    m_info.sortName = h.sortName.toLatin1();
    m_info.codePage = h.codePage ? h.codePage : 437;
    m_info.checksum = h.checksum;
    m_info.changeCounter1 = d[0x2D];
    m_info.changeCounter2 = d[0x2E];
    m_info.updateTime = h.version >= 5 ? qFromLittleEndian<quint32>(d + 0x60) : 0;
    m_info.nextFieldId = h.version >= 5 ? qFromLittleEndian<quint16>(d + 0x64) : h.numFields + 1;
    m_info.fieldNumbers = h.fieldNumbers;
    m_info.fileName = QFileInfo(m_path).fileName().toLatin1();
    m_s.autoInc = h.autoIncrement;
    m_header = data.left(m_headerSize);
    m_writtenHeader = m_header;
    int off = 0;
    for (const FieldDef &f : h.fields) {
        m_offsets.append(off);
        off += f.size;
    }
    for (int i = 0; i < h.keyFieldCount; ++i)
        m_keyBytes += h.fields[i].size;
}

// A table whose chain is damaged is refused whole: reading it short would
// lose rows silently, and the next write would make the loss permanent.
[[noreturn]] void ParadoxTableImpl::chainDamaged(const QString &why) const
{
    throw EngineError(QStringLiteral("Table is damaged: %1. The rows its blocks still hold can be recovered "
                                     "with \"kitwarden-cli repair\".\nFile: %2")
                          .arg(why, native(m_path)));
}

// Rows in a block: lastRecordOffset / recordSize + 1, none when negative;
// -1 when the offset is not one a block of this table can hold.
int ParadoxTableImpl::recordsInBlock(const uchar *block) const
{
    const int last = qFromLittleEndian<qint16>(block + 4);
    if (last < 0)
        return 0;
    if (last % m_recSize != 0 || last / m_recSize + 1 > (m_blockSize - 6) / m_recSize)
        return -1;
    return last / m_recSize + 1;
}

// Walks the chain of data blocks and reads their rows. Each block must lie
// in the file, be visited once and link back to its predecessor, and the
// chain must hold the rows and blocks the header counts. Returns the blocks
// seen (by number), for the free list.
QVector<bool> ParadoxTableImpl::readBlockChain(const FileHeader &h, BlockReader &blocks)
{
    const int blocksInFile = blocks.blocksInFile();
    QVector<bool> seen(blocksInFile + 1, false);
    int prev = 0;
    for (int num = h.firstBlock; num != 0;) {
        if (num < 1 || num > blocksInFile)
            chainDamaged(QStringLiteral("its block chain leads to block %1, which lies outside the file").arg(num));
        if (seen[num])
            chainDamaged(QStringLiteral("its block chain visits block %1 twice").arg(num));
        seen[num] = true;
        if (!blocks.whole(num))
            chainDamaged(QStringLiteral("the file ends inside block %1 of its block chain").arg(num));
        const uchar *b = blocks.read(num);
        const int back = qFromLittleEndian<quint16>(b + 2);
        if (back != prev)
            chainDamaged(prev == 0   ? QStringLiteral("block %1 is first in the chain but links back to block %2").arg(num).arg(back)
                         : back == 0 ? QStringLiteral("block %1 follows block %2 in the chain but links back to none").arg(num).arg(prev)
                                     : QStringLiteral("block %1 follows block %2 in the chain but links back to block %3")
                                           .arg(num).arg(prev).arg(back));
        const int count = recordsInBlock(b);
        if (count < 0)
            chainDamaged(QStringLiteral("block %1 has a bad record count").arg(num));
        for (int r = 0; r < count; ++r) {
            QByteArray rec(reinterpret_cast<const char *>(b + 6 + r * m_recSize), m_recSize);
            m_s.rows.append(decodeRecord(rec));
            m_s.recs.append(rec);
        }
        m_s.chain.append({quint16(num), count});
        prev = num;
        num = qFromLittleEndian<quint16>(b);
    }
    m_s.fileBlocks = blocksInFile;
    if (quint32(m_s.recs.size()) != h.numRecords || m_s.chain.size() != h.usedBlocks)
        chainDamaged(QStringLiteral("its header counts %1 rows in %2 blocks, its block chain holds %3 rows in %4 blocks")
                         .arg(h.numRecords).arg(h.usedBlocks).arg(m_s.recs.size()).arg(m_s.chain.size()));
    return seen;
}

// The free list is used when sound, otherwise its blocks are simply not reused.
void ParadoxTableImpl::readFreeList(const FileHeader &h, BlockReader &blocks, QVector<bool> &seen)
{
    QVector<quint16> freeList;
    for (int f = h.firstFreeBlock; f != 0; f = qFromLittleEndian<quint16>(blocks.read(f))) {
        if (f < 1 || f > m_s.fileBlocks || seen[f])
            return;
        seen[f] = true;
        freeList.append(quint16(f));
    }
    m_s.freeList = freeList;
}

// Keyed tables hold their rows in key order; anything else is damage.
void ParadoxTableImpl::checkKeyOrder() const
{
    if (m_keyBytes > 0)
        for (int i = 1; i < m_s.recs.size(); ++i)
            if (keyCompare(m_s.recs[i - 1], m_s.recs[i]) > 0)
                chainDamaged(QStringLiteral("its rows are out of key order"));
}

void ParadoxTableImpl::readRequiredFlags()
{
    const QString valPath = companion(QStringLiteral("VAL"));
    m_hasVal = QFileInfo::exists(valPath);
    m_info.def.hasValFile = m_hasVal;
    if (!m_hasVal)
        return;
    bool ok = false;
    ValInfo vi;
    const QByteArray vdata = readWholeFile(valPath, &ok);
    if (ok && readValFile(vdata, &vi) && vi.fieldCount == m_info.def.fields.size())
        for (int i = 0; i < vi.required.size(); ++i)
            m_info.def.fields[i].required = vi.required[i];
}

// A writer needs the journal: a replayed change goes into the file, the
// journal is emptied, and the table can be written. Without a journal no
// change could be made safely, so the table stays read-only.
void ParadoxTableImpl::openJournal(const std::optional<Journal> &pending)
{
    m_readOnly = true;
    if (!m_file.isOpen())
        return;
    m_jnl.setFileName(m_jnlPath);
    if (!m_jnl.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        m_file.close();
        return;
    }
    if (pending)
        pending->applyTo(m_file);
    m_jnl.resize(0);
    syncFile(m_jnl);
    kw::core::syncDirectory(m_dir);
    m_readOnly = false;
}

// ---- rows ------------------------------------------------------------------------

Row ParadoxTableImpl::decodeRecord(const QByteArray &rec) const
{
    const auto *p = reinterpret_cast<const uchar *>(rec.constData());
    Row row;
    row.reserve(m_info.def.fields.size());
    for (int i = 0; i < m_info.def.fields.size(); ++i) {
        const FieldDef &f = m_info.def.fields[i];
        row.append(decodeValue(f.type, p + m_offsets[i], f.size, m_info.codePage));
    }
    return row;
}

QByteArray ParadoxTableImpl::encodeRow(const Row &row) const
{
    QByteArray rec(m_recSize, '\0');
    auto *p = reinterpret_cast<uchar *>(rec.data());
    for (int i = 0; i < m_info.def.fields.size(); ++i) {
        const FieldDef &f = m_info.def.fields[i];
        fieldvalue::checkRange(FieldSpec::of(f), row.value(i));
        QString why;
        if (!encodeValue(f.type, f.size, row.value(i), p + m_offsets[i], m_info.codePage, &why))
            throw EngineError(QStringLiteral("Value of field '%1' cannot be stored: %2.").arg(f.name, why));
    }
    return rec;
}

int ParadoxTableImpl::lowerBound(const char *key, int keyBytes) const
{
    int lo = 0, hi = int(m_s.recs.size());
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (std::memcmp(m_s.recs[mid].constData(), key, size_t(keyBytes)) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int ParadoxTableImpl::findKey(const Row &key) const
{
    if (m_keyBytes == 0 || key.isEmpty())
        return -1;
    const int n = std::min<int>(int(key.size()), m_info.def.keyFieldCount);
    int bytes = 0;
    QByteArray k(m_keyBytes, '\0');
    auto *p = reinterpret_cast<uchar *>(k.data());
    for (int i = 0; i < n; ++i) {
        const FieldDef &f = m_info.def.fields[i];
        if (!encodeValue(f.type, f.size, key[i], p + bytes, m_info.codePage, nullptr))
            return -1;
        bytes += f.size;
    }
    const int pos = lowerBound(k.constData(), bytes);
    if (pos < m_s.recs.size() && std::memcmp(m_s.recs[pos].constData(), k.constData(), size_t(bytes)) == 0)
        return pos;
    return -1;
}

void ParadoxTableImpl::checkWritable() const
{
    if (!m_open)
        throw EngineError(QStringLiteral("Table is closed.\nFile: %1").arg(native(m_path)));
    if (m_readOnly)
        throw EngineError(QStringLiteral("Table is read only.\nFile: %1").arg(native(m_path)));
}

int ParadoxTableImpl::locate(int pos, int *start) const
{
    int s = 0;
    for (int ci = 0; ci < m_s.chain.size(); ++ci) {
        const int c = m_s.chain[ci].count;
        if (pos < s + c) {
            if (start)
                *start = s;
            return ci;
        }
        s += c;
    }
    if (start)
        *start = s;
    return int(m_s.chain.size()) - 1;
}

quint16 ParadoxTableImpl::allocateBlock(QSet<int> &dirty)
{
    quint16 num;
    if (!m_s.freeList.isEmpty()) {
        num = m_s.freeList.takeFirst();
    } else {
        if (m_s.fileBlocks >= 65535)
            throw EngineError(QStringLiteral("Table is full.\nFile: %1").arg(native(m_path)));
        num = quint16(++m_s.fileBlocks);
    }
    dirty.insert(num);
    return num;
}

void ParadoxTableImpl::freeBlock(quint16 num, QSet<int> &dirty)
{
    m_s.freeList.prepend(num);
    dirty.insert(num);
}

int ParadoxTableImpl::doInsert(const QByteArray &rec, QSet<int> &dirty)
{
    const int n = int(m_s.recs.size());
    const int pos = m_keyBytes > 0 ? lowerBound(rec.constData(), m_keyBytes) : n;
    const int cap = (m_blockSize - 6) / m_recSize;
    if (m_s.chain.isEmpty()) {
        const quint16 num = allocateBlock(dirty);
        m_s.chain.append({num, 0});
    }
    // The new row goes to the block holding its predecessor.
    int start = 0;
    const int ci = pos == 0 ? 0 : locate(pos - 1, &start);
    if (pos == 0)
        start = 0;
    Blk &b = m_s.chain[ci];
    if (b.count < cap) {
        ++b.count;
        dirty.insert(b.num);
    } else if (ci == m_s.chain.size() - 1 && pos == start + b.count) {
        const quint16 num = allocateBlock(dirty);
        dirty.insert(m_s.chain[ci].num);
        m_s.chain.append({num, 1});
    } else {
        // Split: the upper half moves to a new block linked after this one.
        const int total = b.count + 1;
        const int keep = (total + 1) / 2;
        const quint16 num = allocateBlock(dirty);
        Blk &old = m_s.chain[ci];
        old.count = keep;
        dirty.insert(old.num);
        m_s.chain.insert(ci + 1, {num, total - keep});
        if (ci + 2 < m_s.chain.size())
            dirty.insert(m_s.chain[ci + 2].num);
    }
    m_s.recs.insert(pos, rec);
    m_s.rows.insert(pos, decodeRecord(rec));
    return pos;
}

void ParadoxTableImpl::doRemove(int pos, QSet<int> &dirty)
{
    const int ci = locate(pos);
    m_s.recs.remove(pos);
    m_s.rows.remove(pos);
    Blk &b = m_s.chain[ci];
    --b.count;
    dirty.insert(b.num);
    if (b.count > 0)
        return;
    if (m_s.recs.isEmpty()) {
        // An empty table is its header alone.
        m_s.chain.clear();
        m_s.freeList.clear();
        m_s.fileBlocks = 0;
        dirty.clear();
        return;
    }
    if (m_s.chain.size() == 1)
        return;
    int victim = ci;
    if (ci == 0) {
        // The chain's first block stays: the next block's rows move into it.
        m_s.chain[0].count = m_s.chain[1].count;
        victim = 1;
    }
    const quint16 num = m_s.chain[victim].num;
    if (victim > 0)
        dirty.insert(m_s.chain[victim - 1].num);
    if (victim + 1 < m_s.chain.size())
        dirty.insert(m_s.chain[victim + 1].num);
    m_s.chain.remove(victim);
    freeBlock(num, dirty);
}

QByteArray ParadoxTableImpl::blockImage(quint16 num) const
{
    QByteArray img(m_blockSize, '\0');
    auto *b = reinterpret_cast<uchar *>(img.data());
    int start = 0;
    bool found = false;
    for (int ci = 0; ci < m_s.chain.size(); ++ci) {
        const Blk &blk = m_s.chain[ci];
        if (blk.num == num) {
            qToLittleEndian<quint16>(ci + 1 < m_s.chain.size() ? m_s.chain[ci + 1].num : 0, b);
            qToLittleEndian<quint16>(ci > 0 ? m_s.chain[ci - 1].num : 0, b + 2);
            qToLittleEndian<quint16>(quint16(qint16((blk.count - 1) * m_recSize)), b + 4);
            for (int r = 0; r < blk.count; ++r)
                std::memcpy(b + 6 + r * m_recSize, m_s.recs[start + r].constData(), size_t(m_recSize));
            found = true;
            break;
        }
        start += blk.count;
    }
    if (!found) {
        const int k = int(m_s.freeList.indexOf(num));
        qToLittleEndian<quint16>(k >= 0 && k + 1 < m_s.freeList.size() ? m_s.freeList[k + 1] : 0, b);
        qToLittleEndian<quint16>(quint16(qint16(-m_recSize)), b + 4);
    }
    if (m_info.checksum)
        encryptBlock(b, m_blockSize, m_info.checksum, num);
    return img;
}

// The header's counts and chain ends from the rows in memory.
void ParadoxTableImpl::stampHeader()
{
    auto *h = reinterpret_cast<uchar *>(m_header.data());
    qToLittleEndian<quint32>(quint32(m_s.recs.size()), h + 0x06);
    qToLittleEndian<quint16>(quint16(m_s.chain.size()), h + 0x0A);
    qToLittleEndian<quint16>(quint16(m_s.fileBlocks), h + 0x0C);
    qToLittleEndian<quint16>(m_s.chain.isEmpty() ? 0 : m_s.chain.first().num, h + 0x0E);
    qToLittleEndian<quint16>(m_s.chain.isEmpty() ? 0 : m_s.chain.last().num, h + 0x10);
    qToLittleEndian<quint16>(quint16(m_s.fileBlocks), h + 0x3A);
    qToLittleEndian<quint32>(m_s.autoInc, h + 0x49);
    qToLittleEndian<quint16>(m_s.freeList.isEmpty() ? 0 : m_s.freeList.first(), h + 0x4D);
}

void ParadoxTableImpl::commit(const QSet<int> &dirty, bool rebuildFlag)
{
    stampHeader();
    auto *h = reinterpret_cast<uchar *>(m_header.data());
    if (rebuildFlag)
        h[0x14] = 1; // derived files are out of date until close rebuilds them
    Journal j;
    j.finalLength = m_headerSize + qint64(m_s.fileBlocks) * m_blockSize;
    j.headerLength = quint32(m_headerSize);
    j.headerBefore = crc32(m_writtenHeader.constData(), m_writtenHeader.size());
    j.headerAfter = crc32(m_header.constData(), m_header.size());
    if (m_header != m_writtenHeader)
        j.writes.append({0, m_header});
    QList<int> nums = dirty.values();
    std::sort(nums.begin(), nums.end());
    for (int num : nums)
        if (num >= 1 && num <= m_s.fileBlocks)
            j.writes.append({m_headerSize + qint64(num - 1) * m_blockSize, blockImage(quint16(num))});
    if (j.writes.isEmpty() && m_file.size() == j.finalLength)
        return;
    writeJournal(j);
    j.applyTo(m_file);
    m_jnl.resize(0); // the table holds it now; a replay of it would be harmless anyway
    m_writtenHeader = m_header;
    if (rebuildFlag)
        m_modified = true;
}

void ParadoxTableImpl::writeJournal(const Journal &j)
{
    const QByteArray bytes = j.encode();
    QString why;
    if (!m_jnl.seek(0) || !kw::core::writeAll(m_jnl, bytes, &why) || !m_jnl.resize(bytes.size()))
        ioError(QStringLiteral("Cannot write the table's journal"), m_jnlPath, why.isEmpty() ? m_jnl.errorString() : why);
    syncFile(m_jnl);
}

void ParadoxTableImpl::guarded(const std::function<void(QSet<int> &)> &change)
{
    checkWritable();
    const State saved = m_s;
    const QByteArray savedHeader = m_header;
    QSet<int> dirty;
    try {
        change(dirty);
        if (!m_batches.isEmpty())
            m_batchDirty.unite(dirty); // written when the batch ends
        else
            commit(dirty);
    } catch (...) {
        m_s = saved;
        m_header = savedHeader;
        throw;
    }
    ++m_changes;
}

int ParadoxTableImpl::insert(Row &row)
{
    checkWritable();
    Row r = row;
    r.resize(m_info.def.fields.size());
    bool hasAuto = false;
    for (int i = 0; i < m_info.def.fields.size(); ++i)
        if (m_info.def.fields[i].type == FieldType::AutoInc) {
            r[i] = int(m_s.autoInc + 1);
            hasAuto = true;
        }
    if (hasAuto && m_s.autoInc >= 2147483647U)
        throw EngineError(QStringLiteral("Autoincrement value out of range.\nFile: %1").arg(native(m_path)));
    const QByteArray rec = encodeRow(r);
    if (m_keyBytes > 0) {
        const int at = lowerBound(rec.constData(), m_keyBytes);
        if (at < m_s.recs.size() && keyCompare(m_s.recs[at], rec) == 0)
            throw KeyViolation();
    }
    int pos = -1;
    guarded([&](QSet<int> &dirty) {
        if (hasAuto)
            ++m_s.autoInc;
        pos = doInsert(rec, dirty);
    });
    row = m_s.rows[pos];
    return pos;
}

void ParadoxTableImpl::insertRows(QVector<Row> &rows)
{
    checkWritable();
    if (rows.isEmpty())
        return;
    int autoField = -1;
    for (int i = 0; i < m_info.def.fields.size(); ++i)
        if (m_info.def.fields[i].type == FieldType::AutoInc)
            autoField = i;
    if (autoField >= 0 && m_s.autoInc + quint64(rows.size()) > 2147483647U)
        throw EngineError(QStringLiteral("Autoincrement value out of range.\nFile: %1").arg(native(m_path)));
    QVector<QByteArray> recs;
    recs.reserve(rows.size());
    quint32 next = m_s.autoInc;
    for (const Row &row : std::as_const(rows)) {
        Row r = row;
        r.resize(m_info.def.fields.size());
        if (autoField >= 0) {
            ++next;
            for (int i = 0; i < m_info.def.fields.size(); ++i)
                if (m_info.def.fields[i].type == FieldType::AutoInc)
                    r[i] = int(next);
        }
        recs.append(encodeRow(r));
    }
    if (m_keyBytes > 0) {
        QVector<QByteArray> sorted = recs;
        std::sort(sorted.begin(), sorted.end(), [this](const QByteArray &a, const QByteArray &b) {
            return keyCompare(a, b) < 0;
        });
        for (int i = 0; i < sorted.size(); ++i) {
            if (i > 0 && keyCompare(sorted[i - 1], sorted[i]) == 0)
                throw KeyViolation();
            const int at = lowerBound(sorted[i].constData(), m_keyBytes);
            if (at < m_s.recs.size() && keyCompare(m_s.recs[at], sorted[i]) == 0)
                throw KeyViolation();
        }
    }
    guarded([&](QSet<int> &dirty) {
        m_s.autoInc = next;
        for (int i = 0; i < recs.size(); ++i)
            doInsert(recs[i], dirty);
    });
    for (int i = 0; i < recs.size(); ++i)
        rows[i] = decodeRecord(recs[i]);
}

int ParadoxTableImpl::update(int i, const Row &row)
{
    checkWritable();
    if (i < 0 || i >= m_s.recs.size())
        throw EngineError(QStringLiteral("Row %1 is out of range.").arg(i));
    Row r = row;
    r.resize(m_info.def.fields.size());
    for (int f = 0; f < m_info.def.fields.size(); ++f)
        if (m_info.def.fields[f].type == FieldType::AutoInc)
            r[f] = m_s.rows[i][f]; // assigned once, on insert
    const QByteArray rec = encodeRow(r);
    const bool keyChanged = m_keyBytes > 0 && keyCompare(m_s.recs[i], rec) != 0;
    if (keyChanged) {
        const int at = lowerBound(rec.constData(), m_keyBytes);
        if (at < m_s.recs.size() && at != i && keyCompare(m_s.recs[at], rec) == 0)
            throw KeyViolation();
    }
    if (rec == m_s.recs[i])
        return i;
    int pos = i;
    guarded([&](QSet<int> &dirty) {
        if (keyChanged) {
            doRemove(i, dirty);
            pos = doInsert(rec, dirty);
        } else {
            m_s.recs[i] = rec;
            m_s.rows[i] = decodeRecord(rec);
            int start = 0;
            dirty.insert(m_s.chain[locate(i, &start)].num);
        }
    });
    return pos;
}

void ParadoxTableImpl::remove(int i)
{
    checkWritable();
    if (i < 0 || i >= m_s.recs.size())
        throw EngineError(QStringLiteral("Row %1 is out of range.").arg(i));
    guarded([&](QSet<int> &dirty) { doRemove(i, dirty); });
}

void ParadoxTableImpl::removeAll()
{
    checkWritable();
    guarded([&](QSet<int> &dirty) {
        dirty.clear();
        m_s.recs.clear();
        m_s.rows.clear();
        m_s.chain.clear();
        m_s.freeList.clear();
        m_s.fileBlocks = 0;
    });
}

void ParadoxTableImpl::beginBatch()
{
    checkWritable();
    if (m_batches.isEmpty())
        m_batchDirty.clear();
    m_batches.append({m_s, m_header});
}

void ParadoxTableImpl::endBatch()
{
    if (m_batches.isEmpty())
        return;
    BatchStart start = m_batches.takeLast();
    if (!m_batches.isEmpty())
        return; // the outermost batch writes
    QSet<int> dirty;
    dirty.swap(m_batchDirty);
    try {
        // The header is rewritten from the rows even when no block changed
        // (a removeAll of an empty table): commit skips what is already there.
        commit(dirty);
    } catch (...) {
        // Nothing of the batch reached the table: the rows go back with it.
        m_s = std::move(start.state);
        m_header = start.header;
        ++m_changes;
        throw;
    }
}

void ParadoxTableImpl::abandonBatch()
{
    if (m_batches.isEmpty())
        return;
    BatchStart start = m_batches.takeLast();
    m_s = std::move(start.state);
    m_header = start.header;
    // The blocks the abandoned changes touched stay in an outer batch's
    // set: written again as they were, they are simply unchanged.
    if (m_batches.isEmpty())
        m_batchDirty.clear();
    ++m_changes;
}

void ParadoxTableImpl::close()
{
    if (!m_open)
        return;
    if (!m_batches.isEmpty()) {
        m_batches.resize(1);
        endBatch();
    }
    m_open = false;
    m_modified = false;
    if (m_readOnly)
        return;
    // Every row is on the disk already; what is left is derived. Open checks
    // only what is cheap (presence, stamps, counts); here every derived file
    // is compared with what the table gives.
    QString derivedError;
    bool journalSettled = true;
    try {
        writeDerived();
    } catch (const EngineError &e) {
        derivedError = e.message(); // the flag stays set: the next open rebuilds them
    }
    if (derivedError.isEmpty()) {
        try {
            m_header[0x14] = 0;
            commit(QSet<int>(), false);
        } catch (const EngineError &e) {
            // The journal may hold the header change whole: it stays, and
            // the next open finishes it.
            derivedError = e.message();
            journalSettled = false;
        }
    }
    if (journalSettled) {
        // Replaying the last journal again would be harmless; it goes all the same.
        m_jnl.resize(0);
        m_jnl.close();
        QFile::remove(m_jnlPath);
    }
    m_jnl.close();
    m_file.close();
    if (!derivedError.isEmpty())
        throw DerivedFilesError(QStringLiteral("The rows of %1 are stored, but its index files could not be brought "
                                               "up to date (they are rebuilt when the table is next opened): %2")
                                    .arg(QFileInfo(m_path).fileName(), derivedError));
}

} // namespace kw::data::px

namespace kw::data {

QString ParadoxTable::journalFileName(const QString &tableFileName)
{
    return tableFileName + QStringLiteral("-journal");
}

std::unique_ptr<ParadoxTable> ParadoxTable::open(const QString &dbPath, const QStringList &passwords,
                                                 bool readOnly)
{
    auto t = std::make_unique<px::ParadoxTableImpl>();
    t->load(dbPath, passwords, readOnly);
    return t;
}

} // namespace kw::data
