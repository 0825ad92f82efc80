#include "app/pages/inspectionspage.h"

#include <QDateEdit>

namespace kw::app {

InspectionsPage::InspectionsPage(kw::data::TdmMain &dmMain, QWidget *parent)
    : Page(dmMain, QStringLiteral("tabInsp"), parent)
{
    cbInspDate = new QDateEdit(this);
    cbInspDate->setObjectName(QStringLiteral("cbInspDate"));
    cbInspDate->setDisplayFormat(QStringLiteral("d MMM yyyy"));
    cbInspDate->setCalendarPopup(true);
    cbInspDate->hide();
}

void InspectionsPage::enter()
{
    dm.qryInsp.open();
}

void InspectionsPage::leave()
{
    tabInspHide();
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
