#pragma once
// The Paradox table engine behind ParadoxTable: the table's rows in memory,
// changes written through the journal, the derived files kept in step.
// paradoxtable.cpp opens tables and changes rows, pxderived.cpp keeps the
// derived files, pxcreate.cpp creates tables.
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/paradox/pxfile.h"
#include "data/engine/paradox/pxformat.h"
#include "data/engine/paradox/pxjournal.h"

#include <QFile>
#include <QSet>
#include <QtEndian>
#include <cstring>
#include <functional>
#include <algorithm>
#include <optional>

namespace kw::data::px {

// Whether an index file extension is a single-field index (.X02, not .XG0).
bool isSingleFieldExt(const QString &ext);
// Whether an extension is one of a secondary index's files (.Xnn, .Ynn,
// .XGn, .YGn); the upper-case extension of its data file goes to *dataExt.
bool isIndexExt(const QString &ext, QString *dataExt = nullptr);

// Reads the data blocks of a table file held in memory, decrypted.
class BlockReader {
public:
    BlockReader(const QByteArray &data, int headerSize, int blockSize, quint32 checksum)
        : m_data(data), m_headerSize(headerSize), m_blockSize(blockSize), m_checksum(checksum), m_buf(blockSize, '\0')
    {
    }
    // Blocks the file holds, a short last one counting.
    int blocksInFile() const
    {
        const qint64 avail = m_data.size() - m_headerSize;
        return int(std::min<qint64>(65535, (avail + m_blockSize - 1) / m_blockSize));
    }
    // How many leading bytes of block num read as they were written: all of
    // a whole block; of a block the file ends inside, the bytes it holds, or
    // for an encrypted table the whole 256-byte chunks it holds (a chunk's
    // bytes are shuffled, so one cut short decrypts to nothing sound).
    int soundBytes(int num) const
    {
        const qint64 at = m_headerSize + qint64(num - 1) * m_blockSize;
        const qint64 n = std::clamp<qint64>(m_data.size() - at, 0, m_blockSize);
        return int(m_checksum ? n / 256 * 256 : n);
    }
    bool whole(int num) const { return soundBytes(num) == m_blockSize; }
    // Block num (1-based), valid until the next call.
    const uchar *read(int num)
    {
        const qint64 at = m_headerSize + qint64(num - 1) * m_blockSize;
        const qint64 n = std::min<qint64>(m_blockSize, m_data.size() - at);
        m_buf.fill('\0');
        std::memcpy(m_buf.data(), m_data.constData() + at, size_t(n)); // a short last block reads as zeros
        if (m_checksum)
            decryptBlock(reinterpret_cast<uchar *>(m_buf.data()), m_blockSize, m_checksum, quint32(num));
        return reinterpret_cast<const uchar *>(m_buf.constData());
    }

private:
    const QByteArray &m_data;
    int m_headerSize, m_blockSize;
    quint32 m_checksum;
    QByteArray m_buf;
};

// Where an opening of a table starts counting its changes: far from where
// any earlier opening in this process started, so that a table closed and
// opened again (a restore, an import) never shows a cache the change count
// it had read before.
quint64 firstChangeCount();

class ParadoxTableImpl final : public ParadoxTable {
public:
    ParadoxTableImpl() = default;
    ~ParadoxTableImpl() override
    {
        try {
            close();
        } catch (...) {
            // A failing close leaves the flag that has the next open rebuild.
        }
    }

    // Opens the table file (see ParadoxTable::open).
    void load(const QString &path, const QStringList &passwords, bool readOnly);
    // Rewrites a damaged table from the blocks it can read (see
    // ParadoxTable::repair); its derived files are left to the next open.
    TableRepairReport rebuild(const QString &path, const QStringList &passwords);

