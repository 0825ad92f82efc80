#include "app/pages/equiplistpage.h"

#include "app/apperror.h"
#include "app/categorytabs.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/icons.h"
#include "data/shop/categoryfilters.h"
#include "reports/equipmentreports.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kw::app {

EquipListPage::EquipListPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, QWidget *parent)
    : Page(dmMain, editors, QStringLiteral("tabEquipLists"), parent)
{
    QVBoxLayout *lay = stackLayout(this);
    QWidget *top = topBar(this, 32);
    DBNavigator2 = navigator(top, QStringLiteral("DBNavigator2"), &dm.dsList);
    lblListTop = new QLabel(QStringLiteral("This list is all the equipment you can choose from to add to a Hand "
                                           "Receipt. \n Any changes made here will be reflected in equipment "
                                           "already assigned."),
                            top);
    lblListTop->setObjectName(QStringLiteral("lblListTop"));
    barLayout(top)->addWidget(DBNavigator2);
    barLayout(top)->addSpacing(12);
    barLayout(top)->addWidget(lblListTop, 1);

    QWidget *tabsBar = topBar(this, 27);
    tabMstrList = new TCategoryTabs(QStringLiteral("tabMstrList"), equipmentCategoryCaptions(), tabsBar);
    btnListPrint = new QPushButton(icons::tool(icons::Tool::Print), QStringLiteral("List"), tabsBar);
    btnListPrint->setObjectName(QStringLiteral("btnListPrint"));
    btnListPrint->setFixedHeight(23);
    addPrintButton(btnListPrint);
    barLayout(tabsBar)->addWidget(tabMstrList, 1, Qt::AlignBottom);
    barLayout(tabsBar)->addWidget(btnListPrint);

    grdList = newGrid(this, QStringLiteral("grdList"));
    grdList->setColumns(gridColumns(
        {QStringLiteral("LIN"), QStringLiteral("NSN"), QStringLiteral("Part Number"), QStringLiteral("Nomenclature"),
         QStringLiteral("UI"), QStringLiteral("Auth"), QStringLiteral("Insp Freq"), QStringLiteral("Insp Type"),
         QStringLiteral("Alse"), QStringLiteral("Batt"), QStringLiteral("Pyro"), QStringLiteral("Med"),
         QStringLiteral("Radio"), QStringLiteral("Flotation"), QStringLiteral("List 1"), QStringLiteral("List 2")}));
    grdList->setDataSource(&dm.dsList);
    grdList->enterMovesToNextColumn = true;
    grdList->setWrapLongTexts(true);
    lay->addWidget(top);
    lay->addWidget(tabsBar);
    lay->addWidget(grdList);

    connect(tabMstrList, &QTabBar::currentChanged, this,
            [this](int index) { guarded([&] { tabMstrListChange(index); }); });
}

void EquipListPage::enter()
{
    tabEquipListsShow();
}

void EquipListPage::leave()
{
    tabEquipListsHide();
}

void EquipListPage::resetCategory()
{
    // An item that cannot be stored keeps the page, its tab and its filter.
    dm.tblList.checkBrowseMode();
    {
        const QSignalBlocker quiet(tabMstrList);
        tabMstrList->setCurrentIndex(0);
    }
    dm.tblList.setFiltered(false);
}

void EquipListPage::tabEquipListsShow()
{
    resetCategory();
}

void EquipListPage::tabEquipListsHide()
{
    resetCategory();
}

void EquipListPage::tabMstrListChange(int index)
{
    kw::data::applyCategoryFilter(dm.tblList, kw::data::masterListCategoryFilter(index));
}

int EquipListPage::categoryIndex() const
{
    return tabMstrList->currentIndex();
}

QString EquipListPage::listReportTitle(int tabIndex)
{
    return kw::reports::gearMasterTitle(tabIndex);
}

QString EquipListPage::listReportTitle() const
{
    return listReportTitle(categoryIndex());
}

bool EquipListPage::showAllRows(kw::data::Dataset &ds)
{
    if (&ds != &dm.tblList || tabMstrList->currentIndex() == 0)
        return false;
    tabMstrList->setCurrentIndex(0); // its change handler switches the filter off
    return !ds.filtered();
}

} // namespace kw::app
