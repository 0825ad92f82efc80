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

// Little-endian helpers over raw buffers.
inline void putU16(unsigned char *p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void putU32(unsigned char *p, uint32_t v)
{
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void putI32(unsigned char *p, int32_t v) { putU32(p, uint32_t(v)); }
inline uint16_t getU16(const unsigned char *p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t getU32(const unsigned char *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t getI32(const unsigned char *p) { return int32_t(getU32(p)); }
void putF64(unsigned char *p, double v);
double getF64(const unsigned char *p);

} // namespace kw::archive
