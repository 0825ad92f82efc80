#pragma once
// Structure of a table as the engine stores it: fields in stored order, the
// primary key, secondary indexes and validity checks. Shared by the Paradox
// and dBase file layers and the datasets on top of them.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace kw::data {

// Paradox field type codes (the byte stored in the table header).
enum class FieldType : unsigned char {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FmtMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoInc = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

struct FieldDef {
    QString name;
    FieldType type = FieldType::Alpha;
    int size = 0;          // bytes in the record (Alpha: characters)
    bool required = false; // stored in the .VAL file
    int decimals = 0;      // BCD only: digits after the point (it stores 17 bytes)
};

struct IndexDef {
    QString name;          // "HRNUM"; for a single-field index the field name
    QStringList fields;    // in key order
    bool caseInsensitive = false;
    bool descending = false;
    // File extension of the index data file without the dot: "X02" for a
    // single-field index on field 2, "XG0" for the first named index.
    QString fileExt;
};

struct TableDef {
    QVector<FieldDef> fields;
    int keyFieldCount = 0;     // leading fields forming the primary key; 0 = no key
    QVector<IndexDef> indexes; // secondary indexes
    bool hasValFile = true;    // KitType has none

    int fieldIndex(const QString &name) const
    {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

// One record: a value per field in stored order. A null QVariant is a NULL
// (blank) value. Alpha -> QString, Short/Long/AutoInc -> int, Number/Currency
// -> double, Date -> QDate, Time -> QTime, Timestamp -> QDateTime,
// Logical -> bool, Memo/Blob/Bytes -> QByteArray.
using Row = QVector<QVariant>;

} // namespace kw::data
