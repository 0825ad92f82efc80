#include "app/finddialog.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kw::app {

using kw::data::FindHit;

TfrmFind::TfrmFind(std::function<kw::data::FindResult(const QString &)> search,
                   std::function<QString(const FindHit &)> pageOf, std::function<bool(const FindHit &)> open,
                   QWidget *parent)
    : QDialog(parent), m_search(std::move(search)), m_pageOf(std::move(pageOf)), m_open(std::move(open))
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find"));
    // Beside the main window and above it, without keeping the clerk from it.
    setWindowFlags(Qt::Tool);
    setModal(false);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(6, 6, 6, 6);
    lay->setSpacing(4);
    edFind = new QLineEdit(this);
    edFind->setObjectName(QStringLiteral("edFind"));
    edFind->setPlaceholderText(
        QStringLiteral("Serial #, NSN, nomenclature, HR # or holder, kit or tail #, TM, drawer or bin"));
    edFind->setClearButtonEnabled(true);
    edFind->installEventFilter(this);
    lvFind = new QTreeWidget(this);
    lvFind->setObjectName(QStringLiteral("lvFind"));
    lvFind->setHeaderLabels({QStringLiteral("Page"), QStringLiteral("Found"), QStringLiteral("Row")});
    lvFind->setRootIsDecorated(false);
    lvFind->setUniformRowHeights(true);
    lvFind->setAlternatingRowColors(true);
    lvFind->setAllColumnsShowFocus(true);
    lvFind->header()->setStretchLastSection(true);
    lvFind->setColumnWidth(0, 150);
    lvFind->setColumnWidth(1, 190);
    lblFindCount = new QLabel(this);
    lblFindCount->setObjectName(QStringLiteral("lblFindCount"));
    lay->addWidget(edFind);
    lay->addWidget(lvFind, 1);
    lay->addWidget(lblFindCount);
    resize(760, 340);

    connect(edFind, &QLineEdit::textChanged, this, &TfrmFind::edFindChange);
    connect(edFind, &QLineEdit::returnPressed, this, &TfrmFind::openCurrent);
    // Enter on a hit and a double click on it (the view's activation).
    connect(lvFind, &QTreeWidget::itemActivated, this, [this] { openCurrent(); });
}

void TfrmFind::showFind()
{
    edFindChange(edFind->text());
    show();
    raise();
    activateWindow();
    edFind->setFocus(Qt::ShortcutFocusReason);
    // The next text typed (or scanned) replaces the last.
    edFind->selectAll();
}

void TfrmFind::edFindChange(const QString &text)
{
    const kw::data::FindResult r = m_search(text);
    m_hits = r.hits;
    lvFind->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(m_hits.size());
    for (const FindHit &h : m_hits)
        items << new QTreeWidgetItem(QStringList{m_pageOf(h), h.field + QStringLiteral(": ") + h.value, h.row});
    lvFind->addTopLevelItems(items);
    if (!items.isEmpty())
        lvFind->setCurrentItem(items.first());
    if (text.trimmed().isEmpty())
        lblFindCount->clear();
    else if (r.total == 0)
        lblFindCount->setText(QStringLiteral("Nothing found"));
    else if (r.total > m_hits.size())
        lblFindCount->setText(QStringLiteral("The first %1 of %2 found").arg(m_hits.size()).arg(r.total));
    else
        lblFindCount->setText(QStringLiteral("%1 found").arg(r.total));
}

void TfrmFind::openCurrent()
{
    QTreeWidgetItem *item = lvFind->currentItem();
    const int at = item ? lvFind->indexOfTopLevelItem(item) : 0;
    if (at < 0 || at >= m_hits.size())
        return;
    const FindHit hit = m_hits[at];
    if (!m_open(hit))
        return;
    close();
    // Back to the window, where the focus stands on the row opened.
    if (QWidget *w = parentWidget()) {
        w->raise();
        w->activateWindow();
    }
}

bool TfrmFind::eventFilter(QObject *o, QEvent *e)
{
    // Up and Down in the text move through the hits, so the hands stay on
    // the keys.
    if (o == edFind && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QKeyEvent copy(QEvent::KeyPress, key, static_cast<QKeyEvent *>(e)->modifiers());
            QCoreApplication::sendEvent(lvFind, &copy);
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

} // namespace kw::app
