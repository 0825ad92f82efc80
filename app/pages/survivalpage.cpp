#include "app/pages/survivalpage.h"

#include "app/apperror.h"
#include "app/columneditors.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kw::app {

namespace {
struct KitOrder {
    const char *field, *index, *label;
};
// Titles not listed here (Insp Freq, Insp Type, Insp Completed) change nothing.
const KitOrder kKitOrders[] = {
    {"Aircraft", "AC", "Sorted By Aircraft Tail #"},
    {"Kit Type", "TYPE", "Sorted By Survival Kit Type"},
    {"Serial Number", "SERNO", "Sorted By Kit Serial Number"},
    {"Flare Lot", "FLARE", "Sorted By Flare Lot Number"},
    {"Food Exp", "FOODX", "Sorted By Food Expiration Date"},
    {"Insp Due", "INDD", "Sorted By Kit Inspection Due Date"},
};
} // namespace

SurvivalPage::SurvivalPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, QWidget *parent)
    : Page(dmMain, editors, QStringLiteral("tabSurvival"), parent)
{
    QVBoxLayout *lay = stackLayout(this);
    QWidget *bar = topBar(this, 25);
    navKits = navigator(bar, QStringLiteral("navKits"), &dm.dsKits);
    lblKitsSort = new QLabel(QStringLiteral("Sorted By Date Due"), bar);
    lblKitsSort->setObjectName(QStringLiteral("lblKitsSort"));
    btnSurvivalList = new QPushButton(QStringLiteral("List"), bar);
    btnSurvivalList->setObjectName(QStringLiteral("btnSurvivalList"));
    btnSurvivalList->setFixedHeight(23);
    addPrintButton(btnSurvivalList);
    barLayout(bar)->addWidget(navKits);
    barLayout(bar)->addSpacing(8);
    barLayout(bar)->addWidget(lblKitsSort);
    barLayout(bar)->addStretch(1);
    barLayout(bar)->addWidget(btnSurvivalList);
    buildGrid();
    lay->addWidget(bar);
    lay->addWidget(grdSurvival);
    buildColumnEditors();
}

void SurvivalPage::buildGrid()
{
    grdSurvival = newGrid(this, QStringLiteral("grdSurvival"));
    grdSurvival->setColumns(gridColumns(
        {QStringLiteral("Aircraft"), QStringLiteral("Kit Type"), QStringLiteral("Serial Number"),
         QStringLiteral("Flare Lot"), QStringLiteral("Food Exp"), QStringLiteral("Insp Freq"),
         QStringLiteral("Insp Type"), QStringLiteral("Insp Completed"), QStringLiteral("Insp Due")}));
    grdSurvival->setDataSource(&dm.dsKits);
    grdSurvival->setTitleButtons(true);
    grdSurvival->addSortHintMenu();
    colourByDueStatus(grdSurvival, QStringLiteral("Insp Due"), QStringLiteral("Food Exp"));
    connect(grdSurvival, &TDBGrid::titleButtonClick, this,
            [this](const QString &field) { guarded([&] { grdSurvivalTitleButtonClick(field); }); });
}

void SurvivalPage::buildColumnEditors()
{
    // Tail numbers from the aircraft list; a new one may be typed.
    auto *cbAircraft = new TLookupComboEditor(QStringLiteral("cbAircraft"), &dm.tblAircraft,
                                              QStringLiteral("Aircraft"), gridColumns({QStringLiteral("Aircraft")}),
                                              this);
    cbAircraft->rowsVisible = 10;
    cbAircraft->freeText = true;
    addColumnEditor(cbAircraft);
    // Kit types only from the list.
    cbKitType = new TLookupComboEditor(QStringLiteral("cbKitType"), &dm.tblKitType, QStringLiteral("Type"),
                                       gridColumns({QStringLiteral("Type")}), this);
    cbKitType->rowsVisible = 10;
    addColumnEditor(cbKitType);
    connect(cbKitType, &TLookupComboEditor::closedUp, this,
            [this](QWidget *editor) { guarded([&] { kitTypeListClosed(editor); }); });
}

void SurvivalPage::grdSurvivalTitleButtonClick(const QString &fieldName)
{
    for (const KitOrder &o : kKitOrders)
        if (fieldName == QLatin1String(o.field)) {
            dm.tblKits.setIndexName(QLatin1String(o.index));
            lblKitsSort->setText(QLatin1String(o.label));
            return;
        }
}

void SurvivalPage::kitTypeListClosed(QWidget *editor)
{
    // Only an editor open in this grid speaks for the current kit.
    if (!editor || !grdSurvival->isAncestorOf(editor))
        return;
    grdSurvival->submitEditor(editor);
    cbKitTypeCloseUp();
}

bool SurvivalPage::locateKitType()
{
    const QString type = dm.tblKits.fieldByName(QStringLiteral("Kit Type")).asString();
    kw::data::TableDataset &types = dm.tblKitType;
    if (type.isEmpty() || !types.active())
        return false;
    const int typeField = types.fieldByName(QStringLiteral("Type")).index();
    for (int r = 0, n = types.recordCount(); r < n; ++r)
        if (types.rowValue(r, typeField).toString() == type) {
            types.moveTo(r);
            return true;
        }
    return false;
}

void SurvivalPage::cbKitTypeCloseUp()
{
    // A kit without a type (the list closed on an empty kit) has no interval
    // to take: it is neither changed nor stored.
    if (!dm.tblKits.active() || !locateKitType())
        return;
    kw::data::TableDataset &kits = dm.tblKits;
    if (kits.state() == kw::data::DatasetState::Browse)
        kits.edit();
    kits.fieldByName(QStringLiteral("Insp Type")).setValue(dm.tblKitType.fieldByName(QStringLiteral("Insp Type")).value());
    kits.fieldByName(QStringLiteral("Insp Freq")).setValue(dm.tblKitType.fieldByName(QStringLiteral("Insp Freq")).value());
    kits.post();
}

} // namespace kw::app
