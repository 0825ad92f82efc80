#include "app/pages/equiplistpage.h"

namespace kw::app {

EquipListPage::EquipListPage(kw::data::TdmMain &dmMain, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabEquipLists"), parent)
{
}

void EquipListPage::enter()
{
    dm.tblList.setFiltered(false);
}

void EquipListPage::leave()
{
    dm.tblList.setFiltered(false);
}

} // namespace kw::app
