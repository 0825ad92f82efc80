#include "app/pages/handreceiptpage.h"

#include "app/addall.h"
#include "app/apperror.h"
#include "app/columneditors.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/icons.h"
#include "data/engine/paradox/paradoxtable.h"
#include "settings/iniout.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace kw::app {

HandReceiptPage::HandReceiptPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, QWidget *parent)
    : Page(dmMain, editors, QStringLiteral("tabHandReceipt"), parent)
{
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    lay->addWidget(Splitter1);
    buildHolders();
    buildItems();
    Splitter1->addWidget(pnlHrLeft);
    Splitter1->addWidget(pnlHrMain);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kHoldersWidth, 526});
    buildColumnEditors();
}

void HandReceiptPage::buildHolders()
{
    pnlHrLeft = new QWidget(Splitter1);
    pnlHrLeft->setObjectName(QStringLiteral("pnlHrLeft"));
    pnlHrLeft->setMinimumWidth(60);
    QVBoxLayout *l = stackLayout(pnlHrLeft);
    QWidget *bar = topBar(pnlHrLeft, 25);
    navHrdf = navigator(bar, QStringLiteral("navHrdf"), &dm.dsHrdf);
    btnHrdfPrint = new QToolButton(bar);
    btnHrdfPrint->setObjectName(QStringLiteral("btnHrdfPrint"));
    btnHrdfPrint->setIcon(icons::tool(icons::Tool::Print));
    btnHrdfPrint->setToolTip(QStringLiteral("Print the list of holders"));
    btnHrdfPrint->setFixedSize(25, 23);
    addPrintButton(btnHrdfPrint);
    barLayout(bar)->addWidget(navHrdf);
    barLayout(bar)->addStretch(1);
    barLayout(bar)->addWidget(btnHrdfPrint);
    grdHrdf = newGrid(pnlHrLeft, QStringLiteral("grdHrdf"));
    grdHrdf->setColumns(gridColumns({QStringLiteral("HR Number"), QStringLiteral("HR Holder"),
                                     QStringLiteral("Section"), QStringLiteral("Phone")}));
    grdHrdf->setDataSource(&dm.dsHrdf);
    grdHrdf->setTitleButtons(true);
    grdHrdf->enterMovesToNextColumn = true;
    l->addWidget(bar);
    l->addWidget(grdHrdf);
    connect(grdHrdf, &TDBGrid::titleButtonClick, this,
            [this](const QString &field) { guarded([&] { grdHrdfTitleButtonClick(field); }); });
}

void HandReceiptPage::buildItems()
{
    pnlHrMain = new QWidget(Splitter1);
    pnlHrMain->setObjectName(QStringLiteral("pnlHrMain"));
    QVBoxLayout *m = stackLayout(pnlHrMain);
    QWidget *bar = topBar(pnlHrMain, 25);
    navAlse = navigator(bar, QStringLiteral("navAlse"), &dm.dsHr);
    btnAddFromList = new QPushButton(QStringLiteral("Add from List"), bar);
    btnAddFromList->setObjectName(QStringLiteral("btnAddFromList"));
    connect(btnAddFromList, &QPushButton::clicked, this, [this] { guarded([this] { btnAddFromListClick(); }); });
    btnAlsePrint = new QPushButton(icons::tool(icons::Tool::Print), QStringLiteral("Print"), bar);
    btnAlsePrint->setObjectName(QStringLiteral("btnAlsePrint"));
    addPrintButton(btnAlsePrint);
    for (QPushButton *b : {btnAddFromList, btnAlsePrint})
        b->setFixedHeight(23);
    barLayout(bar)->addWidget(navAlse);
    barLayout(bar)->addStretch(1);
    barLayout(bar)->addWidget(btnAddFromList);
    barLayout(bar)->addWidget(btnAlsePrint);
    grdHandReceipt = newGrid(pnlHrMain, QStringLiteral("grdHandReceipt"));
    grdHandReceipt->setColumns(gridColumns(
        {QStringLiteral("HR Number"), QStringLiteral("NSN"), QStringLiteral("Nomenclature"),
         QStringLiteral("Serial Number"), QStringLiteral("UI"), QStringLiteral("Auth"), QStringLiteral("OH"),
         QStringLiteral("Insp Freq"), QStringLiteral("Insp Type"), QStringLiteral("Insp Completed"),
         QStringLiteral("Insp Due"), QStringLiteral("Remarks")}));
    grdHandReceipt->setDataSource(&dm.dsHr);
    colourByDueStatus(grdHandReceipt, QStringLiteral("Insp Due"));
    m->addWidget(bar);
    m->addWidget(grdHandReceipt);
}

