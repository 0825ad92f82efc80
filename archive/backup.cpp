// A backup is staged: the archive is written in a folder of its own beside
// its target, under the target's own name (so segment names follow it), and
// moved into place once it is complete and synced. The folder holds a mark
// that its backup keeps locked, so that a later backup tells the folder of a
// running one from the leftover of one that was killed.
#include "archive/backup.h"

#include "core/filelock.h"
#include "core/folders.h"
#include "core/durablefile.h"
#include "core/findfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

namespace kw::archive {

namespace {

const QString kStagingMark = QStringLiteral(".kitwarden-backup");

// Folders beside the target named as this program names its staging folders.
QStringList stagingFolders(const QString &targetDir, const QString &targetName)
{
    const QRegularExpression name(QStringLiteral("^\\.%1-[A-Za-z0-9]{6}$")
                                      .arg(QRegularExpression::escape(targetName)));
    QStringList found;
    for (const QString &n : QDir(targetDir).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        if (name.match(n).hasMatch())
            found << QDir(targetDir).filePath(n);
    return found;
}

// A staging folder a killed backup left: a real folder of plain files whose
// mark no running backup holds (a folder from before there were marks has
// none).
bool isLeftover(const QString &folder)
{
    if (kw::core::isLink(folder))
        return false;
    for (const QFileInfo &e : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (kw::core::isLink(e.absoluteFilePath()) || !e.isFile())
            return false;
    QFile mark(QDir(folder).filePath(kStagingMark));
    if (!mark.exists())
        return true;
    return mark.open(QIODevice::ReadOnly) && kw::core::tryLockFile(mark, kw::core::LockMode::Shared);
}

// Leftovers of killed backups would take the room the new one needs.
void removeLeftoverStaging(const QString &targetDir, const QString &targetName)
{
    for (const QString &folder : stagingFolders(targetDir, targetName))
        if (isLeftover(folder))
            kw::core::removeTree(folder);
}

void moveStagedArchive(const QString &stageDir, const QString &target)
{
    const QString targetDir = QFileInfo(target).absolutePath();
    const QString first = QFileInfo(target).fileName();
    QString why;
    // Later segments first: the archive is usable once its first one is there.
    const QStringList names = QDir(stageDir).entryList(QDir::Files | QDir::Hidden);
    for (const QString &n : names)
        if (n != first && n != kStagingMark
            && !kw::core::replaceFileDurably(QDir(stageDir).filePath(n), QDir(targetDir).filePath(n), &why))
            throw EStreamError(QStringLiteral("Cannot write %1: %2").arg(quotedPath(QDir(targetDir).filePath(n)), why));
    if (!kw::core::replaceFileDurably(QDir(stageDir).filePath(first), target, &why))
        throw EStreamError(QStringLiteral("Cannot write %1: %2").arg(quotedPath(target), why));
}

// The new archive can be staged on a removable medium when it fits beside the
// old one there: the database's own size bounds its compressed copy.
bool roomToStage(TArchiver &a, const QString &targetDir, const QStringList &paths)
{
    qint64 need = a.MinFreeSpace;
    for (const QString &p : paths)
        need += QFileInfo(p).size();
    return availableSpace(a.drives().freeBytes(targetDir)) >= need;
}

void addAndClose(TArchiver &a, const QStringList &paths, BackupReport &r)
{
    a.Open();
    if (!a.AddFiles(paths))
        r.error = QStringLiteral("A database file disappeared during the backup");
    r.failed = a.Failures();
    a.Close();
    if (!a.CloseError().isEmpty())
        throw EStreamError(a.CloseError());
}

void backupStaged(TArchiver &a, const QString &target, const QStringList &paths, BackupReport &r)
{
    const QString targetDir = QFileInfo(target).absolutePath();
    QTemporaryDir stage(QDir(targetDir).filePath(QStringLiteral(".%1-XXXXXX").arg(QFileInfo(target).fileName())));
    if (!stage.isValid())
        throw EStreamError(QStringLiteral("Cannot create a file in %1: %2").arg(quotedPath(targetDir), stage.errorString()));
    QFile mark(QDir(stage.path()).filePath(kStagingMark));
    if (!mark.open(QIODevice::WriteOnly) || !kw::core::tryLockFile(mark, kw::core::LockMode::Exclusive))
        throw EStreamError(QStringLiteral("Cannot create a file in %1: %2").arg(quotedPath(stage.path()), mark.errorString()));
    a.setFileName(QDir(stage.path()).filePath(QFileInfo(target).fileName()));
    addAndClose(a, paths, r);
    if (r.error.isEmpty()) {
        moveStagedArchive(stage.path(), target);
        r.written = true;
    }
}

// An archive that may go on over further disks is written where it belongs;
// the old one has to make room first.
void backupInPlace(TArchiver &a, const QString &target, const QStringList &paths, BackupReport &r)
{
    a.setFileName(target);
    a.DeleteArchive();
    r.written = true;
    addAndClose(a, paths, r);
}

} // namespace

QString refusedBackupTarget(const QString &archivePath, const QString &dataDir, const DatabaseFiles &files)
{
    return kw::core::refusedTarget(archivePath, QStringLiteral("a backup"), dataDir, files.names());
}

BackupReport backupDatabase(TArchiver &a, const QString &archivePathArg, const QString &dataDir,
                            const DatabaseFiles &files, const DatabaseTables &tables)
{
    // A copy: the caller may pass a.FileName(), which the job changes.
    const QString archivePath = archivePathArg;
    BackupReport r;
    if (archivePath.trimmed().isEmpty()) {
        r.error = a.Messages[Msg::FileNameNeeded];
        return r;
    }
    r.error = refusedBackupTarget(archivePath, dataDir, files);
    if (!r.error.isEmpty())
        return r;
    // Each table as the engine reads it, its journal settled; a table that
    // does not open is never stored.
    if (tables.settle) {
        r.unopenable = tables.settle(dataDir);
        if (!r.unopenable.isEmpty()) {
            r.error = QStringLiteral("Nothing was stored: a backup holds every table as it opens. Repair a damaged "
                                     "table (kitwarden-cli repair) or close the program that has it open, then back "
                                     "up again.");
            return r;
        }
    }
    const QString target = kw::core::finalTarget(archivePath);
    const QString targetDir = QFileInfo(target).absolutePath();

    // Actual names in the data directory, for file systems that tell case apart.
    const kw::core::NoCaseDirectory present(dataDir);
    QStringList paths;
    for (const QString &name : files.names()) {
        const QString actual = present.find(name);
        if (actual.isEmpty())
            r.missing << name;
        else
            paths << actual;
    }

    // The job's own handlers call the caller's, which are back afterwards.
    const auto added = a.OnFileAdded;
    const QScopedValueRollback addedScope(a.OnFileAdded, decltype(a.OnFileAdded)([&](const TFileEntry &e) {
                                              r.stored << e.Name;
                                              if (added)
                                                  added(e);
                                          }));
    const auto adding = a.OnAddFile;
    const QScopedValueRollback addScope(a.OnAddFile, decltype(a.OnAddFile)([&](TFileEntry &e, bool &accept) {
                                            // Stored under the list's spelling whatever the disk's case.
                                            const QString canonical = files.canonical(e.Name);
                                            if (!canonical.isEmpty())
                                                e.Name = canonical;
                                            if (adding)
                                                adding(e, accept);
                                        }));
    QDir().mkpath(targetDir);
    removeLeftoverStaging(targetDir, QFileInfo(target).fileName());
    try {
        if (a.drives().isRemovable(a.drives().driveOf(targetDir)) && !roomToStage(a, targetDir, paths))
            backupInPlace(a, target, paths, r);
        else
            backupStaged(a, target, paths, r);
    } catch (...) {
        recordJobError(r, a);
    }
    a.Close();
    if ((r.cancelled || !r.error.isEmpty()) && a.SpaceRanOut())
        r.error = QStringLiteral("The backup does not fit on the disk of %1: %2")
                      .arg(quotedPath(targetDir), QString::fromLocal8Bit(std::strerror(ENOSPC)));
    a.setFileName(archivePath);
    return r;
}

QStringList backupProblems(const BackupReport &r, const QString &dataDir)
{
    QStringList lines;
    for (const QString &m : r.missing)
        lines << QStringLiteral("missing from %1: %2 (not stored)").arg(QDir::toNativeSeparators(dataDir), m);
    for (const FileFailure &f : r.failed)
        lines << QStringLiteral("not done: %1: %2").arg(f.name, f.message);
    for (const TableProblem &p : r.unopenable)
        lines << QStringLiteral("%1 does not open: %2").arg(p.files.value(0), p.reason);
    if (!r.error.isEmpty())
        lines << r.error;
    return lines;
}

} // namespace kw::archive
