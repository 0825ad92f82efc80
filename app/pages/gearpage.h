#pragma once
// The equipment-by-type page: every hand receipt item (qryGear), narrowed to
// one category by the tab row. A title click sorts within the category.
#include "app/pages/page.h"

class QPushButton;
class QTabBar;

namespace kw::app {

class TDBGrid;

class GearPage : public Page {
    Q_OBJECT
public:
    explicit GearPage(kw::data::TdmMain &dm, TColumnEditors &editors, QWidget *parent = nullptr);

    // Opens qryGear, selects "All" and switches the filter off.
    void enter() override;
    void leave() override;
    // Runs the query's statement ahead, so that entering the page is quick.
    void preload() override;

    void grdGearTitleButtonClick(const QString &fieldName);
    void tabGearChange(int index);
    void tabAlseGearHide();

    // The selected category tab (the equipment listing is titled by it).
    int categoryIndex() const;


protected:
    bool showAllRows(kw::data::Dataset &ds) override;

private:
    void buildGrid();

    QTabBar *tabGear;
    QPushButton *btnGearPrint;
    TDBGrid *grdGear;
};

} // namespace kw::app
