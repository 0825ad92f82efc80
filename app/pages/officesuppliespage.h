#pragma once
// The office bench stock page: which part of the master office parts list
// lies in which drawer and bin, and how many are on hand (qryParts, joined
// with the master list). Column titles sort, category tabs narrow it, "Add
// All Items" fills it from the whole master list. It also carries the hidden
// drawer, bin and part drop-downs its grid edits with.
#include "app/pages/page.h"

class QPushButton;

namespace kw::app {

class TCategoryTabs;
class TDBGrid;
class TDBNavigator;

class OfficeSuppliesPage : public Page {
    Q_OBJECT
public:
    explicit OfficeSuppliesPage(kw::data::TdmMain &dm, TColumnEditors &editors, QWidget *parent = nullptr);

    // Opens qryParts.
    void enter() override;
    // tabOfficeSuppliesHide.
    void leave() override;

    void grdOfficeSuppliesTitleButtonClick(const QString &fieldName);
    void tabPartsChange(int index);
    void tabOfficeSuppliesHide();
    void btnPartsAddClick();

    // The selected category tab (the bench stock list report is titled by it).
    int categoryIndex() const;
    QString categoryCaption() const;



protected:
    bool showAllRows(kw::data::Dataset &ds) override;

private:
    void buildTopBar();
    void buildColumnEditors();

    TDBNavigator *DBNavigator3;
    QPushButton *btnPartsAdd, *btnPartsInventory, *btnPartsList;
    TCategoryTabs *tabParts;
    TDBGrid *grdOfficeSupplies;
};

} // namespace kw::app
