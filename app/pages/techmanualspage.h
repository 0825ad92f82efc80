#pragma once
// The technical manuals page: the shop's library of manuals (tblTechMan) in
// binder and book order, edited in place, and its listing.
#include "app/pages/page.h"

class QPushButton;

namespace kw::app {

class TDBGrid;
class TDBNavigator;

class TechManualsPage : public Page {
    Q_OBJECT
public:
    explicit TechManualsPage(kw::data::TdmMain &dm, TColumnEditors &editors, QWidget *parent = nullptr);

private:
    TDBNavigator *DBNavigator4;
    QPushButton *btnTechManList;
    TDBGrid *grdTechMan;
};

} // namespace kw::app
