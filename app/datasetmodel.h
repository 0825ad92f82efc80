#pragma once
// A Qt table model over one of the engine's datasets: the dataset's fields
// as columns (titles and widths in characters from the field declarations
// unless a column overrides them), its shown rows as rows. Edits go through
// the dataset (move to the row, set the field), so the engine's rules and
// errors apply exactly as they do for any other caller.
#include "data/engine/dataset.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <functional>

namespace kw::app {

struct GridColumn {
    QString fieldName;
    QString title;   // empty: the field's label
    int width = -1;  // characters; -1: the field's display width
};

// Columns for the named fields, titles and widths from the fields.
QList<GridColumn> gridColumns(const QStringList &fieldNames);

class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The stored value of a cell, unformatted.
    static constexpr int ValueRole = Qt::UserRole + 1;

    explicit DatasetModel(QObject *parent = nullptr);

    void setDataSource(kw::data::DataSource *ds);
    kw::data::DataSource *dataSource() const { return m_source; }
    void setDataset(kw::data::Dataset *ds);
    kw::data::Dataset *dataset() const { return m_dataset; }

    // Empty: every visible field of the dataset, in field order.
    void setColumns(const QList<GridColumn> &columns);
    // A list that only shows (drop-down lists of the column editors).
    void setReadOnly(bool on) { m_readOnly = on; }
    bool isReadOnly() const { return m_readOnly; }

    kw::data::Field *fieldAt(int column) const;
    QString fieldNameAt(int column) const;
    QString titleAt(int column) const;
    int widthAt(int column) const; // characters
    int columnOfField(const QString &name) const; // -1 when not shown
    bool columnEditable(int column) const;

    // Maps a stored value to its shown text for a field with a named editor
    // ("Y" -> "Year"); an empty result keeps the default text.
    using DisplayMapper = std::function<QString(const kw::data::Field &, const QVariant &)>;
    void setDisplayMapper(DisplayMapper m) { m_mapper = std::move(m); }

    // Text of a value as grids show it.
    static QString formatValue(const kw::data::Field &f, const QVariant &v);
    // Value of a text typed for field f; throws the engine's conversion errors.
    static QVariant parseText(const kw::data::Field &f, const QString &text);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // Re-reads row count and columns from the dataset.
    void reload();
    // While held (calls nest), a re-read of the rows waits; releasing the
    // last hold re-reads once if anything asked for it meanwhile.
    void holdReload(bool on);
    bool reloadPending() const { return m_resetPending; }

signals:
    // Emitted before and after the model is reset to the dataset's rows.
    void aboutToReload();
    void reloaded();

private:
    void attach(kw::data::Dataset *ds);
    void sync();
    void onRowChanged(int row);
    void rebuildColumns();
    struct Column {
        QString fieldName, title;
        int width = 10;
    };
    QPointer<kw::data::DataSource> m_source;
    QPointer<kw::data::Dataset> m_dataset;
    QList<GridColumn> m_requested;
    QList<Column> m_columns;
    int m_rows = 0;
    bool m_readOnly = false;
    bool m_resetPending = false;
    int m_hold = 0;
    DisplayMapper m_mapper;
    QList<QMetaObject::Connection> m_conns;
};

} // namespace kw::app
