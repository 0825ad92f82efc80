// Repair of a table whose block chain is damaged. The chain is the only
// thing that orders the blocks, so it is rebuilt from the blocks
// themselves: every block whose record count makes sense gives its rows,
// blocks that still link to each other (next and previous both agree)
// stay together in their order, and the fragment that starts a chain
// comes first. A keyed table needs no order from the blocks: its rows are
// sorted by key. The damaged file is kept as it was, beside the table,
// before the packed table replaces it.
#include "data/engine/paradox/paradoxtableimpl.h"

#include "core/durablefile.h"
#include "data/engine/paradox/pxio.h"

#include <QDir>
#include <QFileInfo>

namespace kw::data::px {

TableRepairReport ParadoxTableImpl::rebuild(const QString &requested, const QStringList &passwords)
{
    findFiles(requested);
    lockForWriting();
    if (!m_file.isOpen())
        throw EngineError(QStringLiteral("Table cannot be repaired: it cannot be written.\nFile: %1").arg(native(m_path)));
    bool ok = false;
    const QByteArray original = readWholeFile(m_path, &ok);
    if (!ok)
        throw EngineError(QStringLiteral("Cannot open table.\nFile: %1").arg(native(m_path)));
    QByteArray data = original;
    replayJournal(data); // a change the journal completed belongs to the rows
    const FileHeader h = parseHeader(data, false, m_path);
    if (h.fileType != 0 && h.fileType != 2)
        throw EngineError(QStringLiteral("Not a table file.\nFile: %1").arg(native(m_path)));
    checkPassword(h, data, passwords);
    takeHeader(h, data);

    TableRepairReport report;
    report.path = m_path;
    report.damaged = true;
    report.headerRows = h.numRecords;
    BlockReader blocks(data, m_headerSize, m_blockSize, h.checksum);
    takeRecoveredRows(blocks, readableBlocksInOrder(blocks, report), report);

    report.keptCopy = keepDamagedCopy(original);
    QByteArray image = m_header;
    image.reserve(m_headerSize + m_s.fileBlocks * m_blockSize);
    for (int num = 1; num <= m_s.fileBlocks; ++num)
        image += blockImage(quint16(num));
    writeFileAtomic(m_path, image);
    // The journal described the old file; its change is in the rows now.
    QFile::remove(m_jnlPath);
    scanIndexes();
    report.indexesDropped = dropUnreadableIndexes();
    m_file.close();
    return report;
}

// Readable blocks, chain fragments in their order: first the fragments
// that start a chain, then the others in file order.
QVector<int> ParadoxTableImpl::readableBlocksInOrder(BlockReader &blocks, TableRepairReport &report)
{
    const int n = blocks.blocksInFile();
    QVector<int> next(n + 1, 0), prev(n + 1, 0), count(n + 1, 0);
    for (int num = 1; num <= n; ++num) {
        if (blocks.soundBytes(num) < 6) {
            // The file ends before the block's own links and count.
            count[num] = -1;
            ++report.blocksUnreadable;
            continue;
        }
        const uchar *b = blocks.read(num);
        next[num] = qFromLittleEndian<quint16>(b);
        prev[num] = qFromLittleEndian<quint16>(b + 2);
        count[num] = recordsInBlock(b);
        if (count[num] < 0)
            ++report.blocksUnreadable;
    }
    const auto holdsRows = [&](int num) { return num >= 1 && num <= n && count[num] > 0; };
    const auto linked = [&](int from, int to) {
        return holdsRows(from) && holdsRows(to) && next[from] == to && prev[to] == from;
    };
    QVector<bool> taken(n + 1, false);
    QVector<int> order;
    const auto walk = [&](int num) {
        for (int at = num; !taken[at]; at = next[at]) {
            taken[at] = true;
            order.append(at);
            if (!linked(at, next[at]))
                break;
        }
    };
    QVector<int> heads;
    for (int num = 1; num <= n; ++num)
        if (holdsRows(num) && !linked(prev[num], num))
            heads.append(num);
    std::stable_partition(heads.begin(), heads.end(), [&](int num) { return prev[num] == 0; });
    for (int num : std::as_const(heads))
        walk(num);
    for (int num = 1; num <= n; ++num) // fragments closed into a loop
        if (holdsRows(num))
            walk(num);
    report.blocksRead = int(order.size());
    return order;
}

void ParadoxTableImpl::takeRecoveredRows(BlockReader &blocks, const QVector<int> &order, TableRepairReport &report)
{
    QVector<QByteArray> recs;
    for (int num : order) {
        const uchar *b = blocks.read(num);
        const int count = recordsInBlock(b);
        // Only rows the file holds whole: the missing bytes of a row the file
        // ends inside would read as zeros and decrypt into values no one wrote.
        const int whole = std::min(count, (blocks.soundBytes(num) - 6) / m_recSize);
        report.rowsCutOff += count - whole;
        for (int r = 0; r < whole; ++r)
            recs.append(QByteArray(reinterpret_cast<const char *>(b + 6 + r * m_recSize), m_recSize));
    }
    if (m_keyBytes > 0) {
        std::stable_sort(recs.begin(), recs.end(),
                         [this](const QByteArray &a, const QByteArray &b) { return keyCompare(a, b) < 0; });
        const auto end = std::unique(recs.begin(), recs.end(),
                                     [this](const QByteArray &a, const QByteArray &b) { return keyCompare(a, b) == 0; });
        report.duplicatesDropped = int(recs.end() - end);
        recs.erase(end, recs.end());
    }
    // The rows packed into full blocks, 1 to n in file order.
    const int cap = (m_blockSize - 6) / m_recSize;
    m_s = State();
    for (int first = 0; first < recs.size(); first += cap)
        m_s.chain.append({quint16(m_s.chain.size() + 1), int(std::min<qsizetype>(cap, recs.size() - first))});
    if (m_s.chain.size() > 65535)
        throw EngineError(QStringLiteral("Table is full.\nFile: %1").arg(native(m_path)));
    m_s.fileBlocks = int(m_s.chain.size());
    m_s.autoInc = qFromLittleEndian<quint32>(m_header.constData() + 0x49);
    for (const QByteArray &rec : std::as_const(recs)) {
        m_s.rows.append(decodeRecord(rec));
        // A lost header count must not hand out a number a row holds.
        for (int i = 0; i < m_info.def.fields.size(); ++i)
            if (m_info.def.fields[i].type == FieldType::AutoInc && !m_s.rows.last()[i].isNull())
                m_s.autoInc = std::max<quint32>(m_s.autoInc, quint32(std::max(0, m_s.rows.last()[i].toInt())));
    }
    m_s.recs = recs;
    report.rowsRecovered = int(recs.size());
    stampHeader();
    m_header[0x14] = 1; // the derived files follow at the next open
}

// "<table file>.damaged", or with "-2", "-3" ... when that name is taken.
QString ParadoxTableImpl::keepDamagedCopy(const QByteArray &original) const
{
    const QString base = m_path + QStringLiteral(".damaged");
    QString kept = base;
    for (int i = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++i)
        kept = base + QStringLiteral("-%1").arg(i);
    writeFileAtomic(kept, original);
    return kept;
}

// Index files no index of the table can be read from are removed: left in
// place they would disagree with the rebuilt rows.
QStringList ParadoxTableImpl::dropUnreadableIndexes()
{
    QSet<QString> kept;
    for (const IndexDef &idx : std::as_const(m_info.def.indexes))
        kept.insert(idx.fileExt.toUpper());
    QStringList dropped;
    const QDir dir(m_dir);
    for (const QString &e : dir.entryList(QDir::Files)) {
        const QFileInfo fi(e);
        QString x;
        if (fi.completeBaseName().compare(m_base, Qt::CaseInsensitive) != 0 || !isIndexExt(fi.suffix(), &x)
            || kept.contains(x))
            continue;
        if (QFile::remove(dir.filePath(e)))
            dropped.append(e);
    }
    return dropped;
}

} // namespace kw::data::px

namespace kw::data {

TableRepairReport ParadoxTable::repair(const QString &dbPath, const QStringList &passwords)
{
    try {
        auto table = open(dbPath, passwords, false);
        table->close();
        TableRepairReport sound;
        sound.path = table->path();
        return sound;
    } catch (const EngineError &) {
        // Damage of the chain is repaired below; anything else fails again there.
    }
    const TableRepairReport report = px::ParadoxTableImpl().rebuild(dbPath, passwords);
    open(dbPath, passwords, false)->close();
    return report;
}

} // namespace kw::data
