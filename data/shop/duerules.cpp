#include "data/shop/duerules.h"

namespace kw::data {

DueStatus dueStatus(const QDate &due, const QDate &today, int withinDays)
{
    if (!due.isValid() || !today.isValid())
        return DueStatus::None;
    if (due < today)
        return DueStatus::Overdue;
    if (today.daysTo(due) <= withinDays)
        return DueStatus::Soon;
    return DueStatus::None;
}

DueStatus worseOf(DueStatus a, DueStatus b)
{
    return int(a) > int(b) ? a : b;
}

bool foodExpired(const QDate &foodExp, const QDate &today)
{
    return foodExp.isValid() && today.isValid() && foodExp < today;
}

DueStatus kitDueStatus(const QDate &inspDue, const QDate &foodExp, const QDate &today, int withinDays)
{
    const DueStatus inspection = dueStatus(inspDue, today, withinDays);
    return foodExpired(foodExp, today) ? worseOf(inspection, DueStatus::Overdue) : inspection;
}

bool itemNeedsInspection(const QString &inspType)
{
    return inspType == QLatin1String("D") || inspType == QLatin1String("Y");
}

bool kitNeedsInspection(const QString &inspType)
{
    return inspType != QLatin1String("N");
}

} // namespace kw::data
