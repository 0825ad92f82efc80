#include "data/engine/valuecompare.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace kw::data {

int compareValues(const QVariant &a, const QVariant &b, bool caseInsensitive)
{
    // Same-typed values, the common case when rows are sorted or matched,
    // are compared in place: the general path converts through QMetaType,
    // which costs more than the comparison itself.
    const int ta = a.typeId();
    if (ta == b.typeId()) {
        const auto cmp = [](const auto &x, const auto &y) { return x < y ? -1 : y < x ? 1 : 0; };
        switch (ta) {
        case QMetaType::Int:
            return cmp(*static_cast<const int *>(a.constData()), *static_cast<const int *>(b.constData()));
        case QMetaType::Bool:
            return cmp(*static_cast<const bool *>(a.constData()), *static_cast<const bool *>(b.constData()));
        case QMetaType::QString: {
            const int c = static_cast<const QString *>(a.constData())
                              ->compare(*static_cast<const QString *>(b.constData()),
                                        caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive);
            return c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        case QMetaType::QDate:
            return cmp(static_cast<const QDate *>(a.constData())->toJulianDay(),
                       static_cast<const QDate *>(b.constData())->toJulianDay());
        default:
            break;
        }
    }
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
