#pragma once
// A row of flat category tabs over a dataset ("All", "ALSE", "Radios", ...).
// The first tab shows every row; each other tab narrows the dataset to the
// rows its filter expression accepts ("Alse = True", "[List 1] = True"). The
// pages own their tab rows; the rule that turns a tab into a filter is
// data/shop/categoryfilters.h, which the command line shares.
#include <QStringList>
#include <QTabBar>

namespace kw::app {

class TCategoryTabs : public QTabBar {
    Q_OBJECT
public:
    // name: the component name ("tabParts"); captions by tab index.
    TCategoryTabs(const QString &name, const QStringList &captions, QWidget *parent = nullptr);
    // Shows a small image on each tab.
    void setTabIcons(const QList<QIcon> &icons);
};

// The stock categories of the office parts, by tab of the bench stock pages
// ("All", "Bench Stock", ...); their filters are kw::data::stockCategoryFilter.
const QStringList &stockCategoryCaptions();

// The equipment categories of the master equipment list, by tab: "All",
// "ALSE", "Radios", "Floatation", "Batteries", "Pyro", "Meds", "List 1",
// "List 2"; their filters are kw::data::masterListCategoryFilter. The
// equipment-by-type page shows the first seven (the standard lists are not
// categories of issued gear).
const QStringList &equipmentCategoryCaptions();
constexpr int kGearCategoryCount = 7;

} // namespace kw::app
