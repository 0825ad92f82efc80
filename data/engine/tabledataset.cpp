#include "data/engine/tabledataset.h"

#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"
#include "data/engine/valuecompare.h"

#include <QScopedValueRollback>
#include <algorithm>

namespace kw::data {

TableDataset::TableDataset(Database &db, const QString &name, QObject *parent)
    : Dataset(db, parent)
{
    setObjectName(name);
    connect(&session(), &Session::tableChanged, this, [this](ParadoxTable *t) {
        // nullptr: some table changed through SQL; the change counter tells.
        if (active() && !isEditing() && !m_selfChange && m_table
            && (t == m_table || (!t && m_table->changeCount() != m_seenChange)))
            resetRows();
    });
}

void TableDataset::setTableName(const QString &fileName)
{
    if (active())
        throw EngineError(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_tableName = fileName;
}

void TableDataset::setIndexName(const QString &name)
{
    m_indexName = name;
    m_indexFields.clear();
    if (active()) {
        checkBrowseMode();
        resolveOrder();
        resetRows(0);
    }
}

void TableDataset::setIndexFieldNames(const QString &fields)
{
    m_indexFields = fields;
    m_indexName.clear();
    if (active()) {
        checkBrowseMode();
        resolveOrder();
        resetRows(0);
    }
}

void TableDataset::setMasterSource(DataSource *ds)
{
    if (m_master == ds)
        return;
    if (m_masterConn)
        disconnect(m_masterConn);
    m_master = ds;
    if (ds) {
        m_masterConn = connect(ds, &DataSource::datasetChanged, this, [this] { onMasterMoved(); });
        hookMaster();
    }
}

void TableDataset::hookMaster()
{
    for (auto &c : m_masterDsConns)
        disconnect(c);
    m_masterDsConns.clear();
    if (!m_master || !m_master->dataset())
        return;
    Dataset *md = m_master->dataset();
    m_masterDsConns << connect(md, &Dataset::currentChanged, this, [this] { onMasterMoved(); })
                    << connect(md, &Dataset::rowsReset, this, [this] { onMasterMoved(); })
                    << connect(md, &Dataset::stateChanged, this, [this] { onMasterMoved(); });
}

void TableDataset::setMasterFields(const QString &fields)
{
    m_masterFields = fields;
    if (active())
        resetRows(0);
}

QVariantList TableDataset::masterValues() const
{
    QVariantList vals;
    Dataset *md = m_master ? m_master->dataset() : nullptr;
    const QStringList names = m_masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &n : names) {
        if (!md || !md->active() || md->recNo() < 0 || md->state() == DatasetState::Insert) {
            vals << QVariant();
            continue;
        }
        const Field *f = md->findField(n.trimmed());
        vals << (f ? md->rowValue(md->recNo(), f->index()) : QVariant());
    }
    return vals;
}

void TableDataset::onMasterMoved()
{
    if (!active() || m_inMasterMove)
        return;
    const QVariantList now = masterValues();
    if (now == m_lastMaster)
        return;
    {
        const QScopedValueRollback inMove(m_inMasterMove, true);
        checkBrowseMode();
    }
    resetRows(0);
}

// ---------------------------------------------------------------- open/close

void TableDataset::doOpen()
{
    if (m_tableName.isEmpty())
        throw EngineError(QStringLiteral("%1: Missing TableName property").arg(objectName()));
    if (!database().connected())
        database().open();
    m_table = session().table(database().directory(), m_tableName);
    const TableDef &def = m_table->def();
    if (fields().empty()) {
        for (int i = 0; i < def.fields.size(); ++i)
            createField(def.fields[i].name, def.fields[i].type, def.fields[i].size, i);
    }
    for (const auto &f : fields()) {
        if (f->kind != Field::Kind::Data)
            continue;
        const int src = def.fieldIndex(f->name);
        if (src < 0)
            throw EngineError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), f->name));
        bindField(*f, src);
        f->type = def.fields[src].type;
        f->size = def.fields[src].size;
        if (def.fields[src].required)
            f->required = true;
        if (f->type == FieldType::AutoInc)
            f->readOnly = true;
    }
    resolveOrder();
    hookMaster();
}

void TableDataset::doClose()
{
    m_table = nullptr;
    m_rows.clear();
}

