// The Paradox table engine: reads a table into memory, writes every change
// through a write-ahead journal of whole blocks, and keeps the derived files
// (.PX, .VAL, secondary indexes) in step at create, open and close.
//
// Durability: a change is first written to "<table>-journal" as the complete
// new images of the blocks (and header) it touches, with a CRC and an end
// mark, and synced; only then are the blocks written in place and the table
// synced. On open, a complete journal is replayed (replaying the last one
// twice is harmless: it holds new images, not differences) and an incomplete
// one is dropped, since the table was not touched before it was complete.
#include "data/paradox/paradoxtable.h"
#include "core/durablefile.h"
#include "core/filelock.h"
#include "core/findfile.h"
#include "data/engineerror.h"
#include "data/fieldvalue.h"
#include "data/paradox/pxfile.h"
#include "data/paradox/pxformat.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <functional>

namespace kw::data {

namespace {

using namespace kw::data::px;

const char kJournalMagic[8] = {'K', 'W', 'P', 'X', 'J', 'N', 'L', '1'};
const char kJournalEnd[8] = {'K', 'W', 'P', 'X', 'J', 'E', 'N', 'D'};

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

[[noreturn]] void ioError(const QString &what, const QString &path, const QString &detail)
{
    throw EngineError(QStringLiteral("%1: %2 (%3).").arg(what, native(path), detail));
}

void syncFile(QFile &f)
{
    QString why;
    if (!kw::core::syncFile(f, &why))
        ioError(QStringLiteral("Cannot flush file"), f.fileName(), why);
}

QByteArray readWholeFile(const QString &path, bool *ok);

void writeFileAtomic(const QString &path, const QByteArray &data)
{
    QString why;
    if (!kw::core::writeFileDurably(path, data, &why))
        ioError(QStringLiteral("Cannot write file"), path, why);
}

// The header of a file (at most 64 KB: header sizes are 16-bit).
QByteArray readHeaderBytes(const QString &path, bool *ok)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *ok = false;
        return {};
    }
    *ok = true;
    return f.read(65536);
}

QByteArray readWholeFile(const QString &path, bool *ok)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *ok = false;
        return {};
    }
    *ok = true;
    return f.readAll();
}

// A journal: the target file's final length and a list of writes. It also
// names the table header it goes with (before and after the change), so
// that a journal left beside a table that was since replaced (a restore)
// is not applied to the wrong file.
struct Journal {
    qint64 finalLength = 0;
    quint32 headerLength = 0;
    quint32 headerBefore = 0;
    quint32 headerAfter = 0;
    QVector<QPair<qint64, QByteArray>> writes;

    bool belongsTo(const QByteArray &table) const
    {
        if (table.size() < qsizetype(headerLength))
            return false;
        const quint32 crc = crc32(table.constData(), headerLength);
        return crc == headerBefore || crc == headerAfter;
    }
};

QByteArray encodeJournal(const Journal &j)
{
    QByteArray out(kJournalMagic, 8);
    const auto put64 = [&out](quint64 v) {
        v = qToLittleEndian(v);
        out.append(reinterpret_cast<const char *>(&v), sizeof v);
    };
    const auto put32v = [&out](quint32 v) {
        v = qToLittleEndian(v);
        out.append(reinterpret_cast<const char *>(&v), sizeof v);
    };
    put32v(quint32(j.writes.size()));
    put64(quint64(j.finalLength));
    put32v(j.headerLength);
    put32v(j.headerBefore);
    put32v(j.headerAfter);
    for (const auto &w : j.writes) {
        put64(quint64(w.first));
        put32v(quint32(w.second.size()));
        out.append(w.second);
    }
    put32v(crc32(out.constData(), out.size()));
    out.append(kJournalEnd, 8);
    return out;
}

