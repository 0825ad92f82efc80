#include "app/pages/survivalpage.h"

namespace kw::app {

SurvivalPage::SurvivalPage(kw::data::TdmMain &dmMain, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabSurvival"), parent)
{
}

} // namespace kw::app
