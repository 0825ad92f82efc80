#pragma once
// Headers and derived files of the Paradox format: parsing a file header,
// building the headers of new files, and generating the primary index (.PX),
// secondary indexes (.Xnn/.Ynn, .XGn/.YGn) and the validity file (.VAL) from
// a table's records.
#include "data/engine/tabledef.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace kw::data::px {

// Level (3, 4, 5, 7) of a version byte; 3.5 counts as 3.
int levelOfVersion(int versionByte);

struct FileHeader {
    int recordSize = 0;
    int headerSize = 0;
    int fileType = 0;
    int blockSizeCode = 0;
    int blockSize = 0;
    quint32 numRecords = 0;
    int usedBlocks = 0;
    int fileBlocks = 0;
    int firstBlock = 0;
    int lastBlock = 0;
    int indexFieldNumber = 0; // 0x15
    int indexRoot = 0;        // 0x1E
    int indexLevels = 0;      // 0x20
    int numFields = 0;
    int keyFieldCount = 0;
    quint32 checksum = 0;     // password checksum, 0 = not encrypted
    int sortId = 0;
    int version = 0;          // byte 0x39
    int level = 0;
    quint32 autoIncrement = 0;
    int firstFreeBlock = 0;
    int indexFlags = 0;       // 0x55
    int codePage = 0;         // 0x6A (level >= 4)
    QString sortName;
    QString indexName;        // .XGn
    QVector<FieldDef> fields; // size = stored bytes; names empty in .PX/.Y*
    QVector<int> sizeBytes;   // size bytes as in the descriptors
    QVector<int> fieldNumbers;// field-number array (level >= 4 .DB/.X*)
};

// Parses and checks the header at the start of data. indexFile selects the
// .PX/.Y* layout. Throws EngineError naming path when it is damaged.
FileHeader parseHeader(const QByteArray &data, bool indexFile, const QString &path);

// Everything of a table that its derived files copy.
struct TableInfo {
    TableDef def;
    int version = 0x0C;
    int blockSizeCode = 2;
    int sortId = 0;
    QByteArray sortName = "ascii";
    int codePage = 437;
    quint32 checksum = 0;
    int changeCounter1 = 0;   // 0x2D
    int changeCounter2 = 0;   // 0x2E
    quint32 updateTime = 0;   // 0x60
    int nextFieldId = 0;      // 0x64
    quint32 autoIncrement = 0;
    QVector<int> fieldNumbers;
    QByteArray fileName;      // stored as the table name
    int recordSize() const;
};

// Header of a new, empty level-7 (or info.version) table.
QByteArray buildTableHeader(const TableInfo &info);

// One block of the table in chain order with its records (encoded).
struct ChainBlock {
    int number = 0;
    int first = 0; // index of its first record in the record list
    int count = 0;
};

QByteArray buildPrimaryIndex(const TableInfo &info, const QVector<QByteArray> &records,
                             const QVector<ChainBlock> &chain, const QByteArray &fileName);

// Builds the index data file and its .Y* file for one secondary index.
struct SecondaryFiles {
    QByteArray x;
    QByteArray y;
};
SecondaryFiles buildSecondaryIndex(const TableInfo &info, const IndexDef &index,
                                   const QVector<QByteArray> &records,
                                   const QVector<ChainBlock> &chain, const QByteArray &xName,
                                   const QByteArray &yName);

// Index definition described by an index data file header (null name when
// it does not describe a usable index of this table).
IndexDef indexDefFromHeader(const FileHeader &xh, const TableDef &table, const QString &ext);

QByteArray buildValFile(const TableInfo &info, const QByteArray &storedPath);

// Required flags from a .VAL file; false when the file cannot be read.
struct ValInfo {
    QVector<bool> required; // per field of the footer
    int changeCounter2 = 0;
    quint32 updateTime = 0;
    int nextFieldId = 0;
    int fieldCount = 0;
};
bool readValFile(const QByteArray &data, ValInfo *out);

} // namespace kw::data::px
