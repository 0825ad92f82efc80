#pragma once
// The hand receipts page: holders on the left, the selected holder's items
// on the right. It also carries the hidden column editors that the grids of
// other pages share (cbInspType, cbNsnHr, cbNsnGear).
#include "app/pages/page.h"

class QPushButton;
class QSplitter;
class QToolButton;

namespace kw::settings { class TIniOut; }

namespace kw::app {

class TDBGrid;
class TDBNavigator;

class HandReceiptPage : public Page {
    Q_OBJECT
public:
    explicit HandReceiptPage(kw::data::TdmMain &dm, TColumnEditors &editors, QWidget *parent = nullptr);

    // Opens tblHr.
    void enter() override;
    // tabHandReceiptHide.
    void leave() override;

    void grdHrdfTitleButtonClick(const QString &fieldName);
    void btnAddFromListClick();
    void tabHandReceiptHide();

    // Binds the holders panel's width and its splitter to the window state.
    void bindSettings(kw::settings::TIniOut &ini);
    // An item (tblHr) is shown under its holder: the holder's row is made
    // current first.
    bool showRecord(kw::data::Dataset &ds, const QVariant &bookmark) override;
    // The holders panel at its designed width beside every item column.
    int preferredWidth() const override;

    static constexpr int kHoldersWidth = 160; // the holders panel, designed

private:
    void buildHolders();
    void buildItems();
    void buildColumnEditors();

    QSplitter *Splitter1;
    QWidget *pnlHrLeft, *pnlHrMain;
    TDBNavigator *navHrdf, *navAlse;
    QToolButton *btnHrdfPrint;
    QPushButton *btnAddFromList, *btnAlsePrint;
    TDBGrid *grdHrdf, *grdHandReceipt;
};

} // namespace kw::app
