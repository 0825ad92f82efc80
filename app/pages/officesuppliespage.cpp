#include "app/pages/officesuppliespage.h"

namespace kw::app {

OfficeSuppliesPage::OfficeSuppliesPage(kw::data::TdmMain &dmMain, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabOfficeSupplies"), parent)
{
}

void OfficeSuppliesPage::enter()
{
    dm.qryParts.open();
}

void OfficeSuppliesPage::leave()
{
    dm.applyOnLeave(dm.qryParts);
}

} // namespace kw::app
