#pragma once
// The program setup page: the shop's small lookup lists (tail numbers, kit
// types with their inspection interval, drawers, bins) in four grids under
// one shared navigator, the five setup texts the reports print, and the two
// update settings. The texts are taken over when the page is left (or the
// program closed while it is shown); the update settings are saved with the
// window state then.
#include "app/pages/page.h"

class QCheckBox;
class QLineEdit;

namespace kw::settings {
class TIniOut;
struct SetupTexts;
}

namespace kw::app {

struct GridColumn;
class TDBGrid;
class TDBNavigator;

class SetupPage : public Page {
    Q_OBJECT
public:
    SetupPage(kw::data::TdmMain &dm, TColumnEditors &editors, kw::settings::SetupTexts &texts, kw::settings::TIniOut &ini, QWidget *parent = nullptr);
    ~SetupPage() override;

    // Fills the five edit boxes from the setup texts.
    void enter() override;
    // tabSetupHide.
    void leave() override;

    void tabSetupHide();
    // A setup grid received the focus: the shared navigator works on it.
    void grdAircraftEnter();
    void grdKitTypeEnter();
    void grdDrawerEnter();
    void grdSetupBinEnter();
    // A setup grid lost the focus: its pending row is stored.
    void grdAircraftExit();
    void grdKitTypeExit();
    void grdDrawerExit();
    void grdSetupBinExit();

    // "Automatically Check for Updates" (cbAutoUpdate).
    bool autoUpdate() const;
    // "Notify me only if there's an update" (cbAutoUpdateNotify).
    bool notifyOnlyOnUpdate() const;

protected:
    void changeEvent(QEvent *e) override;

private:
    void buildSetupPanel(QWidget *panel);
    QWidget *buildGrids();
    TDBGrid *setupGrid(const char *name, kw::data::DataSource *source, const QList<GridColumn> &columns);
    void onFocusChanged(QWidget *now);
    void gridEnter(TDBGrid *grid);
    void gridExit(TDBGrid *grid);

    kw::settings::SetupTexts &m_texts;
    kw::settings::TIniOut &m_ini;
    TDBNavigator *navSetup;
    QLineEdit *edCompany, *edAlseOfficer, *edPrepared, *edApproved, *edAuthorized;
    QCheckBox *cbAutoUpdate, *cbAutoUpdateNotify;
    TDBGrid *grdSetupTailNum, *grdKitType, *grdDrawer, *grdSetupBin;
    TDBGrid *m_focusGrid = nullptr; // the setup grid that has the focus
    bool m_inExit = false;
};

} // namespace kw::app
