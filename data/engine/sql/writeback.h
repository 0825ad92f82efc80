#pragma once
// The write-back of local SQL: INSERT, UPDATE and DELETE run in the mirror,
// and the rows they touched are written to the table file, all of them or
// none.
#include "data/engine/sql/sqldialect.h"

#include <QHash>
#include <QString>
#include <QVariant>

namespace kw::data::sql {

struct Mirror;
class Mirrors;
class SqlConnection;

// Runs the data-changing statement st (translated as tr, its parameters
// bound from params) on the mirror m inside a savepoint, checks the new
// values as a dataset would, and writes the affected rows to the table
// file. On any failure the mirror and the file keep what they held.
// Returns the number of rows affected.
int writeBack(SqlConnection &db, Mirrors &mirrors, const Statement &st, const Translation &tr, Mirror *m,
              const QHash<QString, QVariant> &params);

} // namespace kw::data::sql
