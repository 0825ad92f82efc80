#include "data/engine/dataset.h"

#include "data/engine/engineerror.h"
#include "data/engine/session.h"

#include <QScopedValueRollback>


namespace kw::data {

// ---------------------------------------------------------------- Field

QVariant Field::value() const
{
    if (!m_dataset || !m_dataset->active() || m_dataset->recNo() < 0)
        return {};
    return m_dataset->rowValue(m_dataset->recNo(), m_index);
}

QString Field::asString() const
{
    const QVariant v = value();
    if (v.isNull())
        return {};
    if (type == FieldType::Logical)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

void Field::setValue(const QVariant &v)
{
    if (!m_dataset)
        throw EngineError(QStringLiteral("Field '%1' has no dataset").arg(name));
    m_dataset->setBufferValue(*this, v);
}

// ---------------------------------------------------------------- display updates

void Dataset::disableControls()
{
    if (m_controlsOff++ == 0)
        m_signalsWereBlocked = blockSignals(true);
}

void Dataset::enableControls()
{
    if (m_controlsOff == 0 || --m_controlsOff > 0)
        return;
    blockSignals(m_signalsWereBlocked);
    emit rowsReset();
    emit stateChanged();
    emit currentChanged(m_cur);
}

Dataset::Dataset(Database &db, QObject *parent)
    : QObject(parent), m_session(db.session()), m_database(&db)
{
    db.registerDataset(this);
}

Dataset::~Dataset()
{
    if (m_database)
        m_database->unregisterDataset(this);
}

Database &Dataset::database() const
{
    if (!m_database)
        throw EngineError(QStringLiteral("The dataset's database connection is gone"));
    return *m_database;
}

Field &Dataset::addField(const Field &f)
{
    if (active())
        throw EngineError(QStringLiteral("Cannot perform this operation on an open dataset"));
    auto nf = std::make_unique<Field>(f);
    nf->m_dataset = this;
    nf->m_index = int(m_fields.size());
    m_fields.push_back(std::move(nf));
    return *m_fields.back();
}

void Dataset::createField(const QString &name, FieldType type, int size, int source)
{
    Field f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.displayWidth = type == FieldType::Alpha ? qMax(1, size) : 10;
    f.readOnly = type == FieldType::AutoInc;
    Field &nf = addField(f);
    nf.m_source = source;
}

Field *Dataset::findField(const QString &name) const
{
    for (const auto &f : m_fields)
        if (f->name.compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field &Dataset::fieldByName(const QString &name) const
{
    if (Field *f = findField(name))
        return *f;
    throw EngineError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), name));
}

// ---------------------------------------------------------------- life cycle

void Dataset::open()
{
    if (active())
        return;
    doOpen();
    m_buffer.clear();
    m_insertAt = -1;
    m_state = DatasetState::Browse;
    rebuildRows();
    m_cur = sourceRowCount() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = m_cur < 0;
    emit rowsReset();
    emit stateChanged();
    emit currentChanged(m_cur);
    if (afterOpen)
        afterOpen(*this);
}

void Dataset::close()
{
    if (!active())
        return;
    if (beforeClose)
        beforeClose(*this);
    m_buffer.clear();
    m_insertAt = -1;
    doClose();
    m_state = DatasetState::Inactive;
    m_cur = -1;
    m_eof = m_bof = true;
    emit rowsReset();
    emit stateChanged();
    emit currentChanged(-1);
    if (afterClose)
        afterClose(*this);
}

void Dataset::setState(DatasetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged();
}

// ---------------------------------------------------------------- cursor

int Dataset::recordCount() const
{
    if (!active())
        return 0;
    return sourceRowCount() + (m_state == DatasetState::Insert ? 1 : 0);
}

void Dataset::setCurrent(int row)
{
    const int n = recordCount();
    const int old = m_cur;
    m_cur = n == 0 ? -1 : qBound(0, row, n - 1);
    m_bof = row < 0 || m_cur <= 0;
    m_eof = row >= n || n == 0;
    if (m_cur != old)
        emit currentChanged(m_cur);
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::moveTo(int row)
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (isEditing() && row == m_cur)
        return;
    // The record asked for, so that a post which re-reads or re-orders the
    // rows still lands on it.
    const QVariant target = bookmarkOf(row);
    // A new row that is dropped no longer stands before the target.
    const bool dropsNewRow = m_state == DatasetState::Insert && !m_modified && row > m_insertAt;
    checkBrowseMode();
    int at = dropsNewRow ? row - 1 : row;
    if (!target.isNull())
        if (const int found = rowOfBookmark(target); found >= 0)
            at = found;
    setCurrent(at);
}

void Dataset::first() { moveTo(0); }
void Dataset::last() { moveTo(recordCount() - 1); }

void Dataset::next()
{
    if (m_cur + 1 >= recordCount()) {
        checkBrowseMode();
        m_eof = true;
        return;
    }
    moveTo(m_cur + 1);
}

void Dataset::prior()
{
    if (m_cur <= 0) {
        checkBrowseMode();
        m_bof = true;
        return;
    }
    moveTo(m_cur - 1);
}

QVariant Dataset::rowValue(int row, int field) const
{
    if (!active() || field < 0 || field >= fieldCount() || row < 0 || row >= recordCount())
        return {};
    const Field &f = *m_fields[field];
    const bool isBufferRow = isEditing() && row == m_cur;
    if (f.kind == Field::Kind::Lookup) {
        if (!f.lookupDataset)
            return {};
        const Field *key = findField(f.keyField);
        if (!key)
            return {};
        const QVariant k = rowValue(row, key->m_index);
        if (k.isNull())
            return {};
        const QVariant v = f.lookupDataset->lookup(f.lookupKeyField, k, f.lookupResultField);
        if (v.isNull() || f.type == FieldType::Alpha)
            return v;
        if (f.type == FieldType::Short || f.type == FieldType::Long) {
            // A text column looked up into a number field ("Auth").
            bool ok = false;
            const int n = v.toString().trimmed().toInt(&ok);
            return ok ? QVariant(n) : QVariant();
        }
        return v;
    }
    if (isBufferRow)
        return m_buffer.value(field);
    int src = row;
    if (m_state == DatasetState::Insert && row > m_insertAt)
        --src;
    return sourceValue(src, f);
}

QVariant Dataset::lookup(const QString &keyField, const QVariant &key, const QString &resultField) const
{
    const Field *k = findField(keyField);
    const Field *r = findField(resultField);
    if (!active() || !k || !r)
        return {};
    const int n = sourceRowCount();
    for (int i = 0; i < n; ++i)
        if (sourceValue(i, *k) == key)
            return sourceValue(i, *r);
    return {};
}

// ---------------------------------------------------------------- bookmarks

int Dataset::sourceRowOf(int row) const
{
    if (!active() || row < 0 || row >= recordCount())
        return -1;
    if (m_state == DatasetState::Insert) {
        if (row == m_insertAt)
            return -1;
        if (row > m_insertAt)
            return row - 1;
    }
    return row;
}

QVariant Dataset::bookmarkOf(int row) const
{
    const int src = sourceRowOf(row);
    return src < 0 ? QVariant() : sourceBookmark(src);
}

int Dataset::rowOfBookmark(const QVariant &bookmark) const
{
    if (!active() || bookmark.isNull())
        return -1;
    const int src = sourceRowOfBookmark(bookmark);
    if (src < 0)
        return -1;
    return m_state == DatasetState::Insert && src >= m_insertAt ? src + 1 : src;
}

Row Dataset::currentValues() const
{
    Row values(fieldCount());
    for (int i = 0; i < fieldCount(); ++i)
        values[i] = rowValue(m_cur, i);
    return values;
}

QVariant Dataset::oldValue(const Field &f) const
{
    const int src = sourceRowOf(m_cur);
    if (src < 0 || f.kind != Field::Kind::Data)
        return {};
    return sourceValue(src, f);
}

// ---------------------------------------------------------------- editing

QVariant Dataset::convertForField(const Field &f, const QVariant &v) const
{
    return fieldvalue::convert(f.spec(), v);
}

void Dataset::setBufferValue(Field &f, const QVariant &v)
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (f.readOnly || f.kind == Field::Kind::Lookup)
        throw EngineError(QStringLiteral("Field '%1' cannot be modified").arg(f.displayLabel()));
    const QVariant nv = convertForField(f, v);
    if (!isEditing())
        edit();
    m_buffer[f.m_index] = nv;
    m_modified = true;
    emit rowChanged(m_cur);
    if (f.onChange)
        f.onChange(f);
}

