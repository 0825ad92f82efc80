#pragma once
// The master equipment list page: every item that may go on a hand receipt
// (tblList, by nomenclature), with its inspection interval and category
// flags, narrowed by category tabs. The tab is back on "All" with the filter
// off whenever the page is entered or left, so the other users of the list
// (the add-from-list dialog, the hand receipt lookups) see all of it.
#include "app/pages/page.h"

class QLabel;
class QPushButton;

namespace kw::app {

class TCategoryTabs;
class TDBGrid;
class TDBNavigator;

class EquipListPage : public Page {
    Q_OBJECT
public:
    explicit EquipListPage(kw::data::TdmMain &dm, TColumnEditors &editors, QWidget *parent = nullptr);

    // tabEquipListsShow.
    void enter() override;
    // tabEquipListsHide.
    void leave() override;

    void tabEquipListsShow();
    void tabEquipListsHide();
    void tabMstrListChange(int index);

    // The selected category tab, and the title of the master equipment
    // listing printed from it.
    int categoryIndex() const;
    QString listReportTitle() const;
    static QString listReportTitle(int tabIndex);


protected:
    bool showAllRows(kw::data::Dataset &ds) override;

private:
    void resetCategory();

    TDBNavigator *DBNavigator2;
    QLabel *lblListTop;
    TCategoryTabs *tabMstrList;
    QPushButton *btnListPrint;
    TDBGrid *grdList;
};

} // namespace kw::app
