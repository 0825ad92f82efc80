#pragma once
// Local SQL over table files: statements in the engine's dialect (quoted file
// names as tables, E."Insp Due" and E.'Insp Due', ':alias:file' references,
// :"Param" parameters) run on an in-memory SQLite mirror of the tables they
// name; data-changing statements are written back to the table files through
// their own durable write path.
#include "data/engine/tabledef.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace kw::data {

class ParadoxTable;

// Hands the SQL engine the open tables it needs. The session implements it so
// that a statement and the datasets share one open instance per table file.
class TableProvider {
public:
    virtual ~TableProvider() = default;
    // Directory of an alias name (case-sensitive); throws EngineError when unknown.
    virtual QString aliasDirectory(const QString &alias) const = 0;
    // The open Paradox table for a file (path already resolved; file names
    // are matched without regard to case). Throws EngineError when missing.
    virtual ParadoxTable *paradoxTable(const QString &path) = 0;
};

struct SqlColumn {
    QString name;          // as the select list names it ("Hr Number")
    FieldType type = FieldType::Alpha;
    int size = 0;
    QString sourceFile;    // resolved table file the column comes from, or empty
    QString sourceField;   // field name in that table (as stored), or empty
};

struct SqlResult {
    QVector<SqlColumn> columns;
    QVector<Row> rows;     // SELECT only
    int rowsAffected = 0;  // INSERT/UPDATE/DELETE
};

class LocalSql {
public:
    explicit LocalSql(TableProvider &provider);
    ~LocalSql();

    // Runs one statement. defaultDir resolves bare file names. Parameters are
    // bound by name (without the colon, unquoted: "Insp Due", "OLD_Auto").
    SqlResult exec(const QString &statement, const QString &defaultDir,
                   const QHash<QString, QVariant> &params = {});

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kw::data
