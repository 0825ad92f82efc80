#pragma once
// The master office parts list page (tblPartsList): leaving switches the
// list's filter off. Its widgets come with their own work.
#include "app/pages/page.h"

namespace kw::app {

class PartsListPage : public Page {
    Q_OBJECT
public:
    explicit PartsListPage(kw::data::TdmMain &dm, QWidget *parent = nullptr);

    void leave() override;
};

} // namespace kw::app