void Dataset::beginEdit(DatasetState s, int at)
{
    m_buffer = Row(fieldCount());
    if (s == DatasetState::Edit) {
        for (int i = 0; i < fieldCount(); ++i)
            if (m_fields[i]->kind == Field::Kind::Data)
                m_buffer[i] = sourceValue(at, *m_fields[i]);
        m_modified = false;
        setState(s);
        emit rowChanged(m_cur);
        return;
    }
    m_insertAt = at;
    initNewRow(m_buffer);
    m_cur = at;
    m_bof = m_eof = false;
    setState(s);
    emit rowsReset();
    emit currentChanged(m_cur);
    if (onNewRecord)
        onNewRecord(*this);
    m_modified = false; // the values a new row starts with are no change
}

void Dataset::edit()
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (isEditing())
        return;
    checkCanModify();
    if (sourceRowCount() == 0) {
        append();
        return;
    }
    beginEdit(DatasetState::Edit, m_cur);
}

void Dataset::append()
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    checkCanModify();
    checkBrowseMode();
    beforeNewRow();
    beginEdit(DatasetState::Insert, sourceRowCount());
}

void Dataset::insert()
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    checkCanModify();
    checkBrowseMode();
    beforeNewRow();
    beginEdit(DatasetState::Insert, qMax(0, m_cur));
}

