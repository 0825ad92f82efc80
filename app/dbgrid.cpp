#include "app/dbgrid.h"

#include "app/apperror.h"
#include "app/columneditors.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTimer>

namespace kw::app {

using kw::data::Dataset;
using kw::data::Field;
using kw::data::FieldType;

// --- delegate

TGridDelegate::TGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

TColumnEditor *TGridDelegate::columnEditor(const QModelIndex &index) const
{
    const Field *f = m_grid->gridModel()->fieldAt(index.column());
    if (!f || f->editorName.isEmpty())
        return nullptr;
    return findColumnEditor(m_grid, f->editorName);
}

QWidget *TGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    const Field *f = m_grid->gridModel()->fieldAt(index.column());
    if (!f)
        return QStyledItemDelegate::createEditor(parent, option, index);
    if (TColumnEditor *ed = columnEditor(index))
        return ed->createEditor(parent, *f);
    auto *le = new QLineEdit(parent);
    le->setFrame(false);
    if (f->type == FieldType::Alpha && f->size > 0)
        le->setMaxLength(f->size);
    return le;
}

void TGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (TColumnEditor *ed = columnEditor(index)) {
        ed->setEditorValue(editor, index.data(DatasetModel::ValueRole));
        return;
    }
    if (auto *le = qobject_cast<QLineEdit *>(editor)) {
        le->setText(index.data(Qt::EditRole).toString());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void TGridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (TColumnEditor *ed = columnEditor(index)) {
        const QVariant v = ed->editorValue(editor);
        if (v != index.data(DatasetModel::ValueRole) || v.isNull() != index.data(DatasetModel::ValueRole).isNull())
            model->setData(index, v, DatasetModel::ValueRole);
        return;
    }
    if (auto *le = qobject_cast<QLineEdit *>(editor)) {
        if (le->text() != index.data(Qt::EditRole).toString())
            model->setData(index, le->text(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

void TGridDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                         const QModelIndex &index) const
{
    if (TColumnEditor *ed = columnEditor(index)) {
        ed->placeEditor(editor, option.rect);
        return;
    }
    editor->setGeometry(option.rect);
}

void TGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Field *f = m_grid->gridModel()->fieldAt(index.column());
    if (!f || !f->checkBox) {
        QStyleOptionViewItem opt(option);
        if (m_grid->rowTextColor && !index.data(Qt::ForegroundRole).isValid())
            if (const QColor c = m_grid->rowTextColor(index.row()); c.isValid())
                opt.palette.setColor(QPalette::Text, c);
        QStyledItemDelegate::paint(painter, opt, index);
        return;
    }
    // Check boxes stand centred in their cell.
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget *w = opt.widget;
    QStyle *style = w ? w->style() : QApplication::style();
    opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
    QStyleOptionButton box;
    box.rect = style->subElementRect(QStyle::SE_CheckBoxIndicator, &box, w);
    box.rect.moveCenter(option.rect.center());
    box.state = QStyle::State_Enabled;
    if (!(index.flags() & Qt::ItemIsUserCheckable))
        box.state &= ~QStyle::State_Enabled;
    box.state |= index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, w);
}

bool TGridDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                                const QModelIndex &index)
{
    const Field *f = m_grid->gridModel()->fieldAt(index.column());
    if (!f || !f->checkBox)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    if (!(index.flags() & Qt::ItemIsUserCheckable))
        return false;
    // A click anywhere in the cell, or Space, toggles the box.
    bool toggle = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        toggle = me->button() == Qt::LeftButton && option.rect.contains(me->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseButtonPress) {
        return true;
    } else if (event->type() == QEvent::KeyPress) {
        toggle = static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space;
    }
    if (!toggle)
        return false;
    const bool on = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    return model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

// --- grid

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent), m_model(new DatasetModel(this))
{
    setModel(m_model);
    setItemDelegate(new TGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setFixedWidth(14);
    verticalHeader()->setHighlightSections(false);

    m_model->setDisplayMapper([this](const Field &f, const QVariant &v) {
        TColumnEditor *ed = findColumnEditor(this, f.editorName);
        return ed ? ed->displayText(v) : QString();
    });
    connect(m_model, &DatasetModel::reloaded, this, &TDBGrid::onModelReloaded);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (m_titleButtons)
            emit titleButtonClick(m_model->fieldNameAt(section));
    });
    applyColumnWidths();
}

void TDBGrid::setDataSource(kw::data::DataSource *ds)
{
    if (Dataset *old = m_model->dataset())
        disconnect(old, &Dataset::currentChanged, this, nullptr);
    m_model->setDataSource(ds);
    if (ds)
        connect(ds, &kw::data::DataSource::datasetChanged, this, [this] {
            if (Dataset *d = m_model->dataset())
                connect(d, &Dataset::currentChanged, this, &TDBGrid::followDatasetCursor, Qt::UniqueConnection);
        });
    if (Dataset *d = m_model->dataset())
        connect(d, &Dataset::currentChanged, this, &TDBGrid::followDatasetCursor, Qt::UniqueConnection);
}

