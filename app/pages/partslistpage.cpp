#include "app/pages/partslistpage.h"

#include "app/apperror.h"
#include "app/categorytabs.h"
#include "data/categoryfilters.h"
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
    grdMasterOfficeSupplies->setColumns({{QStringLiteral("LIN"), QStringLiteral("LIN"), 6},
                                         {QStringLiteral("NSN"), QStringLiteral("NSN"), 16},
                                         {QStringLiteral("Nomenclature"), QStringLiteral("Nomenclature"), 30},
                                         {QStringLiteral("Part Number"), QStringLiteral("Part Number"), 20},
                                         {QStringLiteral("UI"), QStringLiteral("UI"), 3},
                                         {QStringLiteral("Auth"), QStringLiteral("Auth"), 4},
                                         {QStringLiteral("Reorder Point"), QStringLiteral("Reorder Point"), 10},
                                         {QStringLiteral("Bench Stock"), QStringLiteral("Bench Stock"), 10},
                                         {QStringLiteral("Class VIII"), QStringLiteral("Class VIII"), 7},
                                         {QStringLiteral("Operational Load"), QStringLiteral("Operational Load"), 13},
                                         {QStringLiteral("PLL"), QStringLiteral("PLL"), 3},
                                         {QStringLiteral("Shop Stock"), QStringLiteral("Shop Stock"), 9}});
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
