#pragma once
// A query over table files. Non-live: with cached updates its edits stay in
// a cache until applied through an UpdateSql object.
#include "data/dataset.h"
#include "data/sql/localsql.h"

#include <QHash>
#include <QStringList>

namespace kw::data {

class Database;

// Insert, modify and delete statements for a query's cached rows.
// Parameters name the query's fields; OLD_Field is the value before the edit.
class UpdateSql : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    QStringList insertSql, modifySql, deleteSql;
};

class QueryDataset : public Dataset {
    Q_OBJECT
public:
    QueryDataset(Database &db, const QString &name, QObject *parent = nullptr);

    // The text as a list of lines; replacing a line closes the query.
    const QStringList &sql() const { return m_sql; }
    void setSql(const QStringList &lines);
    void setSqlLine(int index, const QString &line);

    void setParam(const QString &name, const QVariant &value) { m_params[name] = value; }

    // Runs a statement that returns no rows (INSERT, UPDATE, DELETE).
    int execSql();

    bool cachedUpdates = false;
    UpdateSql *updateObject = nullptr;

    bool updatesPending() const;
    // Posts a pending edit, then runs the matching statement for every
    // cached row. On an error the cache keeps every change not yet applied.
    void applyUpdates();
    void commitUpdates();  // empties the cache
    void cancelUpdates();  // drops the cached changes and restores the rows

protected:
    void doOpen() override;
    void doClose() override;
    int sourceRowCount() const override;
    QVariant sourceValue(int row, const Field &f) const override;
    int doPost(const Row &buffer, bool inserting, int row) override;
    void doDelete(int row) override;
    void doRefresh() override;
    void rebuildRows() override;
    void checkCanModify() const override;

private:
    void runQuery();
    void applyOne(int cacheIndex);

    struct Cached {
        enum Kind { Inserted, Modified, Deleted } kind;
        Row oldValues;   // as read (empty for inserts)
        Row newValues;   // after the edit (empty for deletes)
        bool applied = false;
        bool dropped = false; // an insert deleted again before it was applied
    };
    struct QRow {
        Row values;
        int cacheIndex = -1; // entry in m_cache for a changed row
    };

    QStringList m_sql;
    QHash<QString, QVariant> m_params;
    QVector<SqlColumn> m_columns;
    QVector<QRow> m_all;           // rows as read plus cached changes
    mutable QVector<int> m_rows;   // shown row -> m_all index
    QVector<Cached> m_cache;
};

} // namespace kw::data
