#pragma once
// Byte-level encodings of the archive format: little-endian integers, the x87
// 80-bit extended float, OLE Automation dates, the Windows ANSI code page.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace kw::archive {

// ext80 <-> double. Every value the format stores is a whole number of bytes
// or a date, so a double carries it exactly.
void doubleToExt80(double v, unsigned char out[10]);
double ext80ToDouble(const unsigned char in[10]);

// OLE Automation date (days since 1899-12-30 00:00 local time) <-> local time.
double dateTimeToOle(const QDateTime &dt);
QDateTime oleToDateTime(double ole);
// A file time as the DOS timestamp holds it: 2-second resolution, local time.
double fileTimeToOle(const QDateTime &dt);

// Windows-1252 text <-> QString; characters outside the code page become '?'.
QByteArray toAnsi(const QString &s);
QString fromAnsi(const QByteArray &b);

// Little-endian doubles over raw buffers (integers: <QtEndian>).
void putF64(unsigned char *p, double v);
double getF64(const unsigned char *p);

} // namespace kw::archive
