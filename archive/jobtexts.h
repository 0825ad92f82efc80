#pragma once
// What the backup dialog and kitwarden-cli tell the user around the jobs:
// the question before a restore replaces the database, and what a finished
// backup or restore did. One text for both, so the program and the command
// line say the same.
#include "archive/backup.h"
#include "archive/restore.h"

#include <QDateTime>

namespace kw::archive {

// What a backup holds, read from its header before anything is touched.
struct BackupContents {
    QDateTime made;      // when it was written
    QString creator;     // user and company of its user data
    int version = 0;     // the program version that wrote it
    int databaseFiles = 0; // database files among its entries
};

// Opens the backup at archivePath (openBackup: verified and accepted),
// reads its header and content and closes it again. Throws what openBackup
// throws (a missing file, not an archive, an archive of another program).
BackupContents readBackupContents(TArchiver &a, const QString &archivePath, const DatabaseFiles &files);

// The question before a restore: the backup's date, creator and file
// count, that every database file in dataDir is replaced, and that the
// database as it is now is kept to be put back.
QString restoreQuestion(const BackupContents &c, const QString &archivePath, const QString &dataDir);

// How the database from before the last restore is put back.
QString undoRestoreHint();

// After a restore that completed: how many files were restored, and that
// the earlier database can be put back (undoRestoreHint).
QString restoreDoneText(const RestoreReport &r, const QString &dataDir);

// After a backup that completed: where the archive is, its size and its
// file count.
QString backupDoneText(const BackupReport &r, const QString &archivePath);

} // namespace kw::archive