void HandReceiptPage::buildColumnEditors()
{
    // Hidden components; the grids of every page find them by name.
    addColumnEditor(new TMapComboEditor(QStringLiteral("cbInspType"),
                                        {QStringLiteral("None"), QStringLiteral("Day"), QStringLiteral("Year")},
                                        {QStringLiteral("N"), QStringLiteral("D"), QStringLiteral("Y")}, this));
    auto *cbNsnHr = new TLookupComboEditor(QStringLiteral("cbNsnHr"), &dm.tblcbList, QStringLiteral("NSN"),
                                           masterListColumns(), this);
    cbNsnHr->rowsVisible = 15;
    cbNsnHr->alignRight = true;
    addColumnEditor(cbNsnHr);
    auto *cbNsnGear = new TLookupComboEditor(QStringLiteral("cbNsnGear"), &dm.tblcbList, QStringLiteral("NSN"),
                                             masterListColumns(), this);
    cbNsnGear->rowsVisible = 15;
    cbNsnGear->matchWhileTyping = true;
    addColumnEditor(cbNsnGear);
}

void HandReceiptPage::enter()
{
    dm.tblHr.open();
}

void HandReceiptPage::leave()
{
    tabHandReceiptHide();
}

void HandReceiptPage::grdHrdfTitleButtonClick(const QString &fieldName)
{
    if (fieldName == QLatin1String("HR Holder"))
        dm.tblHrdf.setIndexName(QStringLiteral("Holder"));
    else if (fieldName == QLatin1String("HR Number"))
        dm.tblHrdf.setIndexName(QStringLiteral("HrNum"));
}

void HandReceiptPage::btnAddFromListClick()
{
    TfAddAll dlg(dm, window());
    if (dlg.exec() == QDialog::Accepted) {
        // Read again so that the added items show.
        dm.tblHr.close();
        dm.tblHr.open();
    }
}

void HandReceiptPage::tabHandReceiptHide()
{
    if (dm.tblHr.isEditing())
        dm.tblHr.post();
    dm.tblHr.close();
}

int HandReceiptPage::preferredWidth() const
{
    return kHoldersWidth + Splitter1->handleWidth() + gridFittingWidth(grdHandReceipt);
}

void HandReceiptPage::bindSettings(kw::settings::TIniOut &ini)
{
    ini.bindInt(QStringLiteral("pnlHrLeft"), QStringLiteral("Width"), [this] { return firstPanelWidth(Splitter1); },
                [this](int v) { setFirstPanelWidth(Splitter1, v); });
    // The splitter stands right after its panel, so its Left follows the width.
    ini.bindInt(QStringLiteral("Splitter1"), QStringLiteral("Left"),
                [this] { return firstPanelWidth(Splitter1) + 1; }, [](int) {});
}

bool HandReceiptPage::showRecord(kw::data::Dataset &ds, const QVariant &bookmark)
{
    if (&ds != &dm.tblHr)
        return Page::showRecord(ds, bookmark);
    // The item's holder, from the table file: the item may stand under
    // another holder than the one shown.
    const kw::data::ParadoxTable *items = dm.session.table(dm.dbMain.directory(), QStringLiteral("Equipment.DB"));
    const int at = items->findKey(bookmark.value<kw::data::Row>());
    if (at < 0)
        return false;
    const QVariant hr = items->row(at).value(items->def().fieldIndex(QStringLiteral("HR Number")));
    if (hr.isNull() || !Page::showRecord(dm.tblHrdf, QVariant::fromValue(kw::data::Row{hr})))
        return false;
    return Page::showRecord(dm.tblHr, bookmark);
}

} // namespace kw::app
