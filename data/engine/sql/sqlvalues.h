#pragma once
// Values between the engine and SQLite: parameters and row values bound to
// statements, SQLite's values read back as the engine's types, and the
// column types the mirror tables declare.
#include "data/engine/tabledef.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct sqlite3_stmt;

namespace kw::data::sql {

// "name" with embedded quotes doubled.
QString quoteIdent(QString s);

// The declared type of a mirror column; the names keep dates, times and
// logicals apart for the reader, SQLite's affinity follows from them.
const char *declType(FieldType t);

// Binds v (null, number, text, date, time, timestamp, bytes) as parameter idx.
void bindValue(sqlite3_stmt *s, int idx, const QVariant &v);
// Binds values as parameters first, first + 1, ...
void bindValues(sqlite3_stmt *s, const QVector<QVariant> &values, int first = 1);

// Values of the named parameters in order; a name is matched exactly first,
// then without regard to case. Throws EngineError for a name without a value.
QVector<QVariant> paramValues(const QStringList &names, const QHash<QString, QVariant> &params);

QString columnText(sqlite3_stmt *s, int c);

// Column c of the current row as the engine's type. strict: refuse what
// does not convert, and integers outside the field's range (write-back);
// otherwise keep a value that does not convert as SQLite has it (results).
// field names the field in messages.
QVariant toEngine(sqlite3_stmt *s, int c, FieldType type, bool strict, const QString &field);

// Values equal for the purpose of keeping a mirror in step.
bool sameValue(const QVariant &a, const QVariant &b);

} // namespace kw::data::sql
