#pragma once
// The equipment-by-type page: every hand receipt item (qryGear), narrowed by
// category tabs.
#include "app/pages/page.h"

namespace kw::app {

class GearPage : public Page {
    Q_OBJECT
public:
    explicit GearPage(kw::data::TdmMain &dm, QWidget *parent = nullptr);

    void enter() override;
    void leave() override;
    void tabAlseGearHide();
};

} // namespace kw::app
