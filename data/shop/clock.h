#pragma once
// "Today" for the whole program: the due colours, the due-by date, the
// report titles and the import all ask here, and tests fix it.
#include <QDate>
#include <QDateTime>

namespace kw::data {

struct Clock {
    static QDate today();
    static QDateTime now();
    static void setFixed(const QDateTime &dt); // invalid = real clock
};

} // namespace kw::data
