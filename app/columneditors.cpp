#include "app/columneditors.h"

#include "app/dbgrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <stdexcept>

namespace kw::app {

QString TColumnEditor::displayText(const QVariant &) const
{
    return {};
}

void TColumnEditor::placeEditor(QWidget *editor, const QRect &cell) const
{
    editor->setGeometry(cell);
}

void TColumnEditors::add(TColumnEditor *editor)
{
    const QString name = editor->objectName();
    if (name.isEmpty() || m_editors.contains(name))
        throw std::invalid_argument("column editor without a name of its own: " + name.toStdString());
    m_editors.insert(name, editor);
}

TColumnEditor *TColumnEditors::find(const QString &name) const
{
    return m_editors.value(name);
}

QStringList TColumnEditors::names() const
{
    QStringList n = m_editors.keys();
    n.sort();
    return n;
}

// --- TMapComboEditor

TMapComboEditor::TMapComboEditor(const QString &name, const QStringList &texts, const QStringList &codes,
                                 QObject *parent)
    : TColumnEditor(parent), m_texts(texts), m_codes(codes)
{
    setObjectName(name);
}

QWidget *TMapComboEditor::createEditor(QWidget *parent, const kw::data::Field &) const
{
    auto *cb = new QComboBox(parent);
    for (int i = 0; i < m_texts.size(); ++i)
        cb->addItem(m_texts[i], m_codes.value(i));
    cb->setMaxVisibleItems(int(m_texts.size()));
    cb->setFrame(false);
    return cb;
}

void TMapComboEditor::setEditorValue(QWidget *editor, const QVariant &value) const
{
    auto *cb = static_cast<QComboBox *>(editor);
    cb->setProperty("kwOriginal", value);
    cb->setCurrentIndex(int(m_codes.indexOf(value.toString())));
}

QVariant TMapComboEditor::editorValue(QWidget *editor) const
{
    auto *cb = static_cast<QComboBox *>(editor);
    if (cb->currentIndex() < 0)
        return cb->property("kwOriginal");
    return cb->currentData();
}

QString TMapComboEditor::displayText(const QVariant &value) const
{
    const qsizetype i = m_codes.indexOf(value.toString());
    return i < 0 ? QString() : m_texts[i];
}

// --- TLookupComboEditor

TLookupComboEditor::TLookupComboEditor(const QString &name, kw::data::Dataset *list, const QString &keyField,
                                       const QList<GridColumn> &columns, QObject *parent)
    : TColumnEditor(parent), m_list(list), m_key(keyField), m_columns(columns)
{
    setObjectName(name);
}

QWidget *TLookupComboEditor::createEditor(QWidget *parent, const kw::data::Field &) const
{
    auto *cb = new LookupCombo(parent);
    cb->setFrame(false);
    cb->alignRight = alignRight;
    cb->popupWidth = popupWidth;
    auto *model = new DatasetModel(cb);
    model->setColumns(m_columns);
    model->setReadOnly(true);
    model->setDataset(m_list);
    auto *view = new QTableView(cb);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setVisible(listTitles);
    view->setShowGrid(listLines);
    view->setWordWrap(false);
    view->horizontalHeader()->setHighlightSections(false);
    cb->setModel(model);
    cb->setView(view);
    cb->setModelColumn(std::max(0, model->columnOfField(m_key)));
    cb->setMaxVisibleItems(rowsVisible);
    for (int c = 0; c < model->columnCount(); ++c)
        cb->columnSpec << qMakePair(model->widthAt(c), model->titleAt(c));
    if (matchWhileTyping || freeText) {
        cb->setEditable(true);
        cb->setInsertPolicy(QComboBox::NoInsert);
        if (cb->completer()) {
            cb->completer()->setCompletionMode(QCompleter::InlineCompletion);
            cb->completer()->setCaseSensitivity(Qt::CaseInsensitive);
        }
    }
    // Queued: whoever listens may end the edit, which deletes the combo.
    auto *self = const_cast<TLookupComboEditor *>(this); // the editor reports, the component stays as it is
    connect(
        cb, &LookupCombo::closedUp, self,
        [self, combo = QPointer<LookupCombo>(cb)] {
            if (combo)
                emit self->closedUp(combo);
        },
        Qt::QueuedConnection);
    return cb;
}

void TLookupComboEditor::setEditorValue(QWidget *editor, const QVariant &value) const
{
    auto *cb = static_cast<LookupCombo *>(editor);
    cb->original = value;
    int found = -1;
    if (m_list && m_list->active() && !value.isNull()) {
        if (kw::data::Field *kf = m_list->findField(m_key)) {
            const QString want = value.toString();
            for (int r = 0, n = m_list->recordCount(); r < n; ++r)
                if (m_list->rowValue(r, kf->index()).toString() == want) {
                    found = r;
                    break;
                }
        }
    }
    cb->setCurrentIndex(found);
    if (found < 0 && cb->isEditable())
        cb->setEditText(value.toString());
}

QVariant TLookupComboEditor::editorValue(QWidget *editor) const
{
    auto *cb = static_cast<LookupCombo *>(editor);
    if (!m_list || !m_list->active())
        return cb->original;
    kw::data::Field *kf = m_list->findField(m_key);
    if (!kf)
        return cb->original;
    int row = cb->currentIndex();
    if (cb->isEditable()) {
        // Typed text counts only when it names an entry of the list.
        const QString typed = cb->currentText().trimmed();
        row = -1;
        for (int r = 0, n = m_list->recordCount(); r < n; ++r)
            if (m_list->rowValue(r, kf->index()).toString().compare(typed, Qt::CaseInsensitive) == 0) {
                row = r;
                break;
            }
    }
    if (row < 0 || row >= m_list->recordCount()) {
        if (freeText && cb->isEditable()) {
            const QString typed = cb->currentText().trimmed();
            return typed.isEmpty() ? QVariant() : QVariant(typed);
        }
        return cb->original;
    }
    return m_list->rowValue(row, kf->index());
}

void LookupCombo::showPopup()
{
    auto *tv = qobject_cast<QTableView *>(view());
    QComboBox::showPopup();
    QWidget *popup = view()->window();
    if (!tv || !popup || popup == window())
        return;
    // The list shows in the grid's font, its columns as wide as their
    // characters, and as many rows as asked for.
    tv->setFont(font());
    tv->horizontalHeader()->setFont(font());
    const int rowH = fontMetrics().height() + 4;
    tv->verticalHeader()->setDefaultSectionSize(rowH);
    if (!tv->horizontalHeader()->isHidden())
        tv->horizontalHeader()->setFixedHeight(fontMetrics().height() + 6);
    const int titleH = tv->horizontalHeader()->isHidden() ? 0 : tv->horizontalHeader()->height();
    int total = 0;
    for (int c = 0; c < columnSpec.size(); ++c) {
        const int w = columnPixelWidth(font(), font(), columnSpec[c].first, columnSpec[c].second);
        tv->setColumnWidth(c, w);
        total += w;
    }
    const int rows = std::max(1, std::min(count(), maxVisibleItems()));
    const bool scrolls = count() > rows;
    // A list that fits shows no scroll bar; the one of a longer list is part
    // of the width around the columns.
    tv->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    int extraW = popup->width() - tv->viewport()->width();
    if (!scrolls && tv->verticalScrollBar()->isVisible())
        extraW -= tv->verticalScrollBar()->width();
    const int extraH = popup->height() - tv->viewport()->height() - titleH;
    QRect g(0, 0, total + std::max(0, extraW), rows * rowH + titleH + std::max(0, extraH));
    if (columnSpec.size() == 1) // a plain list: at least as wide as its cell
        g.setWidth(std::max(g.width(), width()));
    // A list of a set width narrower than its columns scrolls sideways; its
    // scroll bar comes below the rows instead of hiding the last one (the
    // height is made up once the popup has its size, below).
    const bool sideways = popupWidth > 0 && popupWidth < g.width();
    tv->setHorizontalScrollBarPolicy(sideways ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (popupWidth > 0)
        g.setWidth(popupWidth);
    const QPoint below = mapToGlobal(QPoint(0, height()));
    g.moveTop(below.y());
    if (alignRight)
        g.moveRight(mapToGlobal(QPoint(width() - 1, 0)).x());
    else
        g.moveLeft(below.x());
    if (QScreen *s = screen()) {
        const QRect avail = s->availableGeometry();
        if (g.bottom() > avail.bottom())
            g.moveBottom(mapToGlobal(QPoint(0, 0)).y() - 1);
        if (g.left() < avail.left())
            g.moveLeft(avail.left());
        if (g.right() > avail.right())
            g.moveRight(avail.right());
    }
    popup->setGeometry(g);
    if (const int missing = rows * rowH - tv->viewport()->height(); sideways && missing > 0) {
        g.setHeight(g.height() + missing);
        if (QScreen *s = screen(); s && g.bottom() > s->availableGeometry().bottom())
            g.moveBottom(mapToGlobal(QPoint(0, 0)).y() - 1);
        popup->setGeometry(g);
    }
    // Shrunk after it was first shown: drawn again at its final size.
    popup->update();
    tv->scrollTo(tv->model()->index(std::max(0, currentIndex()), 0), QAbstractItemView::PositionAtCenter);
}

void LookupCombo::keyPressEvent(QKeyEvent *e)
{
    const QString text = e->text();
    if (isEditable() || view()->isVisible() || text.isEmpty() || !text.at(0).isPrint()
        || (e->modifiers() & ~Qt::ShiftModifier)) {
        QComboBox::keyPressEvent(e);
        return;
    }
    const bool more = m_lastKey.isValid() && m_lastKey.elapsed() < QApplication::keyboardInputInterval();
    m_lastKey.start();
    m_search = more ? m_search + text : text;
    const QModelIndexList hit = model()->match(model()->index(0, modelColumn()), Qt::DisplayRole, m_search, 1,
                                               Qt::MatchStartsWith);
    if (!hit.isEmpty() && hit.first().row() != currentIndex()) {
        setCurrentIndex(hit.first().row());
        emit activated(hit.first().row());
    }
}

void LookupCombo::hidePopup()
{
    const bool wasOpen = view()->isVisible();
    QComboBox::hidePopup();
    if (wasOpen)
        emit closedUp();
}

QList<GridColumn> masterListColumns()
{
    static const QList<QPair<const char *, int>> cols = {
        {"NSN", 16}, {"LIN", 6}, {"Nomenclature", 40}, {"UI", 2}, {"Auth", 3}, {"Insp Type", 1},
        {"Insp Freq", 10}, {"Alse", 5}, {"Batt", 5}, {"Pyro", 5}, {"Med", 5}, {"Radio", 5}, {"Flotation", 5}};
    QList<GridColumn> columns;
    for (const auto &c : cols)
        columns << GridColumn{QLatin1String(c.first), QLatin1String(c.first), c.second};
    return columns;
}

} // namespace kw::app
