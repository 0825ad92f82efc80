#pragma once
// Byte-level pieces of the Paradox table format: field value encodings,
// Alpha text code pages, the password checksum and the block cipher.
#include "data/engine/tabledef.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstring>

namespace kw::data::px {

extern const unsigned char kCryptA[256];
extern const unsigned char kCryptB[256];
extern const unsigned char kCryptC[256];

// Bytes a field takes in a record; the header's size byte of a BCD field is
// its number of decimals while it always stores 17 bytes.
inline int storedSize(FieldType type, int sizeByte) { return type == FieldType::Bcd ? 17 : sizeByte; }
bool isKnownType(unsigned char code);
QChar typeLetter(FieldType type);

// The password's 32-bit checksum as stored in the header; 0 for "".
quint32 passwordChecksum(const QByteArray &password);
// Block cipher: the block is encrypted in 256-byte chunks keyed by the low 16
// bits of the checksum and the physical block number.
void encryptBlock(uchar *data, int size, quint32 checksum, quint32 blockNo);
void decryptBlock(uchar *data, int size, quint32 checksum, quint32 blockNo);

// Alpha text in a single-byte code page (437, 850, 1252; others as Latin-1).
QString decodeText(const uchar *p, int len, int codePage);
QByteArray encodeText(const QString &text, int codePage);

// Value of a stored field; a null QVariant for NULL. Memo, blob, BCD and
// bytes fields come back as their raw stored bytes.
QVariant decodeValue(FieldType type, const uchar *p, int size, int codePage);
// Writes value (null = NULL) into the size bytes at dest. Returns false with
// a reason when the value cannot be stored.
bool encodeValue(FieldType type, int size, const QVariant &value, uchar *dest, int codePage,
                 QString *why);

// Day number of the format (0001-01-01 = 1).
qint64 dayNumber(const QDate &d);
QDate dateFromDayNumber(qint64 n);

// CRC-32 (zlib polynomial) for the write-ahead journal.
quint32 crc32(const char *data, qsizetype len, quint32 crc = 0);

} // namespace kw::data::px