void TDBGrid::addSortHintMenu()
{
    auto *hint = new QAction(QStringLiteral("Sort by Clicking Column Titles"), this);
    hint->setObjectName(QStringLiteral("SortbyClickingColumnTitles1"));
    addAction(hint);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TDBGrid::setWrapLongTexts(bool on)
{
    m_wrap = on;
    setWordWrap(on);
    setTextElideMode(on ? Qt::ElideNone : Qt::ElideRight);
    verticalHeader()->setSectionResizeMode(on ? QHeaderView::ResizeToContents : QHeaderView::Fixed);
}

void TDBGrid::setTitleButtons(bool on)
{
    m_titleButtons = on;
    horizontalHeader()->setSectionsClickable(on);
}

int TDBGrid::charWidth(const QFont &font)
{
    // The shop's texts are mostly capitals and digits: a character is their
    // average width, so a column of n characters shows n of them.
    static const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    const QFontMetrics fm(font);
    return (fm.horizontalAdvance(sample) + int(sample.size()) - 1) / int(sample.size());
}

int TDBGrid::columnPixelWidth(const QFont &cellFont, const QFont &titleFont, int chars, const QString &title)
{
    // As many characters as the field's display width, plus the cell margins;
    // never narrower than the title.
    const int cell = chars * charWidth(cellFont) + 8;
    const QFontMetrics tm(titleFont);
    const int head = tm.horizontalAdvance(title) + 10;
    return std::max(cell, head);
}

void TDBGrid::applyColumnWidths()
{
    const int rowH = fontMetrics().height() + 5;
    verticalHeader()->setDefaultSectionSize(rowH);
    verticalHeader()->setMinimumSectionSize(rowH);
    horizontalHeader()->setFixedHeight(fontMetrics().height() + 8);
    for (int c = 0; c < m_model->columnCount(); ++c)
        setColumnWidth(c, columnPixelWidth(font(), horizontalHeader()->font(), m_model->widthAt(c),
                                           m_model->titleAt(c)));
}

void TDBGrid::changeEvent(QEvent *e)
{
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        applyColumnWidths();
}

void TDBGrid::onModelReloaded()
{
    applyColumnWidths();
    if (Dataset *d = m_model->dataset())
        placeCurrent(d->active() ? d->recNo() : -1);
}

void TDBGrid::placeCurrent(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const int col = std::max(0, currentIndex().isValid() ? currentIndex().column() : 0);
    const QModelIndex idx = m_model->index(row, std::min(col, m_model->columnCount() - 1));
    if (!idx.isValid() || idx == currentIndex())
        return;
    {
        const QScopedValueRollback syncing(m_syncing, true);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    }
    scrollTo(idx);
}

void TDBGrid::followDatasetCursor(int row)
{
    if (m_syncing)
        return;
    if (currentIndex().isValid() && currentIndex().row() == row)
        return;
    placeCurrent(row);
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid())
        return;
    Dataset *d = m_model->dataset();
    if (!d || !d->active() || d->recNo() == current.row())
        return;
    // Moving to another row posts the pending edit; when that fails the
    // message is shown and the cursor stays on the row in edit.
    bool ok = false;
    {
        const QScopedValueRollback syncing(m_syncing, true);
        ok = guarded([&] { d->moveTo(current.row()); });
    }
    if (!ok || d->recNo() != current.row()) {
        const int back = d->recNo();
        QMetaObject::invokeMethod(this, [this, back] { placeCurrent(back); }, Qt::QueuedConnection);
    }
}

void TDBGrid::insertRow()
{
    Dataset *d = m_model->dataset();
    if (!d || !d->active())
        return;
    guarded([&] { d->insert(); });
    placeCurrent(d->recNo());
}

void TDBGrid::deleteRowAsked()
{
    Dataset *d = m_model->dataset();
    if (!d || !d->active() || d->isEmpty())
        return;
    if (!prompts().confirm(QStringLiteral("Delete record?")))
        return;
    guarded([&] { d->deleteRecord(); });
}

void TDBGrid::moveToNextColumn()
{
    const QModelIndex cur = currentIndex();
    if (!cur.isValid())
        return;
    int row = cur.row(), col = cur.column() + 1;
    if (col >= m_model->columnCount()) {
        col = 0;
        ++row;
    }
    if (row >= m_model->rowCount())
        return;
    setCurrentIndex(m_model->index(row, col));
}

void TDBGrid::keyPressEvent(QKeyEvent *e)
{
    const bool editing = state() == QAbstractItemView::EditingState;
    if (!editing) {
        if (e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier && insertKeyAddsRow) {
            insertRow();
            return;
        }
        if (e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier) && ctrlDeleteDeletes) {
            deleteRowAsked();
            return;
        }
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && enterMovesToNextColumn) {
            moveToNextColumn();
            return;
        }
        if (e->key() == Qt::Key_Escape) {
            if (Dataset *d = m_model->dataset(); d && d->isEditing()) {
                guarded([&] { d->cancel(); });
                return;
            }
        }
    }
    QTableView::keyPressEvent(e);
}

void TDBGrid::commitData(QWidget *editor)
{
    // A committed value can make the dataset re-read its rows (a new NSN);
    // the model resets only after the editor is closed, and in any case
    // once control is back in the event loop.
    m_model->holdReload(true);
    QTableView::commitData(editor);
    m_releasePending = true;
    QTimer::singleShot(0, this, [this] { releaseHold(); });
}

void TDBGrid::releaseHold()
{
    if (!m_releasePending)
        return;
    m_releasePending = false;
    m_model->holdReload(false);
}

void TDBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // The delegate ends an edit with Enter as SubmitModelCache.
    const bool enter = hint == QAbstractItemDelegate::SubmitModelCache;
    QTableView::closeEditor(editor, enter ? QAbstractItemDelegate::NoHint : hint);
    releaseHold();
    if (enter && enterMovesToNextColumn)
        moveToNextColumn();
}

} // namespace kw::app
