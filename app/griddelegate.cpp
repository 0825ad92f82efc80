#include "app/griddelegate.h"

#include "app/columneditors.h"
#include "app/dbgrid.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace kw::app {

using kw::data::Field;
using kw::data::FieldType;

namespace {
// An editor the user typed into keeps its text: a re-read of the row (the
// edit state beginning, a field rule) must not put the stored value back.
const char *const kTouched = "kwTouched";
} // namespace

TGridDelegate::TGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

TColumnEditor *TGridDelegate::columnEditor(const QModelIndex &index) const
{
    const Field *f = m_grid->gridModel()->fieldAt(index.column());
    return f ? m_grid->columnEditor(f->editorName) : nullptr;
}

QWidget *TGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    const Field *f = m_grid->gridModel()->fieldAt(index.column());
    if (!f)
        return QStyledItemDelegate::createEditor(parent, option, index);
    QWidget *editor = nullptr;
    if (TColumnEditor *ed = columnEditor(index)) {
        editor = ed->createEditor(parent, *f);
    } else {
        auto *le = new QLineEdit(parent);
        le->setFrame(false);
        if (f->type == FieldType::Alpha && f->size > 0)
            le->setMaxLength(f->size);
        editor = le;
    }
    // The first thing typed or chosen puts the row into edit state.
    auto touched = [grid = m_grid, editor] {
        editor->setProperty(kTouched, true);
        grid->onEditorInput();
    };
    if (auto *le = qobject_cast<QLineEdit *>(editor))
        connect(le, &QLineEdit::textEdited, editor, touched);
    if (auto *cb = qobject_cast<QComboBox *>(editor)) {
        connect(cb, &QComboBox::activated, editor, touched);
        if (cb->lineEdit())
            connect(cb->lineEdit(), &QLineEdit::textEdited, editor, touched);
    }
    return editor;
}

void TGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (editor->property(kTouched).toBool())
        return;
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
        const QVariant was = index.data(DatasetModel::ValueRole);
        if (v != was || v.isNull() != was.isNull())
            m_grid->m_commitFailed = !model->setData(index, v, DatasetModel::ValueRole);
        return;
    }
    if (auto *le = qobject_cast<QLineEdit *>(editor)) {
        if (le->text() != index.data(Qt::EditRole).toString())
            m_grid->m_commitFailed = !model->setData(index, le->text(), Qt::EditRole);
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

bool TGridDelegate::eventFilter(QObject *object, QEvent *event)
{
    // Tab, Enter, Escape and the focus leaving end an edit from here.
    if (!m_grid)
        return false;
    const TDBGrid::Busy busy(m_grid);
    auto *editor = qobject_cast<QWidget *>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *combo = qobject_cast<QComboBox *>(editor);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !(combo && combo->view()->isVisible())) {
            // Stored at once: Qt would store it only after the keys that
            // follow, which may already belong to the next cell.
            m_grid->submitEditor(editor);
            if (m_grid->enterMovesToNextColumn)
                m_grid->moveToNextColumn();
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace kw::app
