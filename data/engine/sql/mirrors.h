#pragma once
// The table mirrors of local SQL: each table file a statement names has a
// table in the in-memory SQLite database holding its rows, kept in step
// with the file (rows changed outside SQL are found and replaced), with
// the indexes statements have asked for.
#include "data/engine/dbase/dbftable.h"
#include "data/engine/sql/sqlconnection.h"
#include "data/engine/tabledef.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace kw::data {
class ParadoxTable;
class TableProvider;
}

namespace kw::data::sql {

struct Mirror {
    QString key;       // identity of the file
    QString path;      // resolved file path
    QString sqlName;   // "m1"
    bool dbase = false;
    TableDef def;
    QStringList cols;  // mirror column names (unique), one per field
    QVector<qint64> rowidAt; // source position -> mirror rowid (dBase: 0 = deleted record)
    qint64 nextRowid = 1;
    // Paradox: the rows as mirrored. Holding a reference keeps each row's
    // data alive, so a row the table changes gets new data (copy on write)
    // and an unchanged row keeps its address: that finds changes made
    // outside SQL without comparing values.
    QVector<Row> snapshot;
    QSet<QString> indexed;   // lower-case column names with an index
    QStringList keyCols;     // primary key columns (unique index when the data allows)
    bool loaded = false;

    // Source identity when last synchronized.
    ParadoxTable *px = nullptr;
    quint64 pxChanges = 0;
    int pxRows = -1;
    FileStamp stamp;
    std::optional<DbfTable> dbf;

    // Rowids written in the mirror since the last full load (the epoch), so
    // that a cached query result can be brought up to date by re-reading
    // only the rows built from them.
    quint64 epoch = 0;
    QVector<qint64> changeLog;
    void logChange(qint64 rowid)
    {
        if (changeLog.size() >= 65536) {
            changeLog.clear();
            ++epoch;
        }
        changeLog.append(rowid);
    }
    void newEpoch()
    {
        changeLog.clear();
        ++epoch;
    }
};

// Statements reused while the rows of one batch are brought up to date.
struct RowRefresh {
    Stmt get, up;
};

class Mirrors {
public:
    Mirrors(SqlConnection &db, TableProvider &provider);
    ~Mirrors();
    Mirrors(const Mirrors &) = delete;
    Mirrors &operator=(const Mirrors &) = delete;

    // The mirror of the table a statement names ("Hrdf.DB", "Hrdf",
    // ':alias:Hrdf.DB', a .DBF file) in step with its file; defaultDir
    // resolves bare names. Throws EngineError for a table that does not exist.
    Mirror *mirrorFor(const QString &name, const QString &defaultDir);
    // The mirror of a SQLite table name ("m3"), or null.
    Mirror *bySqlName(const QString &sqlName) const { return m_bySqlName.value(sqlName); }

    // Index of a mirror column by name, without regard to case; -1 when none.
    static int columnIndex(const Mirror *m, const QString &name);
    // The mirror's columns, quoted and separated by commas.
    static QString quotedCols(const Mirror *m);
    void ensureIndex(Mirror *m, const QString &column);

    // Makes the mirror row hold what the table stored (AutoInc values, text
    // cut to width); refresh keeps its statements for the next row.
    void refreshRow(Mirror *m, qint64 rowid, const Row &row, RowRefresh &refresh);

private:
    struct Resolved {
        QString path;
        QString key;
        bool dbase = false;
    };
    Resolved resolve(const QString &name, const QString &defaultDir) const;
    void load(Mirror *m);
    bool syncChanged(Mirror *m);
    static int sourceRowCount(const Mirror *m);
    static void onUpdate(void *ctx, int, const char *dbName, const char *table, long long rowid);

    SqlConnection &m_db;
    TableProvider &m_provider;
    QHash<QString, Mirror *> m_byKey;
    QHash<QString, Mirror *> m_bySqlName;
    QVector<Mirror *> m_byId; // "m<N>" -> m_byId[N]
    int m_nextId = 1;
    bool m_logging = true;
};

} // namespace kw::data::sql
