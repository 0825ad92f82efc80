#pragma once
// The shop's backup and restore on top of the archive component: the
// component settings and user data of the program, and the two jobs the
// backup dialog and kitwarden-cli run over the shop's database files.
#include "archive/archiver.h"

#include <QDateTime>
#include <functional>
#include <QHash>
#include <QStringList>

namespace kw::archive {

// The database files a backup stores and a restore may write, in the order
// they are stored and restored. The shop schema knows them (its table files
// with their companions); the caller hands them in.
class DatabaseFiles {
public:
    explicit DatabaseFiles(const QStringList &names);
    const QStringList &names() const { return m_names; }
    // The list's spelling of name when it names a database file (any case), else empty.
    QString canonical(const QString &name) const { return m_byLower.value(name.toLower()); }

private:
    QStringList m_names;
    QHash<QString, QString> m_byLower;
};

constexpr int kProductId = 102;
constexpr int kProductVersion = 200;
extern const char kSerialNumber[]; // 10 characters, the same in every backup

TUserData applicationUserData(const QDateTime &now);
// The program uses archives made by itself from version 200 on.
bool acceptApplicationArchive(const TArchiveHeader &h);

// Sets the properties, options, texts and the accept and user-data handlers
// the program uses. clock supplies "now" for the header (tests fix it).
void configureForApplication(TArchiver &a, std::function<QDateTime()> clock = {});

struct BackupReport {
    QStringList stored;           // in archive order
    QStringList missing;          // database files not in the data directory
    QList<FileFailure> failed;    // files the error policy skipped
    bool cancelled = false;       // user cancel or "No" in the continue dialog
    QString error;                // an error that ended the job (or refused it)
    bool complete() const { return missing.isEmpty() && failed.isEmpty() && !cancelled && error.isEmpty(); }
};

// A restored table that does not open: every file of the table, and why.
struct TableProblem {
    QStringList files;
    QString reason;
};
// Opens the tables among the named files of a directory; returns those that
// do not open. The data library knows tables; the caller hands this in.
using TableCheck = std::function<QList<TableProblem>(const QString &dir, const QStringList &files)>;

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
               unopenable.isEmpty() &&
               !cancelled && error.isEmpty();
    }
};

// Adapts a table check that returns any list of {files, reason} values.
template <class Check> TableCheck tableCheckFrom(Check check)
{
    return [check](const QString &dir, const QStringList &files) {
        QList<TableProblem> problems;
        for (const auto &p : check(dir, files))
            problems.append({p.files, p.reason});
        return problems;
    };
}

// "Archive %s does not exist !"
QString archiveMissingText(const QString &path);
// Opens a backup for reading: verified, accepted, its content listed. A
// missing file is refused with archiveMissingText before anything is created.
void openBackup(TArchiver &a, const QString &path);

// Where a backup goes unless the user said otherwise: Backup.Alse on the
// first mounted removable medium under mediaRoots, else in documentsDir.
QString defaultBackupLocation(DriveServices &drives, const QStringList &mediaRoots, const QString &documentsDir);
// The same for this user: media mounted under /media/$USER and
// /run/media/$USER, the documents folder.
QString defaultBackupLocation();

// Why archivePath may not be a backup's target, or empty: it is (or resolves
// to) a database file of dataDir, or it exists and is not a regular file.
QString refusedBackupTarget(const QString &archivePath, const QString &dataDir, const DatabaseFiles &files);

// Stores every database file of dataDir that exists in a new archive at
// archivePath. A missing file does not end the backup: it is left out and
// reported, and the rest of the list is still stored. The archive is written
// under a temporary name in the target's folder and takes the place of the
// previous one only when it is complete and on the disk; a failed or
// cancelled backup leaves the previous archive as it was and nothing of the
// new one. The exception: on a removable medium without room for the new
// archive beside the old one, the old one is deleted first and the new one
// written in its place, so that it may go on over further disks. A refused
// target (refusedBackupTarget) is reported as the error. The archive is
// closed in every case.
BackupReport backupDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                            const DatabaseFiles &files);

// Opens and verifies the archive before anything is touched, keeps a copy of
// the current database files in undoDirectory(dataDir), marks the restore as
// running, then extracts the database files (and only those, only into
// dataDir). Each file is written under a temporary name and takes the place
// of the old one only once its data checked out; a failed file leaves the old
// one. Every database file the archive lists or lacks that was not put back
// is reported. With check, restored tables that do not open are reported,
// and put back from the copy when the copy's table opens. The mark goes when
// the restore ends, whatever its result. The archive is closed in every case.
RestoreReport restoreDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                              const DatabaseFiles &files, const TableCheck &check = {});

// What did not go as asked, one line each, for the user: empty when the job
// completed. A cancel is not among them (the user asked for it).
QStringList backupProblems(const BackupReport &r, const QString &dataDir);
QStringList restoreProblems(const RestoreReport &r);

// Where the copy taken before a restore is kept.
QString undoDirectory(const QString &dataDir);
// Puts the files kept before the last restore back, and clears the mark of
// an interrupted restore. Returns false with a reason.
bool undoRestore(const QString &dataDir, const DatabaseFiles &files, QString *error);

// Whether a restore into dataDir was interrupted (the program or the
// machine stopped before it ended): its database may mix old and new files.
bool restoreWasInterrupted(const QString &dataDir);
// What to tell the user then, with the way back on the command line.
QString interruptedRestoreText(const QString &dataDir);

} // namespace kw::archive
