#include "data/engine/sql/keptselects.h"

#include "data/engine/engineerror.h"
#include "data/engine/sql/mirrors.h"
#include "data/engine/sql/sqlconnection.h"
#include "data/engine/sql/sqlvalues.h"

#include <QSet>
#include <algorithm>
#include <numeric>
#include <sqlite3.h>

namespace kw::data::sql {

namespace {

bool sameParams(const QVector<QVariant> &a, const QVector<QVariant> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].userType() != b[i].userType() || !sameValue(a[i], b[i]))
            return false;
    return true;
}

// An ORDER BY term that names a column of a table of FROM.
struct ColumnTerm {
    int table = -1;
    QString column; // the mirror column
};

// Reads an identifier at pos: "quoted" (a doubled quote stands for one) or
// bare.
bool readIdent(const QString &s, int &pos, QString &out)
{
    out.clear();
    if (pos < s.size() && s[pos] == u'"') {
        for (++pos; pos < s.size(); ++pos) {
            if (s[pos] != u'"') {
                out += s[pos];
            } else if (pos + 1 < s.size() && s[pos + 1] == u'"') {
                out += u'"';
                ++pos;
            } else {
                ++pos;
                return !out.isEmpty();
            }
        }
        return false;
    }
    const int start = pos;
    while (pos < s.size() && (s[pos].isLetterOrNumber() || s[pos] == u'_'))
        ++pos;
    out = s.mid(start, pos - start);
    return !out.isEmpty() && !out[0].isDigit();
}

QString unquoted(const QString &ident)
{
    int pos = 0;
    QString out;
    return readIdent(ident, pos, out) && pos == ident.size() ? out : ident;
}

// The ORDER BY terms when each is a column of a table of FROM ("E.NSN",
// "L.\"Insp Type\"" or a bare name only one table has and no result column
// is called), followed only by ASC or DESC. Anything else (an expression,
// a result column, a collation) gives false.
bool columnTerms(const Translation &tr, const QVector<Mirror *> &tables, const QVector<SqlColumn> &resultColumns,
                 QVector<ColumnTerm> &out)
{
    const SelectShape &sh = tr.shape;
    const QString &s = tr.sql;
    out.clear();
    for (int k = 0; k < sh.termStart.size(); ++k) {
        const QString term = s.mid(sh.termStart[k], sh.termEnd[k] - sh.termStart[k]).trimmed();
        int pos = 0;
        QString first, second;
        if (!readIdent(term, pos, first))
            return false;
        ColumnTerm t;
        if (pos < term.size() && term[pos] == u'.') {
            ++pos;
            if (!readIdent(term, pos, second))
                return false;
            for (int i = 0; i < sh.tableAliases.size(); ++i)
                if (unquoted(sh.tableAliases[i]).compare(first, Qt::CaseInsensitive) == 0)
                    t.table = i;
        } else {
            second = first;
            for (const SqlColumn &c : resultColumns)
                if (c.name.compare(second, Qt::CaseInsensitive) == 0)
                    return false;
            for (int i = 0; i < tables.size(); ++i) {
                if (Mirrors::columnIndex(tables[i], second) < 0)
                    continue;
                if (t.table >= 0)
                    return false; // ambiguous
                t.table = i;
            }
        }
        if (pos != term.size() || t.table < 0 || t.table >= tables.size())
            return false;
        const int col = Mirrors::columnIndex(tables[t.table], second);
        if (col < 0)
            return false;
        t.column = tables[t.table]->cols[col];
        // What follows the term: its direction, then a comma or the end.
        const int next = k + 1 < sh.termStart.size() ? sh.termStart[k + 1] : int(s.size());
        QString gap = s.mid(sh.termEnd[k], next - sh.termEnd[k]).trimmed();
        if (gap.startsWith(QLatin1String("DESC"), Qt::CaseInsensitive))
            gap = gap.mid(4).trimmed();
        else if (gap.startsWith(QLatin1String("ASC"), Qt::CaseInsensitive))
            gap = gap.mid(3).trimmed();
        if (gap != (k + 1 < sh.termStart.size() ? QStringLiteral(",") : QString()) && gap != QLatin1String(";"))
            return false;
        out << t;
    }
    return !out.isEmpty();
}

// One mirror column's values as SQLite sorts them: the position of each
// rowid's value, and each value's rank (equal values share one).
struct SortedColumn {
    QVector<SortValue> values;
    QVector<int> at;   // rowid -> position in values; -1 for none
    QVector<int> rank; // per position
};

