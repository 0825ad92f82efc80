#include "app/pages/techmanualspage.h"

namespace kw::app {

TechManualsPage::TechManualsPage(kw::data::TdmMain &dmMain, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabTechManuals"), parent)
{
}

} // namespace kw::app
