#pragma once
// The shop's backup and restore on top of the archive component: the
// component settings and user data of the program, and the two jobs the
// backup dialog and kitwarden-cli run over the shop's database files.
#include "archive/archiver.h"

#include <QDateTime>
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
    QString error;                // an error that ended the job
    bool complete() const { return missing.isEmpty() && failed.isEmpty() && !cancelled && error.isEmpty(); }
};

struct RestoreReport {
    QStringList restored;
    QStringList skipped;          // entries that are not database files
    QList<FileFailure> failed;
    bool cancelled = false;
    QString error;
    QString undoDir;              // the copy of the files as they were before
    bool touched = false;         // whether any database file was replaced
    bool complete() const { return skipped.isEmpty() && failed.isEmpty() && !cancelled && error.isEmpty(); }
};

// Deletes the archive, creates it anew and stores every database file of
// dataDir that exists. A missing file does not end the backup: it is left out
// and reported, and the rest of the list is still stored. The archive is closed
// in every case.
BackupReport backupDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                            const DatabaseFiles &files);

// Opens and verifies the archive before anything is touched, keeps a copy of
// the current database files in undoDirectory(dataDir), then extracts the
// database files (and only those, only into dataDir). The archive is closed in
// every case.
RestoreReport restoreDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                              const DatabaseFiles &files);

// Where the copy taken before a restore is kept.
QString undoDirectory(const QString &dataDir);
// Puts the files kept before the last restore back. Returns false with a reason.
bool undoRestore(const QString &dataDir, const DatabaseFiles &files, QString *error);

} // namespace kw::archive
