#include "data/valuecompare.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace kw::data {

int compareValues(const QVariant &a, const QVariant &b, bool caseInsensitive)
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : an ? -1 : 1;
    auto sign = [](auto d) { return d < 0 ? -1 : d > 0 ? 1 : 0; };
    switch (a.typeId()) {
    case QMetaType::QString:
        return sign(a.toString().compare(b.toString(), caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive));
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
        if (b.typeId() == QMetaType::Double)
            return sign(a.toDouble() - b.toDouble());
        return sign(a.toLongLong() - b.toLongLong());
    case QMetaType::Double:
        return sign(a.toDouble() - b.toDouble());
    case QMetaType::Bool:
        return sign(int(a.toBool()) - int(b.toBool()));
    case QMetaType::QDate:
        return sign(a.toDate().toJulianDay() - b.toDate().toJulianDay());
    case QMetaType::QTime:
        return sign(b.toTime().msecsTo(a.toTime()));
    case QMetaType::QDateTime:
        return sign(b.toDateTime().msecsTo(a.toDateTime()));
    default:
        return sign(a.toString().compare(b.toString()));
    }
}

} // namespace kw::data
