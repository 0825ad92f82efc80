#include "app/pages/gearpage.h"

namespace kw::app {

GearPage::GearPage(kw::data::TdmMain &dmMain, QWidget *parent) : Page(dmMain, QStringLiteral("tabAlseGear"), parent)
{
}

void GearPage::enter()
{
    dm.qryGear.open();
    dm.qryGear.setFiltered(false);
}

void GearPage::leave()
{
    tabAlseGearHide();
}

void GearPage::tabAlseGearHide()
{
    dm.applyOnLeave(dm.qryGear);
}

} // namespace kw::app