// False when the journal is incomplete or damaged (then it was never applied).
bool decodeJournal(const QByteArray &data, Journal *j)
{
    const auto *d = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype len = data.size();
    if (len < 8 + 4 + 8 + 12 + 4 + 8 || std::memcmp(d, kJournalMagic, 8) != 0
        || std::memcmp(d + len - 8, kJournalEnd, 8) != 0)
        return false;
    const qsizetype body = len - 12;
    if (crc32(data.constData(), body) != qFromLittleEndian<quint32>(d + body))
        return false;
    const auto get64 = [d](qsizetype at) { return qFromLittleEndian<quint64>(d + at); };
    const quint32 count = qFromLittleEndian<quint32>(d + 8);
    j->finalLength = qint64(get64(12));
    j->headerLength = qFromLittleEndian<quint32>(d + 20);
    j->headerBefore = qFromLittleEndian<quint32>(d + 24);
    j->headerAfter = qFromLittleEndian<quint32>(d + 28);
    qsizetype pos = 32;
    for (quint32 i = 0; i < count; ++i) {
        if (pos + 12 > body)
            return false;
        const quint64 off = get64(pos);
        const quint32 n = qFromLittleEndian<quint32>(d + pos + 8);
        pos += 12;
        if (n > quint64(body - pos) || off > (quint64(1) << 40))
            return false;
        j->writes.append({qint64(off), data.mid(pos, n)});
        pos += n;
    }
    return pos == body && j->finalLength >= 0 && j->finalLength < (qint64(1) << 40);
}

void applyJournalToBuffer(const Journal &j, QByteArray &data)
{
    data.resize(j.finalLength, '\0');
    for (const auto &w : j.writes) {
        if (w.first >= j.finalLength)
            continue;
        const qsizetype n = std::min<qsizetype>(w.second.size(), j.finalLength - w.first);
        std::memcpy(data.data() + w.first, w.second.constData(), size_t(n));
    }
}

void applyJournalToFile(const Journal &j, QFile &f)
{
    for (const auto &w : j.writes) {
        if (!f.seek(w.first) || f.write(w.second) != w.second.size())
            ioError(QStringLiteral("Cannot write table file"), f.fileName(), f.errorString());
    }
    if (f.size() != j.finalLength && !f.resize(j.finalLength))
        ioError(QStringLiteral("Cannot write table file"), f.fileName(), f.errorString());
    syncFile(f);
}

bool isSingleFieldExt(const QString &ext)
{
    if (ext.size() != 3 || ext[0] != QLatin1Char('X'))
        return false;
    bool ok = false;
    ext.mid(1).toInt(&ok, 16);
    return ok && ext[1] != QLatin1Char('G');
}

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

    void load(const QString &path, const QStringList &passwords, bool readOnly);

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
    void close() override;
    bool isReadOnly() const override { return m_readOnly; }
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
    void commit(const QSet<int> &dirty, bool rebuildFlag = true);
    void guarded(const std::function<void(QSet<int> &)> &change);
    QByteArray blockImage(quint16 num) const;
    void writeJournal(const Journal &j);

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
    quint64 m_changes = 0;
};

// ---- open -------------------------------------------------------------------------

