#include "data/engine/querydataset.h"

#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"
#include "data/engine/valuecompare.h"

#include <QScopeGuard>
#include <optional>

namespace kw::data {

QueryDataset::QueryDataset(Database &db, const QString &name, QObject *parent)
    : Dataset(db, parent)
{
    setObjectName(name);
}

QString UpdateSql::changedColumnsSql(const QList<Column> &changed) const
{
    const QString table = QLatin1Char('"') + tableFile + QLatin1Char('"');
    auto column = [&](const QString &c) { return table + QStringLiteral(".\"") + c + QLatin1Char('"'); };
    QStringList sets, checks{QStringLiteral("  ") + column(keyColumn) + QStringLiteral(" = :\"") + keyParam
                             + QLatin1Char('"')};
    for (const Column &c : changed) {
        sets << QStringLiteral("  ") + column(c.name) + QStringLiteral(" = :\"") + c.name + QLatin1Char('"');
        // A blank reads as empty whether the file holds it as null or as ''.
        checks << (c.wasNull ? QStringLiteral("  and coalesce(") + column(c.name) + QStringLiteral(", '') = ''")
                             : QStringLiteral("  and ") + column(c.name) + QStringLiteral(" = :\"OLD_") + c.name
                                   + QLatin1Char('"'));
    }
    return (QStringList{QStringLiteral("update ") + table, QStringLiteral("set"), sets.join(QStringLiteral(",\n")),
                        QStringLiteral("where")}
            + checks)
        .join(QLatin1Char('\n'));
}

void QueryDataset::setSql(const QStringList &lines)
{
    close();
    m_sql = lines;
}

void QueryDataset::setSqlLine(int index, const QString &line)
{
    close();
    while (m_sql.size() <= index)
        m_sql << QString();
    m_sql[index] = line;
}

int QueryDataset::execSql()
{
    if (!database().connected())
        database().open();
    const SqlResult r = session().sql().exec(m_sql.join(QLatin1Char('\n')), database().directory(), m_params);
    session().notifyTableChanged(nullptr);
    return r.rowsAffected;
}

void QueryDataset::runQuery()
{
    if (!database().connected())
        database().open();
    SqlResult r = session().sql().exec(m_sql.join(QLatin1Char('\n')), database().directory(), m_params);
    m_columns = r.columns;
    m_readCounts.clear();
    for (const SqlColumn &c : std::as_const(m_columns))
        if (!c.sourceFile.isEmpty() && std::none_of(m_readCounts.cbegin(), m_readCounts.cend(),
                                                    [&](const auto &rc) { return rc.first == c.sourceFile; }))
            m_readCounts.append({c.sourceFile, session().paradoxTable(c.sourceFile)->changeCount()});
    m_all.clear();
    m_all.reserve(r.rows.size());
    for (Row &row : r.rows)
        m_all.push_back(QRow{std::move(row), -1});
}

void QueryDataset::doOpen()
{
    runQuery();
    m_cache.clear();
    if (fields().empty()) {
        for (int i = 0; i < m_columns.size(); ++i)
            createField(m_columns[i].name, m_columns[i].type, m_columns[i].size, i);
        return;
    }
    for (const auto &f : fields()) {
        if (f->kind != Field::Kind::Data)
            continue;
        int col = -1;
        for (int i = 0; i < m_columns.size() && col < 0; ++i)
            if (m_columns[i].name.compare(f->name, Qt::CaseInsensitive) == 0)
                col = i;
        if (col < 0)
            throw EngineError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), f->name));
        bindField(*f, col);
    }
}

bool QueryDataset::stale() const
{
    if (!active())
        return false;
    for (const auto &[file, count] : m_readCounts)
        if (session().paradoxTable(file)->changeCount() != count)
            return true;
    return false;
}

void QueryDataset::doClose()
{
    // Closing drops whatever was not applied.
    m_all.clear();
    m_rows.clear();
    m_cache.clear();
    m_columns.clear();
    m_readCounts.clear();
}

QVector<int> QueryDataset::keyColumns() const
{
    QVector<int> cols;
    for (const QString &k : keyFields)
        if (const Field *f = findField(k); f && fieldSource(*f) >= 0)
            cols << fieldSource(*f);
    return cols;
}

QVariant QueryDataset::sourceBookmark(int sourceRow) const
{
    const QVector<int> cols = keyColumns();
    if (cols.isEmpty() || sourceRow < 0 || sourceRow >= m_rows.size())
        return {};
    const Row &r = m_all[m_rows[sourceRow]].values;
    Row key;
    for (int c : cols) {
        if (r.value(c).isNull())
            return {}; // not stored yet
        key << r.value(c);
    }
    return QVariant(key);
}

