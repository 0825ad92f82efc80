#include "data/engine/dbase/dbftable.h"

#include "core/durablefile.h"
#include "core/error.h"
#include "core/findfile.h"
#include "data/engine/engineerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace kw::data {

namespace {

constexpr char kActive = ' ';
constexpr char kDeleted = '*';
constexpr char kEndMarker = 0x1A;

// Windows-1252 for 0x80..0x9F (the rest of the upper half is Latin-1).
// Unassigned positions map to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromCp1252(const char *p, int n)
{
    QString s(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        s[i] = (c >= 0x80 && c < 0xA0) ? QChar(kCp1252High[c - 0x80]) : QChar(c);
    }
    return s;
}

QByteArray toCp1252(const QString &s)
{
    QByteArray out(s.size(), Qt::Uninitialized);
    for (int i = 0; i < s.size(); ++i) {
        const char16_t u = s.at(i).unicode();
        char c = '?';
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            c = static_cast<char>(u);
        } else {
            for (int k = 0; k < 32; ++k)
                if (kCp1252High[k] == u) {
                    c = static_cast<char>(0x80 + k);
                    break;
                }
        }
        out[i] = c;
    }
    return out;
}

[[noreturn]] void fail(const QString &what, const QString &path)
{
    throw EngineError(QStringLiteral("%1\nFile: %2").arg(what, QDir::toNativeSeparators(path)));
}

// Formats v with exactly dec decimals, rounding the shortest decimal form of
// the double half away from zero (so -1.005 gives -1.01, not -1.00).
bool formatDecimal(double v, int dec, QByteArray *out)
{
    if (!qIsFinite(v))
        return false;
    QByteArray e = QByteArray::number(v, 'e', QLocale::FloatingPointShortest);
    bool neg = e.startsWith('-');
    if (neg)
        e.remove(0, 1);
    const int epos = e.indexOf('e');
    QByteArray digits = e.left(epos);
    digits.replace(".", "");
    const int point = e.mid(epos + 1).toInt() + 1; // digits before the point
    QByteArray intPart, frac;
    if (point <= 0) {
        intPart = "0";
        frac = QByteArray(-point, '0') + digits;
    } else if (point >= digits.size()) {
        intPart = digits + QByteArray(point - digits.size(), '0');
    } else {
        intPart = digits.left(point);
        frac = digits.mid(point);
    }
    if (frac.size() > dec) {
        const bool up = frac.at(dec) >= '5';
        frac.truncate(dec);
        if (up) {
            QByteArray all = intPart + frac;
            int i = all.size() - 1;
            while (i >= 0 && all.at(i) == '9')
                all[i--] = '0';
            if (i < 0)
                all.prepend('1');
            else
                all[i] = static_cast<char>(all.at(i) + 1);
            intPart = all.left(all.size() - dec);
            frac = all.right(dec);
        }
    } else {
        frac += QByteArray(dec - frac.size(), '0');
    }
    while (intPart.size() > 1 && intPart.at(0) == '0')
        intPart.remove(0, 1);
    QByteArray s = intPart;
    if (dec > 0)
        s += '.' + frac;
    if (neg && (intPart + frac).count('0') != (intPart + frac).size())
        s.prepend('-');
    *out = s;
    return true;
}

QString typeText(char type)
{
    switch (type) {
    case 'N': case 'F': return QStringLiteral("a number");
    case 'L': return QStringLiteral("a logical value");
    case 'D': return QStringLiteral("a date");
    default: return QStringLiteral("text");
    }
}

bool isLongField(const DbfField &f)
{
    return f.type == 'N' && f.decimals == 0 && f.length <= 9;
}

} // namespace

FileStamp FileStamp::of(const QString &path)
{
    FileStamp s;
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        s.inode = static_cast<qint64>(st.st_ino);
        s.size = st.st_size;
        s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
#else
    const QFileInfo fi(path);
    if (fi.exists()) {
        s.inode = 0;
        s.size = fi.size();
        s.mtimeNs = fi.lastModified().toMSecsSinceEpoch() * 1000000;
    }
#endif
    return s;
}

