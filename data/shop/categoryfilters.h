#pragma once
// The category tabs of the equipment and office parts pages narrow their
// dataset by a flag of the master list. The rule that turns a tab index into
// a filter lives here, so that a page and the command line that stands in
// for it show the same rows.
#include <QString>

namespace kw::data {

class Dataset;

// Items by type (qryGear): "All", "ALSE", "Radios", "Floatation",
// "Batteries", "Pyro", "Meds". Empty for "All" and unknown indexes.
QString gearCategoryFilter(int tab);
// The master equipment list (tblList): the seven above, then "List 1" and
// "List 2".
QString masterListCategoryFilter(int tab);
// Office parts (qryParts) and their master list (tblPartsList): "All",
// "Bench Stock", "Class VIII", "Operational Load", "PLL", "Shop Stock".
QString stockCategoryFilter(int tab);

// An empty filter switches the dataset's filter off; any other is set and
// switched on.
void applyCategoryFilter(Dataset &ds, const QString &filter);

} // namespace kw::data
