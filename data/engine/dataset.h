#pragma once
// Datasets: a cursor over rows with a current record, an edit buffer and the
// state machine browse -> edit/insert -> post/cancel. Tables and queries
// derive from Dataset; grids reach them through DataSource.
#include "data/engine/fieldvalue.h"
#include "data/engine/filterexpr.h"
#include "data/engine/tabledef.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

namespace kw::data {

class Dataset;
class Session;
class Database;

enum class DatasetState { Inactive, Browse, Edit, Insert };

class Field {
public:
    enum class Kind { Data, Lookup };

    QString name;          // field name as in the table or select list
    QString label;         // column title; the name when empty
    int displayWidth = 10; // in characters
    FieldType type = FieldType::Alpha;
    int size = 0;
    bool readOnly = false;
    bool visible = true;
    bool required = false;
    Kind kind = Kind::Data;

    // Grid editing: a check box cell (checked "True", unchecked "False") or
    // a named drop-down editor of the main window ("cbInspType").
    bool checkBox = false;
    QString editorName;

    // Looked-up field: value of resultField in the first row of
    // lookupDataset whose lookupKeyField equals this dataset's keyField.
    Dataset *lookupDataset = nullptr;
    QString lookupKeyField;
    QString lookupResultField;
    QString keyField;

    // Runs after the field's value was changed through setValue.
    std::function<void(Field &)> onChange;

    QString displayLabel() const { return label.isEmpty() ? name : label; }
    // The rules its values follow (data/fieldvalue.h), named by its label.
    FieldSpec spec() const { return {displayLabel(), type, size, required}; }

    // The current record's value (the edit buffer while editing).
    QVariant value() const;
    bool isNull() const { return value().isNull(); }
    QString asString() const;
    // Sets the current record's value; the dataset must be in edit or
    // insert state (a browsing dataset is put into edit state first).
    // Read-only and looked-up fields refuse with an EngineError.
    void setValue(const QVariant &v);
    void clear() { setValue(QVariant()); }

    Dataset *dataset() const { return m_dataset; }
    int index() const { return m_index; }

private:
    friend class Dataset;
    Dataset *m_dataset = nullptr;
    int m_index = -1;      // position in the dataset's field list
    int m_source = -1;     // stored field or result column; -1 for looked-up fields
};

class Dataset : public QObject {
    Q_OBJECT
public:
    // A dataset belongs to one connection for its whole life: it is on the
    // connection's list until destroyed. A connection destroyed first closes
    // it and leaves it without one; opening it then fails with an EngineError.
    explicit Dataset(Database &db, QObject *parent = nullptr);
    ~Dataset() override;

    Session &session() const { return m_session; }
    // The connection; throws when it is gone.
    Database &database() const;
    bool hasDatabase() const { return m_database != nullptr; }

    // --- life cycle
    void open();
    void close();
    bool active() const { return m_state != DatasetState::Inactive; }
    void setActive(bool on) { on ? open() : close(); }
    DatasetState state() const { return m_state; }
    bool isEditing() const { return m_state == DatasetState::Edit || m_state == DatasetState::Insert; }

    // --- fields. Declared fields (before open) fix order, labels and widths;
    // without declarations every stored field gets a default Field.
    Field &addField(const Field &f);
    const std::vector<std::unique_ptr<Field>> &fields() const { return m_fields; }
    Field *findField(const QString &name) const;  // case-insensitive
    Field &fieldByName(const QString &name) const; // throws "Field '%s' not found"
    int fieldCount() const { return int(m_fields.size()); }

    // --- cursor. Rows are those the order, filter and master link leave;
    // while inserting, the new row stands at the current position.
    int recordCount() const;  // rows shown, counting a row being inserted
    int recNo() const { return m_cur; } // current row, -1 when empty
    bool isEmpty() const { return recordCount() == 0; }
    void first();
    void last();
    void next();
    void prior();
    // Posts a pending edit first, like any move, and lands on the record that
    // stood at row before it: a post that re-reads or re-orders the rows
    // does not move the cursor onto another record.
    void moveTo(int row);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }

    // Value of any shown row (the edit buffer for the current row while
    // editing). For grids and reports; does not move the cursor.
    QVariant rowValue(int row, int field) const;

    // --- bookmarks: a record's identity, which survives re-reads and
    // re-orders (a table row's primary key, a query row's key columns).
    // Null for a row being inserted and where a dataset has none.
    QVariant bookmark() const { return bookmarkOf(m_cur); }
    QVariant bookmarkOf(int row) const;
    // The shown row that holds the record, -1 when it is not shown.
    int rowOfBookmark(const QVariant &bookmark) const;

