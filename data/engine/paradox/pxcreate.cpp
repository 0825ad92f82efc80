// New tables: the field sizes of each type, the block size the record
// needs, index file names, and every file written before the table itself.
#include "data/engine/paradox/paradoxtable.h"

#include "core/findfile.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/pxfile.h"
#include "data/engine/paradox/pxformat.h"
#include "data/engine/paradox/pxio.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace kw::data {

using namespace kw::data::px;

namespace {

// The new table's file must not exist yet, in any case of its name, and
// its directory must be there and reachable.
void checkTarget(const QFileInfo &fi, const QString &dbPath)
{
    const QString dir = fi.absolutePath();
    if (QFileInfo::exists(kw::core::findFileNoCase(dir, fi.fileName())))
        throw EngineError(QStringLiteral("Table already exists.\nFile: %1").arg(native(dbPath)));
    if (const QString why = kw::core::accessProblem(dir); !why.isEmpty())
        throw EngineError(QStringLiteral("Cannot reach the directory: %1.\nFile: %2").arg(why, native(dbPath)));
    if (!QDir(dir).exists())
        throw EngineError(QStringLiteral("Directory does not exist.\nFile: %1").arg(native(dbPath)));
}

// Checks the fields and gives each the stored size of its type; returns
// the record size.
int settleFieldSizes(TableDef &def, const QString &dbPath)
{
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
    return recordSize;
}

// A level-7 table with the smallest block size that holds one record.
TableInfo newTableInfo(const TableDef &def, int recordSize, const QString &password,
                       const QString &fileName, const QString &dbPath)
{
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
    return info;
}

// Index files: a single-field, case-sensitive, ascending index named
// after its field is an .Xnn; every other one an .XGn.
void assignIndexFiles(TableDef &def)
{
    QSet<QString> used;
    for (const IndexDef &idx : std::as_const(def.indexes))
        if (!idx.fileExt.isEmpty())
            used.insert(idx.fileExt.toUpper());
    int nextG = 0;
    for (IndexDef &idx : def.indexes) {
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
}

// The derived files of the empty table: primary index, .VAL, and the two
// files of each secondary index.
void writeDerivedFiles(const TableInfo &info, const QFileInfo &fi)
{
    const QString dir = fi.absolutePath();
    const QString base = fi.completeBaseName();
    auto sibling = [&](const QString &ext) { return QDir(dir).filePath(base + QLatin1Char('.') + ext); };
    const QVector<QByteArray> noRecords;
    const QVector<ChainBlock> noChain;
    if (info.def.keyFieldCount > 0)
        writeFileAtomic(sibling(QStringLiteral("PX")),
                        buildPrimaryIndex(info, noRecords, noChain, (base + QStringLiteral(".PX")).toLatin1()));
    if (info.def.hasValFile)
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
}

} // namespace

void ParadoxTable::create(const QString &dbPath, const TableDef &defIn, const QString &password)
{
    const QFileInfo fi(dbPath);
    checkTarget(fi, dbPath);
    TableDef def = defIn;
    const int recordSize = settleFieldSizes(def, dbPath);
    TableInfo info = newTableInfo(def, recordSize, password, fi.fileName(), dbPath);
    assignIndexFiles(info.def);
    writeDerivedFiles(info, fi);
    // The table itself last: a table whose derived files are missing is
    // repaired on open, while derived files without a table are inert.
    writeFileAtomic(fi.absoluteFilePath(), buildTableHeader(info));
}

} // namespace kw::data