void ParadoxTableImpl::load(const QString &requested, const QStringList &passwords, bool readOnly)
{
    const QFileInfo rfi(requested);
    m_dir = rfi.absolutePath();
    m_path = kw::core::findFileNoCase(m_dir, rfi.fileName());
    if (!QFileInfo::exists(m_path) && rfi.suffix().isEmpty())
        m_path = kw::core::findFileNoCase(m_dir, rfi.fileName() + QStringLiteral(".DB"));
    if (!QFileInfo(m_path).isFile())
        throw EngineError(QStringLiteral("Table does not exist.\nFile: %1").arg(native(m_path)));
    m_base = QFileInfo(m_path).completeBaseName();
    m_jnlPath = kw::core::findFileNoCase(m_dir, QFileInfo(m_path).fileName() + QStringLiteral("-journal"));

    // A writer holds the table exclusively (two writers would each keep
    // their own copy of the rows); the kernel drops the lock if it dies.
    if (!readOnly) {
        m_file.setFileName(m_path);
        if (m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            if (!kw::core::tryLockFile(m_file, kw::core::LockMode::Exclusive)) {
                m_file.close();
                throw EngineError(QStringLiteral("Table is busy: it is open for writing elsewhere.\nFile: %1")
                                      .arg(native(m_path)));
            }
        }
    }
    bool ok = false;
    QByteArray data = readWholeFile(m_path, &ok);
    if (!ok)
        throw EngineError(QStringLiteral("Cannot open table.\nFile: %1").arg(native(m_path)));

    // Finish (or drop) a change that a crash interrupted.
    Journal pending;
    bool replay = false;
    if (QFileInfo::exists(m_jnlPath)) {
        bool jok = false;
        const QByteArray jdata = readWholeFile(m_jnlPath, &jok);
        replay = jok && decodeJournal(jdata, &pending) && pending.belongsTo(data);
        if (replay)
            applyJournalToBuffer(pending, data);
    }

    FileHeader h = parseHeader(data, false, m_path);
    if (h.fileType != 0 && h.fileType != 2)
        throw EngineError(QStringLiteral("Not a table file.\nFile: %1").arg(native(m_path)));
    if (h.checksum) {
        bool matched = false;
        for (const QString &pw : passwords)
            if (passwordChecksum(pw.toLatin1()) == h.checksum) {
                matched = true;
                break;
            }
        if (!matched)
            throw EngineError(passwords.isEmpty()
                                  ? QStringLiteral("Table is password protected and no password was given.\nTable: %1").arg(native(m_path))
                                  : QStringLiteral("Invalid password.\nTable: %1").arg(native(m_path)));
    }
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

    // Walk the chain of data blocks.
    const qint64 avail = data.size() - m_headerSize;
    const int blocksInFile = int(std::min<qint64>(65535, (avail + m_blockSize - 1) / m_blockSize));
    const int cap = (m_blockSize - 6) / m_recSize;
    QVector<bool> seen(blocksInFile + 1, false);
    QByteArray buf(m_blockSize, '\0');
    auto readBlock = [&](int num) {
        const qint64 at = m_headerSize + qint64(num - 1) * m_blockSize;
        const qint64 n = std::min<qint64>(m_blockSize, data.size() - at);
        buf.fill('\0');
        std::memcpy(buf.data(), data.constData() + at, size_t(n)); // a short last block reads as zeros
        if (h.checksum)
            decryptBlock(reinterpret_cast<uchar *>(buf.data()), m_blockSize, h.checksum, quint32(num));
        return reinterpret_cast<const uchar *>(buf.constData());
    };
    int num = h.firstBlock;
    while (num != 0) {
        if (num < 1 || num > blocksInFile)
            throw EngineError(QStringLiteral("Corrupt table: block %1 lies outside the file.\nFile: %2")
                                  .arg(num).arg(native(m_path)));
        if (seen[num])
            throw EngineError(QStringLiteral("Corrupt table: the block chain loops.\nFile: %1").arg(native(m_path)));
        seen[num] = true;
        const uchar *b = readBlock(num);
        const int last = qFromLittleEndian<qint16>(b + 4);
        int count = 0;
        if (last >= 0) {
            if (last % m_recSize != 0 || last / m_recSize + 1 > cap)
                throw EngineError(QStringLiteral("Corrupt table: bad record count in block %1.\nFile: %2")
                                      .arg(num).arg(native(m_path)));
            count = last / m_recSize + 1;
        }
        for (int r = 0; r < count; ++r) {
            QByteArray rec(reinterpret_cast<const char *>(b + 6 + r * m_recSize), m_recSize);
            m_s.rows.append(decodeRecord(rec));
            m_s.recs.append(rec);
        }
        m_s.chain.append({quint16(num), count});
        num = qFromLittleEndian<quint16>(b);
    }
    m_s.fileBlocks = blocksInFile;
    // Free list: used when sound, otherwise its blocks are simply not reused.
    {
        QVector<quint16> freeList;
        int f = h.firstFreeBlock;
        bool sound = true;
        while (f != 0) {
            if (f < 1 || f > m_s.fileBlocks || seen[f]) {
                sound = false;
                break;
            }
            seen[f] = true;
            freeList.append(quint16(f));
            f = qFromLittleEndian<quint16>(readBlock(f));
        }
        if (sound)
            m_s.freeList = freeList;
    }
    // Keyed tables hold their rows in key order; anything else is damage.
    if (m_keyBytes > 0)
        for (int i = 1; i < m_s.recs.size(); ++i)
            if (keyCompare(m_s.recs[i - 1], m_s.recs[i]) > 0)
                throw EngineError(QStringLiteral("Corrupt table: rows are out of key order.\nFile: %1")
                                      .arg(native(m_path)));

    // Required flags from the .VAL file.
    const QString valPath = companion(QStringLiteral("VAL"));
    m_hasVal = QFileInfo::exists(valPath);
    m_info.def.hasValFile = m_hasVal;
    if (m_hasVal) {
        bool vok = false;
        ValInfo vi;
        const QByteArray vdata = readWholeFile(valPath, &vok);
        if (vok && readValFile(vdata, &vi) && vi.fieldCount == m_info.def.fields.size())
            for (int i = 0; i < vi.required.size(); ++i)
                m_info.def.fields[i].required = vi.required[i];
    }
    scanIndexes();

    m_readOnly = true;
    if (m_file.isOpen()) {
        {
            m_jnl.setFileName(m_jnlPath);
            if (m_jnl.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
                if (replay)
                    applyJournalToFile(pending, m_file);
                m_jnl.resize(0);
                syncFile(m_jnl);
                kw::core::syncDirectory(m_dir);
                m_readOnly = false;
            } else {
                m_file.close(); // without a journal no change could be made safely
            }
        }
    }
    m_open = true;
    if (!m_readOnly && derivedStale()) {
        writeDerived();
        QSet<int> none;
        m_header[0x14] = 0;
        commit(none, false);
    }
}