void readSortedColumn(SqlConnection &db, const Mirror *m, const QString &column, SortedColumn &out)
{
    Stmt q;
    db.prepare(q, QStringLiteral("SELECT rowid, %1 FROM %2").arg(quoteIdent(column), quoteIdent(m->sqlName)));
    QVector<qint64> ids;
    ids.reserve(m->rowidAt.size());
    out.values.reserve(m->rowidAt.size());
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW) {
        ids << sqlite3_column_int64(q.s, 0);
        out.values << SortValue::of(q.s, 1);
    }
    if (rc != SQLITE_DONE)
        db.fail();
    const qint64 maxId = ids.isEmpty() ? 0 : *std::max_element(ids.begin(), ids.end());
    out.at.fill(-1, int(maxId + 1));
    for (int p = 0; p < ids.size(); ++p)
        if (ids[p] > 0)
            out.at[int(ids[p])] = p;
    QVector<int> order(out.values.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return SortValue::compare(out.values[a], out.values[b]) < 0; });
    out.rank.resize(order.size());
    int rank = 0;
    for (int i = 0; i < order.size(); ++i) {
        if (i > 0 && SortValue::compare(out.values[order[i - 1]], out.values[order[i]]) != 0)
            ++rank;
        out.rank[order[i]] = rank;
    }
}

} // namespace

bool KeptSelect::isFor(const QString &s, const QVector<QVariant> &p, const QVector<Mirror *> &t) const
{
    return sql == s && tables == t && sameParams(params, p);
}

bool KeptSelect::sameRowsAs(const QString &b, const QVector<QVariant> &p, const QVector<Mirror *> &t) const
{
    return body == b && tables == t && sameParams(params, p);
}

KeptSelects::KeptSelects(SqlConnection &db, Mirrors &mirrors) : m_db(db), m_mirrors(mirrors) {}

KeptSelects::~KeptSelects() = default;

std::optional<SqlResult> KeptSelects::select(const Translation &tr, const QVector<Mirror *> &tables,
                                             const QVector<QVariant> &params)
{
    const QString sql = extendedSql(tr, -1, 0);
    for (auto &c : m_kept)
        if (c->isFor(sql, params, tables)) {
            c->lastUse = ++m_useCounter;
            if (bringUpToDate(*c, tr))
                return c->result();
            break;
        }
    if (KeptSelect *c = reorder(sql, tr, tables, params))
        return c->result();
    if (KeptSelect *c = runAfresh(sql, tr, tables, params))
        return c->result();
    return std::nullopt;
}

QString KeptSelects::extendedSql(const Translation &tr, int table, int count, bool narrow)
{
    const SelectShape &sh = tr.shape;
    const QString &s = tr.sql;
    QString extra;
    for (int k = 0; k < sh.termStart.size(); ++k)
        extra += QStringLiteral(", %1 AS \"kw_key%2\"").arg(s.mid(sh.termStart[k], sh.termEnd[k] - sh.termStart[k])).arg(k);
    QString tieBreak;
    for (int k = 0; k < sh.tableAliases.size(); ++k) {
        extra += QStringLiteral(", %1.rowid AS \"kw_rowid%2\"").arg(sh.tableAliases[k]).arg(k);
        tieBreak += QStringLiteral(", %1.rowid").arg(sh.tableAliases[k]);
    }
    QString only;
    if (table >= 0) {
        QStringList marks;
        for (int i = 0; i < count; ++i)
            marks << u'?' + QString::number(tr.params.size() + 1 + i);
        only = QStringLiteral("%1.rowid IN (%2)").arg(sh.tableAliases[table], marks.join(u','));
    }
    QString out = narrow ? s.left(sh.listAt) + u' ' + extra.mid(1) + u' ' : s.left(sh.fromAt) + extra + u' ';
    if (sh.whereAfter >= 0) {
        out += s.mid(sh.fromAt, sh.whereAfter - sh.fromAt) + QStringLiteral(" (")
            + s.mid(sh.whereAfter, sh.condEnd - sh.whereAfter) + u')';
        if (!only.isEmpty())
            out += QStringLiteral(" AND ") + only;
    } else {
        out += s.mid(sh.fromAt, sh.condEnd - sh.fromAt);
        if (!only.isEmpty())
            out += QStringLiteral(" WHERE ") + only;
    }
    const int lastEnd = sh.termEnd.last();
    out += u' ' + s.mid(sh.condEnd, lastEnd - sh.condEnd);
    // The direction of the last term stays with it.
    if (sh.termDesc.last())
        out += QStringLiteral(" DESC");
    out += tieBreak;
    QString rest = s.mid(lastEnd);
    // Drop a trailing ASC/DESC of the last term: written above.
    const QString trimmed = rest.trimmed();
    if (trimmed.startsWith(QLatin1String("DESC"), Qt::CaseInsensitive))
        rest = trimmed.mid(4);
    else if (trimmed.startsWith(QLatin1String("ASC"), Qt::CaseInsensitive))
        rest = trimmed.mid(3);
    return out + rest;
}

