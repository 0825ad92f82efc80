#pragma once
// A live table: posted rows are written to the table file at once.
#include "data/engine/dataset.h"

namespace kw::data {

class Database;
class ParadoxTable;

class TableDataset : public Dataset {
    Q_OBJECT
public:
    TableDataset(Database &db, const QString &name, QObject *parent = nullptr);

    QString tableName() const { return m_tableName; }
    void setTableName(const QString &fileName); // "Hrdf.DB", "Kits"

    // Order: a named secondary index (case-insensitive name), or a list of
    // fields ("Binder;Book") that an index covers; empty = primary key.
    // Changing either while open re-orders the rows at once.
    QString indexName() const { return m_indexName; }
    void setIndexName(const QString &name);
    QString indexFieldNames() const { return m_indexFields; }
    void setIndexFieldNames(const QString &fields);

    // Master/detail: only rows whose masterFields equal the master's current
    // values; new rows get those values.
    void setMasterSource(DataSource *ds);
    DataSource *masterSource() const { return m_master; }
    void setMasterFields(const QString &fields);
    QString masterFields() const { return m_masterFields; }

    bool readOnlyTable = false;

    // Deletes every row of the table.
    void emptyTable();
    // Moves to the row whose current-index key equals values; false if none.
    bool findKey(const QVariantList &values);

    ParadoxTable *table() const { return m_table; }

protected:
    void doOpen() override;
    void doClose() override;
    int sourceRowCount() const override;
    QVariant sourceValue(int row, const Field &f) const override;
    int doPost(const Row &buffer, bool inserting, int row) override;
    void doDelete(int row) override;
    void doRefresh() override;
    void rebuildRows() override;

public:
    QVariant lookup(const QString &keyField, const QVariant &key,
                    const QString &resultField) const override;

protected:
    void initNewRow(Row &buffer) override;
    void checkCanModify() const override;
    QVariant sourceBookmark(int sourceRow) const override;
    int sourceRowOfBookmark(const QVariant &bookmark) const override;

private:
    void ensureFresh() const;
    void resolveOrder();
    int compareRows(int a, int b) const;
    QVariantList masterValues() const;
    void hookMaster();
    void onMasterMoved();
    void beforeNewRow() override;

    QString m_tableName, m_indexName, m_indexFields, m_masterFields;
    QPointer<DataSource> m_master;
    ParadoxTable *m_table = nullptr;
    QVector<int> m_storedIndex;        // field position -> stored field index
    mutable QVector<int> m_rows;       // shown row -> table row position
    mutable quint64 m_seenChange = 0;
    QVector<int> m_order;             // stored fields of the current order
    bool m_orderCi = false;
    QVariantList m_lastMaster;
    bool m_inMasterMove = false;
    bool m_selfChange = false;
    QMetaObject::Connection m_masterConn;
    QList<QMetaObject::Connection> m_masterDsConns;
};

} // namespace kw::data
