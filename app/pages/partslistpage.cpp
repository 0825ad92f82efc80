#include "app/pages/partslistpage.h"

namespace kw::app {

PartsListPage::PartsListPage(kw::data::TdmMain &dmMain, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabPartsList"), parent)
{
}

void PartsListPage::leave()
{
    dm.tblPartsList.setFiltered(false);
}

} // namespace kw::app
