#include "app/dbgrid.h"

#include "app/apperror.h"
#include "app/columneditors.h"
#include "app/dbnavigator.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QToolTip>
#include <utility>

namespace kw::app {

using kw::data::Dataset;
using kw::data::DatasetState;
using kw::data::Field;


// --- grid

TDBGrid::Busy::Busy(TDBGrid *g) : m_grid(g)
{
    if (m_grid->m_busy++ == 0) {
        m_grid->m_commitFailed = false;
        m_grid->m_model->holdReload(true);
    }
}

TDBGrid::Busy::~Busy()
{
    if (--m_grid->m_busy > 0)
        return;
    // The reset that waited, if any, places the focus; without one the
    // focus still goes where the dataset's cursor stands.
    const bool reset = m_grid->m_model->reloadPending();
    m_grid->m_model->holdReload(false);
    if (!reset)
        m_grid->placeCurrent(false);
}

// An editor still open when the grid goes sends its focus and hide events
// to the delegate while the widgets below are torn down: the delegate must
// no longer reach this grid by then.
TDBGrid::~TDBGrid()
{
    if (auto *delegate = qobject_cast<TGridDelegate *>(itemDelegate()))
        delegate->detach();
}

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent)
{
    m_model = new DatasetModel(this); // its ChildAdded event finds m_model still null
    setModel(m_model);
    setItemDelegate(new TGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // A click on the current cell edits it at once (mouseReleaseEvent): Qt's
    // own trigger waits for a double-click time and drops keys typed meanwhile.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
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
    verticalHeader()->setSectionsClickable(false); // the row marker only shows

    m_model->setDisplayMapper([this](const Field &f, const QVariant &v) {
        TColumnEditor *ed = columnEditor(f.editorName);
        return ed ? ed->displayText(v) : QString();
    });
    connect(m_model, &DatasetModel::aboutToReload, this, &TDBGrid::onModelAboutToReset);
    connect(m_model, &DatasetModel::reloaded, this, &TDBGrid::onModelReloaded);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (m_titleButtons)
            emit titleButtonClick(m_model->fieldNameAt(section));
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        // Only what the user drags is kept; the grid's own widths are not.
        if (!m_syncing && !m_resetting)
            m_userWidths[m_model->fieldNameAt(section)] = size;
    });
    applyColumnWidths();
}

TColumnEditor *TDBGrid::columnEditor(const QString &name) const
{
    return m_editors && !name.isEmpty() ? m_editors->find(name) : nullptr;
}

void TDBGrid::setDataSource(kw::data::DataSource *ds)
{
    if (dataSource())
        disconnect(dataSource(), &kw::data::DataSource::datasetChanged, this, nullptr);
    m_model->setDataSource(ds);
    if (ds)
        connect(ds, &kw::data::DataSource::datasetChanged, this, &TDBGrid::attachDataset);
    attachDataset();
}

void TDBGrid::attachDataset()
{
    for (auto &c : m_dsConn)
        disconnect(c);
    if (Dataset *d = m_model->dataset()) {
        // Connected after the model, so the model has its rows when these run.
        m_dsConn[0] = connect(d, &Dataset::stateChanged, this, &TDBGrid::onStateChanged);
        m_dsConn[1] = connect(d, &Dataset::updatingRecord, this, &TDBGrid::onUpdatingRecord);
        // The focus follows the cursor moved from elsewhere (a navigator,
        // a report going to the first row).
        m_dsConn[2] = connect(d, &Dataset::currentChanged, this, [this] {
            if (!m_busy && !m_model->reloadPending())
                placeCurrent(true);
        });
    }
}

