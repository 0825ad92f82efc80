#pragma once
// The office bench stock page (qryParts): entering opens the query, leaving
// applies its pending cached changes. Its widgets come with their own work.
#include "app/pages/page.h"

namespace kw::app {

class OfficeSuppliesPage : public Page {
    Q_OBJECT
public:
    explicit OfficeSuppliesPage(kw::data::TdmMain &dm, QWidget *parent = nullptr);
    void enter() override;
    void leave() override;
};

} // namespace kw::app
