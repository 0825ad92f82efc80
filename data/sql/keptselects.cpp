#include "data/sql/keptselects.h"

#include "data/engineerror.h"
#include "data/sql/mirrors.h"
#include "data/sql/sqlconnection.h"
#include "data/sql/sqlvalues.h"

#include <QSet>
#include <algorithm>
#include <numeric>
#include <sqlite3.h>

namespace kw::data::sql {

bool KeptSelect::isFor(const QString &s, const QVector<QVariant> &p, const QVector<Mirror *> &t) const
{
    if (sql != s || tables != t || params.size() != p.size())
        return false;
    for (int i = 0; i < p.size(); ++i)
        if (params[i].userType() != p[i].userType() || !sameValue(params[i], p[i]))
            return false;
    return true;
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
