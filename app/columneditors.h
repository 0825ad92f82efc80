#pragma once
// The named column editors of the main window. Each is a hidden component
// with its object name ("cbInspType", "cbNsnHr"), owned by the page that
// builds it and entered in the window's TColumnEditors; a grid whose
// dataset names an editor for a field looks it up there and lets it create
// the in-cell editor.
#include "app/datasetmodel.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>

namespace kw::app {

class TColumnEditor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual QWidget *createEditor(QWidget *parent, const kw::data::Field &field) const = 0;
    virtual void setEditorValue(QWidget *editor, const QVariant &value) const = 0;
    virtual QVariant editorValue(QWidget *editor) const = 0;
    // Text a grid shows for a stored value; empty keeps the default text.
    virtual QString displayText(const QVariant &value) const;
    // Places the editor over the cell.
    virtual void placeEditor(QWidget *editor, const QRect &cell) const;
};

// The column editors by name. Pages enter the editors they build; any grid
// of the window may use any of them (cbInspType serves several pages).
class TColumnEditors {
public:
    // Enters editor under its object name; a second editor of a name throws.
    void add(TColumnEditor *editor);
    TColumnEditor *find(const QString &name) const;
    QStringList names() const;
private:
    QHash<QString, QPointer<TColumnEditor>> m_editors;
};

// A drop-down of fixed entries that shows texts and stores codes
// (cbInspType: "None", "Day", "Year" store "N", "D", "Y"). There is no empty
// entry, so a clear key cannot empty the field.
class TMapComboEditor : public TColumnEditor {
    Q_OBJECT
public:
    TMapComboEditor(const QString &name, const QStringList &texts, const QStringList &codes,
                    QObject *parent = nullptr);
    QWidget *createEditor(QWidget *parent, const kw::data::Field &field) const override;
    void setEditorValue(QWidget *editor, const QVariant &value) const override;
    QVariant editorValue(QWidget *editor) const override;
    QString displayText(const QVariant &value) const override;
    QStringList texts() const { return m_texts; }
    QStringList codes() const { return m_codes; }
private:
    QStringList m_texts, m_codes;
};

// A drop-down over the rows of a dataset: shows several columns with titles
// and column lines, stores the key field of the chosen row. Only a value
// from the list can be chosen; with matchWhileTyping the edit field takes
// typed text and shows the matching entry.
class TLookupComboEditor : public TColumnEditor {
    Q_OBJECT
public:
    TLookupComboEditor(const QString &name, kw::data::Dataset *list, const QString &keyField,
                       const QList<GridColumn> &columns, QObject *parent = nullptr);
    int rowsVisible = 15;
    bool alignRight = false;      // popup's right edge at the cell's right edge
    bool matchWhileTyping = false;
    int popupWidth = 0;           // pixels; 0: as wide as the columns
    bool listTitles = true;       // column titles above the list
    bool listLines = true;        // lines between the list's cells
    // The edit field takes any text, also one that names no entry of the list.
    bool freeText = false;

    kw::data::Dataset *listDataset() const { return m_list; }
    QList<GridColumn> listColumns() const { return m_columns; }
    QString keyField() const { return m_key; }

    QWidget *createEditor(QWidget *parent, const kw::data::Field &field) const override;
    void setEditorValue(QWidget *editor, const QVariant &value) const override;
    QVariant editorValue(QWidget *editor) const override;

signals:
    // The list of an editor made by this component closed, after a choice
    // or without one.
    void closedUp(QWidget *editor);

private:
    QPointer<kw::data::Dataset> m_list;
    QString m_key;
    QList<GridColumn> m_columns;
};

// Columns of the NSN drop-downs over the master list (cbNsnHr, cbNsnGear,
// cbNsnInsp): titles are the field names, widths in characters.
QList<GridColumn> masterListColumns();

// The combo box a TLookupComboEditor creates.
class LookupCombo : public QComboBox {
    Q_OBJECT
public:
    explicit LookupCombo(QWidget *parent = nullptr) : QComboBox(parent) {}
    void showPopup() override;
    void hidePopup() override;
    bool alignRight = false;
    int popupWidth = 0; // pixels; 0: as wide as the columns
    // Width (characters) and title of each list column.
    QList<QPair<int, QString>> columnSpec;
    QVariant original; // value when editing began; kept when nothing was chosen
signals:
    // The open list closed.
    void closedUp();

protected:
    // Typed letters pick the entry by the column the editor stores (an NSN),
    // also where another column is shown first and nothing is chosen yet.
    void keyPressEvent(QKeyEvent *e) override;

private:
    QString m_search;
    QElapsedTimer m_lastKey;
};

} // namespace kw::app
