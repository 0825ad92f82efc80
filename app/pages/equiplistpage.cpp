#include "app/pages/equiplistpage.h"

#include "app/apperror.h"
#include "app/categorytabs.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/icons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kw::app {

namespace {

// The listing's title by category tab.
const char *const kReportTitles[] = {
    "ALSE Gear Master List of All Items",
    "ALSE Gear Master List of ALSE Items",
    "ALSE Gear Master List of Radios",
    "ALSE Gear Master List of Flotation Devices",
    "ALSE Gear Master List of Batteries",
    "ALSE Gear Master List of Pyrotechnic Items",
    "ALSE Gear Master List of Medical Items",
    "ALSE Gear Master Add from List 1 Items",
    "ALSE Gear Master Add from List 2 Items",
};

} // namespace

EquipListPage::EquipListPage(kw::data::TdmMain &dmMain, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabEquipLists"), parent)
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

    grdList = new TDBGrid(this);
    grdList->setObjectName(QStringLiteral("grdList"));
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
    applyCategoryFilter(dm.tblList, equipmentCategoryFilters(), index);
}

int EquipListPage::categoryIndex() const
{
    return tabMstrList->currentIndex();
}

QString EquipListPage::listReportTitle(int tabIndex)
{
    const int n = int(std::size(kReportTitles));
    return QString::fromLatin1(kReportTitles[tabIndex >= 0 && tabIndex < n ? tabIndex : 0]);
}

QString EquipListPage::listReportTitle() const
{
    return listReportTitle(categoryIndex());
}

} // namespace kw::app
