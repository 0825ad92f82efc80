#pragma once
// Rows of a SELECT as the engine's values: the result columns described
// from their source fields, and the rows read with, for a result that is
// kept, the ORDER BY values and the rowids each row was built from.
#include "data/engine/sql/localsql.h"

#include <QVector>
#include <sqlite3.h>
#include <string>

namespace kw::data::sql {

class Mirrors;
class SqlConnection;

// One value of an ORDER BY term as SQLite compares it (BINARY collation).
struct SortValue {
    int type = SQLITE_NULL;
    qint64 i = 0;
    double d = 0;
    std::string bytes; // TEXT and BLOB

    static SortValue of(sqlite3_stmt *s, int c);
    int rank() const;
    static int compare(const SortValue &a, const SortValue &b);
};

// The rows of a result, each with the rowid of every table it was built
// from (nTables) and its ORDER BY values (nKeys), kept side by side.
struct ResultRows {
    int nTables = 0, nKeys = 0;
    QVector<Row> rows;
    QVector<qint64> rowids; // nTables per row
    QVector<SortValue> keys; // nKeys per row

    ResultRows() = default;
    ResultRows(int tables, int orderKeys) : nTables(tables), nKeys(orderKeys) {}
    int size() const { return int(rows.size()); }
    const qint64 *rowidsOf(int r) const { return rowids.constData() + qsizetype(r) * nTables; }
    const SortValue *keysOf(int r) const { return keys.constData() + qsizetype(r) * nKeys; }
    void reserve(int n);
    // Reads the ORDER BY values and rowids of the statement's current row
    // from column first on; the row itself is appended to rows after.
    void readExtra(sqlite3_stmt *q, int first);
    // Moves row r of from (with its rowids and values) to the end.
    void takeRow(ResultRows &from, int r);
};

// Names, types and sources of a prepared SELECT's first n columns; known[c]
// is 1 where the type comes from a table field.
void describeColumns(sqlite3_stmt *q, int n, const Mirrors &mirrors, QVector<SqlColumn> &columns,
                     QVector<int> &known);

// Steps a SELECT to its end, appending to out: the first columns.size()
// columns become the row, those after them its ORDER BY values and rowids.
// A computed column takes the type of the first value seen (typed).
void readRows(const SqlConnection &db, sqlite3_stmt *q, QVector<SqlColumn> &columns, const QVector<int> &known,
              QVector<bool> &typed, ResultRows &out);

} // namespace kw::data::sql
