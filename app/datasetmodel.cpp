#include "app/datasetmodel.h"

#include "app/apperror.h"
#include "data/engine/engineerror.h"
#include "data/engine/fieldvalue.h"

#include <QApplication>
#include <QDate>
#include <QPalette>

namespace kw::app {

using kw::data::Dataset;
using kw::data::DatasetState;
using kw::data::EngineError;
using kw::data::Field;
using kw::data::FieldType;

QList<GridColumn> gridColumns(const QStringList &fieldNames)
{
    QList<GridColumn> cols;
    for (const QString &n : fieldNames)
        cols << GridColumn{n, QString(), -1};
    return cols;
}

DatasetModel::DatasetModel(QObject *parent) : QAbstractTableModel(parent) {}

void DatasetModel::setDataSource(kw::data::DataSource *ds)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = ds;
    if (ds)
        connect(ds, &kw::data::DataSource::datasetChanged, this, [this] { attach(m_source->dataset()); });
    attach(ds ? ds->dataset() : nullptr);
}

void DatasetModel::setDataset(Dataset *ds)
{
    setDataSource(nullptr);
    attach(ds);
}

void DatasetModel::attach(Dataset *ds)
{
    for (const auto &c : m_conns)
        disconnect(c);
    m_conns.clear();
    m_dataset = ds;
    if (ds) {
        m_conns << connect(ds, &Dataset::rowsReset, this, &DatasetModel::reload);
        m_conns << connect(ds, &Dataset::stateChanged, this, &DatasetModel::sync);
        m_conns << connect(ds, &Dataset::rowChanged, this, &DatasetModel::onRowChanged);
        m_conns << connect(ds, &Dataset::currentChanged, this, [this](int) {
            // The row marker follows the cursor.
            if (m_rows > 0)
                emit headerDataChanged(Qt::Vertical, 0, m_rows - 1);
        });
    }
    reload();
}

void DatasetModel::setColumns(const QList<GridColumn> &columns)
{
    m_requested = columns;
    reload();
}

void DatasetModel::rebuildColumns()
{
    m_columns.clear();
    if (!m_requested.isEmpty()) {
        for (const GridColumn &g : m_requested) {
            Column c{g.fieldName, g.title, g.width};
            Field *f = m_dataset ? m_dataset->findField(g.fieldName) : nullptr;
            if (c.title.isEmpty())
                c.title = f ? f->displayLabel() : g.fieldName;
            if (c.width < 0)
                c.width = f ? f->displayWidth : 10;
            m_columns << c;
        }
        return;
    }
    if (!m_dataset)
        return;
    for (const auto &f : m_dataset->fields())
        if (f->visible)
            m_columns << Column{f->name, f->displayLabel(), f->displayWidth};
}

void DatasetModel::reload()
{
    if (m_hold > 0) {
        m_resetPending = true;
        return;
    }
    m_resetPending = false;
    emit aboutToReload();
    beginResetModel();
    rebuildColumns();
    m_rows = (m_dataset && m_dataset->active()) ? m_dataset->recordCount() : 0;
    endResetModel();
    emit reloaded();
}

void DatasetModel::holdReload(bool on)
{
    m_hold = on ? m_hold + 1 : std::max(0, m_hold - 1);
    if (m_hold == 0 && m_resetPending)
        reload();
}

