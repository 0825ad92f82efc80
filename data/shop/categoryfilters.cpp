#include "data/shop/categoryfilters.h"

#include "data/engine/dataset.h"

#include <iterator>

namespace kw::data {

namespace {

// The equipment flags by tab; the master list adds its two lists.
const char *const kGearFilters[] = {
    "",
    "Alse = True",
    "Radio = True",
    "Flotation = True",
    "Batt = True",
    "Pyro = True",
    "Med = True",
    "[List 1] = True",
    "[List 2] = True",
};
constexpr int kGearTabs = 7;

const char *const kStockFilters[] = {
    "",
    "[Bench Stock] = True",
    "[Class VIII] = True",
    "[Operational Load] = True",
    "[PLL] = True",
    "[Shop Stock] = True",
};

QString pick(const char *const *filters, int count, int tab)
{
    return tab >= 0 && tab < count ? QLatin1String(filters[tab]) : QString();
}

} // namespace

QString gearCategoryFilter(int tab)
{
    return pick(kGearFilters, kGearTabs, tab);
}

QString masterListCategoryFilter(int tab)
{
    return pick(kGearFilters, int(std::size(kGearFilters)), tab);
}

QString stockCategoryFilter(int tab)
{
    return pick(kStockFilters, int(std::size(kStockFilters)), tab);
}

void applyCategoryFilter(Dataset &ds, const QString &filter)
{
    if (filter.isEmpty()) {
        ds.setFiltered(false);
        return;
    }
    ds.setFilter(filter);
    ds.setFiltered(true);
}

} // namespace kw::data
