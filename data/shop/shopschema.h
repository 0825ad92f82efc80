#pragma once
// The eleven shop tables: fields, keys, indexes and the files of each.
#include "data/engine/schemaprovider.h"
#include "data/engine/tabledef.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace kw::data {
class Session;
}

namespace kw::data::shop {

// The master password of the shop tables.
inline const QString kTablePassword = QStringLiteral("HarborlyQZ");

// How a field shows in grids: its column title (empty = the field name) and
// display width in characters.
struct FieldDisplay {
    QString label;
    int width = 10;
};

struct ShopTable {
    QString name;      // "Equipment"
    QString fileName;  // "Equipment.DB" (the name datasets and SQL use may differ in case)
    TableDef def;
    QVector<FieldDisplay> display; // per field, in stored order
    // Companion file extensions in backup order: PX, VAL, Xnn.., XGn.., Ynn.., YGn..
    QStringList fileExtensions() const;
};

// In the order the main window opens them is not implied; use tableOpenOrder().
const QVector<ShopTable> &tables();
const ShopTable *findTable(const QString &nameOrFile); // case-insensitive

// The shop tables as a session's schema.
const SchemaProvider &schemaProvider();
// Readies a session for the shop tables: their password and their schema.
void prepareSession(Session &session);

// The database files of a backup, in order: the tables with their
// companion files, 74 names.
QStringList databaseFiles();

// Creates every missing table (with all its files) in dir, encrypted with
// the master password. Returns the names of the tables created.
QStringList createMissingTables(const QString &dir);
// Every file a writer of a user-named file (a report export, the import
// log) must never replace: the database files and their journals.
QStringList tableFamilyFiles();
// For each table file of databaseFiles(), its journal (see
// ParadoxTable::journalFileName): set aside and put back with the table,
// never stored in a backup.
QHash<QString, QString> journalFiles();
// A table that does not open: every file of it, and the engine's reason;
// busy when it is held open for writing elsewhere.
struct TableOpenProblem {
    QStringList files;
    QString reason;
    bool busy = false;
};
// The table files among tables ("Hrdf"; all of them when empty) of dir
// that another program holds open for writing; nothing is written to find
// out.
QStringList tablesOpenForWriting(const QString &dir, const QStringList &tables = {});
// Brings every shop table of dir to the state the engine reads: opened for
// writing and closed, a change that a crash left complete in its journal
// goes into the table and the journal goes. Returns the tables that do not
// open, are busy, or cannot be written to take such a change.
QVector<TableOpenProblem> settleTables(const QString &dir);
// Opens, read-only, each shop table in dir that has one of files (names,
// any case); returns those that do not open.
QVector<TableOpenProblem> tablesThatDoNotOpen(const QString &dir, const QStringList &files);

// True when dir holds none of the tables.
bool hasNoTables(const QString &dir);

} // namespace kw::data::shop