void ParadoxTableImpl::scanIndexes()
{
    m_info.def.indexes.clear();
    if (m_level < 4)
        return;
    const QStringList entries = QDir(m_dir).entryList(QDir::Files);
    QSet<QString> haveX;
    QStringList yOnly;
    for (const QString &e : entries) {
        const QFileInfo fi(e);
        if (fi.completeBaseName().compare(m_base, Qt::CaseInsensitive) != 0)
            continue;
        const QString ext = fi.suffix().toUpper();
        const bool single = isSingleFieldExt(ext);
        const bool named = ext.size() == 3 && ext.startsWith(QLatin1String("XG"));
        if (!single && !named) {
            if (ext.size() == 3 && ext[0] == QLatin1Char('Y'))
                yOnly.append(ext);
            continue;
        }
        haveX.insert(ext);
        bool ok = false;
        const QByteArray xdata = readHeaderBytes(QDir(m_dir).filePath(e), &ok);
        IndexDef idx;
        try {
            if (ok) {
                const FileHeader xh = parseHeader(xdata, false, e);
                idx = indexDefFromHeader(xh, m_info.def, ext);
            }
        } catch (const EngineError &) {
        }
        if (idx.name.isEmpty() && single) {
            // A damaged single-field index still names its field.
            const int fnum = ext.mid(1).toInt(nullptr, 16);
            if (fnum >= 1 && fnum <= m_info.def.fields.size()) {
                idx.name = m_info.def.fields[fnum - 1].name;
                idx.fields = QStringList{idx.name};
                idx.fileExt = ext;
            }
        }
        if (!idx.name.isEmpty())
            m_info.def.indexes.append(idx);
    }
    // A lone .Ynn still tells which field its lost .Xnn indexed.
    for (const QString &y : yOnly) {
        QString x = y;
        x[0] = QLatin1Char('X');
        if (haveX.contains(x) || !isSingleFieldExt(x))
            continue;
        const int fnum = x.mid(1).toInt(nullptr, 16);
        if (fnum >= 1 && fnum <= m_info.def.fields.size()) {
            IndexDef idx;
            idx.name = m_info.def.fields[fnum - 1].name;
            idx.fields = QStringList{idx.name};
            idx.fileExt = x;
            m_info.def.indexes.append(idx);
        }
    }
    std::sort(m_info.def.indexes.begin(), m_info.def.indexes.end(),
              [](const IndexDef &a, const IndexDef &b) { return a.fileExt < b.fileExt; });
}

QString ParadoxTableImpl::companion(const QString &ext) const
{
    return kw::core::findFileNoCase(m_dir, m_base + QLatin1Char('.') + ext);
}

QVector<ChainBlock> ParadoxTableImpl::chainBlocks() const
{
    QVector<ChainBlock> out;
    int first = 0;
    for (const Blk &b : m_s.chain) {
        out.append({b.num, first, b.count});
        first += b.count;
    }
    return out;
}

// ---- derived files ----------------------------------------------------------------