namespace {

// dBase III and IV tables, with or without a memo file.
unsigned char checkVersion(const QByteArray &data, const QString &path)
{
    const auto ver = static_cast<unsigned char>(data.at(0));
    switch (ver) {
    case 0x03: case 0x83: case 0x8B: case 0xF5: case 0xFB:
        return ver;
    default:
        fail(QStringLiteral("Unsupported table version 0x%1.").arg(ver, 2, 16, QChar('0')), path);
    }
}

// The field descriptor at pos, its value starting at offset in a record.
DbfField readDescriptor(const QByteArray &data, int pos, unsigned char ver, int offset, const QString &path)
{
    DbfField fd;
    const QByteArray rawName = data.mid(pos, 11);
    const int nul = rawName.indexOf('\0');
    fd.name = QString::fromLatin1(nul < 0 ? rawName : rawName.left(nul)).trimmed();
    fd.type = static_cast<char>(QChar::toUpper(data.at(pos + 11)));
    fd.length = static_cast<unsigned char>(data.at(pos + 16));
    fd.decimals = static_cast<unsigned char>(data.at(pos + 17));
    if (fd.type == 'C' && ver != 0x03 && ver != 0x83 && ver != 0x8B)
        fd.length |= static_cast<unsigned char>(data.at(pos + 17)) << 8, fd.decimals = 0;
    fd.offset = offset;
    if (fd.length <= 0 || fd.name.isEmpty())
        fail(QStringLiteral("Corrupt table header."), path);
    // Only the types of these versions: another letter (FoxPro's, or
    // damage) read as text would show its binary bytes as values.
    if (!QByteArrayView("CNFLDM").contains(fd.type))
        fail(QStringLiteral("Table is damaged: field '%1' has a type this table format does not define (%2).")
                 .arg(fd.name, QChar::isPrint(uchar(fd.type))
                                   ? QStringLiteral("'%1'").arg(QChar::fromLatin1(fd.type))
                                   : QStringLiteral("byte 0x%1").arg(uchar(fd.type), 2, 16, QLatin1Char('0'))),
             path);
    return fd;
}

// Descriptors run until the 0x0D terminator; their lengths must make up the
// record after its deletion flag.
QVector<DbfField> readDescriptors(const QByteArray &data, unsigned char ver, int headerLength,
                                  int recordLength, const QString &path)
{
    QVector<DbfField> fields;
    int pos = 32;
    int offset = 0;
    while (pos < headerLength && data.at(pos) != 0x0D) {
        if (pos + 32 > headerLength)
            fail(QStringLiteral("Corrupt table header."), path);
        const DbfField fd = readDescriptor(data, pos, ver, offset, path);
        offset += fd.length;
        fields.append(fd);
        pos += 32;
    }
    if (pos >= headerLength || fields.isEmpty() || 1 + offset != recordLength)
        fail(QStringLiteral("Corrupt table header."), path);
    // Writers may pad the header after its terminator with zeros, nothing
    // else: a header length one byte too long would read every record one
    // byte late, its values shifted into their neighbours.
    for (int at = pos + 1; at < headerLength; ++at)
        if (data.at(at) != '\0')
            fail(QStringLiteral("Table is damaged: its header length (%1) does not end where its records begin.")
                     .arg(headerLength),
                 path);
    return fields;
}

QVector<QByteArray> readRecords(const QByteArray &data, int headerLength, int recordLength, quint32 count,
                                const QString &path)
{
    if (qint64(headerLength) + qint64(count) * recordLength > data.size())
        fail(QStringLiteral("Table is damaged: %1 records announced, fewer stored.").arg(count), path);
    QVector<QByteArray> records;
    records.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        records.append(data.mid(headerLength + qint64(i) * recordLength, recordLength));
        // Every record starts with its deletion flag: anything else means
        // the records are not where the header says.
        const char flag = records.last().at(0);
        if (flag != kActive && flag != kDeleted)
            fail(QStringLiteral("Table is damaged: record %1 does not start with a deletion flag (byte 0x%2); "
                                "the header's lengths do not match the records.")
                     .arg(i + 1)
                     .arg(uchar(flag), 2, 16, QLatin1Char('0')),
                 path);
    }
    return records;
}