void TDBGrid::setColumns(const QList<GridColumn> &columns)
{
    m_model->setColumns(columns);
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

int charWidth(const QFont &font)
{
    // The shop's texts are mostly capitals and digits: a character is their
    // average width, so a column of n characters shows n of them.
    static const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    const QFontMetrics fm(font);
    return (fm.horizontalAdvance(sample) + int(sample.size()) - 1) / int(sample.size());
}

int columnPixelWidth(const QFont &cellFont, const QFont &titleFont, int chars, const QString &title)
{
    // As many characters as the field's display width, plus the cell margins;
    // never narrower than the title.
    const int cell = chars * charWidth(cellFont) + 8;
    const QFontMetrics tm(titleFont);
    const int head = tm.horizontalAdvance(title) + 10;
    return std::max(cell, head);
}

void TDBGrid::setUserColumnWidths(const QHash<QString, int> &widths)
{
    m_userWidths = widths;
    applyColumnWidths();
}

void TDBGrid::applyColumnWidths()
{
    const QScopedValueRollback syncing(m_syncing, true);
    const int rowH = fontMetrics().height() + 5;
    verticalHeader()->setDefaultSectionSize(rowH);
    verticalHeader()->setMinimumSectionSize(rowH);
    horizontalHeader()->setFixedHeight(fontMetrics().height() + 8);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const QString field = m_model->fieldNameAt(c);
        setColumnWidth(c, m_userWidths.value(field, columnPixelWidth(font(), horizontalHeader()->font(),
                                                                     m_model->widthAt(c), m_model->titleAt(c))));
    }
}

void TDBGrid::changeEvent(QEvent *e)
{
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        applyColumnWidths();
}

// --- keeping the focus on the dataset's record

bool TDBGrid::event(QEvent *e)
{
    if (!m_model) // being built: the model is made with the grid as its parent
        return QTableView::event(e);
    const Busy busy(this);
    return QTableView::event(e);
}

bool TDBGrid::viewportEvent(QEvent *e)
{
    if (e->type() == QEvent::ToolTip && showCellToolTip(static_cast<QHelpEvent *>(e)))
        return true;
    const Busy busy(this);
    return QTableView::viewportEvent(e);
}

void TDBGrid::onModelAboutToReset()
{
    m_resetting = true;
    m_scroll = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void TDBGrid::onModelReloaded()
{
    // The header forgets its widths with every reset.
    applyColumnWidths();
    {
        const QScopedValueRollback syncing(m_syncing, true);
        horizontalScrollBar()->setValue(m_scroll.x());
        verticalScrollBar()->setValue(m_scroll.y());
    }
    m_resetting = false;
    placeCurrent(true);
}

// Puts the current cell on the dataset's record, in the column the user
// last moved to (the first editable one for a row begun outside the grid),
// and makes it the only selected cell. Scrolls only to bring a cell that
// moved into view.
void TDBGrid::placeCurrent(bool reveal)
{
    Dataset *d = m_model->dataset();
    const int row = d && d->active() ? d->recNo() : -1;
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0)
        return;
    if (m_focusNewRow) {
        m_focusNewRow = false;
        m_wantColumn = firstEditableColumn();
        reveal = true;
        if (isVisible())
            setFocus(Qt::OtherFocusReason);
    }
    const QModelIndex idx = m_model->index(row, std::clamp(m_wantColumn, 0, m_model->columnCount() - 1));
    const bool moved = idx != currentIndex();
    if (moved || selectionModel()->selectedIndexes() != QModelIndexList{idx}) {
        const QScopedValueRollback syncing(m_syncing, true);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    }
    if (moved || reveal)
        scrollTo(idx);
}

// The first editable cell the new row leaves empty: a detail row already
// holds its master's key, which typing must not overwrite.
int TDBGrid::firstEditableColumn() const
{
    const int row = m_model->dataset() ? m_model->dataset()->recNo() : -1;
    int first = -1;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        if (!m_model->columnEditable(c))
            continue;
        if (first < 0)
            first = c;
        if (m_model->index(row, c).data(DatasetModel::ValueRole).isNull())
            return c;
    }
    return std::max(first, 0);
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // Qt first stores and closes an editor open in the previous cell.
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid())
        return;
    const Busy busy(this); // the focus is placed when the key or click is handled
    if (std::exchange(m_commitFailed, false)) {
        // The value typed could not be stored: the focus stays with it.
        m_wantColumn = previous.isValid() ? previous.column() : current.column();
        return;
    }
    m_wantColumn = current.column();
    Dataset *d = m_model->dataset();
    if (!d || !d->active() || d->recNo() == current.row())
        return;
    // Moving to another row posts the pending edit; when that fails the
    // message is shown and the focus goes back to the row in edit.
    if (!guarded([&] { d->moveTo(current.row()); }) && previous.isValid())
        m_wantColumn = previous.column();
}