    QString path() const override { return m_path; }
    const TableDef &def() const override { return m_info.def; }
    int formatLevel() const override { return m_level; }
    int rowCount() const override { return int(m_s.rows.size()); }
    const Row &row(int i) const override
    {
        if (i < 0 || i >= m_s.rows.size())
            throw EngineError(QStringLiteral("Row %1 is out of range.").arg(i));
        return m_s.rows[i];
    }
    int findKey(const Row &key) const override;
    int insert(Row &row) override;
    void insertRows(QVector<Row> &rows) override;
    int update(int i, const Row &row) override;
    void remove(int i) override;
    void removeAll() override;
    quint64 changeCount() const override { return m_changes; }
    void beginBatch() override;
    void endBatch() override;
    void abandonBatch() override;
    void close() override;
    bool isReadOnly() const override { return m_readOnly; }
    bool fileHoldsRows() const override { return !m_replayedInMemory; }
    void syncSchema(const TableDef &expected) override;

private:
    struct Blk {
        quint16 num = 0;
        int count = 0;
    };
    struct State {
        QVector<QByteArray> recs;
        QVector<Row> rows;
        QVector<Blk> chain;
        QVector<quint16> freeList;
        int fileBlocks = 0;
        quint32 autoInc = 0;
    };

    void checkWritable() const;
    QByteArray encodeRow(const Row &row) const;
    Row decodeRecord(const QByteArray &rec) const;
    int lowerBound(const char *key, int keyBytes) const;
    int keyCompare(const QByteArray &a, const QByteArray &b) const
    {
        return std::memcmp(a.constData(), b.constData(), size_t(m_keyBytes));
    }
    // Chain index of the block holding position pos, and the block's start.
    int locate(int pos, int *start = nullptr) const;
    quint16 allocateBlock(QSet<int> &dirty);
    void freeBlock(quint16 num, QSet<int> &dirty);
    int doInsert(const QByteArray &rec, QSet<int> &dirty);
    void doRemove(int pos, QSet<int> &dirty);
    void stampHeader();
    void commit(const QSet<int> &dirty, bool rebuildFlag = true);
    void guarded(const std::function<void(QSet<int> &)> &change);
    QByteArray blockImage(quint16 num) const;
    void writeJournal(const Journal &j);

    // The steps of load().
    void findFiles(const QString &requested);
    void lockForWriting();
    std::optional<Journal> replayJournal(QByteArray &data) const;
    bool looksEncrypted(const FileHeader &h, const QByteArray &data, const QStringList &passwords) const;
    void checkPassword(const FileHeader &h, const QByteArray &data, const QStringList &passwords) const;
    void takeHeader(const FileHeader &h, const QByteArray &data);
    [[noreturn]] void chainDamaged(const QString &why) const;
    int recordsInBlock(const uchar *block) const;
    QVector<bool> readBlockChain(const FileHeader &h, BlockReader &blocks);
    void readFreeList(const FileHeader &h, BlockReader &blocks, QVector<bool> &seen);
    void checkKeyOrder() const;
    void readRequiredFlags();
    void openJournal(const std::optional<Journal> &pending);
    void removeStaleTemporaries();

    // The steps of rebuild().
    QVector<int> readableBlocksInOrder(BlockReader &blocks, TableRepairReport &report);
    void takeRecoveredRows(BlockReader &blocks, const QVector<int> &order, TableRepairReport &report);
    QString keepDamagedCopy(const QByteArray &original) const;
    QStringList dropUnreadableIndexes();

    QString companion(const QString &ext) const;
    QVector<ChainBlock> chainBlocks() const;
    bool derivedStale();
    void writeDerived();
    void scanIndexes();

    QString m_path, m_dir, m_base, m_jnlPath;
    TableInfo m_info;
    int m_level = 7;
    int m_recSize = 0, m_blockSize = 2048, m_headerSize = 0x800, m_keyBytes = 0;
    QVector<int> m_offsets;
    QByteArray m_header;         // plain header as on disk
    QByteArray m_writtenHeader;  // last header written
    State m_s;
    QFile m_file, m_jnl;
    bool m_readOnly = true, m_open = false, m_modified = false, m_rebuildPending = false;
    bool m_hasVal = false;
    bool m_replayedInMemory = false; // a journal's change the file does not hold
    quint64 m_changes = firstChangeCount();
    // Open batches, outermost first, each with the rows and header as they
    // were when it began; the blocks their changes touched.
    struct BatchStart {
        State state;
        QByteArray header;
    };
    QVector<BatchStart> m_batches;
    QSet<int> m_batchDirty;
};

} // namespace kw::data::px