// The memo file sits beside the table, .DBT in any case. A missing one
// matters only for a record that points into it: false, and nothing read.
bool readMemoFile(const QString &path, QByteArray *memo)
{
    const QFileInfo fi(path);
    QFile mf(kw::core::findFileNoCase(fi.absolutePath(), fi.completeBaseName() + QStringLiteral(".dbt")));
    if (!mf.open(QIODevice::ReadOnly))
        return false;
    *memo = mf.readAll();
    return true;
}

} // namespace

DbfTable DbfTable::open(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Table does not exist."), path);
    DbfTable t;
    t.m_path = path;
    t.m_stamp = FileStamp::of(path);
    const QByteArray data = f.readAll();
    f.close();
    if (data.size() < 33)
        fail(QStringLiteral("Corrupt table header."), path);
    const unsigned char ver = checkVersion(data, path);
    const quint32 count = qFromLittleEndian<quint32>(data.constData() + 4);
    const int headerLength = qFromLittleEndian<quint16>(data.constData() + 8);
    const int recordLength = qFromLittleEndian<quint16>(data.constData() + 10);
    if (headerLength < 33 || headerLength > data.size() || recordLength < 1)
        fail(QStringLiteral("Corrupt table header."), path);
    t.m_fields = readDescriptors(data, ver, headerLength, recordLength, path);
    t.m_records = readRecords(data, headerLength, recordLength, count, path);
    t.m_header = data.left(headerLength);
    t.m_recordLength = recordLength;
    const int y = static_cast<unsigned char>(data.at(1));
    t.m_lastUpdate = QDate(y < 80 ? 2000 + y : 1900 + y, data.at(2), data.at(3));

    bool hasMemo = false;
    for (const auto &fd : std::as_const(t.m_fields))
        hasMemo |= fd.type == 'M';
    if (hasMemo)
        t.m_memoFound = readMemoFile(path, &t.m_memo);
    return t;
}

DbfTable DbfTable::create(const QString &path, const QVector<DbfField> &fields)
{
    if (QFileInfo::exists(path))
        fail(QStringLiteral("Table already exists."), path);
    if (fields.isEmpty() || fields.size() > 255)
        fail(QStringLiteral("A table needs 1 to 255 fields."), path);
    DbfTable t;
    t.m_path = path;
    const int headerLength = 32 + 32 * fields.size() + 1;
    t.m_header = QByteArray(headerLength, '\0');
    bool memo = false;
    int offset = 0;
    for (int i = 0; i < fields.size(); ++i) {
        DbfField fd = fields[i];
        fd.type = static_cast<char>(QChar::toUpper(fd.type));
        switch (fd.type) {
        case 'D': fd.length = 8; fd.decimals = 0; break;
        case 'L': fd.length = 1; fd.decimals = 0; break;
        case 'M': fd.length = 10; fd.decimals = 0; memo = true; break;
        case 'C': fd.decimals = 0; break;
        case 'N': case 'F': break;
        default: fail(QStringLiteral("Unsupported field type '%1'.").arg(QChar(fd.type)), path);
        }
        const QByteArray name = fd.name.toLatin1();
        if (name.isEmpty() || name.size() > 10 || fd.length < 1 || fd.length > 254
            || fd.decimals < 0 || (fd.decimals > 0 && fd.decimals > fd.length - 2))
            fail(QStringLiteral("Invalid field definition '%1'.").arg(fd.name), path);
        fd.offset = offset;
        offset += fd.length;
        char *d = t.m_header.data() + 32 + 32 * i;
        memcpy(d, name.constData(), name.size());
        d[11] = fd.type;
        d[16] = static_cast<char>(fd.length);
        d[17] = static_cast<char>(fd.decimals);
        t.m_fields.append(fd);
    }
    t.m_header[0] = static_cast<char>(memo ? 0x83 : 0x03);
    t.m_header[headerLength - 1] = 0x0D;
    t.m_header[29] = 0x03; // Windows ANSI
    qToLittleEndian<quint16>(quint16(headerLength), t.m_header.data() + 8);
    t.m_recordLength = 1 + offset;
    qToLittleEndian<quint16>(quint16(t.m_recordLength), t.m_header.data() + 10);
    if (memo) {
        // An empty dBase III memo file: next free block 1.
        QByteArray block(512, '\0');
        qToLittleEndian<quint32>(1, block.data());
        if (!kw::core::writeFileDurably(QFileInfo(path).dir().filePath(QFileInfo(path).completeBaseName() + ".DBT"),
                                        block))
            fail(QStringLiteral("Cannot write the memo file."), path);
    }
    t.save();
    return t;
}

