#pragma once
// The master equipment list page (tblList): entering and leaving switch the
// list's filter off. Its widgets come with their own work.
#include "app/pages/page.h"

namespace kw::app {

class EquipListPage : public Page {
    Q_OBJECT
public:
    explicit EquipListPage(kw::data::TdmMain &dm, QWidget *parent = nullptr);
    void enter() override;
    void leave() override;
};

} // namespace kw::app