// Order: the named index, else the field list, else the primary key (the
// table's own order).
void TableDataset::resolveOrder()
{
    m_order.clear();
    m_orderCi = false;
    if (!m_table)
        return;
    const TableDef &def = m_table->def();
    // Indexes as the file declares them; the session's schema stands in
    // where a file does not carry index names.
    QVector<IndexDef> known = def.indexes;
    if (const SchemaProvider *schema = session().schemaProvider())
        if (const TableDef *owned = schema->tableDef(m_tableName))
            known += owned->indexes;
    QStringList names;
    if (!m_indexName.isEmpty()) {
        const IndexDef *found = nullptr;
        for (const IndexDef &ix : known)
            if (!found && ix.name.compare(m_indexName, Qt::CaseInsensitive) == 0)
                found = &ix;
        if (!found)
            throw EngineError(QStringLiteral("Index does not exist. Index: %1").arg(m_indexName));
        names = found->fields;
        m_orderCi = found->caseInsensitive;
    } else if (!m_indexFields.isEmpty()) {
        for (const QString &n : m_indexFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            names << n.trimmed();
        for (const IndexDef &ix : known)
            if (ix.fields.join(QLatin1Char(';')).compare(names.join(QLatin1Char(';')), Qt::CaseInsensitive) == 0) {
                m_orderCi = ix.caseInsensitive;
                break;
            }
    } else {
        for (int i = 0; i < def.keyFieldCount; ++i)
            m_order << i;
        return;
    }
    for (const QString &n : names) {
        const int i = def.fieldIndex(n.trimmed());
        if (i < 0)
            throw EngineError(QStringLiteral("Field '%1' not found").arg(n));
        m_order << i;
    }
}

// ---------------------------------------------------------------- rows

void TableDataset::ensureFresh() const
{
    if (m_table && m_table->changeCount() != m_seenChange)
        const_cast<TableDataset *>(this)->rebuildRows();
}

int TableDataset::compareRows(int a, int b) const
{
    const Row &ra = m_table->row(a);
    const Row &rb = m_table->row(b);
    for (int f : m_order) {
        const int c = compareValues(ra[f], rb[f], m_orderCi);
        if (c)
            return c;
    }
    return 0;
}

void TableDataset::rebuildRows()
{
    m_rows.clear();
    if (!m_table)
        return;
    m_seenChange = m_table->changeCount();
    const TableDef &def = m_table->def();

    // Master link: rows whose link fields equal the master's current values.
    QVector<int> linkFields;
    QVariantList linkValues;
    const bool linked = m_master && !m_masterFields.isEmpty();
    if (linked) {
        linkValues = masterValues();
        m_lastMaster = linkValues;
        for (const QString &n : m_masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            linkFields << def.fieldIndex(n.trimmed());
        for (const QVariant &v : linkValues)
            if (v.isNull())
                return; // no master row: no details
    }
    const int n = m_table->rowCount();
    m_rows.reserve(linked ? 64 : n);
    for (int i = 0; i < n; ++i) {
        const Row &r = m_table->row(i);
        bool ok = true;
        for (int k = 0; k < linkFields.size() && ok; ++k)
            ok = linkFields[k] >= 0 && compareValues(r[linkFields[k]], linkValues[k], false) == 0;
        if (ok && m_filtered)
            ok = filterAccepts([&](const QString &name) {
                const int fi = def.fieldIndex(name);
                return fi >= 0 ? r[fi] : QVariant();
            });
        if (ok)
            m_rows << i;
    }
    bool primaryOrder = m_order.size() <= def.keyFieldCount;
    for (int k = 0; k < m_order.size() && primaryOrder; ++k)
        primaryOrder = m_order[k] == k;
    if (!primaryOrder || m_orderCi)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [this](int a, int b) { return compareRows(a, b) < 0; });
}

int TableDataset::sourceRowCount() const
{
    ensureFresh();
    return m_rows.size();
}

QVariant TableDataset::sourceValue(int row, const Field &f) const
{
    ensureFresh();
    const int src = fieldSource(f);
    if (row < 0 || row >= m_rows.size() || src < 0)
        return {};
    return m_table->row(m_rows[row]).value(src);
}

QVariant TableDataset::lookup(const QString &keyField, const QVariant &key, const QString &resultField) const
{
    if (!active() || !m_table)
        return {};
    const TableDef &def = m_table->def();
    const int k = def.fieldIndex(keyField);
    const int r = def.fieldIndex(resultField);
    if (k < 0 || r < 0)
        return {};
    if (def.keyFieldCount == 1 && k == 0) {
        const int pos = m_table->findKey(Row{key});
        return pos >= 0 ? m_table->row(pos).value(r) : QVariant();
    }
    for (int i = 0; i < m_table->rowCount(); ++i)
        if (compareValues(m_table->row(i)[k], key, false) == 0)
            return m_table->row(i)[r];
    return {};
}

// A row's bookmark is its primary key; an unkeyed table's row is known by
// all its values.
QVariant TableDataset::sourceBookmark(int sourceRow) const
{
    ensureFresh();
    if (!m_table || sourceRow < 0 || sourceRow >= m_rows.size())
        return {};
    const Row &r = m_table->row(m_rows[sourceRow]);
    const int keys = m_table->def().keyFieldCount;
    return QVariant::fromValue(keys > 0 ? r.mid(0, keys) : r);
}

int TableDataset::sourceRowOfBookmark(const QVariant &bookmark) const
{
    ensureFresh();
    if (!m_table || !bookmark.canConvert<Row>())
        return -1;
    const Row want = bookmark.value<Row>();
    if (m_table->def().keyFieldCount > 0) {
        const int pos = m_table->findKey(want);
        return pos < 0 ? -1 : int(m_rows.indexOf(pos));
    }
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_table->row(m_rows[i]) == want)
            return i;
    return -1;
}

