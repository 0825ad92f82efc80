#include "app/pages/officesuppliespage.h"

#include "app/apperror.h"
#include "app/categorytabs.h"
#include "data/shop/categoryfilters.h"
#include "data/shop/queryorders.h"
#include "app/columneditors.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/icons.h"
#include "app/partsaddall.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kw::app {


OfficeSuppliesPage::OfficeSuppliesPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, QWidget *parent)
    : Page(dmMain, editors, QStringLiteral("tabOfficeSupplies"), parent)
{
    QVBoxLayout *lay = stackLayout(this);
    buildTopBar();
    tabParts = new TCategoryTabs(QStringLiteral("tabParts"), stockCategoryCaptions(), this);
    QList<QIcon> images;
    for (int i = 0; i < stockCategoryCaptions().size(); ++i)
        images << icons::stock(i);
    tabParts->setTabIcons(images);
    grdOfficeSupplies = newGrid(this, QStringLiteral("grdOfficeSupplies"));
    grdOfficeSupplies->setColumns(gridColumns(
        {QStringLiteral("Drawer"), QStringLiteral("Bin"), QStringLiteral("NSN"), QStringLiteral("Nomenclature"),
         QStringLiteral("Part Number"), QStringLiteral("UI"), QStringLiteral("Auth"), QStringLiteral("On Hand"),
         QStringLiteral("Reorder Point"), QStringLiteral("Operational Load"), QStringLiteral("Bench Stock"),
         QStringLiteral("PLL"), QStringLiteral("Class VIII"), QStringLiteral("Shop Stock")}));
    grdOfficeSupplies->setDataSource(&dm.dsParts);
    grdOfficeSupplies->setTitleButtons(true);
    grdOfficeSupplies->addSortHintMenu();
    lay->addWidget(findChild<QWidget *>(QStringLiteral("pnlPartsTop")));
    lay->addWidget(tabParts);
    lay->addWidget(grdOfficeSupplies);
    buildColumnEditors();

    connect(grdOfficeSupplies, &TDBGrid::titleButtonClick, this,
            [this](const QString &field) { guarded([&] { grdOfficeSuppliesTitleButtonClick(field); }); });
    connect(tabParts, &QTabBar::currentChanged, this, [this](int index) { guarded([&] { tabPartsChange(index); }); });
}

void OfficeSuppliesPage::buildTopBar()
{
    QWidget *bar = topBar(this, 25);
    bar->setObjectName(QStringLiteral("pnlPartsTop"));
    DBNavigator3 = navigator(bar, QStringLiteral("DBNavigator3"), &dm.dsParts);
    btnPartsAdd = new QPushButton(QStringLiteral("Add All Items"), bar);
    btnPartsAdd->setObjectName(QStringLiteral("btnPartsAdd"));
    btnPartsInventory = new QPushButton(icons::tool(icons::Tool::Print), QStringLiteral("Inventory Sheet"), bar);
    btnPartsInventory->setObjectName(QStringLiteral("btnPartsInventory"));
    btnPartsList = new QPushButton(icons::tool(icons::Tool::Print), QStringLiteral("List"), bar);
    btnPartsList->setObjectName(QStringLiteral("btnPartsList"));
    barLayout(bar)->addWidget(DBNavigator3);
    barLayout(bar)->addStretch(1);
    for (QPushButton *b : {btnPartsAdd, btnPartsInventory, btnPartsList}) {
        b->setFixedHeight(23);
        barLayout(bar)->addWidget(b);
    }
    addPrintButton(btnPartsInventory);
    addPrintButton(btnPartsList);
    connect(btnPartsAdd, &QPushButton::clicked, this, [this] { guarded([this] { btnPartsAddClick(); }); });
}

void OfficeSuppliesPage::buildColumnEditors()
{
    // Hidden components the grid places over the cell being edited; only a
    // value of the list can be chosen, typed letters pick the entry.
    auto *cbDrawer = new TLookupComboEditor(QStringLiteral("cbDrawer"), &dm.tblDrawer, QStringLiteral("Drawer"),
                                            gridColumns({QStringLiteral("Drawer")}), this);
    auto *cbBin = new TLookupComboEditor(QStringLiteral("cbBin"), &dm.tblBin, QStringLiteral("Bin"),
                                         gridColumns({QStringLiteral("Bin")}), this);
    for (TLookupComboEditor *e : {cbDrawer, cbBin}) {
        e->rowsVisible = 10;
        e->listTitles = false;
        e->listLines = false;
        addColumnEditor(e);
    }
    const QList<GridColumn> partColumns = {
        {QStringLiteral("LIN"), QStringLiteral("LIN"), 6},
        {QStringLiteral("NSN"), QStringLiteral("NSN"), 16},
        {QStringLiteral("Nomenclature"), QStringLiteral("Nomenclature"), 30},
        {QStringLiteral("Part Number"), QStringLiteral("Part Number"), 20},
        {QStringLiteral("UI"), QStringLiteral("UI"), 2},
        {QStringLiteral("Auth"), QStringLiteral("Auth"), 10},
        {QStringLiteral("Reorder Point"), QStringLiteral("Reorder Point"), 10}};
    auto *cbPartsNsn = new TLookupComboEditor(QStringLiteral("cbPartsNsn"), &dm.tblPartsList, QStringLiteral("NSN"),
                                              partColumns, this);
    cbPartsNsn->rowsVisible = 10;
    cbPartsNsn->popupWidth = 400;
    addColumnEditor(cbPartsNsn);
}

void OfficeSuppliesPage::enter()
{
    dm.qryParts.open();
    readAgainIfStale(dm.qryParts);
}

void OfficeSuppliesPage::leave()
{
    tabOfficeSuppliesHide();
}

void OfficeSuppliesPage::tabOfficeSuppliesHide()
{
    dm.applyOnLeave(dm.qryParts);
}

void OfficeSuppliesPage::grdOfficeSuppliesTitleButtonClick(const QString &fieldName)
{
    if (const QString clause = kw::data::partsOrderByClause(fieldName); !clause.isEmpty())
        kw::data::orderQuery(dm, dm.qryParts, clause);
}

void OfficeSuppliesPage::tabPartsChange(int index)
{
    kw::data::applyCategoryFilter(dm.qryParts, kw::data::stockCategoryFilter(index));
}

int OfficeSuppliesPage::categoryIndex() const
{
    return tabParts->currentIndex();
}

QString OfficeSuppliesPage::categoryCaption() const
{
    return tabParts->tabText(tabParts->currentIndex());
}

void OfficeSuppliesPage::btnPartsAddClick()
{
    if (!dm.qryParts.active())
        dm.qryParts.open();
    TfPartsAddAll dlg(dm, window());
    if (dlg.exec() == QDialog::Accepted) {
        dm.qryParts.close();
        dm.qryParts.open();
    }
}

bool OfficeSuppliesPage::showAllRows(kw::data::Dataset &ds)
{
    if (&ds != &dm.qryParts || tabParts->currentIndex() == 0)
        return false;
    tabParts->setCurrentIndex(0); // its change handler switches the filter off
    return !ds.filtered();
}

} // namespace kw::app
