#pragma once
// The shop's restore and its undo. Before the first database file is
// replaced, the files as they are (tables settled, journals included) are
// set aside in Restore-Undo with the mark of a running restore (see
// core/copyaside.h): a restore stopped at any moment is reported at every
// later start and can be undone; so can an undo stopped part-way.
#include "archive/dbfiles.h"

namespace kw::archive {

struct RestoreReport {
    QStringList restored;
    QStringList skipped;          // entries that are not database files
    QList<FileFailure> failed;    // files that failed; the old one is still there
    QStringList notRestored;      // database files the archive lists that were not put back
    QStringList notInArchive;     // database files the archive lacks (the old ones stay)
    QList<TableProblem> unopenable; // restored tables that do not open
    QStringList putBack;          // files of those tables put back from the copy kept before
    bool cancelled = false;
    QString error;
    QString undoDir;              // the copy of the files as they were before
    bool touched = false;         // whether any database file was replaced
    bool complete() const
    {
        return skipped.isEmpty() && failed.isEmpty() && notRestored.isEmpty() && notInArchive.isEmpty() &&
               unopenable.isEmpty() && !cancelled && error.isEmpty();
    }
};

// Where the copy taken before a restore is kept.
QString undoDirectory(const QString &dataDir);

// Opens and verifies the archive before anything is touched. With
// tables.settle, the tables of dataDir are settled first (a change a journal
// completed goes into its table), and a table another program holds open
// for writing refuses the restore. Then the database files and their
// journals are set aside in undoDirectory(dataDir), replacing the copy of an
// earlier restore (the copy always holds the state just before the restore
// that made it), marked as a running restore; the journals of the tables
// the archive replaces go (the restored tables equal the archive exactly);
// and the database files are extracted (only those, only into dataDir).
// Each file is written under a temporary name and takes the place of the
// old one only once its data checked out; a failed file leaves the old one.
// Every database file the archive lists or lacks that was not put back is
// reported. With tables.check, restored tables that do not open are
// reported, and put back from the copy when they opened before. The mark
// goes when the restore ends, whatever its result; the copy stays for
// undoRestore. The archive is closed in every case.
RestoreReport restoreDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                              const DatabaseFiles &files, const DatabaseTables &tables = {});

// What did not go as asked, one line each, for the user: empty when the job
// completed. A cancel is not among them (the user asked for it).
QStringList restoreProblems(const RestoreReport &r);

struct UndoReport {
    bool done = false;
    QString error;
    // Tables whose files changed since the restore ended, or since it was
    // found interrupted: their changes are gone with the undo.
    QStringList changedSince;
};
// The tables an undo would take back to before the last restore whose files
// were changed since that restore (what the undo loses): "Lists.DB".
QStringList changedSinceRestore(const QString &dataDir, const DatabaseFiles &files);
// Puts the database files as they were before the last restore back, and
// their journals. It marks itself as a restore does: an undo stopped
// part-way is reported, and the next undo finishes it. The copy goes once
// everything is back. With tables.busy, a table another program holds open
// for writing refuses the undo before anything is changed.
UndoReport undoRestore(const QString &dataDir, const DatabaseFiles &files, const DatabaseTables &tables = {});

// Whether a restore into dataDir, or its undo, was interrupted (the program
// or the machine stopped before it ended): the database may mix old and new
// files.
bool restoreWasInterrupted(const QString &dataDir);
// What to tell the user then, with the way back on the command line; empty
// when nothing was interrupted. The first call after the interruption notes
// the state of the files, so that an undo can say what changed since.
QString interruptedRestoreText(const QString &dataDir);

} // namespace kw::archive
