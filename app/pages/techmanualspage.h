#pragma once
// The technical manuals page (tblTechMan). Its widgets come with their own work.
#include "app/pages/page.h"

namespace kw::app {

class TechManualsPage : public Page {
    Q_OBJECT
public:
    explicit TechManualsPage(kw::data::TdmMain &dm, QWidget *parent = nullptr);
};

} // namespace kw::app
