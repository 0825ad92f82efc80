#include "data/querydataset.h"

#include "data/engineerror.h"
#include "data/session.h"

#include <QScopeGuard>

namespace kw::data {

QueryDataset::QueryDataset(Database &db, const QString &name, QObject *parent)
    : Dataset(db, parent)
{
    setObjectName(name);
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

void QueryDataset::doClose()
{
    // Closing drops whatever was not applied.
    m_all.clear();
    m_rows.clear();
    m_cache.clear();
    m_columns.clear();
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

void QueryDataset::applyUpdates()
{
    if (!active())
        return;
    checkBrowseMode();
    if (!updateObject)
        throw EngineError(QStringLiteral("%1: no update object").arg(objectName()));
    // Whatever was written, every dataset on the tables sees it.
    const auto notify = qScopeGuard([this] { session().notifyTableChanged(nullptr); });
    for (int i = 0; i < m_cache.size(); ++i) {
        if (m_cache[i].applied || m_cache[i].dropped)
            continue;
        applyOne(i);
        m_cache[i].applied = true;
    }
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
