#pragma once
// The aircraft equipment page: the survival kits carried in each aircraft
// (tblKits), in the order of one of the kits' indexes. Choosing a kit type
// copies the type's inspection interval into the kit and stores it.
#include "app/pages/page.h"

class QLabel;
class QPushButton;

namespace kw::app {

class TDBGrid;
class TDBNavigator;
class TLookupComboEditor;

class SurvivalPage : public Page {
    Q_OBJECT
public:
    explicit SurvivalPage(kw::data::TdmMain &dm, TColumnEditors &editors, QWidget *parent = nullptr);

    void grdSurvivalTitleButtonClick(const QString &fieldName);
    // The kit-type list closed: copies Insp Type and Insp Freq of the kit
    // type the list stands on into the kit and posts it.
    void cbKitTypeCloseUp();

private:
    void buildGrid();
    void buildColumnEditors();
    // The kit type's editor closed its list: its choice goes into the kit,
    // then cbKitTypeCloseUp.
    void kitTypeListClosed(QWidget *editor);
    // Moves tblKitType to the row of the kit's Kit Type; false when the kit
    // has no type or the type is not in the list.
    bool locateKitType();

    TDBNavigator *navKits;
    QLabel *lblKitsSort;
    QPushButton *btnSurvivalList;
    TDBGrid *grdSurvival;
    TLookupComboEditor *cbKitType;
};

} // namespace kw::app