void TableDataset::initNewRow(Row &buffer)
{
    if (!m_master || m_masterFields.isEmpty())
        return;
    const QStringList names = m_masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const QVariantList vals = masterValues();
    for (int i = 0; i < names.size(); ++i)
        if (const Field *f = findField(names[i].trimmed()))
            buffer[f->index()] = vals.value(i);
}

// A new detail row takes its master's key: a master row being inserted or
// edited is posted first, and when that fails its error stops the new row.
void TableDataset::beforeNewRow()
{
    Dataset *md = m_master ? m_master->dataset() : nullptr;
    if (md && !m_masterFields.isEmpty() && md->isEditing())
        md->post();
}

void TableDataset::checkCanModify() const
{
    if (readOnlyTable)
        throw EngineError(QStringLiteral("Cannot modify a read-only dataset"));
}

int TableDataset::doPost(const Row &buffer, bool inserting, int row)
{
    ensureFresh();
    const TableDef &def = m_table->def();
    Row stored;
    int pos = -1;
    if (inserting) {
        stored = Row(def.fields.size());
    } else {
        if (row < 0 || row >= m_rows.size())
            throw EngineError(QStringLiteral("Record not found"));
        pos = m_rows[row];
        stored = m_table->row(pos);
    }
    for (const auto &f : fields()) {
        const int src = fieldSource(*f);
        if (f->kind == Field::Kind::Data && src >= 0 && def.fields[src].type != FieldType::AutoInc)
            stored[src] = buffer[f->index()];
    }
    const QScopedValueRollback selfChange(m_selfChange, true);
    pos = inserting ? m_table->insert(stored) : m_table->update(pos, stored);
    rebuildRows();
    session().notifyTableChanged(m_table);
    return int(m_rows.indexOf(pos));
}

void TableDataset::doDelete(int row)
{
    ensureFresh();
    if (row < 0 || row >= m_rows.size())
        throw EngineError(QStringLiteral("Record not found"));
    const QScopedValueRollback selfChange(m_selfChange, true);
    m_table->remove(m_rows[row]);
    session().notifyTableChanged(m_table);
}

void TableDataset::doRefresh()
{
    rebuildRows();
}

void TableDataset::emptyTable()
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    checkCanModify();
    cancel();
    {
        const QScopedValueRollback selfChange(m_selfChange, true);
        m_table->removeAll();
        session().notifyTableChanged(m_table);
    }
    resetRows(0);
}

bool TableDataset::findKey(const QVariantList &values)
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    checkBrowseMode();
    ensureFresh();
    const int nk = qMin(int(values.size()), int(m_order.size()));
    auto cmpKey = [&](int tableRow) {
        const Row &r = m_table->row(tableRow);
        for (int k = 0; k < nk; ++k) {
            const int c = compareValues(r[m_order[k]], values[k], m_orderCi);
            if (c)
                return c;
        }
        return 0;
    };
    // m_rows is in index order: binary search for the first match.
    int lo = 0, hi = int(m_rows.size());
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (cmpKey(m_rows[mid]) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < m_rows.size() && cmpKey(m_rows[lo]) == 0) {
        setCurrent(lo);
        return true;
    }
    return false;
}

} // namespace kw::data