int DbfTable::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

TableDef DbfTable::def() const
{
    TableDef d;
    d.hasValFile = false;
    for (const auto &f : m_fields) {
        FieldDef fd;
        fd.name = f.name;
        fd.size = f.length;
        switch (f.type) {
        case 'N': fd.type = isLongField(f) ? FieldType::Long : FieldType::Number; break;
        case 'F': fd.type = FieldType::Number; break;
        case 'L': fd.type = FieldType::Logical; break;
        case 'D': fd.type = FieldType::Date; break;
        case 'M': fd.type = FieldType::Memo; break;
        default: fd.type = FieldType::Alpha; break;
        }
        d.fields.append(fd);
    }
    return d;
}

QVariant DbfTable::decodeValue(const DbfField &f, const QByteArray &raw, bool *ok)
{
    *ok = true;
    const auto unreadable = [ok] {
        *ok = false;
        return QVariant();
    };
    switch (f.type) {
    case 'N':
    case 'F': {
        const QByteArray t = raw.trimmed();
        if (t.isEmpty())
            return {};
        // Only an optional sign, digits and one point: the '*' of a number
        // too wide for its field, text, or a shifted record is no number.
        int i = (t.at(0) == '-' || t.at(0) == '+') ? 1 : 0;
        int points = 0, digits = 0;
        for (; i < t.size(); ++i) {
            if (t.at(i) == '.')
                ++points;
            else if (t.at(i) >= '0' && t.at(i) <= '9')
                ++digits;
            else
                return unreadable();
        }
        if (points > 1 || digits == 0)
            return unreadable();
        if (isLongField(f))
            return t.toInt();
        return t.toDouble();
    }
    case 'L':
        switch (raw.isEmpty() ? ' ' : raw.at(0)) {
        case 'T': case 't': case 'Y': case 'y': return true;
        case 'F': case 'f': case 'N': case 'n': return false;
        case ' ': case '?': return {};
        default: return unreadable();
        }
    case 'D': {
        // Blanks or zeros are no date; anything else must be one.
        const QByteArray t = raw.trimmed();
        if (t.isEmpty() || raw == QByteArray(raw.size(), '0'))
            return {};
        const QDate d = t.size() == 8 && raw.size() == 8
            ? QDate::fromString(QString::fromLatin1(t), QStringLiteral("yyyyMMdd"))
            : QDate();
        return d.isValid() ? QVariant(d) : unreadable();
    }
    default: {
        int n = raw.size();
        while (n > 0 && (raw.at(n - 1) == ' ' || raw.at(n - 1) == '\0'))
            --n;
        if (n == 0)
            return {};
        return fromCp1252(raw.constData(), n);
    }
    }
}