    // --- editing
    void edit();
    void append();  // new row at the end
    void insert();  // new row at the current position
    void post();    // field checks, then writes (tables) or caches (queries)
    void cancel();
    void deleteRecord();
    // Posts a pending edit and re-reads, staying on the current record.
    void refresh();
    // Ends a pending edit before a move: posts it when a field was changed,
    // cancels it otherwise (a new row nobody typed into is dropped).
    void checkBrowseMode();
    // Asks every control editing the current record to hand over what it
    // holds (the text of an open grid cell). post() and checkBrowseMode()
    // run it first, so a value still being typed is never lost.
    void updateRecord();
    // The value the current record holds in its source, before the pending
    // edit (null while inserting).
    QVariant oldValue(const Field &f) const;
    // Whether a field of the row being edited or inserted was changed; the
    // values a new row starts with (master link, defaults) do not count.
    bool modified() const { return m_modified; }

    // --- display updates. While disabled (calls nest) the dataset tells no
    // grid, navigator or detail about its moves and changes; enabling again
    // tells them once that everything may have changed. Loops over many rows
    // use it so that nothing redraws per row.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_controlsOff > 0; }

    // --- filter ("Alse = True", "[List 1] = True")
    void setFilter(const QString &expr);
    QString filter() const { return m_filter; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // --- events (named after the engine's events). beforeDelete only checks
    // (it may run before the user is asked) and refuses by throwing.
    std::function<void(Dataset &)> beforePost, afterPost, afterScroll,
        onNewRecord, afterOpen, beforeClose, afterClose, afterDelete,
        afterCancel, beforeDelete;

signals:
    // Emitted by updateRecord(): controls write their pending input now.
    void updatingRecord();
    void stateChanged();
    void rowsReset();           // rows or their order changed wholesale
    void rowChanged(int row);   // values of one shown row changed
    void currentChanged(int row);

public:
    // Value of resultField in the first row whose keyField equals key;
    // null when none matches. Used by looked-up fields of other datasets.
    virtual QVariant lookup(const QString &keyField, const QVariant &key,
                            const QString &resultField) const;

protected:
    // What a concrete dataset supplies.
    virtual void doOpen() = 0;              // load rows, create and bind fields
    virtual void doClose() = 0;
    virtual int sourceRowCount() const = 0; // rows shown, no pending insert
    virtual QVariant sourceValue(int row, const Field &f) const = 0; // data fields only
    // Writes the edit buffer (values by field position). Returns the shown
    // row that holds the posted values afterwards (-1 when filtered out).
    virtual int doPost(const Row &buffer, bool inserting, int row) = 0;
    virtual void doDelete(int row) = 0;
    virtual void rebuildRows() = 0;         // re-apply order, filter, link
    virtual void doRefresh() { rebuildRows(); } // re-read the source
    virtual void initNewRow(Row &) {}       // master-link values and the like
    virtual void beforeNewRow() {}          // a detail posts its master's pending row
    virtual void checkCanModify() const {}
    // Identity of a source row (see bookmark()) and the source row holding
    // one (-1 when none does).
    virtual QVariant sourceBookmark(int /*sourceRow*/) const { return {}; }
    virtual int sourceRowOfBookmark(const QVariant & /*bookmark*/) const { return -1; }
    // After a re-read: the shown row of a record that had no bookmark when it
    // was current (a query row stored by an insert), given the values it
    // showed; -1 when it cannot be told.
    virtual int rowOfUnkeyedRecord(const Row & /*values*/) const { return -1; }

    // Binds a field to a stored field or column (m_source).
    static void bindField(Field &f, int source) { f.m_source = source; }
    static int fieldSource(const Field &f) { return f.m_source; }

    // Filter test for one row; valueOf answers a field name.
    bool filterAccepts(const std::function<QVariant(const QString &)> &valueOf) const;

    void setCurrent(int row);
    void resetRows(int keepRow = -2); // rebuild and notify; keepRow -2 = clamp current
    void createField(const QString &name, FieldType type, int size, int source);

    bool m_filtered = false;
    QString m_filter;

private:
    friend class Field;
    friend class Database;
    void setBufferValue(Field &f, const QVariant &v);
    QVariant convertForField(const Field &f, const QVariant &v) const;
    void checkRequired() const;
    int sourceRowOf(int row) const; // shown row -> source row, -1 for a new row
    Row currentValues() const;
    void beginEdit(DatasetState s, int at);
    void setState(DatasetState s);

    Session &m_session;
    Database *m_database; // null once the connection is destroyed
    std::vector<std::unique_ptr<Field>> m_fields;
    DatasetState m_state = DatasetState::Inactive;
    int m_cur = -1;
    bool m_eof = true, m_bof = true;
    Row m_buffer;          // values of the row being edited or inserted
    int m_insertAt = -1;   // shown position of a row being inserted
    bool m_modified = false; // a field of the buffer was changed
    bool m_updatingRecord = false;
    FilterExpression m_filterExpr;
    int m_controlsOff = 0;
    bool m_signalsWereBlocked = false;
};

// Connects grids and detail datasets to a dataset.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr) : QObject(parent) {}
    Dataset *dataset() const { return m_dataset; }
    void setDataset(Dataset *ds);
signals:
    void datasetChanged();
private:
    QPointer<Dataset> m_dataset;
};

} // namespace kw::data
