#pragma once
// The master office parts list page: every part that may be held as bench
// stock (tblPartsList), narrowed by category tabs. Leaving puts the tab back
// on "All" with the filter off, so the bench stock page's part drop-down and
// "Add All Items" see the whole list.
#include "app/pages/page.h"

class QLabel;
class QPushButton;

namespace kw::app {

class TCategoryTabs;
class TDBGrid;
class TDBNavigator;

class PartsListPage : public Page {
    Q_OBJECT
public:
    explicit PartsListPage(kw::data::TdmMain &dm, TColumnEditors &editors, QWidget *parent = nullptr);

    // tabPartsListHide.
    void leave() override;

    void tabPartsMasterChange(int index);
    void tabPartsListHide();

    // The selected category tab (the master parts list report is titled by it).
    int categoryIndex() const;
    QString categoryCaption() const;


protected:
    bool showAllRows(kw::data::Dataset &ds) override;

private:
    TDBNavigator *navPartsList;
    QLabel *lblPartsListTop;
    TCategoryTabs *tabPartsMaster;
    QPushButton *btnMstrPartsList;
    TDBGrid *grdMasterOfficeSupplies;
};

} // namespace kw::app