void DatasetModel::sync()
{
    if (m_resetPending)
        return; // a reset is due anyway
    const int live = (m_dataset && m_dataset->active()) ? m_dataset->recordCount() : 0;
    if (live != m_rows || (m_dataset && !m_dataset->active())) {
        reload();
        return;
    }
    if (m_rows > 0) {
        const int cur = m_dataset->recNo();
        if (cur >= 0 && cur < m_rows)
            emit dataChanged(index(cur, 0), index(cur, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, 0, m_rows - 1);
    }
}

void DatasetModel::onRowChanged(int row)
{
    if (m_resetPending)
        return;
    const int live = (m_dataset && m_dataset->active()) ? m_dataset->recordCount() : 0;
    if (live != m_rows) {
        reload();
        return;
    }
    if (row >= 0 && row < m_rows && !m_columns.isEmpty())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

Field *DatasetModel::fieldAt(int column) const
{
    if (!m_dataset || column < 0 || column >= m_columns.size())
        return nullptr;
    return m_dataset->findField(m_columns[column].fieldName);
}

QString DatasetModel::fieldNameAt(int column) const
{
    if (column < 0 || column >= m_columns.size())
        return {};
    Field *f = fieldAt(column);
    return f ? f->name : m_columns[column].fieldName;
}

QString DatasetModel::titleAt(int column) const
{
    return (column >= 0 && column < m_columns.size()) ? m_columns[column].title : QString();
}

int DatasetModel::widthAt(int column) const
{
    return (column >= 0 && column < m_columns.size()) ? m_columns[column].width : 0;
}

int DatasetModel::columnOfField(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].fieldName.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool DatasetModel::columnEditable(int column) const
{
    if (m_readOnly)
        return false;
    const Field *f = fieldAt(column);
    return f && !f->readOnly && f->kind == Field::Kind::Data && f->type != FieldType::AutoInc;
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString DatasetModel::formatValue(const Field &, const QVariant &v)
{
    return kw::data::fieldvalue::displayText(v);
}

QVariant DatasetModel::parseText(const Field &f, const QString &raw)
{
    return kw::data::fieldvalue::parseText(f.spec(), raw);
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_dataset || !m_dataset->active() || index.row() >= m_dataset->recordCount())
        return {};
    Field *f = fieldAt(index.column());
    if (!f)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        if (f->checkBox)
            return {};
        const QVariant v = m_dataset->rowValue(index.row(), f->index());
        if (role == Qt::DisplayRole && m_mapper && !f->editorName.isEmpty()) {
            const QString mapped = m_mapper(*f, v);
            if (!mapped.isEmpty())
                return mapped;
        }
        return formatValue(*f, v);
    }
    case ValueRole:
        return m_dataset->rowValue(index.row(), f->index());
    case Qt::CheckStateRole:
        if (!f->checkBox)
            return {};
        return m_dataset->rowValue(index.row(), f->index()).toBool() ? Qt::Checked : Qt::Unchecked;
    case Qt::ForegroundRole:
        // Cells that cannot be changed are drawn in the gray-text colour.
        if (!columnEditable(index.column()) && !m_readOnly)
            return QApplication::palette().color(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool DatasetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !m_dataset || !columnEditable(index.column()))
        return false;
    Field *f = fieldAt(index.column());
    if (!f)
        return false;
    if (role != Qt::EditRole && role != ValueRole && !(role == Qt::CheckStateRole && f->checkBox))
        return false;

    const bool ok = guarded([&] {
        QVariant v;
        if (role == Qt::CheckStateRole)
            v = Qt::CheckState(value.toInt()) == Qt::Checked;
        else if (value.typeId() == QMetaType::QString)
            v = parseText(*f, value.toString());
        else
            v = value;
        if (m_dataset->recNo() != index.row())
            m_dataset->moveTo(index.row());
        const QVariant old = f->value();
        if (old == v && old.isNull() == v.isNull())
            return;
        f->setValue(v);
    });
    sync();
    return ok;
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const Field *f = fieldAt(index.column());
    if (f && columnEditable(index.column())) {
        if (f->checkBox)
            fl |= Qt::ItemIsUserCheckable;
        else
            fl |= Qt::ItemIsEditable;
    }
    return fl;
}

QVariant DatasetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal) {
        if (role == Qt::DisplayRole)
            return titleAt(section);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }
    if (role == Qt::DisplayRole) {
        // The row marker: current row, row in edit, row being inserted.
        if (!m_dataset || section != m_dataset->recNo())
            return QString();
        switch (m_dataset->state()) {
        case DatasetState::Insert: return QStringLiteral("*");
        case DatasetState::Edit: return QStringLiteral("I");
        default: return QStringLiteral("\u25B8");
        }
    }
    return {};
}

} // namespace kw::app
