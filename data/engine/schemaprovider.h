#pragma once
// What a session knows of its tables beyond their files. The engine reads
// any Paradox table; the program that owns a set of tables tells the session
// what each of them should hold, so that a table whose companion files were
// lost gets its named indexes and validity checks back, and datasets can
// order by an index name the file does not record.
#include "data/engine/tabledef.h"

#include <QString>

namespace kw::data {

class SchemaProvider {
public:
    virtual ~SchemaProvider() = default;
    // The definition of the table a file or table name stands for (a path,
    // "Equipment.DB" or "equipment"; any case); null when it is not one of
    // the tables this provider owns.
    virtual const TableDef *tableDef(const QString &nameOrFile) const = 0;
};

} // namespace kw::data
