// One unit for field values. Before it, the grid, the datasets, local SQL
// and the table encoder each carried a copy of these rules, and the copies
// drifted apart: the grid took -32768 in a short field, which the table then
// refused (it is the blank marker) with a message of its own.
#include "data/engine/fieldvalue.h"

#include "data/engine/engineerror.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QTime>

namespace kw::data::fieldvalue {

namespace {

bool isText(const QVariant &v) { return v.typeId() == QMetaType::QString; }

[[noreturn]] void rangeError(const FieldSpec &f, qint64 n, const IntRange &r)
{
    throw EngineError(QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4.")
                          .arg(n)
                          .arg(f.label)
                          .arg(r.lo)
                          .arg(r.hi));
}

QString cutToWidth(QString s, int size)
{
    if (size > 0 && s.size() > size)
        s.truncate(size);
    return s;
}

QVariant integerFromText(const FieldSpec &f, const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok)
        throw EngineError(QStringLiteral("'%1' is not a valid integer value").arg(raw));
    const IntRange r = *integerRange(f.type);
    if (n < r.lo || n > r.hi)
        rangeError(f, n, r);
    return int(n);
}

QVariant numberFromText(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok)
        throw EngineError(QStringLiteral("'%1' is not a valid floating point value").arg(raw));
    return d;
}

QVariant dateFromText(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    static const QRegularExpression mdy(QStringLiteral("^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{1,4})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    QDate d;
    if (const auto m = iso.match(text); m.hasMatch()) {
        d = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    } else if (const auto m = mdy.match(text); m.hasMatch()) {
        int y = m.captured(3).toInt();
        if (m.captured(3).size() <= 2)
            y += y < 50 ? 2000 : 1900;
        d = QDate(y, m.captured(1).toInt(), m.captured(2).toInt());
    } else {
        d = QDate::fromString(text, QStringLiteral("d MMM yyyy"));
    }
    if (!d.isValid())
        throw EngineError(QStringLiteral("'%1' is not a valid date").arg(raw));
    return d;
}

QVariant logicalFromText(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    const QChar c = text.at(0).toUpper();
    if (c == u'T' || c == u'Y' || c == u'1')
        return true;
    if (c == u'F' || c == u'N' || c == u'0')
        return false;
    throw EngineError(QStringLiteral("'%1' is not a valid boolean value").arg(raw));
}

} // namespace

std::optional<IntRange> integerRange(FieldType type)
{
    switch (type) {
    case FieldType::Short:
        return IntRange{-32767, 32767};
    case FieldType::Long:
    case FieldType::AutoInc:
        return IntRange{-2147483647LL, 2147483647LL};
    default:
        return std::nullopt;
    }
}

void checkRange(const FieldSpec &f, const QVariant &value)
{
    const auto r = integerRange(f.type);
    if (!r || value.isNull() || isText(value))
        return;
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    if (ok && (n < r->lo || n > r->hi))
        rangeError(f, n, *r);
}

void checkRequired(const FieldSpec &f, const QVariant &value)
{
    if (f.required && value.isNull())
        throw requiredValueMissing(f.label);
}

QVariant parseText(const FieldSpec &f, const QString &text)
{
    switch (f.type) {
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc:
        return integerFromText(f, text);
    case FieldType::Number:
    case FieldType::Currency:
    case FieldType::Bcd:
        return numberFromText(text);
    case FieldType::Date:
        return dateFromText(text);
    case FieldType::Logical:
        return logicalFromText(text);
    case FieldType::Alpha: {
        const QString s = cutToWidth(text, f.size);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    default:
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
}

QVariant convert(const FieldSpec &f, const QVariant &v)
{
    if (v.isNull())
        return {};
    if (isText(v) && f.type != FieldType::Time && f.type != FieldType::Timestamp)
        return parseText(f, v.toString());
    switch (f.type) {
    case FieldType::Alpha:
        return parseText(f, v.toString());
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc: {
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok)
            throw EngineError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
        checkRange(f, n);
        return int(n);
    }
    case FieldType::Number:
    case FieldType::Currency:
        return v.toDouble();
    case FieldType::Date: {
        const QDate d = v.typeId() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
        if (!d.isValid())
            throw EngineError(QStringLiteral("'%1' is not a valid date").arg(v.toString()));
        return d;
    }
    case FieldType::Logical:
        return v.toBool();
    case FieldType::Time:
        return v.toTime();
    case FieldType::Timestamp:
        return v.toDateTime();
    default:
        return v;
    }
}

QString displayText(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("M/d/yyyy"));
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("M/d/yyyy h:mm:ss AP"));
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("h:mm:ss AP"));
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

} // namespace kw::data::fieldvalue

namespace kw::data {

QVariant convertFieldValue(FieldType type, int size, const QString &label, const QVariant &v)
{
    return fieldvalue::convert(FieldSpec{label, type, size, false}, v);
}

} // namespace kw::data
