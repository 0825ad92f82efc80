#pragma once
// The aircraft equipment page: the survival kits of each aircraft (tblKits).
#include "app/pages/page.h"

namespace kw::app {

class SurvivalPage : public Page {
    Q_OBJECT
public:
    explicit SurvivalPage(kw::data::TdmMain &dm, QWidget *parent = nullptr);
};

} // namespace kw::app