QByteArray DbfTable::encodeValue(const DbfField &f, const QVariant &v, const QString &file)
{
    const auto bad = [&](const QString &why) -> QByteArray {
        fail(QStringLiteral("%1 for field '%2'.").arg(why, f.name), file);
    };
    if (v.isNull() || (v.userType() == QMetaType::QString && v.toString().isEmpty()))
        return QByteArray(f.length, f.type == 'L' ? '?' : ' ');
    switch (f.type) {
    case 'N':
    case 'F': {
        bool ok = false;
        const double d = v.userType() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok)
                                                            : v.toDouble(&ok);
        QByteArray s;
        if (!ok || !formatDecimal(d, f.decimals, &s))
            bad(QStringLiteral("Invalid number"));
        if (s.size() > f.length)
            bad(QStringLiteral("Number out of range"));
        return QByteArray(f.length - s.size(), ' ') + s;
    }
    case 'L': {
        if (v.userType() == QMetaType::QString) {
            const QString s = v.toString().trimmed();
            if (s.isEmpty() || s == QLatin1String("?"))
                return "?";
            const QChar c = s.at(0).toUpper();
            if (c == 'T' || c == 'Y' || s == QLatin1String("1"))
                return "T";
            if (c == 'F' || c == 'N' || s == QLatin1String("0"))
                return "F";
            bad(QStringLiteral("Invalid logical value"));
        }
        return v.toBool() ? "T" : "F";
    }
    case 'D': {
        QDate d;
        if (v.userType() == QMetaType::QDate)
            d = v.toDate();
        else if (v.userType() == QMetaType::QDateTime)
            d = v.toDateTime().date();
        else {
            const QString s = v.toString().trimmed();
            d = QDate::fromString(s, Qt::ISODate);
            if (!d.isValid())
                d = QDate::fromString(s, QStringLiteral("yyyyMMdd"));
        }
        if (!d.isValid() || d.year() < 1 || d.year() > 9999)
            bad(QStringLiteral("Invalid date"));
        return d.toString(QStringLiteral("yyyyMMdd")).toLatin1();
    }
    case 'M':
        return bad(QStringLiteral("Memo fields cannot be written"));
    default: {
        QByteArray s = toCp1252(v.userType() == QMetaType::Double
                                    ? QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest)
                                    : v.toString());
        s.truncate(f.length); // text longer than the field is cut to its width
        return s + QByteArray(f.length - s.size(), ' ');
    }
    }
}

// A pointer that leads nowhere is damage: reading it as an empty memo would
// lose the text without a word.
QByteArray DbfTable::readMemo(const DbfField &f, const QByteArray &pointer, int record) const
{
    const auto damaged = [&](const QString &what) {
        fail(record >= 0 ? QStringLiteral("Table is damaged: the memo of record %1 in field '%2' %3.")
                               .arg(record + 1)
                               .arg(f.name, what)
                         : QStringLiteral("Table is damaged: the memo of field '%1' %2.").arg(f.name, what),
             m_path);
    };
    const QByteArray text = pointer.trimmed();
    if (text.isEmpty())
        return {};
    bool ok = false;
    const qint64 block = text.toLongLong(&ok);
    if (!ok || block < 0)
        damaged(QStringLiteral("has a block number that is not a number (\"%1\")").arg(kw::core::printable(text)));
    if (block == 0)
        return {};
    if (!m_memoFound)
        damaged(QStringLiteral("is in a memo file (.DBT) that is missing or cannot be read"));
    int blockSize = 512;
    if (version() == 0x8B && m_memo.size() >= 22) {
        const int bs = qFromLittleEndian<quint16>(m_memo.constData() + 20);
        if (bs >= 64)
            blockSize = bs;
    }
    const qint64 start = block * blockSize;
    if (start >= m_memo.size())
        damaged(QStringLiteral("starts at block %1, past the end of the memo file").arg(block));
    if (start + 8 <= m_memo.size() && static_cast<unsigned char>(m_memo.at(start)) == 0xFF
        && static_cast<unsigned char>(m_memo.at(start + 1)) == 0xFF
        && m_memo.at(start + 2) == 0x08 && m_memo.at(start + 3) == 0x00) {
        const qint64 len = qFromLittleEndian<quint32>(m_memo.constData() + int(start) + 4);
        if (len < 8 || start + len > m_memo.size())
            damaged(QStringLiteral("at block %1 runs past the end of the memo file").arg(block));
        return m_memo.mid(start + 8, len - 8);
    }
    const qint64 end = m_memo.indexOf(kEndMarker, start);
    if (end < 0)
        damaged(QStringLiteral("at block %1 has no end mark before the end of the memo file").arg(block));
    return m_memo.mid(start, end - start);
}

