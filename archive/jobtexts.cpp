#include "archive/jobtexts.h"

#include "archive/archiver.h"
#include "archive/encoding.h"
#include "archive/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>

namespace kw::archive {

namespace {

// Paths as the user can find them again, whatever they were given as.
QString native(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString files(int n)
{
    return n == 1 ? QStringLiteral("1 database file") : QStringLiteral("%1 database files").arg(QLocale().toString(n));
}

} // namespace

BackupContents readBackupContents(TArchiver &a, const QString &archivePath, const DatabaseFiles &dbFiles)
{
    a.Close();
    openBackup(a, archivePath);
    const auto close = qScopeGuard([&a] { a.Close(); });
    const TUserData &u = a.Header().UserData;
    BackupContents c;
    c.made = oleToDateTime(u.BackupDate);
    QStringList who;
    for (const QString &s : {u.UserName.trimmed(), u.UserCompany.trimmed()})
        if (!s.isEmpty())
            who << s;
    c.creator = who.join(QStringLiteral(", "));
    c.version = u.ProductVersion;
    for (const TFileEntry &e : a.Entries())
        if (!dbFiles.canonical(QFileInfo(e.Name).fileName()).isEmpty())
            ++c.databaseFiles;
    return c;
}

QString restoreQuestion(const BackupContents &c, const QString &archivePath, const QString &dataDir)
{
    const QString made = c.made.isValid() ? dateTimeText(c.made) : QStringLiteral("an unknown date");
    const QString by = c.creator.isEmpty() ? QString() : QStringLiteral(" by %1").arg(c.creator);
    return QStringLiteral("Restore the backup %1, made %2%3 (version %4), with %5?\n\n"
                          "It replaces the database in %6 with the files of the backup. The database as it is "
                          "now is kept and can be put back.")
        .arg(native(archivePath), made, by)
        .arg(c.version)
        .arg(files(c.databaseFiles), native(dataDir));
}

QString undoRestoreHint()
{
    return QStringLiteral("kitwarden-cli restore --undo");
}

QString restoreDoneText(const RestoreReport &r, const QString &dataDir)
{
    return QStringLiteral("%1 restored into %2.\n\nThe database as it was before the restore is kept in %3; "
                          "\"%4\" puts it back.")
        .arg(files(int(r.restored.size())), native(dataDir), native(r.undoDir), undoRestoreHint());
}

QString backupDoneText(const BackupReport &r, const QString &archivePath)
{
    const qint64 size = QFileInfo(archivePath).size();
    return QStringLiteral("The backup is in %1: %2, %3.")
        .arg(native(archivePath),
             QLocale().formattedDataSize(size, 1, QLocale::DataSizeTraditionalFormat), files(int(r.stored.size())));
}

} // namespace kw::archive
