// Opening a Paradox table: its files are found whatever their case, a
// writer takes the table exclusively, a journal left by a crash is finished,
// and the header and block chain are checked before any row is used. A
// table found damaged is refused whole rather than read short.
#include "data/engine/paradox/paradoxtableimpl.h"

#include "core/durablefile.h"
#include "core/filelock.h"
#include "core/findfile.h"
#include "data/engine/paradox/pxformat.h"
#include "data/engine/paradox/pxio.h"

#include <QFileInfo>
#include <QtEndian>

namespace kw::data::px {

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

} // namespace kw::data::px