int QueryDataset::sourceRowOfBookmark(const QVariant &bookmark) const
{
    const QVector<int> cols = keyColumns();
    const Row want = bookmark.value<Row>();
    if (cols.isEmpty() || want.size() != cols.size())
        return -1;
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row &r = m_all[m_rows[i]].values;
        bool same = true;
        for (int k = 0; k < cols.size() && same; ++k)
            same = r.value(cols[k]) == want[k];
        if (same)
            return i;
    }
    return -1;
}

// A row stored by an insert got its key from the table: it is the row with
// the values that were entered, and of those the one stored last (the
// highest key).
int QueryDataset::rowOfUnkeyedRecord(const Row &values) const
{
    const QVector<int> keys = keyColumns();
    int best = -1;
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row &r = m_all[m_rows[i]].values;
        bool same = true;
        for (const auto &f : fields())
            if (same && f->kind == Field::Kind::Data && !f->readOnly && fieldSource(*f) >= 0)
                same = compareValues(r.value(fieldSource(*f)), values.value(f->index()), false) == 0;
        if (!same)
            continue;
        if (best < 0 || (!keys.isEmpty() && compareValues(r.value(keys[0]),
                                                          m_all[m_rows[best]].values.value(keys[0]), false) > 0))
            best = i;
    }
    return best;
}

void QueryDataset::rebuildRows()
{
    m_rows.clear();
    m_rows.reserve(m_all.size());
    for (int i = 0; i < m_all.size(); ++i) {
        const Row &r = m_all[i].values;
        if (m_filtered && !filterAccepts([&](const QString &name) {
                const Field *f = findField(name);
                return f && fieldSource(*f) >= 0 ? r.value(fieldSource(*f)) : QVariant();
            }))
            continue;
        m_rows << i;
    }
}

int QueryDataset::sourceRowCount() const
{
    return m_rows.size();
}

QVariant QueryDataset::sourceValue(int row, const Field &f) const
{
    const int col = fieldSource(f);
    if (row < 0 || row >= m_rows.size() || col < 0)
        return {};
    return m_all[m_rows[row]].values.value(col);
}

void QueryDataset::checkCanModify() const
{
    if (!cachedUpdates)
        throw EngineError(QStringLiteral("Cannot modify a read-only dataset"));
}

int QueryDataset::doPost(const Row &buffer, bool inserting, int row)
{
    Row values(m_columns.size());
    int allIndex;
    if (inserting) {
        allIndex = row < m_rows.size() ? m_rows[row] : int(m_all.size());
        m_all.insert(allIndex, QRow{values, -1});
    } else {
        allIndex = m_rows[row];
        values = m_all[allIndex].values;
    }
    for (const auto &f : fields())
        if (f->kind == Field::Kind::Data && fieldSource(*f) >= 0)
            values[fieldSource(*f)] = buffer[f->index()];
    QRow &qr = m_all[allIndex];
    if (qr.cacheIndex >= 0) {
        Cached &c = m_cache[qr.cacheIndex];
        if (c.applied) {
            // Its statement ran in an apply that stopped later: the table
            // holds the row as applied, so this change modifies that row.
            c.kind = Cached::Modified;
            c.oldValues = c.newValues;
        }
        c.newValues = values;
        c.applied = false;
    } else {
        Cached c{inserting ? Cached::Inserted : Cached::Modified, inserting ? Row() : qr.values, values};
        m_cache.push_back(c);
        qr.cacheIndex = int(m_cache.size()) - 1;
    }
    qr.values = values;
    rebuildRows();
    return int(m_rows.indexOf(allIndex));
}

void QueryDataset::doDelete(int row)
{
    const int allIndex = m_rows[row];
    const QRow qr = m_all[allIndex];
    if (qr.cacheIndex >= 0) {
        Cached &c = m_cache[qr.cacheIndex];
        if (c.kind == Cached::Inserted && !c.applied) {
            c.dropped = true;
        } else {
            if (c.applied)
                c.oldValues = c.newValues; // what the table holds now
            c.kind = Cached::Deleted;
            c.applied = false;
            c.newValues.clear();
        }
    } else {
        m_cache.push_back(Cached{Cached::Deleted, qr.values, Row()});
    }
    m_all.remove(allIndex);
}

void QueryDataset::doRefresh()
{
    runQuery();
    m_cache.clear();
    rebuildRows();
}

// Parameter names of a statement (":Name" or :"Name with blanks"), quoted
// strings skipped.
static QStringList paramNames(const QString &sql)
{
    QStringList names;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            const int end = sql.indexOf(QLatin1Char('\''), i + 1);
            i = end < 0 ? sql.size() : end;
        } else if (c == QLatin1Char(':') && i + 1 < sql.size()) {
            if (sql[i + 1] == QLatin1Char('"')) {
                const int end = sql.indexOf(QLatin1Char('"'), i + 2);
                if (end > 0) {
                    names << sql.mid(i + 2, end - i - 2);
                    i = end;
                }
            } else if (sql[i + 1].isLetter() || sql[i + 1] == QLatin1Char('_')) {
                int j = i + 1;
                while (j < sql.size() && (sql[j].isLetterOrNumber() || sql[j] == QLatin1Char('_')))
                    ++j;
                names << sql.mid(i + 1, j - i - 1);
                i = j - 1;
            }
        }
    }
    return names;
}

