#pragma once
// The data grid: shows a dataset through a DatasetModel, edits logical
// fields as check boxes and the fields that name an editor through that
// column editor, and offers the keyboard and title-button behaviour the
// pages ask for. Column widths are characters of the grid's font.
//
// The cell with the focus is always the dataset's current record. A move to
// another row posts the pending edit, and a post may re-read or re-order
// the rows (a joined query runs again, a new row takes its place in the
// index). Re-reading the model in the middle of Qt's handling of a key or
// a click would leave the view acting on indexes that now name other
// records, so while the grid handles an event the model's resets wait, and
// when the event is done the grid resets once and puts the focus back on
// the dataset's record, in the column the user moved to, with the scroll
// position and column widths it had.
#include "app/datasetmodel.h"
#include "app/griddelegate.h"

#include <QHash>
#include <QTableView>
#include <functional>

namespace kw::app {

class TDBGrid;
class TColumnEditor;
class TColumnEditors;

// Pixels of one character of a font: the average of capitals and digits.
int charWidth(const QFont &font);
// Pixel width of a column of `chars` characters titled `title`.
int columnPixelWidth(const QFont &cellFont, const QFont &titleFont, int chars, const QString &title);

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    void setDataSource(kw::data::DataSource *ds);
    kw::data::DataSource *dataSource() const { return m_model->dataSource(); }
    kw::data::Dataset *dataset() const { return m_model->dataset(); }
    void setColumns(const QList<GridColumn> &columns);
    DatasetModel *gridModel() const { return m_model; }
    // Where the named column editors of the fields are found.
    void setColumnEditors(const TColumnEditors *editors) { m_editors = editors; }
    TColumnEditor *columnEditor(const QString &name) const;

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

    // Widths the user gave columns (pixels by field name); they outlast
    // posts, re-reads and page changes, and the window keeps them.
    QHash<QString, int> userColumnWidths() const { return m_userWidths; }
    void setUserColumnWidths(const QHash<QString, int> &widths);
    // Applies the widths of every column: the user's, else the characters
    // of its field.
    void applyColumnWidths();

    // The dataset operations behind the keys, for navigators and tests.
    void insertRow();
    void deleteRowAsked();
    // Moves the current cell to the next column (next row after the last).
    void moveToNextColumn();
    // Stores an open cell editor's value and closes it (an editor's own list
    // closing, a dataset about to post).
    void submitEditor(QWidget *editor);

signals:
    void titleButtonClick(const QString &fieldName);

protected:
    bool event(QEvent *e) override;
    bool viewportEvent(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void changeEvent(QEvent *e) override;

private:
    friend class TGridDelegate;
    // Marks the grid busy with an event: model resets wait for its end.
    class Busy {
    public:
        explicit Busy(TDBGrid *g);
        ~Busy();
    private:
        TDBGrid *m_grid;
    };
    void attachDataset();
    void onModelAboutToReset();
    void onModelReloaded();
    void onStateChanged();
    void onEditorInput();
    void onUpdatingRecord();
    void placeCurrent(bool reveal);
    int firstEditableColumn() const;
    QWidget *openEditor() const;
    bool showCellToolTip(QHelpEvent *e);

    DatasetModel *m_model = nullptr;
    const TColumnEditors *m_editors = nullptr;
    QMetaObject::Connection m_dsConn[3];
    int m_busy = 0;
    bool m_syncing = false;      // the grid moves its own current cell
    bool m_resetting = false;    // the model is being reset
    bool m_commitFailed = false; // the editor's value was refused
    bool m_committing = false;   // an editor's value is being stored
    bool m_pressOnCurrent = false; // the mouse went down on the current cell
    bool m_focusNewRow = false;  // a row was inserted from outside the grid
    bool m_ownEdit = false;      // the grid itself began the edit
    int m_wantColumn = 0;        // the column the user moved to
    QPoint m_scroll;             // scroll position kept across a reset
    QHash<QString, int> m_userWidths;
    bool m_titleButtons = false;
    bool m_wrap = false;
};

} // namespace kw::app