bool ParadoxTableImpl::derivedStale()
{
    if (m_header[0x14] != 0 || m_rebuildPending)
        return true;
    const auto *th = reinterpret_cast<const uchar *>(m_header.constData());
    bool ok = false;
    if (m_keyBytes > 0) {
        const QString pxPath = companion(QStringLiteral("PX"));
        const QByteArray px = readWholeFile(pxPath, &ok);
        if (!ok || px != buildPrimaryIndex(m_info, m_s.recs, chainBlocks(), QFileInfo(pxPath).fileName().toLatin1()))
            return true;
    }
    if (m_hasVal && m_level >= 4) {
        ValInfo vi;
        const QByteArray val = readWholeFile(companion(QStringLiteral("VAL")), &ok);
        if (!ok || !readValFile(val, &vi) || vi.changeCounter2 != th[0x2E]
            || vi.updateTime != m_info.updateTime || vi.nextFieldId != m_info.nextFieldId)
            return true;
    }
    for (const IndexDef &idx : std::as_const(m_info.def.indexes)) {
        const QByteArray x = readHeaderBytes(companion(idx.fileExt), &ok);
        if (!ok)
            return true;
        QString yExt = idx.fileExt;
        yExt[0] = QLatin1Char('Y');
        const QByteArray y = readHeaderBytes(companion(yExt), &ok);
        if (!ok || x.size() < 0x58 || y.size() < 0x58)
            return true;
        const auto *xd = reinterpret_cast<const uchar *>(x.constData());
        const auto *yd = reinterpret_cast<const uchar *>(y.constData());
        if (qFromLittleEndian<quint32>(xd + 6) != quint32(m_s.recs.size()) || xd[0x2F] != th[0x2D] || xd[0x2E] != th[0x2E]
            || yd[0x2C] != xd[0x2D])
            return true;
    }
    return false;
}

// Writes every derived file whose bytes differ from what the table gives.
void ParadoxTableImpl::writeDerived()
{
    auto writeFileAtomic = [](const QString &path, const QByteArray &data) {
        bool ok = false;
        if (readWholeFile(path, &ok) == data && ok)
            return;
        kw::data::writeFileAtomic(path, data);
    };
    const QVector<ChainBlock> chain = chainBlocks();
    m_info.autoIncrement = m_s.autoInc;
    if (m_keyBytes > 0) {
        const QString pxPath = companion(QStringLiteral("PX"));
        writeFileAtomic(pxPath, buildPrimaryIndex(m_info, m_s.recs, chain, QFileInfo(pxPath).fileName().toLatin1()));
    }
    if (m_level >= 4) {
        if (m_hasVal) {
            const QString valPath = companion(QStringLiteral("VAL"));
            writeFileAtomic(valPath, buildValFile(m_info, native(QFileInfo(m_path).absoluteFilePath()).toLatin1()));
        }
        for (const IndexDef &idx : std::as_const(m_info.def.indexes)) {
            QString yExt = idx.fileExt;
            yExt[0] = QLatin1Char('Y');
            const QString xPath = companion(idx.fileExt), yPath = companion(yExt);
            const SecondaryFiles files = buildSecondaryIndex(m_info, idx, m_s.recs, chain,
                                                             QFileInfo(xPath).fileName().toLatin1(),
                                                             QFileInfo(yPath).fileName().toLatin1());
            writeFileAtomic(xPath, files.x);
            writeFileAtomic(yPath, files.y);
        }
    }
    m_rebuildPending = false;
}