void Dataset::checkRequired() const
{
    for (const auto &f : m_fields)
        if (f->kind == Field::Kind::Data)
            fieldvalue::checkRequired(f->spec(), m_buffer.value(f->m_index));
}

void Dataset::updateRecord()
{
    if (!isEditing() || m_updatingRecord)
        return;
    const QScopedValueRollback updating(m_updatingRecord, true);
    emit updatingRecord();
}

void Dataset::post()
{
    updateRecord(); // may itself have posted (a change that re-reads)
    if (!isEditing())
        return;
    if (beforePost)
        beforePost(*this);
    checkRequired();
    const bool inserting = m_state == DatasetState::Insert;
    const int at = inserting ? m_insertAt : m_cur;
    const int shown = doPost(m_buffer, inserting, at); // rebuilds the rows
    m_buffer.clear();
    m_insertAt = -1;
    m_state = DatasetState::Browse;
    const int n = sourceRowCount();
    m_cur = n == 0 ? -1 : qBound(0, shown >= 0 ? shown : at, n - 1);
    m_bof = m_cur <= 0;
    m_eof = n == 0;
    emit stateChanged();
    emit rowsReset();
    emit currentChanged(m_cur);
    if (afterPost)
        afterPost(*this); // may re-open the dataset: nothing after this
}

void Dataset::cancel()
{
    if (!isEditing())
        return;
    const bool inserting = m_state == DatasetState::Insert;
    m_buffer.clear();
    m_state = DatasetState::Browse;
    if (inserting) {
        m_insertAt = -1;
        const int n = sourceRowCount();
        m_cur = n == 0 ? -1 : qBound(0, m_cur, n - 1);
        m_eof = n == 0;
        emit rowsReset();
        emit currentChanged(m_cur);
    } else {
        emit rowChanged(m_cur);
    }
    emit stateChanged();
    if (afterCancel)
        afterCancel(*this);
}

void Dataset::deleteRecord()
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (m_state == DatasetState::Insert) {
        cancel();
        return;
    }
    if (m_state == DatasetState::Edit)
        cancel();
    if (sourceRowCount() == 0)
        throw EngineError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    checkCanModify();
    if (beforeDelete)
        beforeDelete(*this);
    const int at = m_cur;
    doDelete(at);
    resetRows(at);
    if (afterDelete)
        afterDelete(*this);
}

void Dataset::checkBrowseMode()
{
    updateRecord();
    if (!isEditing())
        return;
    if (m_modified)
        post();
    else
        cancel();
}

void Dataset::refresh()
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    checkBrowseMode();
    const int at = m_cur;
    const QVariant bookmark = this->bookmark();
    const Row values = currentValues();
    doRefresh();
    int found = rowOfBookmark(bookmark);
    if (found < 0 && bookmark.isNull() && at >= 0)
        found = rowOfUnkeyedRecord(values);
    resetRows(found >= 0 ? found : at);
}

void Dataset::resetRows(int keepRow)
{
    if (!active())
        return;
    rebuildRows();
    const int n = recordCount();
    const int want = keepRow == -2 ? m_cur : keepRow;
    m_cur = n == 0 ? -1 : qBound(0, want, n - 1);
    m_bof = m_cur <= 0;
    m_eof = n == 0;
    emit rowsReset();
    emit currentChanged(m_cur);
}

// ---------------------------------------------------------------- filter

bool Dataset::filterAccepts(const std::function<QVariant(const QString &)> &valueOf) const
{
    return !m_filtered || m_filterExpr.accepts(valueOf);
}

void Dataset::setFilter(const QString &expr)
{
    FilterExpression parsed = FilterExpression::parse(expr);
    if (active())
        for (const QString &name : parsed.fieldNames())
            if (!findField(name))
                throw EngineError(QStringLiteral("Field '%1' not found").arg(name));
    m_filter = expr;
    m_filterExpr = std::move(parsed);
    if (m_filtered && active()) {
        checkBrowseMode();
        resetRows(0);
    }
}

void Dataset::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    if (active())
        checkBrowseMode();
    m_filtered = on;
    if (active())
        resetRows(0);
}

// ---------------------------------------------------------------- DataSource

void DataSource::setDataset(Dataset *ds)
{
    if (m_dataset == ds)
        return;
    m_dataset = ds;
    emit datasetChanged();
}

} // namespace kw::data
