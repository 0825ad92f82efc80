#pragma once
// dBase III/IV table files (.DBF), as the predecessor program kept its data.
// The whole file is held in memory; changes are made on the copy and written
// back in one go by save(), which replaces the file atomically (temporary
// file, fsync, rename), so a crash leaves either the old or the new table.
#include "data/engine/tabledef.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVector>

namespace kw::data {

struct DbfField {
    QString name;
    char type = 'C';   // C, N, F, L, D, M (a table with another is refused)
    int length = 0;
    int decimals = 0;
    int offset = 0;    // within the record, after the deletion flag
};

// Identity of a file's current contents as seen from outside (device, inode,
// size, modification time): a replace by rename or any write changes it.
struct FileStamp {
    qint64 inode = -1;
    qint64 size = -1;
    qint64 mtimeNs = -1;
    bool operator==(const FileStamp &) const = default;
    static FileStamp of(const QString &path);
};

class DbfTable {
public:
    DbfTable() = default;

    // Reads the whole table (and its memo file when it has memo fields).
    // Throws EngineError naming the file when it is missing or damaged.
    static DbfTable open(const QString &path);
    // Writes a new, empty table; fails when the file exists.
    static DbfTable create(const QString &path, const QVector<DbfField> &fields);

    QString path() const { return m_path; }
    const QVector<DbfField> &fields() const { return m_fields; }
    int fieldIndex(const QString &name) const; // case-insensitive, first match
    // The fields as the engine's types: C -> Alpha, N/F -> Number (N without
    // decimals and up to 9 digits -> Long), L -> Logical, D -> Date, M -> Memo.
    TableDef def() const;
    QDate lastUpdate() const { return m_lastUpdate; }
    unsigned char version() const { return static_cast<unsigned char>(m_header.at(0)); }

    // Records in file order, deleted ones included.
    int recordCount() const { return m_records.size(); }
    bool isDeleted(int i) const { return m_records.at(i).at(0) == '*'; }
    // Values in field order (see Row); blanks are NULL, memo fields read as
    // their text (QByteArray) or NULL when the memo is empty. A value that
    // cannot be read (a number or date that is none, a memo whose pointer or
    // memo file is damaged or missing) throws EngineError naming the file,
    // the record and the field: it is never read as empty.
    Row record(int i) const;

    // Replace record i / append a record. Values are checked against the
    // fields first (numbers that do not fit, wrong types) and an EngineError
    // thrown with nothing changed; text longer than a field is cut to its
    // width. Memo fields cannot be written: their stored pointer is kept, and
    // a value other than the current one is refused.
    void setRecord(int i, const Row &values);
    int appendRecord(const Row &values);
    void setDeleted(int i, bool deleted);

    // Writes the table to its file: header date and record count updated,
    // everything else in the header kept byte for byte, end marker 0x1A.
    void save();
    FileStamp stamp() const { return m_stamp; }

    // Field value <-> stored text (exposed for tests). Stored text that is
    // not a value of the field's type (a damaged number or date) decodes
    // with *ok false.
    static QByteArray encodeValue(const DbfField &f, const QVariant &v, const QString &file);
    static QVariant decodeValue(const DbfField &f, const QByteArray &raw, bool *ok);

private:
    QByteArray encodeRecord(const Row &values, const QByteArray *old) const;
    QByteArray readMemo(const DbfField &f, const QByteArray &pointer, int record) const;

    QString m_path;
    QByteArray m_header; // header and descriptors up to headerLength, as read
    QVector<DbfField> m_fields;
    int m_recordLength = 0;
    QVector<QByteArray> m_records; // each recordLength bytes, flag first
    QDate m_lastUpdate;
    QByteArray m_memo;             // contents of the memo file, when any
    bool m_memoFound = false;
    FileStamp m_stamp;
};

} // namespace kw::data
