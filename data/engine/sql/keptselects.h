#pragma once
// The kept results of ordered SELECTs. The last result of each statement
// is kept with the rowids each row was built from and its ORDER BY values;
// when the tables change by a few rows, only the rows built from those are
// read again and merged in, which gives the same rows in the same order as
// running the statement afresh. A statement that differs from a kept one
// only in an ORDER BY of table columns (a click on a grid's column title)
// takes the kept rows sorted anew instead of joining the tables again.
#include "data/engine/sql/localsql.h"
#include "data/engine/sql/resultrows.h"
#include "data/engine/sql/sqldialect.h"

#include <QSet>
#include <memory>
#include <optional>
#include <vector>

namespace kw::data::sql {

struct Mirror;
class Mirrors;
class SqlConnection;

// One kept result.
struct KeptSelect {
    QString sql; // the extended statement
    Translation tr; // of the statement as written
    QString body;   // the statement up to its ORDER BY
    QVector<QVariant> params;
    QVector<Mirror *> tables;
    QVector<quint64> epochs; // of each table when last brought up to date
    QVector<int> logAt;      // position in each table's change log then
    QVector<bool> desc;      // per ORDER BY term
    QVector<SqlColumn> columns;
    ResultRows rows;
    QVector<int> known;  // 1 = column type from a source field
    QVector<bool> typed; // computed column typed by a value seen
    // When every column is a field of a Paradox table named once in FROM,
    // SQLite only joins and sorts rowids; the values come from the table
    // rows themselves (no copies of the texts, a much smaller sort).
    bool narrow = false;
    QVector<int> srcTable, srcField; // per column
    quint64 lastUse = 0;

    bool isFor(const QString &s, const QVector<QVariant> &p, const QVector<Mirror *> &t) const;
    // The same rows whatever the order.
    bool sameRowsAs(const QString &b, const QVector<QVariant> &p, const QVector<Mirror *> &t) const;
    SqlResult result() const { return {columns, rows.rows, 0}; }
};

class KeptSelects {
public:
    KeptSelects(SqlConnection &db, Mirrors &mirrors);
    ~KeptSelects();

    // The result of an ordered SELECT (tr.shape.plain) over tables: the
    // kept one brought up to date where it can be, else run afresh and
    // kept. Empty when SQLite does not take the extended statement (an
    // ORDER BY naming a result column alias, say): the caller then runs the
    // statement as written.
    std::optional<SqlResult> select(const Translation &tr, const QVector<Mirror *> &tables,
                                    const QVector<QVariant> &params);

private:
    // The statement with its ORDER BY values and the rowid of each table as
    // extra result columns, the rowids as the last sort keys (so that rows
    // with equal values keep one order), and, with table >= 0, only the
    // rows built from `count` rowids of that table (parameters after the
    // statement's own). narrow: only those extra columns.
    static QString extendedSql(const Translation &tr, int table, int count, bool narrow = false);
    static bool findSources(KeptSelect &c, sqlite3_stmt *q);
    void readNarrow(sqlite3_stmt *q, const KeptSelect &c, ResultRows &out) const;
    KeptSelect *runAfresh(const QString &sql, const Translation &tr, const QVector<Mirror *> &tables,
                          const QVector<QVariant> &params);
    KeptSelect *reorder(const QString &sql, const Translation &tr, const QVector<Mirror *> &tables,
                        const QVector<QVariant> &params);
    void keep(std::unique_ptr<KeptSelect> c);
    bool bringUpToDate(KeptSelect &c, const Translation &tr);
    ResultRows rowsBuiltFrom(KeptSelect &c, const Translation &tr, const QVector<QSet<qint64>> &changed);
    static void mergeInOrder(KeptSelect &c, ResultRows &kept, ResultRows &fresh);

    SqlConnection &m_db;
    Mirrors &m_mirrors;
    std::vector<std::unique_ptr<KeptSelect>> m_kept; // eight at most
    quint64 m_useCounter = 0;
};

} // namespace kw::data::sql