Row DbfTable::record(int i) const
{
    const QByteArray &rec = m_records.at(i);
    Row row;
    row.reserve(m_fields.size());
    for (const auto &f : m_fields) {
        const QByteArray raw = QByteArray::fromRawData(rec.constData() + 1 + f.offset, f.length);
        if (f.type == 'M') {
            const QByteArray memo = readMemo(f, raw, i);
            row.append(memo.isEmpty() ? QVariant() : QVariant(memo));
            continue;
        }
        bool ok = false;
        row.append(decodeValue(f, raw, &ok));
        if (!ok)
            fail(QStringLiteral("Table is damaged: record %1 holds in field '%2' a value that cannot be read as %3: "
                                "\"%4\".")
                     .arg(i + 1)
                     .arg(f.name, typeText(f.type), kw::core::printable(QByteArray(raw))),
                 m_path);
    }
    return row;
}

QByteArray DbfTable::encodeRecord(const Row &values, const QByteArray *old) const
{
    if (values.size() != m_fields.size())
        fail(QStringLiteral("Wrong number of values for the record."), m_path);
    QByteArray rec(m_recordLength, ' ');
    rec[0] = old ? old->at(0) : kActive;
    for (int i = 0; i < m_fields.size(); ++i) {
        const DbfField &f = m_fields[i];
        QByteArray bytes;
        if (f.type == 'M') {
            const QByteArray keep = old ? old->mid(1 + f.offset, f.length) : QByteArray(f.length, ' ');
            const QVariant cur = old ? QVariant(readMemo(f, keep, -1)) : QVariant();
            const bool same = values[i].isNull() ? cur.toByteArray().isEmpty()
                                                 : values[i].toByteArray() == cur.toByteArray();
            if (!same)
                fail(QStringLiteral("Memo fields cannot be written for field '%1'.").arg(f.name), m_path);
            bytes = keep;
        } else {
            bytes = encodeValue(f, values[i], m_path);
        }
        memcpy(rec.data() + 1 + f.offset, bytes.constData(), f.length);
    }
    return rec;
}

void DbfTable::setRecord(int i, const Row &values)
{
    m_records[i] = encodeRecord(values, &m_records.at(i));
}

int DbfTable::appendRecord(const Row &values)
{
    m_records.append(encodeRecord(values, nullptr));
    return m_records.size() - 1;
}

void DbfTable::setDeleted(int i, bool deleted)
{
    m_records[i][0] = deleted ? kDeleted : kActive;
}

void DbfTable::save()
{
    const QDate today = QDate::currentDate();
    QByteArray header = m_header;
    header[1] = static_cast<char>(today.year() - 1900);
    header[2] = static_cast<char>(today.month());
    header[3] = static_cast<char>(today.day());
    qToLittleEndian<quint32>(quint32(m_records.size()), header.data() + 4);
    QByteArray data;
    data.reserve(header.size() + m_records.size() * m_recordLength + 1);
    data += header;
    for (const auto &r : std::as_const(m_records))
        data += r;
    data += kEndMarker;

    // The old file stays whole until the new one is on the disk.
    QString why;
    if (!kw::core::writeFileDurably(m_path, data, &why))
        fail(QStringLiteral("Cannot write the table: %1").arg(why), m_path);
    m_header = header;
    m_lastUpdate = today;
    m_stamp = FileStamp::of(m_path);
}

} // namespace kw::data
