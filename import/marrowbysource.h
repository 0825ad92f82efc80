#pragma once
// The predecessor's dBase tables as the import and its preview read them:
// one table read whole, fields found by name, a missing field an error that
// names the table.
#include "core/findfile.h"
#include "data/engine/dbase/dbftable.h"
#include "data/engine/engineerror.h"

#include <QString>
#include <QVariant>

namespace kw::import::marrowby {

// One predecessor table read whole; fields found by name.
class Source {
public:
    Source(const QString &dir, const QString &file)
        : m_table(kw::data::DbfTable::open(kw::core::findFileNoCase(dir, file))), m_name(file)
    {
    }
    int col(const char *name) const
    {
        const int c = m_table.fieldIndex(QLatin1String(name));
        if (c < 0)
            throw kw::data::EngineError(QStringLiteral("Field '%1' not found in %2").arg(QLatin1String(name), m_name));
        return c;
    }
    int width(int c) const { return m_table.fields().at(c).length; }
    int count() const { return m_table.recordCount(); }
    bool live(int i) const { return !m_table.isDeleted(i); }
    kw::data::Row record(int i) const { return m_table.record(i); }
    kw::data::DbfTable &table() { return m_table; }

private:
    kw::data::DbfTable m_table;
    QString m_name;
};

// A field's text; empty for a null value.
inline QString text(const QVariant &v) { return v.isNull() ? QString() : v.toString(); }

} // namespace kw::import::marrowby
