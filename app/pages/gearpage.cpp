#include "app/pages/gearpage.h"

#include "app/apperror.h"
#include "app/categorytabs.h"
#include "app/dbgrid.h"
#include "data/shop/categoryfilters.h"
#include "data/shop/queryorders.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

namespace kw::app {

GearPage::GearPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, QWidget *parent) : Page(dmMain, editors, QStringLiteral("tabAlseGear"), parent)
{
    QVBoxLayout *lay = stackLayout(this);
    QWidget *bar = topBar(this, 26);
    tabGear = new QTabBar(bar);
    tabGear->setObjectName(QStringLiteral("tabGear"));
    tabGear->setDrawBase(false);
    tabGear->setExpanding(false);
    for (int i = 0; i < kGearCategoryCount; ++i)
        tabGear->addTab(equipmentCategoryCaptions()[i]);
    btnGearPrint = new QPushButton(QStringLiteral("List"), bar);
    btnGearPrint->setObjectName(QStringLiteral("btnGearPrint"));
    btnGearPrint->setFixedHeight(23);
    addPrintButton(btnGearPrint);
    barLayout(bar)->setContentsMargins(2, 0, 2, 0);
    barLayout(bar)->addWidget(tabGear, 0, Qt::AlignBottom);
    barLayout(bar)->addStretch(1);
    barLayout(bar)->addWidget(btnGearPrint);
    buildGrid();
    lay->addWidget(bar);
    lay->addWidget(grdGear);

    connect(tabGear, &QTabBar::currentChanged, this, [this](int index) { guarded([&] { tabGearChange(index); }); });
}

void GearPage::buildGrid()
{
    grdGear = newGrid(this, QStringLiteral("grdGear"));
    grdGear->setColumns(gridColumns(
        {QStringLiteral("Hr Number"), QStringLiteral("Hr Holder"), QStringLiteral("NSN"),
         QStringLiteral("Nomenclature"), QStringLiteral("Serial Number"), QStringLiteral("UI"),
         QStringLiteral("Auth"), QStringLiteral("OH"), QStringLiteral("Insp Freq"), QStringLiteral("Insp Type"),
         QStringLiteral("Insp Completed"), QStringLiteral("Insp Due"), QStringLiteral("Alse"),
         QStringLiteral("Radio"), QStringLiteral("Flotation"), QStringLiteral("Batt"), QStringLiteral("Pyro"),
         QStringLiteral("Med"), QStringLiteral("Remarks")}));
    grdGear->setDataSource(&dm.dsGear);
    grdGear->setTitleButtons(true);
    grdGear->enterMovesToNextColumn = true;
    grdGear->addSortHintMenu();
    colourByDueStatus(grdGear, QStringLiteral("Insp Due"));
    connect(grdGear, &TDBGrid::titleButtonClick, this,
            [this](const QString &field) { guarded([&] { grdGearTitleButtonClick(field); }); });
}

int GearPage::categoryIndex() const
{
    return tabGear->currentIndex();
}

void GearPage::enter()
{
    dm.qryGear.open();
    readAgainIfStale(dm.qryGear);
    // All items: the "All" tab, filtering off (also when "All" was chosen).
    const QSignalBlocker quiet(tabGear);
    tabGear->setCurrentIndex(0);
    tabGearChange(0);
}

void GearPage::preload()
{
    kw::data::preloadQuery(dm, dm.qryGear);
}

void GearPage::leave()
{
    tabAlseGearHide();
}

void GearPage::tabGearChange(int index)
{
    kw::data::applyCategoryFilter(dm.qryGear, kw::data::gearCategoryFilter(index));
}

void GearPage::grdGearTitleButtonClick(const QString &fieldName)
{
    // The filter belongs to the dataset and survives the re-run.
    kw::data::orderQuery(dm, dm.qryGear, kw::data::itemOrderByClause(fieldName));
}

void GearPage::tabAlseGearHide()
{
    dm.applyOnLeave(dm.qryGear);
}

bool GearPage::showAllRows(kw::data::Dataset &ds)
{
    if (&ds != &dm.qryGear || tabGear->currentIndex() == 0)
        return false;
    tabGear->setCurrentIndex(0); // its change handler switches the filter off
    return !ds.filtered();
}

} // namespace kw::app