// Whether every result column is a field of a Paradox table that FROM
// names once; fills the column sources when it is.
bool KeptSelects::findSources(KeptSelect &c, sqlite3_stmt *q)
{
    const int n = c.columns.size();
    c.narrow = false;
    c.srcTable.fill(-1, n);
    c.srcField.fill(-1, n);
    for (int col = 0; col < n; ++col) {
        const char *tab = sqlite3_column_table_name(q, col);
        const char *org = sqlite3_column_origin_name(q, col);
        if (!tab || !org || !c.known[col])
            return false;
        const QString name = QString::fromUtf8(tab);
        int found = -1;
        for (int i = 0; i < c.tables.size(); ++i) {
            if (c.tables[i]->sqlName != name)
                continue;
            if (found >= 0)
                return false; // the same table twice: which one is unknown
            found = i;
        }
        if (found < 0 || c.tables[found]->dbase)
            return false;
        c.srcTable[col] = found;
        c.srcField[col] = Mirrors::columnIndex(c.tables[found], QString::fromUtf8(org));
        if (c.srcField[col] < 0)
            return false;
    }
    c.narrow = true;
    return true;
}

// Steps a statement of ORDER BY values and rowids; the rows are taken from
// the tables' rows.
void KeptSelects::readNarrow(sqlite3_stmt *q, const KeptSelect &c, ResultRows &out) const
{
    const int nT = c.tables.size(), n = c.srcTable.size();
    // rowid -> position of the row in its table
    QVector<QVector<int>> posOf(nT);
    for (int i = 0; i < nT; ++i) {
        const Mirror *m = c.tables[i];
        if (!c.srcTable.contains(i))
            continue;
        posOf[i].fill(-1, int(m->nextRowid + 1));
        for (int p = 0; p < m->rowidAt.size(); ++p) {
            const qint64 id = m->rowidAt[p];
            if (id > 0 && id < posOf[i].size())
                posOf[i][int(id)] = p;
        }
    }
    int rc;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
        out.readExtra(q, 0);
        const qint64 *ids = out.rowidsOf(out.size());
        Row row(n);
        for (int col = 0; col < n; ++col) {
            const int t = c.srcTable[col];
            const qint64 id = ids[t];
            const int p = id > 0 && id < posOf[t].size() ? posOf[t][int(id)] : -1;
            if (p < 0)
                throw EngineError(QStringLiteral("Row not found in table.\nFile: %1").arg(c.tables[t]->path));
            const Row &src = c.tables[t]->snapshot[p];
            if (c.srcField[col] < src.size())
                row[col] = src[c.srcField[col]];
        }
        out.rows.append(std::move(row));
    }
    if (rc != SQLITE_DONE)
        m_db.fail();
}

// Runs the extended statement afresh and keeps its result; null when SQLite
// does not take it.
KeptSelect *KeptSelects::runAfresh(const QString &sql, const Translation &tr, const QVector<Mirror *> &tables,
                                   const QVector<QVariant> &params)
{
    Stmt q;
    if (!m_db.tryPrepare(q, sql))
        return nullptr;
    bindValues(q.s, params);
    auto c = std::make_unique<KeptSelect>();
    c->sql = sql;
    c->tr = tr;
    c->body = tr.sql.left(tr.shape.condEnd);
    c->params = params;
    c->tables = tables;
    c->desc = tr.shape.termDesc;
    c->rows = ResultRows(int(tables.size()), int(c->desc.size()));
    describeColumns(q.s, sqlite3_column_count(q.s) - c->rows.nKeys - c->rows.nTables, m_mirrors, c->columns,
                    c->known);
    c->typed.fill(false, c->columns.size());
    Stmt nq;
    if (findSources(*c, q.s) && !m_db.tryPrepare(nq, extendedSql(tr, -1, 0, true)))
        c->narrow = false;
    if (c->narrow) {
        bindValues(nq.s, params);
        readNarrow(nq.s, *c, c->rows);
    } else {
        readRows(m_db, q.s, c->columns, c->known, c->typed, c->rows);
    }
    for (Mirror *m : tables) {
        c->epochs << m->epoch;
        c->logAt << int(m->changeLog.size());
    }
    c->lastUse = ++m_useCounter;
    KeptSelect *kept = c.get();
    keep(std::move(c));
    return kept;
}

