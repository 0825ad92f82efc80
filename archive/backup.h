#pragma once
// The shop's backup: every database file of the data directory, each table
// as the engine reads it, into one archive that takes the place of the
// previous one only when it is complete.
#include "archive/dbfiles.h"

namespace kw::archive {

struct BackupReport {
    QStringList stored;           // in archive order
    QStringList missing;          // database files not in the data directory
    QList<FileFailure> failed;    // files the error policy skipped
    QList<TableProblem> unopenable; // tables that do not open: nothing was stored
    bool cancelled = false;       // user cancel or "No" in the continue dialog
    QString error;                // an error that ended the job (or refused it)
    // The archive at the target is this job's: whole when complete(); else
    // what it stored before it stopped (only on a removable medium written
    // in place). False: the target is as it was before the job.
    bool written = false;
    bool complete() const
    {
        return missing.isEmpty() && failed.isEmpty() && unopenable.isEmpty() && !cancelled && error.isEmpty();
    }
};

// Why archivePath may not be a backup's target, or empty: it is (or leads
// through links to) a database file of dataDir, or it exists and is not a
// regular file.
QString refusedBackupTarget(const QString &archivePath, const QString &dataDir, const DatabaseFiles &files);

// Stores every database file of dataDir that exists in a new archive at
// archivePath. With tables.settle, every table is first brought to the
// state the engine reads (a change its journal completed goes into the
// table), and a table that does not open, or that another program holds
// open for writing, ends the backup before anything is written: an archive
// never holds a table that does not open. A missing file does not end the
// backup: it is left out and reported, and the rest of the list is still
// stored. The archive is written in a folder of its own beside the target
// (staging folders that an earlier backup left there are removed first,
// before the room is measured) and takes the place of the previous one only
// when it is complete and on the disk; a failed or cancelled backup leaves
// the previous archive as it was and nothing of the new one. The exception:
// on a removable medium without room for the new archive beside the old
// one, the old one is deleted first and the new one written in its place,
// so that it may go on over further disks. A refused target
// (refusedBackupTarget) is reported as the error. The archive is closed in
// every case.
BackupReport backupDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                            const DatabaseFiles &files, const DatabaseTables &tables = {});

// What did not go as asked, one line each, for the user: empty when the job
// completed. A cancel is not among them (the user asked for it).
QStringList backupProblems(const BackupReport &r, const QString &dataDir);

} // namespace kw::archive
