#include "app/partsaddall.h"

#include "app/addall.h"
#include "app/apperror.h"
#include "data/shop/batchadd.h"
#include "data/shop/dmmain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace kw::app {

TfPartsAddAll::TfPartsAddAll(kw::data::TdmMain &dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("fPartsAddAll"));
    shapeAddAllDialog(this, QSize(241, 205));
    lblMain = addAllLabel(this,
                          QStringLiteral("This will add all items from the \nMaster Bench Stock List to the \n"
                                         "Office Supplies.\n\nAfter the items have been added\nselect which ones "
                                         "you do not want\nin your list and delete them either \nby pressing the "
                                         "[-] button or \npressing Ctrl+Del."),
                          QRect(10, 8, 225, 156));
    barMain = new QProgressBar(this);
    barMain->setObjectName(QStringLiteral("barMain"));
    barMain->setRange(0, 100);
    barMain->setValue(0);
    barMain->setGeometry(10, 34, 221, 18);
    barMain->hide();
    btnAdd = addAllButton(this, "btnAdd", QStringLiteral("Add"), QRect(42, 172, 72, 25));
    btnCancel = addAllButton(this, "btnCancel", QStringLiteral("Cancel"), QRect(126, 172, 72, 25));
    connect(btnAdd, &QPushButton::clicked, this, &TfPartsAddAll::btnAddClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfPartsAddAll::btnCancelClick);
}

void TfPartsAddAll::showEvent(QShowEvent *e)
{
    centreOnScreen(this);
    QDialog::showEvent(e);
}

void TfPartsAddAll::btnCancelClick()
{
    reject();
}

void TfPartsAddAll::reject()
{
    if (!m_adding) // neither Escape nor the title bar stops the adding
        QDialog::reject();
}

void TfPartsAddAll::closeEvent(QCloseEvent *e)
{
    if (m_adding)
        e->ignore();
    else
        QDialog::closeEvent(e);
}

void TfPartsAddAll::showProgress()
{
    lblMain->setText(QStringLiteral("Adding Items"));
    btnAdd->hide();
    btnCancel->hide();
    setFixedSize(width(), 85);
    barMain->setMaximum(std::max(0, m_dm.tblPartsList.recordCount()));
    barMain->setValue(0);
    barMain->show();
    repaint();
}

void TfPartsAddAll::step()
{
    barMain->setValue(barMain->value() + 1);
    if (onRowAdded)
        onRowAdded(barMain->value());
    // The window repaints when the bar has visibly moved, not after every row.
    const int percent = barMain->maximum() > 0 ? barMain->value() * 100 / barMain->maximum() : 100;
    if (percent != m_shownPercent) {
        m_shownPercent = percent;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void TfPartsAddAll::btnAddClick()
{
    if (m_adding)
        return;
    m_added = 0;
    m_adding = true;
    showProgress();
    const kw::data::BatchAddReport report = kw::data::addAllPartsToBenchStock(m_dm, [this] { step(); });
    m_added = report.added;
    if (!report.ok())
        prompts().showMessage(report.error);
    m_adding = false;
    done(report.ok() || m_added > 0 ? QDialog::Accepted : QDialog::Rejected);
}

} // namespace kw::app
