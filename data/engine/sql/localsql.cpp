// Local SQL: a statement in the engine's dialect is parsed and translated
// for SQLite; the tables it names are mirrored in an in-memory database
// (mirrors.cpp); an ordered SELECT is answered from its kept result where
// that can be brought up to date (keptselects.cpp), any other SELECT runs
// as translated; a data-changing statement is written back to the table
// files (writeback.cpp).
#include "data/engine/sql/localsql.h"

#include "data/engine/sql/keptselects.h"
#include "data/engine/sql/mirrors.h"
#include "data/engine/sql/resultrows.h"
#include "data/engine/sql/sqlconnection.h"
#include "data/engine/sql/sqldialect.h"
#include "data/engine/sql/sqlvalues.h"
#include "data/engine/sql/writeback.h"

#include <sqlite3.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kw::data {

using namespace kw::data::sql;

struct LocalSql::Impl {
    // Declared in the order they depend on each other: kept results point
    // at mirrors, mirrors live in the connection.
    SqlConnection db;
    Mirrors mirrors;
    KeptSelects kept;

    explicit Impl(TableProvider &provider) : mirrors(db, provider), kept(db, mirrors)
    {
#ifdef __GLIBC__
        // A query result is tens of megabytes of small blocks, freed when the
        // next result replaces it. By default glibc hands that memory back to
        // the system and faults it in again for the next result, which costs
        // more than building the rows; keep it in the heap instead.
        static const bool tuned = [] {
            mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
            mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
            return true;
        }();
        Q_UNUSED(tuned);
#endif
    }

    SqlResult run(const QString &statement, const QString &defaultDir, const QHash<QString, QVariant> &params)
    {
        const Statement st = parse(statement);
        QVector<Mirror *> tables;
        QStringList names;
        QVector<QStringList> columns;
        for (const auto &ref : st.tables) {
            Mirror *m = mirrors.mirrorFor(ref.name, defaultDir);
            tables << m;
            names << m->sqlName;
            columns << m->cols;
        }
        const Translation tr = translate(st, names, columns);
        // An index for each column compared with '=', except where the
        // other side is already indexed: the join probes that side, and
        // indexing the large side of a join would cost as much as the query.
        for (const auto &hint : tr.indexHints) {
            if (hint.partnerTable >= 0 && hint.partnerTable != hint.table
                && tables[hint.partnerTable]->indexed.contains(hint.partnerColumn.toLower()))
                continue;
            mirrors.ensureIndex(tables[hint.table], hint.column);
        }
        if (st.kind != Kind::Select) {
            SqlResult res;
            res.rowsAffected = writeBack(db, mirrors, st, tr, tables[st.target], params);
            return res;
        }
        const QVector<QVariant> values = paramValues(tr.params, params);
        if (tr.shape.plain && !tables.isEmpty())
            if (std::optional<SqlResult> res = kept.select(tr, tables, values))
                return *std::move(res);
        return select(tr, values);
    }

    // A SELECT as translated.
    SqlResult select(const Translation &tr, const QVector<QVariant> &params)
    {
        Stmt q;
        db.prepare(q, tr.sql);
        bindValues(q.s, params);
        SqlResult res;
        QVector<int> known;
        describeColumns(q.s, sqlite3_column_count(q.s), mirrors, res.columns, known);
        QVector<bool> typed(res.columns.size(), false);
        ResultRows rows;
        readRows(db, q.s, res.columns, known, typed, rows);
        res.rows = std::move(rows.rows);
        return res;
    }
};

LocalSql::LocalSql(TableProvider &provider) : d(std::make_unique<Impl>(provider)) {}

LocalSql::~LocalSql() = default;

SqlResult LocalSql::exec(const QString &statement, const QString &defaultDir,
                         const QHash<QString, QVariant> &params)
{
    return d->run(statement, defaultDir, params);
}

} // namespace kw::data