// The rows of a kept result of the same statement under another order, when
// that order is of table columns: each row's new ORDER BY values are read
// from the mirror columns by the rowids it was built from, and the rows
// sorted by them, rowids breaking ties, as a fresh run sorts them. Null when
// there is no such result or the order is not one of table columns.
KeptSelect *KeptSelects::reorder(const QString &sql, const Translation &tr, const QVector<Mirror *> &tables,
                                 const QVector<QVariant> &params)
{
    const QString body = tr.sql.left(tr.shape.condEnd);
    auto found = std::find_if(m_kept.begin(), m_kept.end(),
                              [&](const auto &e) { return e->sameRowsAs(body, params, tables); });
    if (found == m_kept.end())
        return nullptr;
    KeptSelect &base = **found;
    QVector<ColumnTerm> terms;
    if (!columnTerms(tr, tables, base.columns, terms) || !bringUpToDate(base, base.tr))
        return nullptr;
    base.lastUse = ++m_useCounter;

    const int nT = int(tables.size()), nK = int(terms.size()), n = base.rows.size();
    QVector<SortedColumn> cols(nK);
    for (int k = 0; k < nK; ++k)
        readSortedColumn(m_db, tables[terms[k].table], terms[k].column, cols[k]);
    // Each row's value positions and ranks, term by term.
    QVector<int> pos(qsizetype(n) * nK), rank(qsizetype(n) * nK);
    for (int r = 0; r < n; ++r) {
        const qint64 *ids = base.rows.rowidsOf(r);
        for (int k = 0; k < nK; ++k) {
            const qint64 id = ids[terms[k].table];
            const SortedColumn &col = cols[k];
            const int p = id > 0 && id < col.at.size() ? col.at[int(id)] : -1;
            if (p < 0)
                return nullptr; // not in step with the mirror: let SQLite answer
            pos[qsizetype(r) * nK + k] = p;
            rank[qsizetype(r) * nK + k] = tr.shape.termDesc[k] ? -col.rank[p] : col.rank[p];
        }
    }
    QVector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const int *ra = rank.constData() + qsizetype(a) * nK, *rb = rank.constData() + qsizetype(b) * nK;
        for (int k = 0; k < nK; ++k)
            if (ra[k] != rb[k])
                return ra[k] < rb[k];
        return std::lexicographical_compare(base.rows.rowidsOf(a), base.rows.rowidsOf(a) + nT,
                                            base.rows.rowidsOf(b), base.rows.rowidsOf(b) + nT);
    });

    auto c = std::make_unique<KeptSelect>();
    c->sql = sql;
    c->tr = tr;
    c->body = body;
    c->params = params;
    c->tables = tables;
    c->epochs = base.epochs;
    c->logAt = base.logAt;
    c->desc = tr.shape.termDesc;
    c->columns = base.columns;
    c->known = base.known;
    c->typed = base.typed;
    c->narrow = base.narrow;
    c->srcTable = base.srcTable;
    c->srcField = base.srcField;
    c->rows = ResultRows(nT, nK);
    c->rows.reserve(n);
    for (int r : std::as_const(order)) {
        c->rows.rows.append(base.rows.rows[r]);
        const qint64 *ids = base.rows.rowidsOf(r);
        for (int i = 0; i < nT; ++i)
            c->rows.rowids.append(ids[i]);
        for (int k = 0; k < nK; ++k)
            c->rows.keys.append(cols[k].values[pos[qsizetype(r) * nK + k]]);
    }
    c->lastUse = ++m_useCounter;
    KeptSelect *kept = c.get();
    keep(std::move(c));
    return kept;
}

// Replaces the same statement's entry, else the least recently used one
// when eight are kept.
void KeptSelects::keep(std::unique_ptr<KeptSelect> c)
{
    auto same = std::find_if(m_kept.begin(), m_kept.end(),
                             [&](const auto &e) { return e->isFor(c->sql, c->params, c->tables); });
    if (same == m_kept.end() && m_kept.size() >= 8)
        same = std::min_element(m_kept.begin(), m_kept.end(),
                                [](const auto &a, const auto &b) { return a->lastUse < b->lastUse; });
    if (same != m_kept.end())
        *same = std::move(c);
    else
        m_kept.push_back(std::move(c));
}