void TDBGrid::onStateChanged()
{
    Dataset *d = m_model->dataset();
    if (d && d->state() == DatasetState::Insert && !m_ownEdit) {
        // "+" or Insert: typing goes into the new row's first editable cell.
        m_focusNewRow = true;
        if (!m_busy && !m_model->reloadPending())
            placeCurrent(true);
    }
}

void TDBGrid::onEditorInput()
{
    Dataset *d = m_model->dataset();
    if (!d || !d->active() || d->isEditing())
        return;
    const Busy busy(this);
    const QScopedValueRollback own(m_ownEdit, true);
    guarded([&] { d->edit(); });
}

QWidget *TDBGrid::openEditor() const
{
    const QModelIndex cur = currentIndex();
    return cur.isValid() && state() == QAbstractItemView::EditingState ? indexWidget(cur) : nullptr;
}

void TDBGrid::onUpdatingRecord()
{
    // The dataset is about to post or end its edit: what the open cell
    // holds goes into the record first (unless that value is what is being
    // stored: a new NSN posts the row while its editor is being committed).
    if (QWidget *editor = openEditor(); editor && !m_committing)
        submitEditor(editor);
}

void TDBGrid::commitData(QWidget *editor)
{
    const QScopedValueRollback committing(m_committing, true);
    QTableView::commitData(editor);
}

void TDBGrid::submitEditor(QWidget *editor)
{
    if (!editor)
        return;
    const Busy busy(this);
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TDBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Qt ends an edit with SubmitModelCache when the focus moves to another
    // row with the editor open; the row is stored by that move already.
    if (hint == QAbstractItemDelegate::SubmitModelCache)
        hint = QAbstractItemDelegate::NoHint;
    QTableView::closeEditor(editor, hint);
}

// --- keys and the operations behind them

void TDBGrid::insertRow()
{
    Dataset *d = m_model->dataset();
    if (!d || !d->active())
        return;
    guarded([&] { d->insert(); });
}

void TDBGrid::deleteRowAsked()
{
    deleteRecordAsked(m_model->dataset());
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

void TDBGrid::mousePressEvent(QMouseEvent *e)
{
    const QModelIndex idx = indexAt(e->position().toPoint());
    m_pressOnCurrent = e->button() == Qt::LeftButton && idx.isValid() && idx == currentIndex();
    QTableView::mousePressEvent(e);
}

void TDBGrid::mouseReleaseEvent(QMouseEvent *e)
{
    QTableView::mouseReleaseEvent(e);
    const QModelIndex idx = indexAt(e->position().toPoint());
    const Field *f = m_model->fieldAt(idx.column());
    if (std::exchange(m_pressOnCurrent, false) && idx == currentIndex() && f && !f->checkBox
        && state() != QAbstractItemView::EditingState)
        edit(idx);
}

// A cell whose text is cut shows all of it as a tooltip.
bool TDBGrid::showCellToolTip(QHelpEvent *e)
{
    const QModelIndex idx = indexAt(e->pos());
    const QString text = idx.isValid() ? idx.data(Qt::DisplayRole).toString() : QString();
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    opt.rect = visualRect(idx);
    const int room = opt.rect.width() - 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, this) + 1);
    if (text.isEmpty() || m_wrap || fontMetrics().horizontalAdvance(text) <= room) {
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    QToolTip::showText(e->globalPos(), text, viewport(), opt.rect);
    return true;
}

} // namespace kw::app
