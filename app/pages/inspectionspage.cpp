#include "app/pages/inspectionspage.h"

#include "app/apperror.h"
#include "app/columneditors.h"
#include "app/dateedit.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/pages/itemorder.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kw::app {

namespace {
const QString kSortedBy = QStringLiteral("Sorted by ");
} // namespace

InspectionsPage::InspectionsPage(kw::data::TdmMain &dmMain, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabInsp"), parent)
{
    QVBoxLayout *lay = stackLayout(this);
    QWidget *bar = topBar(this, 25);
    buildTopBar(bar);
    buildGrid();
    lay->addWidget(bar);
    lay->addWidget(grdInsp);

    // The NSN editor of this grid: the master list, matching while typing.
    auto *cbNsnInsp = new TLookupComboEditor(QStringLiteral("cbNsnInsp"), &dm.tblcbList, QStringLiteral("NSN"),
                                             masterListColumns(), this);
    cbNsnInsp->rowsVisible = 15;
    cbNsnInsp->alignRight = true;
    cbNsnInsp->matchWhileTyping = true;
}

void InspectionsPage::buildTopBar(QWidget *bar)
{
    navInsp = navigator(bar, QStringLiteral("navInsp"), &dm.dsInsp);
    lblInspSort = new QLabel(kSortedBy + QStringLiteral("Insp Due"), bar);
    lblInspSort->setObjectName(QStringLiteral("lblInspSort"));

    // "Due by:" with the date picker lying over the button's right part; the
    // picker is the button's sibling so that it stays usable while the
    // button waits for its report.
    auto *due = new QWidget(bar);
    due->setFixedSize(137, 23);
    btnInspDue = new QPushButton(QStringLiteral("Due by:") + QString(18, QLatin1Char(' ')), due);
    btnInspDue->setObjectName(QStringLiteral("btnInspDue"));
    btnInspDue->setGeometry(0, 0, 137, 23);
    cbInspDate = new TDateEdit(due);
    cbInspDate->setObjectName(QStringLiteral("cbInspDate"));
    cbInspDate->setGeometry(52, 1, 84, 21);
    cbInspDate->raise();
    btnInspAll = new QPushButton(QStringLiteral("All"), bar);
    btnInspAll->setObjectName(QStringLiteral("btnInspAll"));
    btnInspAll->setFixedSize(64, 23);
    addPrintButton(btnInspDue);
    addPrintButton(btnInspAll);

    barLayout(bar)->addWidget(navInsp);
    barLayout(bar)->addSpacing(8);
    barLayout(bar)->addWidget(lblInspSort);
    barLayout(bar)->addStretch(1);
    barLayout(bar)->addWidget(due);
    barLayout(bar)->addWidget(btnInspAll);
}

void InspectionsPage::buildGrid()
{
    grdInsp = new TDBGrid(this);
    grdInsp->setObjectName(QStringLiteral("grdInsp"));
    grdInsp->setColumns(gridColumns(
        {QStringLiteral("Hr Number"), QStringLiteral("Hr Holder"), QStringLiteral("NSN"),
         QStringLiteral("Nomenclature"), QStringLiteral("Serial Number"), QStringLiteral("UI"),
         QStringLiteral("Auth"), QStringLiteral("OH"), QStringLiteral("Insp Freq"), QStringLiteral("Insp Type"),
         QStringLiteral("Insp Completed"), QStringLiteral("Insp Due"), QStringLiteral("Alse"),
         QStringLiteral("Batt"), QStringLiteral("Pyro"), QStringLiteral("Med"), QStringLiteral("Radio"),
         QStringLiteral("Flotation"), QStringLiteral("Remarks")}));
    grdInsp->setDataSource(&dm.dsInsp);
    grdInsp->setTitleButtons(true);
    grdInsp->addSortHintMenu();
    colourByDueStatus(grdInsp, QStringLiteral("Insp Due"));
    connect(grdInsp, &TDBGrid::titleButtonClick, this,
            [this](const QString &field) { guarded([&] { grdInspTitleButtonClick(field); }); });
}

void InspectionsPage::enter()
{
    // Label and order always agree: entering shows the due-date order again.
    lblInspSort->setText(kSortedBy + QStringLiteral("Insp Due"));
    const bool dueOrder = dm.qryInsp.sql().value(kOrderByLine) == kInspDueOrder;
    orderItemQuery(dm, dm.qryInsp, dueOrder ? QString() : kInspDueOrder);
}

void InspectionsPage::leave()
{
    tabInspHide();
}

void InspectionsPage::grdInspTitleButtonClick(const QString &fieldName)
{
    lblInspSort->setText(kSortedBy + fieldName);
    orderItemQuery(dm, dm.qryInsp, itemOrderByLine(fieldName));
}

void InspectionsPage::tabInspHide()
{
    dm.applyOnLeave(dm.qryInsp);
}

QDate InspectionsPage::dueByDate() const
{
    return cbInspDate->date();
}

void InspectionsPage::setDueByDate(const QDate &date)
{
    cbInspDate->setDate(date);
}

} // namespace kw::app