// Brings a kept result up to date with the rows logged since. False when
// it has to run afresh (a table reloaded, or many rows changed).
bool KeptSelects::bringUpToDate(KeptSelect &c, const Translation &tr)
{
    const int nT = c.tables.size();
    QVector<QSet<qint64>> changed(nT);
    qint64 total = 0;
    for (int i = 0; i < nT; ++i) {
        const Mirror *m = c.tables[i];
        if (m->epoch != c.epochs[i] || c.logAt[i] > m->changeLog.size())
            return false;
        for (int k = c.logAt[i]; k < m->changeLog.size(); ++k)
            changed[i].insert(m->changeLog[k]);
        total += changed[i].size();
    }
    if (total == 0)
        return true;
    if (total > std::max<qint64>(64, c.rows.size() / 16))
        return false;

    // Rows built from a changed row go; they come back as they are now.
    ResultRows kept(nT, c.rows.nKeys);
    kept.reserve(c.rows.size());
    for (int r = 0; r < c.rows.size(); ++r) {
        const qint64 *ids = c.rows.rowidsOf(r);
        bool hit = false;
        for (int i = 0; i < nT && !hit; ++i)
            hit = !changed[i].isEmpty() && changed[i].contains(ids[i]);
        if (!hit)
            kept.takeRow(c.rows, r);
    }
    ResultRows fresh = rowsBuiltFrom(c, tr, changed);
    mergeInOrder(c, kept, fresh);
    for (int i = 0; i < nT; ++i)
        c.logAt[i] = int(c.tables[i]->changeLog.size());
    return true;
}

// The rows the statement gives now that are built from changed rows, each
// once (a row built from changed rows of two tables comes twice).
ResultRows KeptSelects::rowsBuiltFrom(KeptSelect &c, const Translation &tr, const QVector<QSet<qint64>> &changed)
{
    const int nT = c.tables.size();
    ResultRows fresh(nT, c.rows.nKeys);
    QSet<QByteArray> seen;
    for (int i = 0; i < nT; ++i) {
        if (changed[i].isEmpty())
            continue;
        Stmt q;
        m_db.prepare(q, extendedSql(tr, i, int(changed[i].size()), c.narrow));
        bindValues(q.s, c.params);
        int p = int(c.params.size()) + 1;
        for (qint64 id : std::as_const(changed[i]))
            sqlite3_bind_int64(q.s, p++, id);
        ResultRows got(nT, c.rows.nKeys);
        if (c.narrow)
            readNarrow(q.s, c, got);
        else
            readRows(m_db, q.s, c.columns, c.known, c.typed, got);
        for (int r = 0; r < got.size(); ++r) {
            const QByteArray tuple(reinterpret_cast<const char *>(got.rowidsOf(r)), qsizetype(nT * sizeof(qint64)));
            if (seen.contains(tuple))
                continue;
            seen.insert(tuple);
            fresh.takeRow(got, r);
        }
    }
    return fresh;
}

// Sorts the fresh rows and merges them into the kept ones (both in the
// statement's order, rowids breaking ties) as c's rows.
void KeptSelects::mergeInOrder(KeptSelect &c, ResultRows &kept, ResultRows &fresh)
{
    const int nT = c.rows.nTables, nK = c.rows.nKeys;
    const auto compare = [&](const ResultRows &a, int ra, const ResultRows &b, int rb) {
        const SortValue *ka = a.keysOf(ra), *kb = b.keysOf(rb);
        for (int k = 0; k < nK; ++k)
            if (const int d = SortValue::compare(ka[k], kb[k]))
                return c.desc[k] ? -d : d;
        const qint64 *ia = a.rowidsOf(ra), *ib = b.rowidsOf(rb);
        for (int i = 0; i < nT; ++i)
            if (ia[i] != ib[i])
                return ia[i] < ib[i] ? -1 : 1;
        return 0;
    };
    QVector<int> order(fresh.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return compare(fresh, a, fresh, b) < 0; });

    ResultRows merged(nT, nK);
    merged.reserve(kept.size() + fresh.size());
    int a = 0, b = 0;
    while (a < kept.size() || b < order.size()) {
        const bool takeFresh = a >= kept.size() || (b < order.size() && compare(fresh, order[b], kept, a) < 0);
        if (takeFresh)
            merged.takeRow(fresh, order[b++]);
        else
            merged.takeRow(kept, a++);
    }
    c.rows = std::move(merged);
}

} // namespace kw::data::sql
