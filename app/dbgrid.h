#pragma once
// The data grid: shows a dataset through a DatasetModel, keeps the view's
// current row and the dataset's cursor together, edits logical fields as
// check boxes and the fields that name an editor through that column
// editor, and offers the keyboard and title-button behaviour the pages ask
// for. Column widths are characters of the grid's font.
#include "app/datasetmodel.h"

#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

namespace kw::app {

class TDBGrid;
class TColumnEditor;

class TGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TGridDelegate(TDBGrid *grid);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    TColumnEditor *columnEditor(const QModelIndex &index) const;
    TDBGrid *m_grid;
};

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);

    void setDataSource(kw::data::DataSource *ds);
    kw::data::DataSource *dataSource() const { return m_model->dataSource(); }
    kw::data::Dataset *dataset() const { return m_model->dataset(); }
    void setColumns(const QList<GridColumn> &columns) { m_model->setColumns(columns); }
    DatasetModel *gridModel() const { return m_model; }

    // Column titles are buttons that hand the field name to titleButtonClick.
    void setTitleButtons(bool on);
    bool titleButtons() const { return m_titleButtons; }
    // Enter moves to the next column (and on to the next row).
    bool enterMovesToNextColumn = false;
    // Insert adds a row; Ctrl+Delete deletes one after "Delete record?".
    bool insertKeyAddsRow = true;
    bool ctrlDeleteDeletes = true;
    // Long texts wrap within the cell; a row grows to show them.
    void setWrapLongTexts(bool on);
    bool wrapLongTexts() const { return m_wrap; }
    // Text colour of a whole row (the due status of its item); an invalid
    // colour keeps the normal one. Read-only cells keep their gray.
    std::function<QColor(int row)> rowTextColor;
    // The context menu with the single entry "Sort by Clicking Column
    // Titles", which only tells how to sort.
    void addSortHintMenu();

    // Pixels of one character of a font: the average of capitals and digits.
    static int charWidth(const QFont &font);
    // Pixel width of a column of `chars` characters titled `title`.
    static int columnPixelWidth(const QFont &cellFont, const QFont &titleFont, int chars, const QString &title);
    // Applies the widths in characters of every column.
    void applyColumnWidths();

    // The dataset operations behind the keys, for navigators and tests.
    void insertRow();
    void deleteRowAsked();
    // Moves the current cell to the next column (next row after the last).
    void moveToNextColumn();

signals:
    void titleButtonClick(const QString &fieldName);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void changeEvent(QEvent *e) override;

private:
    void onModelReloaded();
    void followDatasetCursor(int row);
    void placeCurrent(int row);
    void releaseHold();
    bool m_releasePending = false;
    DatasetModel *m_model;
    bool m_titleButtons = false;
    bool m_wrap = false;
    bool m_syncing = false;
};

} // namespace kw::app