void ParadoxTableImpl::syncSchema(const TableDef &expected)
{
    if (m_readOnly || !m_open)
        return;
    if (expected.fields.size() != m_info.def.fields.size())
        throw EngineError(QStringLiteral("Table structure does not match.\nFile: %1").arg(native(m_path)));
    bool changed = false;
    for (int i = 0; i < expected.fields.size(); ++i) {
        if (expected.fields[i].name.compare(m_info.def.fields[i].name, Qt::CaseInsensitive) != 0
            || expected.fields[i].type != m_info.def.fields[i].type)
            throw EngineError(QStringLiteral("Table structure does not match.\nFile: %1").arg(native(m_path)));
        if (expected.hasValFile && m_info.def.fields[i].required != expected.fields[i].required) {
            m_info.def.fields[i].required = expected.fields[i].required;
            changed = true;
        }
    }
    if (expected.hasValFile && !m_hasVal) {
        m_hasVal = true;
        m_info.def.hasValFile = true;
        changed = true;
    }
    for (const IndexDef &want : expected.indexes) {
        auto same = [&](const IndexDef &have) {
            return have.fileExt.compare(want.fileExt, Qt::CaseInsensitive) == 0;
        };
        auto it = std::find_if(m_info.def.indexes.begin(), m_info.def.indexes.end(), same);
        if (want.fileExt.isEmpty())
            continue;
        IndexDef w = want;
        w.fileExt = want.fileExt.toUpper();
        if (it == m_info.def.indexes.end()) {
            m_info.def.indexes.append(w);
            changed = true;
        } else if (it->name.compare(w.name, Qt::CaseInsensitive) != 0 || it->fields.size() != w.fields.size()
                   || it->caseInsensitive != w.caseInsensitive || it->descending != w.descending) {
            *it = w;
            changed = true;
        } else {
            for (int f = 0; f < w.fields.size(); ++f)
                if (it->fields[f].compare(w.fields[f], Qt::CaseInsensitive) != 0) {
                    *it = w;
                    changed = true;
                    break;
                }
        }
    }
    if (changed) {
        std::sort(m_info.def.indexes.begin(), m_info.def.indexes.end(),
                  [](const IndexDef &a, const IndexDef &b) { return a.fileExt < b.fileExt; });
        writeDerived();
        ++m_changes;
    }
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

void ParadoxTableImpl::commit(const QSet<int> &dirty, bool rebuildFlag)
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
    applyJournalToFile(j, m_file);
    m_jnl.resize(0); // the table holds it now; a replay of it would be harmless anyway
    m_writtenHeader = m_header;
    if (rebuildFlag)
        m_modified = true;
}

void ParadoxTableImpl::writeJournal(const Journal &j)
{
    const QByteArray bytes = encodeJournal(j);
    if (!m_jnl.seek(0) || m_jnl.write(bytes) != bytes.size() || !m_jnl.resize(bytes.size()))
        ioError(QStringLiteral("Cannot write the table's journal"), m_jnlPath, m_jnl.errorString());
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

void ParadoxTableImpl::close()
{
    if (!m_open)
        return;
    m_open = false;
    if (!m_readOnly) {
        // Open checks only what is cheap (presence, stamps, counts); here
        // every derived file is compared with what the table gives.
        writeDerived();
        m_header[0x14] = 0;
        commit(QSet<int>(), false);
        m_jnl.resize(0);
        syncFile(m_jnl);
        m_jnl.close();
        QFile::remove(m_jnlPath);
        m_file.close();
    }
    m_modified = false;
}

} // namespace

// ---- create -------------------------------------------------------------------------