void QueryDataset::applyOne(int ci)
{
    const Cached &c = m_cache[ci];
    if (c.kind == Cached::Modified && !updateObject->tableFile.isEmpty()) {
        applyChangedColumns(ci);
        return;
    }
    const QStringList &stmt = c.kind == Cached::Inserted ? updateObject->insertSql
                              : c.kind == Cached::Modified ? updateObject->modifySql
                                                           : updateObject->deleteSql;
    if (stmt.isEmpty())
        throw EngineError(QStringLiteral("%1: no update statement for this kind of change").arg(objectName()));
    const QString text = stmt.join(QLatin1Char('\n'));
    QHash<QString, QVariant> params;
    for (const QString &p : paramNames(text)) {
        const bool old = p.startsWith(QLatin1String("OLD_"), Qt::CaseInsensitive);
        const QString fieldName = old ? p.mid(4) : p;
        const Field *f = findField(fieldName);
        if (!f || fieldSource(*f) < 0)
            throw EngineError(QStringLiteral("Parameter '%1' not found").arg(p));
        const Row &vals = (old || c.kind == Cached::Deleted) ? c.oldValues : c.newValues;
        params.insert(p, vals.value(fieldSource(*f)));
    }
    session().sql().exec(text, database().directory(), params);
}

// A changed row writes the columns it changed, where the table still holds
// what the query read in them; a row changed elsewhere since matches nothing.
void QueryDataset::applyChangedColumns(int ci)
{
    const Cached &c = m_cache[ci];
    QList<UpdateSql::Column> changed;
    QStringList labels;
    QHash<QString, QVariant> params;
    for (const QString &col : std::as_const(updateObject->columns)) {
        const Field *f = findField(col);
        if (!f || fieldSource(*f) < 0)
            throw EngineError(QStringLiteral("Parameter '%1' not found").arg(col));
        const QVariant was = c.oldValues.value(fieldSource(*f)), now = c.newValues.value(fieldSource(*f));
        if (was.isNull() == now.isNull() && compareValues(was, now, false) == 0)
            continue;
        changed.append({col, was.isNull()});
        labels << f->displayLabel().trimmed();
        params.insert(col, now);
        if (!was.isNull())
            params.insert(QStringLiteral("OLD_") + col, was);
    }
    if (changed.isEmpty())
        return;
    const Field *key = findField(updateObject->keyParam.startsWith(QLatin1String("OLD_"))
                                     ? updateObject->keyParam.mid(4) : updateObject->keyParam);
    if (!key || fieldSource(*key) < 0)
        throw EngineError(QStringLiteral("Parameter '%1' not found").arg(updateObject->keyParam));
    params.insert(updateObject->keyParam, c.oldValues.value(fieldSource(*key)));
    const SqlResult r = session().sql().exec(updateObject->changedColumnsSql(changed), database().directory(), params);
    if (r.rowsAffected == 0)
        throw RowChangedError(QStringLiteral("This row was changed or deleted elsewhere after the list was read, "
                                             "so the change of %1 was not stored. The list has been read again: "
                                             "enter the change again if it still applies.")
                                  .arg(labels.join(QStringLiteral(", "))));
}

void QueryDataset::applyUpdates()
{
    if (!active())
        return;
    checkBrowseMode();
    if (!updateObject)
        throw EngineError(QStringLiteral("%1: no update object").arg(objectName()));
    // Whatever was written, every dataset on the tables sees it.
    const auto notify = qScopeGuard([this] { session().notifyTableChanged(nullptr); });
    std::optional<RowChangedError> conflict;
    for (int i = 0; i < m_cache.size(); ++i) {
        if (m_cache[i].applied || m_cache[i].dropped)
            continue;
        try {
            applyOne(i);
        } catch (const RowChangedError &e) {
            m_cache[i].dropped = true;
            if (!conflict)
                conflict = e;
            continue;
        }
        m_cache[i].applied = true;
    }
    if (conflict)
        throw *conflict;
}

bool QueryDataset::updatesPending() const
{
    for (const Cached &c : m_cache)
        if (!c.applied && !c.dropped)
            return true;
    return false;
}

void QueryDataset::commitUpdates()
{
    m_cache.clear();
    for (QRow &r : m_all)
        r.cacheIndex = -1;
}

void QueryDataset::cancelUpdates()
{
    if (!active())
        return;
    cancel();
    doRefresh();
    resetRows(0);
}

} // namespace kw::data
