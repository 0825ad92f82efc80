#include "archive/encoding.h"

#include <QTimeZone>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace kw::archive {

void doubleToExt80(double v, unsigned char out[10])
{
    std::memset(out, 0, 10);
    if (v == 0.0 || !std::isfinite(v))
        return;
    const bool neg = v < 0;
    int exp = 0;
    const double m = std::frexp(std::fabs(v), &exp); // m in [0.5, 1)
    // 64-bit significand with the explicit integer bit on top.
    const uint64_t sig = uint64_t(std::ldexp(m, 64));
    const int biased = exp - 1 + 16383;
    for (int i = 0; i < 8; ++i)
        out[i] = uint8_t(sig >> (8 * i));
    const uint16_t se = uint16_t((biased & 0x7FFF) | (neg ? 0x8000 : 0));
    qToLittleEndian<quint16>(se, out + 8);
}

double ext80ToDouble(const unsigned char in[10])
{
    uint64_t sig = 0;
    for (int i = 0; i < 8; ++i)
        sig |= uint64_t(in[i]) << (8 * i);
    const uint16_t se = qFromLittleEndian<quint16>(in + 8);
    const int biased = se & 0x7FFF;
    if (biased == 0x7FFF) // infinity or NaN: nothing this format can hold
        return 0.0;
    if (sig == 0)
        return 0.0;
    const double v = std::ldexp(double(sig), biased - 16383 - 63);
    return (se & 0x8000) ? -v : v;
}

static const QDate kOleEpoch(1899, 12, 30);

double dateTimeToOle(const QDateTime &dtIn)
{
    if (!dtIn.isValid())
        return 0.0;
    const QDateTime dt = dtIn.toLocalTime();
    const qint64 days = kOleEpoch.daysTo(dt.date());
    const double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // OLE dates before the epoch keep the time as a positive fraction.
    return days >= 0 ? double(days) + frac : double(days) - frac;
}

QDateTime oleToDateTime(double ole)
{
    if (!std::isfinite(ole) || std::fabs(ole) > 3.0e6)
        return {};
    const double whole = std::trunc(ole);
    double frac = std::fabs(ole - whole);
    qint64 ms = qint64(std::llround(frac * 86400000.0));
    qint64 days = qint64(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += ole >= 0 ? 1 : -1;
    }
    return QDateTime(kOleEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

double fileTimeToOle(const QDateTime &dt)
{
    if (!dt.isValid())
        return 0.0;
    QDateTime l = dt.toLocalTime();
    const QTime t = l.time();
    // DOS timestamps keep even seconds only.
    l.setTime(QTime(t.hour(), t.minute(), t.second() & ~1));
    if (l.date().year() < 1980) // a DOS timestamp cannot hold it
        return 0.0;
    return dateTimeToOle(l);
}

// Code points of 0x80..0x9F in Windows-1252 (0 = undefined).
static const char16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

QByteArray toAnsi(const QString &s)
{
    QByteArray out;
    out.reserve(s.size());
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        char b = '?';
        for (int i = 0; i < 32; ++i)
            if (kCp1252High[i] == u && u != 0)
                b = char(0x80 + i);
        out.append(b);
    }
    return out;
}

QString fromAnsi(const QByteArray &b)
{
    QString out;
    out.reserve(b.size());
    for (char ch : b) {
        const uint8_t u = uint8_t(ch);
        if (u >= 0x80 && u < 0xA0)
            out.append(QChar(kCp1252High[u - 0x80] ? kCp1252High[u - 0x80] : char16_t(u)));
        else
            out.append(QChar(char16_t(u)));
    }
    return out;
}

void putF64(unsigned char *p, double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(bits >> (8 * i));
}

double getF64(const unsigned char *p)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(p[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

} // namespace kw::archive
