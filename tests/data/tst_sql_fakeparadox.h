#pragma once
// An in-memory ParadoxTable for the local SQL tests: key order, AutoInc,
// key violations and a switch that makes a write fail, so that write-back
// and undo can be checked without table files.
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/sql/localsql.h"
#include "fielddefs.h"

#include <QDate>
#include <QHash>

namespace kw::data::test {

inline int compareValues(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return int(!a.isNull()) - int(!b.isNull());
    if (a.userType() == QMetaType::QString && b.userType() == QMetaType::QString)
        return (*static_cast<const QString *>(a.constData())).compare((*static_cast<const QString *>(b.constData())));
    if (a.userType() == QMetaType::Int && b.userType() == QMetaType::Int)
        return (*static_cast<const int *>(a.constData())) < (*static_cast<const int *>(b.constData())) ? -1 : ((*static_cast<const int *>(b.constData())) < (*static_cast<const int *>(a.constData())) ? 1 : 0);
    if (a.userType() == QMetaType::QString)
        return a.toString().compare(b.toString());
    if (a.userType() == QMetaType::QDate)
        return a.toDate() < b.toDate() ? -1 : (b.toDate() < a.toDate() ? 1 : 0);
    const double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : (y < x ? 1 : 0);
}

class FakeParadox : public ParadoxTable {
public:
    FakeParadox(QString path, TableDef def) : m_path(std::move(path)), m_def(std::move(def)) {}

    QString path() const override { return m_path; }
    const TableDef &def() const override { return m_def; }
    int formatLevel() const override { return 7; }
    int rowCount() const override { return int(m_rows.size()); }
    const Row &row(int i) const override { return m_rows.at(i); }

    int findKey(const Row &key) const override
    {
        const int i = lowerBound(key);
        return i < m_rows.size() && compareKey(m_rows[i], key) == 0 ? i : -1;
    }
    int insert(Row &row) override
    {
        maybeFail();
        row.resize(m_def.fields.size());
        for (int c = 0; c < m_def.fields.size(); ++c)
            if (m_def.fields[c].type == FieldType::AutoInc)
                row[c] = m_nextAuto;
        if (m_def.keyFieldCount && findKey(row) >= 0)
            throw KeyViolation();
        for (int c = 0; c < m_def.fields.size(); ++c)
            if (m_def.fields[c].type == FieldType::AutoInc)
                ++m_nextAuto;
        ++m_changes;
        return place(row);
    }
    int update(int i, const Row &row) override
    {
        maybeFail();
        if (m_def.keyFieldCount) {
            const int other = findKey(row);
            if (other >= 0 && other != i)
                throw KeyViolation();
        }
        m_rows.remove(i);
        ++m_changes;
        return place(row);
    }
    void remove(int i) override
    {
        maybeFail();
        m_rows.remove(i);
        ++m_changes;
    }
    void removeAll() override
    {
        m_rows.clear();
        ++m_changes;
    }
    quint64 changeCount() const override { return m_changes; }
    void close() override {}
    // A batch keeps the rows it started from; only abandoning it uses them.
    void beginBatch() override { m_batches.append({m_rows, m_nextAuto}); }
    void endBatch() override
    {
        if (!m_batches.isEmpty())
            m_batches.removeLast();
    }
    void abandonBatch() override
    {
        if (m_batches.isEmpty())
            return;
        std::tie(m_rows, m_nextAuto) = m_batches.takeLast();
        ++m_changes;
    }

    int failAfter = -1; // writes that succeed before one fails; -1 = never

private:
    void maybeFail()
    {
        if (failAfter == 0) {
            failAfter = -1; // one failure, then the undo may write
            throw EngineError(QStringLiteral("Disk full."));
        }
        if (failAfter > 0)
            --failAfter;
    }
    int compareKey(const Row &a, const Row &b) const
    {
        for (int k = 0; k < m_def.keyFieldCount; ++k)
            if (const int c = compareValues(k < a.size() ? a.at(k) : QVariant(), k < b.size() ? b.at(k) : QVariant()))
                return c;
        return 0;
    }
    int place(const Row &row)
    {
        const int pos = m_def.keyFieldCount ? lowerBound(row) : int(m_rows.size());
        m_rows.insert(pos, row);
        return pos;
    }
    int lowerBound(const Row &key) const
    {
        int lo = 0, hi = int(m_rows.size());
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (compareKey(m_rows[mid], key) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

    QString m_path;
    TableDef m_def;
    QVector<Row> m_rows;
    quint64 m_changes = 0;
    int m_nextAuto = 1;
    QVector<std::pair<QVector<Row>, int>> m_batches;
};

class FakeProvider : public TableProvider {
public:
    QHash<QString, QString> aliases;
    QHash<QString, ParadoxTable *> tables; // by lower-case file name
    int lookups = 0;

    QString aliasDirectory(const QString &alias) const override
    {
        if (!aliases.contains(alias))
            throw EngineError(QStringLiteral("Unknown database: %1").arg(alias));
        return aliases.value(alias);
    }
    ParadoxTable *paradoxTable(const QString &path) override
    {
        ++lookups;
        const QString name = path.section(u'/', -1).toLower();
        if (!tables.contains(name))
            throw EngineError(QStringLiteral("Table does not exist.\nFile: %1").arg(path));
        return tables.value(name);
    }
};

using kwtest::fd;

} // namespace kw::data::test
