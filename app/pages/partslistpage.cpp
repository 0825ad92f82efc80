#include "app/pages/partslistpage.h"

#include "app/apperror.h"
#include "app/categorytabs.h"
#include "data/shop/categoryfilters.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/icons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kw::app {


PartsListPage::PartsListPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, QWidget *parent)
    : Page(dmMain, editors, QStringLiteral("tabPartsList"), parent)
{
    QVBoxLayout *lay = stackLayout(this);
    QWidget *top = topBar(this, 33);
    navPartsList = navigator(top, QStringLiteral("navPartsList"), &dm.dsPartsList);
    lblPartsListTop = new QLabel(QStringLiteral("This list is all the equipment you can choose from to add to Bench "
                                                "Stock.\nAny changes made here will be reflected in equipment "
                                                "already assigned."),
                                 top);
    lblPartsListTop->setObjectName(QStringLiteral("lblPartsListTop"));
    barLayout(top)->addWidget(navPartsList);
    barLayout(top)->addSpacing(12);
    barLayout(top)->addWidget(lblPartsListTop, 1);

    QWidget *tabsBar = topBar(this, 27);
    tabPartsMaster = new TCategoryTabs(QStringLiteral("tabPartsMaster"), stockCategoryCaptions(), tabsBar);
    btnMstrPartsList = new QPushButton(icons::tool(icons::Tool::Print), QStringLiteral("List"), tabsBar);
    btnMstrPartsList->setObjectName(QStringLiteral("btnMstrPartsList"));
    btnMstrPartsList->setFixedHeight(23);
    addPrintButton(btnMstrPartsList);
    barLayout(tabsBar)->addWidget(tabPartsMaster, 1, Qt::AlignBottom);
    barLayout(tabsBar)->addWidget(btnMstrPartsList);

    grdMasterOfficeSupplies = newGrid(this, QStringLiteral("grdMasterOfficeSupplies"));
    grdMasterOfficeSupplies->setColumns(gridColumns(
        {QStringLiteral("LIN"), QStringLiteral("NSN"), QStringLiteral("Nomenclature"), QStringLiteral("Part Number"),
         QStringLiteral("UI"), QStringLiteral("Auth"), QStringLiteral("Reorder Point"), QStringLiteral("Bench Stock"),
         QStringLiteral("Class VIII"), QStringLiteral("Operational Load"), QStringLiteral("PLL"),
         QStringLiteral("Shop Stock")}));
    grdMasterOfficeSupplies->setDataSource(&dm.dsPartsList);
    lay->addWidget(top);
    lay->addWidget(tabsBar);
    lay->addWidget(grdMasterOfficeSupplies);

    connect(tabPartsMaster, &QTabBar::currentChanged, this,
            [this](int index) { guarded([&] { tabPartsMasterChange(index); }); });
}

void PartsListPage::leave()
{
    tabPartsListHide();
}

void PartsListPage::tabPartsMasterChange(int index)
{
    kw::data::applyCategoryFilter(dm.tblPartsList, kw::data::stockCategoryFilter(index));
}

void PartsListPage::tabPartsListHide()
{
    // A part that cannot be stored keeps the page, its tab and its filter.
    dm.tblPartsList.checkBrowseMode();
    {
        const QSignalBlocker quiet(tabPartsMaster);
        tabPartsMaster->setCurrentIndex(0);
    }
    dm.tblPartsList.setFiltered(false);
}

int PartsListPage::categoryIndex() const
{
    return tabPartsMaster->currentIndex();
}

QString PartsListPage::categoryCaption() const
{
    return tabPartsMaster->tabText(tabPartsMaster->currentIndex());
}

bool PartsListPage::showAllRows(kw::data::Dataset &ds)
{
    if (&ds != &dm.tblPartsList || tabPartsMaster->currentIndex() == 0)
        return false;
    tabPartsMaster->setCurrentIndex(0); // its change handler switches the filter off
    return !ds.filtered();
}

} // namespace kw::app
