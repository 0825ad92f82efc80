#include "data/engine/sql/sqlvalues.h"

#include "data/engine/engineerror.h"
#include "data/engine/fieldvalue.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <optional>
#include <sqlite3.h>

namespace kw::data::sql {

QString quoteIdent(QString s) { return u'"' + s.replace(u'"', QLatin1String("\"\"")) + u'"'; }

const char *declType(FieldType t)
{
    switch (t) {
    case FieldType::Alpha: return "TEXT";
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc: return "INTEGER";
    case FieldType::Number:
    case FieldType::Currency:
    case FieldType::Bcd: return "REAL";
    case FieldType::Date: return "DATE_TEXT";
    case FieldType::Time: return "TIME_TEXT";
    case FieldType::Timestamp: return "TIMESTAMP_TEXT";
    case FieldType::Logical: return "BOOLEAN";
    default: return "BLOB";
    }
}

void bindValue(sqlite3_stmt *s, int idx, const QVariant &v)
{
    if (v.isNull() || !v.isValid()) {
        sqlite3_bind_null(s, idx);
        return;
    }
    switch (v.userType()) {
    case QMetaType::Bool:
        sqlite3_bind_int(s, idx, v.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::SChar:
        sqlite3_bind_int64(s, idx, v.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(s, idx, v.toDouble());
        break;
    case QMetaType::QDate: {
        if (!static_cast<const QDate *>(v.constData())->isValid()) { // an empty date editor gives QDate()
            sqlite3_bind_null(s, idx);
            break;
        }
        // YYYY-MM-DD without going through QString: loading a table binds
        // tens of thousands of dates.
        const QDate d = *static_cast<const QDate *>(v.constData());
        const int y = d.year();
        if (y < 1 || y > 9999) {
            const QByteArray b = d.toString(Qt::ISODate).toUtf8();
            sqlite3_bind_text(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        char buf[10] = {char('0' + y / 1000), char('0' + y / 100 % 10), char('0' + y / 10 % 10), char('0' + y % 10),
                        '-', char('0' + d.month() / 10), char('0' + d.month() % 10), '-',
                        char('0' + d.day() / 10), char('0' + d.day() % 10)};
        sqlite3_bind_text(s, idx, buf, 10, SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QTime: {
        const QByteArray b = v.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toUtf8();
        sqlite3_bind_text(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDateTime: {
        const QByteArray b = v.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toUtf8();
        sqlite3_bind_text(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray b = v.toString().toUtf8();
        sqlite3_bind_text(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    }
}

QString columnText(sqlite3_stmt *s, int c)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
    return QString::fromUtf8(p, sqlite3_column_bytes(s, c));
}

// A SQLite value as the engine's type. strict: refuse what does not convert
// (write-back); otherwise keep the value as SQLite has it (results).
namespace {

// Readers of a stored value for one kind of field: nothing when the value
// stored is not one of that kind.

// A whole number, stored as one or as a number or text without a fraction.
std::optional<qint64> wholeNumber(sqlite3_stmt *s, int c, int st)
{
    if (st == SQLITE_INTEGER)
        return sqlite3_column_int64(s, c);
    bool ok = false;
    const double d = st == SQLITE_FLOAT ? sqlite3_column_double(s, c) : columnText(s, c).trimmed().toDouble(&ok);
    if ((st != SQLITE_FLOAT && !ok) || d != double(qint64(d)))
        return std::nullopt;
    return qint64(d);
}

// The mirror stores a date as YYYY-MM-DD; read it without a general parser.
std::optional<QDate> mirrorDate(sqlite3_stmt *s, int c)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
    const int n = sqlite3_column_bytes(s, c);
    if (n < 10 || p[4] != '-' || p[7] != '-')
        return std::nullopt;
    int v[8];
    bool digits = true;
    for (int i = 0, k = 0; i < 10; ++i)
        if (i != 4 && i != 7) {
            digits &= p[i] >= '0' && p[i] <= '9';
            v[k++] = p[i] - '0';
        }
    const QDate d(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]);
    if (!digits || !d.isValid())
        return std::nullopt;
    return d;
}

// A number (not zero is true), or true/T, false/F in any case.
std::optional<bool> logical(sqlite3_stmt *s, int c, int st)
{
    if (st == SQLITE_INTEGER || st == SQLITE_FLOAT)
        return sqlite3_column_double(s, c) != 0;
    const QString txt = columnText(s, c).trimmed();
    if (txt.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || txt == QLatin1String("T"))
        return true;
    if (txt.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || txt == QLatin1String("F"))
        return false;
    return std::nullopt;
}

} // namespace

QVariant toEngine(sqlite3_stmt *s, int c, FieldType type, bool strict, const QString &field)
{
    const int st = sqlite3_column_type(s, c);
    if (st == SQLITE_NULL)
        return {};
    const auto bad = [&]() -> QVariant {
        if (strict)
            throw EngineError(QStringLiteral("Invalid value for field '%1'.").arg(field));
        if (st == SQLITE_INTEGER)
            return sqlite3_column_int64(s, c);
        if (st == SQLITE_FLOAT)
            return sqlite3_column_double(s, c);
        return columnText(s, c);
    };
    switch (type) {
    case FieldType::Alpha:
        if (st == SQLITE_FLOAT)
            return QString::number(sqlite3_column_double(s, c), 'g', QLocale::FloatingPointShortest);
        return columnText(s, c);
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc: {
        const std::optional<qint64> whole = wholeNumber(s, c, st);
        if (!whole)
            return bad();
        const qint64 v = *whole;
        if (strict)
            fieldvalue::checkRange(FieldSpec{field, type}, v);
        const auto range = *fieldvalue::integerRange(type);
        return v >= range.lo && v <= range.hi ? QVariant(int(v)) : QVariant(v);
    }
    case FieldType::Number:
    case FieldType::Currency:
    case FieldType::Bcd: {
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT)
            return sqlite3_column_double(s, c);
        bool ok = false;
        const double d = columnText(s, c).trimmed().toDouble(&ok);
        return ok ? QVariant(d) : bad();
    }
    case FieldType::Date: {
        const std::optional<QDate> d = mirrorDate(s, c);
        return d ? QVariant(*d) : bad();
    }
    case FieldType::Time: {
        const QString txt = columnText(s, c);
        QTime tm = QTime::fromString(txt, QStringLiteral("HH:mm:ss.zzz"));
        if (!tm.isValid())
            tm = QTime::fromString(txt, Qt::ISODate);
        return tm.isValid() ? QVariant(tm) : bad();
    }
    case FieldType::Timestamp: {
        const QString txt = columnText(s, c);
        QDateTime dt = QDateTime::fromString(txt, QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
        if (!dt.isValid())
            dt = QDateTime::fromString(txt, Qt::ISODate);
        return dt.isValid() ? QVariant(dt) : bad();
    }
    case FieldType::Logical: {
        const std::optional<bool> b = logical(s, c, st);
        return b ? QVariant(*b) : bad();
    }
    default: {
        const auto *p = static_cast<const char *>(sqlite3_column_blob(s, c));
        return QByteArray(p, sqlite3_column_bytes(s, c));
    }
    }
}

void bindValues(sqlite3_stmt *s, const QVector<QVariant> &values, int first)
{
    for (int i = 0; i < values.size(); ++i)
        bindValue(s, first + i, values[i]);
}

QVector<QVariant> paramValues(const QStringList &names, const QHash<QString, QVariant> &params)
{
    QVector<QVariant> values;
    values.reserve(names.size());
    for (const QString &name : names) {
        auto it = params.constFind(name);
        if (it == params.cend()) {
            for (auto j = params.cbegin(); j != params.cend(); ++j)
                if (j.key().compare(name, Qt::CaseInsensitive) == 0) {
                    it = j;
                    break;
                }
        }
        if (it == params.cend())
            throw EngineError(QStringLiteral("Parameter '%1' has no value.").arg(name));
        values << it.value();
    }
    return values;
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

} // namespace kw::data::sql
