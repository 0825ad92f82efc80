#include "app/addall.h"

#include "app/apperror.h"
#include "data/shop/batchadd.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QPushButton>

namespace kw::app {

void shapeAddAllDialog(QDialog *d, const QSize &client)
{
    d->setWindowTitle(QStringLiteral("Add All Items"));
    d->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                      | Qt::WindowStaysOnTopHint);
    d->setModal(true);
    d->setFixedSize(client);
}

QPushButton *addAllButton(QDialog *d, const char *name, const QString &caption, const QRect &geometry)
{
    auto *b = new QPushButton(caption, d);
    b->setObjectName(QLatin1String(name));
    b->setFlat(true);
    b->setGeometry(geometry);
    return b;
}

QLabel *addAllLabel(QDialog *d, const QString &text, const QRect &geometry)
{
    auto *l = new QLabel(text, d);
    l->setObjectName(QStringLiteral("lblMain"));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(geometry);
    // The dialog keeps its size; a wide system font is made a little smaller
    // instead, so that no line of the text is cut off.
    QFont bold = l->font();
    bold.setBold(true);
    const QStringList lines = text.split(u'\n');
    auto fits = [&](const QFont &f) {
        const QFontMetrics fm(f);
        for (const QString &line : lines)
            if (fm.horizontalAdvance(line.trimmed()) > geometry.width())
                return false;
        return fm.lineSpacing() * lines.size() <= geometry.height();
    };
    while (!fits(bold) && bold.pointSizeF() > 6.5)
        bold.setPointSizeF(bold.pointSizeF() - 0.25);
    l->setFont(bold);
    return l;
}

void centreOnScreen(QWidget *w)
{
    QScreen *s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (s)
        w->move(s->availableGeometry().center() - w->rect().center());
}

TfAddAll::TfAddAll(kw::data::TdmMain &dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("fAddAll"));
    shapeAddAllDialog(this, QSize(230, 150));
    lblMain = addAllLabel(this,
                          QStringLiteral("This will add all items from the \nselected lists (as defined in the \n"
                                         "Master List) to this Hand Receipt"),
                          QRect(8, 6, 214, 48));
    auto *box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("grpLists"));
    box->setGeometry(8, 58, 214, 48);
    cbList1 = new QCheckBox(QStringLiteral("List 1"), box);
    cbList1->setObjectName(QStringLiteral("cbList1"));
    cbList1->setGeometry(24, 14, 80, 22);
    cbList2 = new QCheckBox(QStringLiteral("List 2"), box);
    cbList2->setObjectName(QStringLiteral("cbList2"));
    cbList2->setGeometry(120, 14, 80, 22);
    btnAdd = addAllButton(this, "btnAdd", QStringLiteral("Add"), QRect(38, 116, 72, 25));
    btnCancel = addAllButton(this, "btnCancel", QStringLiteral("Cancel"), QRect(120, 116, 72, 25));
    btnAdd->setDefault(true);
    connect(btnAdd, &QPushButton::clicked, this, &TfAddAll::btnAddClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfAddAll::btnCancelClick);
}

void TfAddAll::showEvent(QShowEvent *e)
{
    centreOnScreen(this);
    QDialog::showEvent(e);
}

void TfAddAll::btnCancelClick()
{
    reject();
}

void TfAddAll::btnAddClick()
{
    const kw::data::BatchAddReport report =
        kw::data::addListItemsToHolder(m_dm, cbList1->isChecked(), cbList2->isChecked());
    m_added = report.added;
    if (!report.ok())
        prompts().showMessage(report.error);
    done(report.ok() || m_added > 0 ? QDialog::Accepted : QDialog::Rejected);
}

} // namespace kw::app
