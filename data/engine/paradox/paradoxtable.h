#pragma once
// A Paradox table file (.DB) with its derived family (.PX, .VAL, .Xnn/.Ynn,
// .XGn/.YGn). Rows are held in memory while the table is open; every change
// is on disk, crash-safe, before the call returns.
#include "data/engine/tabledef.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace kw::data {

// What ParadoxTable::repair() found and did.
struct TableRepairReport {
    QString path;               // the table file
    bool damaged = false;       // false: the table opened as it was, nothing changed
    quint32 headerRows = 0;     // rows the damaged header counted
    int rowsRecovered = 0;
    int blocksRead = 0;         // data blocks whose rows were taken
    int blocksUnreadable = 0;   // blocks whose record count no block can hold, or that the file cuts before it
    int rowsCutOff = 0;         // rows a block counted that the file does not hold whole (dropped)
    int duplicatesDropped = 0;  // rows of a keyed table whose key an earlier row held
    QString keptCopy;           // the damaged file, kept beside the table
    QStringList indexesDropped; // index files that could not be read (rebuilt by a schema sync)
};

class ParadoxTable {
public:
    virtual ~ParadoxTable() = default;

    // Creates a new, empty table and all its files (the .DB named by dbPath,
    // the others beside it with the extensions of the backup file list),
    // encrypted with password when it is not empty. Fails when it exists.
    static void create(const QString &dbPath, const TableDef &def, const QString &password);

    // Opens an existing table. passwords are tried in turn for an encrypted
    // table; none matching fails with an EngineError naming the file. A
    // damaged file fails with an EngineError naming the file. Derived files
    // that are missing or stale are rebuilt (unless readOnly).
    static std::unique_ptr<ParadoxTable> open(const QString &dbPath,
                                              const QStringList &passwords,
                                              bool readOnly = false);

    // Rebuilds a table whose block chain is damaged from every data block
    // whose rows can be read, taking only rows the file holds whole (the
    // rest are counted, never made up; chain fragments in their order, a keyed
    // table's rows in key order with the first row of each key kept). The
    // damaged file is kept beside the table under a name of its own (an
    // earlier kept copy is never replaced), the table is written packed,
    // and its derived files are rebuilt; index files that cannot be read
    // are dropped. A table that opens as it is stays unchanged. A header
    // that cannot be read, a wrong password or a table busy elsewhere
    // fail with an EngineError naming the file.
    static TableRepairReport repair(const QString &dbPath, const QStringList &passwords);

    // The name of the journal beside a table file ("Hrdf.DB-journal"): a
    // change of the table in progress, part of the table for every reader.
    // Whoever copies, stores or replaces a table's files deals with it too.
    static QString journalFileName(const QString &tableFileName);

    virtual QString path() const = 0;
    virtual const TableDef &def() const = 0;
    virtual int formatLevel() const = 0; // 3, 4, 5 or 7

    // Rows in key order for keyed tables, in stored order otherwise.
    virtual int rowCount() const = 0;
    virtual const Row &row(int i) const = 0;

    // Position of the row whose primary key equals key (leading key fields
    // only), or -1.
    virtual int findKey(const Row &key) const = 0;

    // Writes a new row. AutoInc fields are assigned here (the given value is
    // ignored) and written back into row. Throws KeyViolation, leaving the
    // table unchanged, when the key exists. Returns the row's new position.
    virtual int insert(Row &row) = 0;
    // Writes several new rows as one change: all of them or, on a key
    // violation (also between the rows themselves) or any other error, none.
    // AutoInc values are assigned in order and written back into rows.
    virtual void insertRows(QVector<Row> &rows)
    {
        for (Row &r : rows)
            insert(r);
    }
    // Replaces row i; returns its position afterwards (a key change moves it).
    virtual int update(int i, const Row &row) = 0;
    virtual void remove(int i) = 0;
    virtual void removeAll() = 0;

    // Increments on every change; lets caches see that the rows moved on.
    // Two openings of a table in one process never count alike.
    virtual quint64 changeCount() const = 0;

    // Groups the changes made until the matching endBatch() into one write.
    // Each change still takes effect at once (rows, positions, AutoInc
    // values, key checks, the change count), but the table file is written
    // and synced once, when the outermost endBatch() returns: a run of many
    // small changes then costs one sync instead of one per change. A crash
    // before that leaves the table as it was before beginBatch(); a failing
    // write at endBatch() puts the rows back to the same state and throws.
    // close() ends an open batch first. Calls nest.
    virtual void beginBatch() = 0;
    virtual void endBatch() = 0;
    // Ends the innermost batch by dropping its changes: the rows, positions
    // and AutoInc values are as they were at its beginBatch(), and nothing
    // of it is written.
    virtual void abandonBatch() = 0;

    // Brings the derived files up to date and releases the files. When the
    // rows are stored but a derived file cannot be written, the files are
    // released all the same and DerivedFilesError says so (the next open
    // rebuilds it); any other EngineError means rows were not stored.
    virtual void close() = 0;

    // True when opened read-only (asked for, or the file cannot be written):
    // every change then fails with an EngineError.
    virtual bool isReadOnly() const { return false; }
    // False when the rows hold a change its journal completed that the
    // table file does not hold yet (a read-only open finishes it in memory
    // only): the file alone is then not the table.
    virtual bool fileHoldsRows() const { return true; }

    // Makes the derived files match the expected definition of this table:
    // secondary indexes that are missing (their files lost) or defined
    // differently are (re)built, and the required flags of the .VAL file are
    // set as expected. The fields themselves must match; nothing is done for
    // a read-only table.
    virtual void syncSchema(const TableDef &expected) { (void)expected; }
};

} // namespace kw::data
