#pragma once
// A query over table files. Non-live: with cached updates its edits stay in
// a cache until applied through an UpdateSql object.
#include "data/engine/dataset.h"
#include "data/engine/engineerror.h"
#include "data/engine/sql/localsql.h"

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

    // What the statements write, when known: the table file, its columns
    // (named as the query's fields) and the column with the parameter that
    // identifies a row. A change of a row then writes only the columns that
    // changed, and only while the table still holds the values it read
    // there, so that one page never writes stale values over another's.
    QString tableFile;
    QStringList columns;
    QString keyColumn, keyParam;
    // The modify statement for some columns: sets each to its parameter
    // where the key matches and the column still holds its old value
    // (parameter OLD_column, or empty when it was empty).
    struct Column {
        QString name;
        bool wasNull = false;
    };
    QString changedColumnsSql(const QList<Column> &changed) const;
};

// A cached change met a table row that was changed elsewhere after the query
// read it. The change is dropped rather than written over the newer values.
class RowChangedError : public EngineError {
public:
    using EngineError::EngineError;
};

class QueryDataset : public Dataset {
    Q_OBJECT
public:
    QueryDataset(Database &db, const QString &name, QObject *parent = nullptr);

    // The text as a list of lines; replacing a line closes the query.
    const QStringList &sql() const { return m_sql; }
    void setSql(const QStringList &lines);
    void setSqlLine(int index, const QString &line);
    // The line of the text that holds the ORDER BY clause (-1: none), set
    // where the statement is built; the clause is replaced there.
    int orderByLine = -1;
    QString orderBy() const { return m_sql.value(orderByLine); }
    void setOrderBy(const QString &clause) { setSqlLine(orderByLine, clause); }

    void setParam(const QString &name, const QVariant &value) { m_params[name] = value; }

    // Fields whose values identify a row (its bookmark): "Auto".
    QStringList keyFields;
    // Whether a table the query read was changed since (by anyone but the
    // query's own write-back, which reads again anyway).
    bool stale() const;

    // Runs a statement that returns no rows (INSERT, UPDATE, DELETE).
    int execSql();

    bool cachedUpdates = false;
    UpdateSql *updateObject = nullptr;

    bool updatesPending() const;
    // Posts a pending edit, then runs the matching statement for every
    // cached row. On an error the cache keeps every change not yet applied.
    // A change whose row was changed elsewhere since it was read is dropped
    // (the others are applied) and RowChangedError names it at the end.
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
    QVariant sourceBookmark(int sourceRow) const override;
    int sourceRowOfBookmark(const QVariant &bookmark) const override;
    int rowOfUnkeyedRecord(const Row &values) const override;

private:
    void runQuery();
    void applyOne(int cacheIndex);
    void applyChangedColumns(int cacheIndex);
    QVector<int> keyColumns() const;

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
    QVector<QPair<QString, quint64>> m_readCounts; // table files read, their change counts
};

} // namespace kw::data