void ParadoxTable::create(const QString &dbPath, const TableDef &defIn, const QString &password)
{
    const QFileInfo fi(dbPath);
    const QString dir = fi.absolutePath();
    const QString fileName = fi.fileName();
    if (QFileInfo::exists(kw::core::findFileNoCase(dir, fileName)))
        throw EngineError(QStringLiteral("Table already exists.\nFile: %1").arg(native(dbPath)));
    if (!QDir(dir).exists())
        throw EngineError(QStringLiteral("Directory does not exist.\nFile: %1").arg(native(dbPath)));
    TableDef def = defIn;
    if (def.fields.isEmpty() || def.fields.size() > 255)
        throw EngineError(QStringLiteral("A table needs 1 to 255 fields.\nFile: %1").arg(native(dbPath)));
    if (def.keyFieldCount < 0 || def.keyFieldCount > def.fields.size())
        throw EngineError(QStringLiteral("Bad key field count.\nFile: %1").arg(native(dbPath)));
    int recordSize = 0;
    for (FieldDef &f : def.fields) {
        if (f.name.isEmpty() || f.name.size() > 25)
            throw EngineError(QStringLiteral("Invalid field name '%1'.").arg(f.name));
        switch (f.type) {
        case FieldType::Alpha:
        case FieldType::Bytes:
            if (f.size < 1 || f.size > 255)
                throw EngineError(QStringLiteral("Invalid size of field '%1'.").arg(f.name));
            break;
        case FieldType::Short: f.size = 2; break;
        case FieldType::Logical: f.size = 1; break;
        case FieldType::Date:
        case FieldType::Long:
        case FieldType::Time:
        case FieldType::AutoInc: f.size = 4; break;
        case FieldType::Number:
        case FieldType::Currency:
        case FieldType::Timestamp: f.size = 8; break;
        case FieldType::Bcd: f.size = 17; break;
        default:
            throw EngineError(QStringLiteral("Field type of '%1' is not supported for new tables.").arg(f.name));
        }
        recordSize += f.size;
    }
    TableInfo info;
    info.def = def;
    info.version = 0x0C;
    info.blockSizeCode = 2;
    while (recordSize > info.blockSizeCode * 1024 - 6 && info.blockSizeCode < 32)
        info.blockSizeCode *= 2;
    if (recordSize > info.blockSizeCode * 1024 - 6)
        throw EngineError(QStringLiteral("Record too large.\nFile: %1").arg(native(dbPath)));
    info.sortId = 0;
    info.sortName = "ascii";
    info.codePage = 437;
    info.checksum = passwordChecksum(password.toLatin1());
    info.changeCounter1 = 2;
    info.changeCounter2 = 1;
    info.updateTime = quint32(QDateTime::currentSecsSinceEpoch());
    info.nextFieldId = int(def.fields.size()) + 1;
    for (int i = 0; i < def.fields.size(); ++i)
        info.fieldNumbers.append(i + 1);
    info.fileName = fileName.toLatin1();

    // Index files: a single-field, case-sensitive, ascending index named
    // after its field is an .Xnn; every other one an .XGn.
    QSet<QString> used;
    for (const IndexDef &idx : std::as_const(info.def.indexes))
        if (!idx.fileExt.isEmpty())
            used.insert(idx.fileExt.toUpper());
    int nextG = 0;
    for (IndexDef &idx : info.def.indexes) {
        for (const QString &f : idx.fields)
            if (def.fieldIndex(f) < 0)
                throw EngineError(QStringLiteral("Index %1 names the unknown field '%2'.").arg(idx.name, f));
        if (idx.fields.isEmpty())
            throw EngineError(QStringLiteral("Index %1 has no fields.").arg(idx.name));
        if (!idx.fileExt.isEmpty()) {
            idx.fileExt = idx.fileExt.toUpper();
            continue;
        }
        if (idx.fields.size() == 1 && !idx.caseInsensitive && !idx.descending
            && idx.name.compare(idx.fields.first(), Qt::CaseInsensitive) == 0) {
            idx.fileExt = QStringLiteral("X%1").arg(def.fieldIndex(idx.fields.first()) + 1, 2, 16, QLatin1Char('0')).toUpper();
        } else {
            while (used.contains(QStringLiteral("XG%1").arg(nextG)))
                ++nextG;
            idx.fileExt = QStringLiteral("XG%1").arg(nextG++);
        }
        used.insert(idx.fileExt);
    }

    const QString base = fi.completeBaseName();
    auto sibling = [&](const QString &ext) { return QDir(dir).filePath(base + QLatin1Char('.') + ext); };
    const QVector<QByteArray> noRecords;
    const QVector<ChainBlock> noChain;
    if (def.keyFieldCount > 0)
        writeFileAtomic(sibling(QStringLiteral("PX")),
                        buildPrimaryIndex(info, noRecords, noChain, (base + QStringLiteral(".PX")).toLatin1()));
    if (def.hasValFile)
        writeFileAtomic(sibling(QStringLiteral("VAL")),
                        buildValFile(info, native(fi.absoluteFilePath()).toLatin1()));
    for (const IndexDef &idx : std::as_const(info.def.indexes)) {
        QString yExt = idx.fileExt;
        yExt[0] = QLatin1Char('Y');
        const SecondaryFiles files = buildSecondaryIndex(info, idx, noRecords, noChain,
                                                         (base + QLatin1Char('.') + idx.fileExt).toLatin1(),
                                                         (base + QLatin1Char('.') + yExt).toLatin1());
        writeFileAtomic(sibling(idx.fileExt), files.x);
        writeFileAtomic(sibling(yExt), files.y);
    }
    // The table itself last: a table whose derived files are missing is
    // repaired on open, while derived files without a table are inert.
    writeFileAtomic(fi.absoluteFilePath(), buildTableHeader(info));
}

std::unique_ptr<ParadoxTable> ParadoxTable::open(const QString &dbPath, const QStringList &passwords,
                                                 bool readOnly)
{
    auto t = std::make_unique<ParadoxTableImpl>();
    t->load(dbPath, passwords, readOnly);
    return t;
}

} // namespace kw::data
