#include "app/pages/inspectionspage.h"

#include "app/apperror.h"
#include "app/columneditors.h"
#include "app/dateedit.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "data/shop/queryorders.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

namespace kw::app {

namespace {

const QString kSortedBy = QStringLiteral("Sorted by ");

// "Due by:" drawn at the left of the button, whose right part the date
// picker covers; the blanks of the caption keep it out of the picker's way
// where a button centres its text.
class DueByButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString caption = opt.text.trimmed();
        opt.text.clear();
        p.drawControl(QStyle::CE_PushButton, opt);
        const QRect r = rect().adjusted(6, 0, 0, 0);
        p.drawItemText(r, Qt::AlignLeft | Qt::AlignVCenter, opt.palette, isEnabled(), caption, QPalette::ButtonText);
    }
};

} // namespace

InspectionsPage::InspectionsPage(kw::data::TdmMain &dmMain, TColumnEditors &editors, QWidget *parent)
    : Page(dmMain, editors, QStringLiteral("tabInsp"), parent)
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
    addColumnEditor(cbNsnInsp);
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
    btnInspDue = new DueByButton(QStringLiteral("Due by:") + QString(18, QLatin1Char(' ')), due);
    btnInspDue->setObjectName(QStringLiteral("btnInspDue"));
    cbInspDate = new TDateEdit(due);
    cbInspDate->setObjectName(QStringLiteral("cbInspDate"));
    // The picker as wide as its longest date needs; the button 137 wide, or
    // wider when the caption and the picker need more.
    cbInspDate->setDate(QDate(2000, 12, 30));
    const int pickerWidth = cbInspDate->sizeHint().width();
    const int captionWidth = btnInspDue->fontMetrics().horizontalAdvance(QStringLiteral("Due by:")) + 12;
    const int width = std::max(137, captionWidth + pickerWidth + 2);
    due->setFixedSize(width, 23);
    btnInspDue->setGeometry(0, 0, width, 23);
    cbInspDate->setGeometry(width - pickerWidth - 1, 1, pickerWidth, 21);
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
    grdInsp = newGrid(this, QStringLiteral("grdInsp"));
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
    kw::data::orderQuery(dm, dm.qryInsp, kw::data::kInspDueOrder);
    readAgainIfStale(dm.qryInsp);
}

void InspectionsPage::preload()
{
    kw::data::preloadQuery(dm, dm.qryInsp);
}

void InspectionsPage::leave()
{
    tabInspHide();
}

void InspectionsPage::grdInspTitleButtonClick(const QString &fieldName)
{
    lblInspSort->setText(kSortedBy + fieldName);
    kw::data::orderQuery(dm, dm.qryInsp, kw::data::itemOrderByClause(fieldName));
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
