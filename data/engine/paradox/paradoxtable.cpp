// The Paradox table engine: reads a table into memory (pxopen.cpp), writes
// every change through a write-ahead journal of whole blocks (pxjournal.cpp),
// and keeps the derived files (.PX, .VAL, secondary indexes) in step at
// create, open and close (pxderived.cpp).
#include "data/engine/paradox/paradoxtableimpl.h"

#include "core/durablefile.h"
#include "data/engine/fieldvalue.h"
#include "data/engine/paradox/pxformat.h"
#include "data/engine/paradox/pxio.h"

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
