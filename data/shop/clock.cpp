#include "data/shop/clock.h"

namespace kw::data {

static QDateTime &fixedNow()
{
    static QDateTime dt;
    return dt;
}

QDate Clock::today() { return now().date(); }

QDateTime Clock::now()
{
    return fixedNow().isValid() ? fixedNow() : QDateTime::currentDateTime();
}

void Clock::setFixed(const QDateTime &dt) { fixedNow() = dt; }

} // namespace kw::data
