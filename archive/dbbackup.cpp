#include "archive/dbbackup.h"

#include "archive/encoding.h"
#include "core/durablefile.h"
#include "core/findfile.h"

#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QStandardPaths>

#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kw::archive {

const char kSerialNumber[] = "QF10220001";

DatabaseFiles::DatabaseFiles(const QStringList &names) : m_names(names)
{
    for (const QString &n : names)
        m_byLower.insert(n.toLower(), n);
}

TUserData applicationUserData(const QDateTime &now)
{
    TUserData u;
    u.UserName = QStringLiteral("Kitwarden User");
    u.UserCompany = QStringLiteral("V.I. Zode");
    u.SerialNumber = QString::fromLatin1(kSerialNumber);
    u.BackupName = QStringLiteral("Data Files");
    u.BackupDate = dateTimeToOle(now);
    u.ProductId = kProductId;
    u.ProductVersion = kProductVersion;
    return u;
}

bool acceptApplicationArchive(const TArchiveHeader &h)
{
    return h.UserData.ProductId == kProductId && h.UserData.ProductVersion >= kProductVersion;
}

void configureForApplication(TArchiver &a, std::function<QDateTime()> clock)
{
    a.setBlockSize(65536);
    a.CompressionLevel = TCompressionLevel::clMaximum;
    a.PathStorage = TPathStorage::psNone;
    a.RestoreAction = TRestoreAction::raOverwrite;
    a.ErrorAction = TErrorAction::eaAsk;
    a.setMaxSegmentSize(0);
    a.MinFreeSpace = 1048576;
    a.Filter = QStringLiteral("*.*");
    a.Language = TLanguage::lgEnglish;
    a.Options = TOptions{oStoreEmptyFolders, oCompress, oEraseFirstDisk, oEraseNewDisk, oConfirmFileDeletion,
                         oSecureAccess, oMaintainFileDirectory};
    a.Messages = applicationMessages();
    a.OnAcceptArchive = [](const TArchiveHeader &h, bool &accept) { accept = acceptApplicationArchive(h); };
    if (!clock)
        clock = [] { return QDateTime::currentDateTime(); };
    a.OnWriteUserData = [clock](TUserData &u) { u = applicationUserData(clock()); };
}

template <typename Report>
static void recordError(Report &r, TArchiverRoot &a)
{
    try {
        throw;
    } catch (const EAbort &) {
        r.cancelled = true;
    } catch (const EArchiverBase &e) {
        r.error = e.message();
    } catch (const std::exception &e) {
        r.error = kw::core::messageOf(e);
    }
    r.failed = a.Failures();
}

// ---- backup targets

#ifdef Q_OS_UNIX
static bool statOf(const QString &path, struct stat *st)
{
    return ::stat(QFile::encodeName(path).constData(), st) == 0;
}
#endif

// Where a backup to archivePath ends up: a link is followed to the file it
// names, so the link stays and its file is replaced.
static QString resolvedTarget(const QString &archivePath)
{
    const QFileInfo fi(archivePath);
    if (fi.isSymLink()) {
        const QString to = fi.symLinkTarget();
        if (!to.isEmpty())
            return to;
    }
    return fi.absoluteFilePath();
}

static bool isDatabaseFile(const QString &path, const QString &dataDir, const DatabaseFiles &files)
{
    const QFileInfo fi(path);
    const QString dir = QFileInfo(fi.absolutePath()).canonicalFilePath();
    if (!dir.isEmpty() && dir == QFileInfo(dataDir).canonicalFilePath() && !files.canonical(fi.fileName()).isEmpty())
        return true;
#ifdef Q_OS_UNIX
    // Another name of a database file (a hard link, the copy kept before a
    // restore).
    struct stat target {};
    if (!statOf(path, &target))
        return false;
    const kw::core::NoCaseDirectory present(dataDir);
    for (const QString &name : files.names()) {
        struct stat st {};
        const QString actual = present.find(name);
        if (!actual.isEmpty() && statOf(actual, &st) && st.st_dev == target.st_dev && st.st_ino == target.st_ino)
            return true;
    }
#endif
    return false;
}

QString refusedBackupTarget(const QString &archivePath, const QString &dataDir, const DatabaseFiles &files)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(archivePath).absoluteFilePath());
    const QString target = resolvedTarget(archivePath);
    if (isDatabaseFile(target, dataDir, files))
        return QStringLiteral("\"%1\" is a database file: a backup there would destroy it. "
                              "Choose another file name or folder.").arg(shown);
#ifdef Q_OS_UNIX
    struct stat st {};
    if (statOf(target, &st) && !S_ISREG(st.st_mode))
#else
    if (QFileInfo::exists(target) && !QFileInfo(target).isFile())
#endif
        return QStringLiteral("\"%1\" exists and is not a regular file: a backup cannot replace it.").arg(shown);
    return {};
}

// ---- backup

// The archive is built in a folder of its own beside the target, under the
// target's own name (so segment names follow it), and moved into place once
// it is complete and synced.
static void moveStagedArchive(const QString &stageDir, const QString &target)
{
    const QString targetDir = QFileInfo(target).absolutePath();
    const QString first = QFileInfo(target).fileName();
    QString why;
    // Later segments first: the archive is usable once its first one is there.
    const QStringList names = QDir(stageDir).entryList(QDir::Files | QDir::Hidden);
    for (const QString &n : names)
        if (n != first && !kw::core::replaceFileDurably(QDir(stageDir).filePath(n), QDir(targetDir).filePath(n), &why))
            throw EStreamError(QStringLiteral("Cannot write \"%1\": %2")
                                   .arg(QDir::toNativeSeparators(QDir(targetDir).filePath(n)), why));
    if (!kw::core::replaceFileDurably(QDir(stageDir).filePath(first), target, &why))
        throw EStreamError(QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(target), why));
}

// The new archive can be staged on a removable medium when it fits beside the
// old one there: the database's own size bounds its compressed copy.
static bool roomToStage(TArchiver &a, const QString &targetDir, const QStringList &paths)
{
    qint64 need = a.MinFreeSpace;
    for (const QString &p : paths)
        need += QFileInfo(p).size();
    return availableSpace(a.drives().freeBytes(targetDir)) >= need;
}

static void addAndClose(TArchiver &a, const QStringList &paths, BackupReport &r)
{
    a.Open();
    if (!a.AddFiles(paths))
        r.error = QStringLiteral("A database file disappeared during the backup");
    r.failed = a.Failures();
    a.Close();
    if (!a.CloseError().isEmpty())
        throw EStreamError(a.CloseError());
}

static void backupStaged(TArchiver &a, const QString &target, const QStringList &paths, BackupReport &r)
{
    const QString targetDir = QFileInfo(target).absolutePath();
    QTemporaryDir stage(QDir(targetDir).filePath(QStringLiteral(".%1-XXXXXX").arg(QFileInfo(target).fileName())));
    if (!stage.isValid())
        throw EStreamError(QStringLiteral("Cannot create a file in \"%1\": %2")
                               .arg(QDir::toNativeSeparators(targetDir), stage.errorString()));
    a.setFileName(QDir(stage.path()).filePath(QFileInfo(target).fileName()));
    addAndClose(a, paths, r);
    if (r.error.isEmpty())
        moveStagedArchive(stage.path(), target);
}

// An archive that may go on over further disks is written where it belongs;
// the old one has to make room first.
static void backupInPlace(TArchiver &a, const QString &target, const QStringList &paths, BackupReport &r)
{
    a.setFileName(target);
    a.DeleteArchive();
    addAndClose(a, paths, r);
}

BackupReport backupDatabase(TArchiver &a, const QString &archivePathArg, const QString &dataDir,
                            const DatabaseFiles &files)
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
    const QString target = resolvedTarget(archivePath);
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
    try {
        if (a.drives().isRemovable(a.drives().driveOf(targetDir)) && !roomToStage(a, targetDir, paths))
            backupInPlace(a, target, paths, r);
        else
            backupStaged(a, target, paths, r);
    } catch (...) {
        recordError(r, a);
    }
    a.Close();
    if ((r.cancelled || !r.error.isEmpty()) && a.SpaceRanOut())
        r.error = QStringLiteral("The backup does not fit on the disk of \"%1\": %2")
                      .arg(QDir::toNativeSeparators(targetDir), QString::fromLocal8Bit(std::strerror(ENOSPC)));
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
    if (!r.error.isEmpty())
        lines << r.error;
    return lines;
}

QStringList restoreProblems(const RestoreReport &r)
{
    QStringList lines;
    for (const QString &s : r.skipped)
        lines << QStringLiteral("skipped: %1 (not a database file)").arg(s);
    for (const FileFailure &f : r.failed)
        lines << QStringLiteral("not done: %1: %2").arg(f.name, f.message);
    for (const QString &n : r.notRestored)
        lines << QStringLiteral("not restored: %1 (the backup lists it, but it was not put back)").arg(n);
    for (const QString &n : r.notInArchive)
        lines << QStringLiteral("not restored: %1 (the backup does not hold it; the file from before stays)").arg(n);
    for (const TableProblem &p : r.unopenable)
        lines << QStringLiteral("restored table does not open: %1: %2").arg(p.files.value(0), p.reason);
    if (!r.putBack.isEmpty())
        lines << QStringLiteral("put back as they were before the restore: %1").arg(r.putBack.join(QStringLiteral(", ")));
    if (!r.error.isEmpty())
        lines << r.error;
    return lines;
}

// ---- where backups go, and reading them back

QString archiveMissingText(const QString &path)
{
    return QStringLiteral("Archive %1 does not exist !").arg(QDir::toNativeSeparators(path));
}

void openBackup(TArchiver &a, const QString &path)
{
    // A path that cannot be reached is left to Open, which names the reason.
    if (!QFileInfo::exists(path) && kw::core::accessProblem(path).isEmpty())
        throw EArchiver(archiveMissingText(path));
    a.setFileName(path);
    a.Open();
}

QString defaultBackupLocation(DriveServices &drives, const QStringList &mediaRoots, const QString &documentsDir)
{
    const QString name = QStringLiteral("Backup.Alse");
    for (const QString &root : mediaRoots) {
        const QFileInfoList mounts = QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &m : mounts) {
            const QString dir = m.absoluteFilePath() + QLatin1Char('/');
            // A folder left behind by an earlier mount lies on another drive.
            if (drives.driveOf(dir) == dir && drives.isRemovable(dir) && m.isWritable())
                return dir + name;
        }
    }
    return QDir(documentsDir).filePath(name);
}

QString defaultBackupLocation()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QDir::home().dirName();
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return defaultBackupLocation(systemDrives(),
                                 {QStringLiteral("/media/") + user, QStringLiteral("/run/media/") + user}, documents);
}

// ---- the copy kept before a restore

static const QString kManifest = QStringLiteral("manifest.txt");

QString undoDirectory(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("Restore-Undo"));
}

static bool copyDurably(const QString &from, const QString &to, QString *error)
{
    QFile in(from);
    kw::core::DurableFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open()) {
        *error = QStringLiteral("Cannot copy \"%1\" to \"%2\"").arg(from, to);
        return false;
    }
    char buf[65536];
    qint64 n;
    while ((n = in.read(buf, sizeof buf)) > 0)
        if (!out.write(buf, n))
            break;
    if (n < 0 || !out.commit()) {
        *error = QStringLiteral("Cannot copy \"%1\" to \"%2\"").arg(from, to);
        return false;
    }
    QFile stamp(to);
    if (stamp.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        stamp.setFileTime(QFileInfo(from).lastModified(), QFileDevice::FileModificationTime);
    return true;
}

// state: "incomplete" while a restore runs or after one failed, "complete" after.
static QString manifestState(const QString &dir)
{
    QFile f(QDir(dir).filePath(kManifest));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readLine()).trimmed();
}

static bool writeManifest(const QString &dir, const QString &state, const QStringList &present,
                          const QStringList &absent)
{
    QByteArray text = state.toUtf8() + '\n';
    for (const QString &p : present)
        text += "present " + p.toUtf8() + '\n';
    for (const QString &p : absent)
        text += "absent " + p.toUtf8() + '\n';
    return kw::core::writeFileDurably(QDir(dir).filePath(kManifest), text);
}

static bool setManifestState(const QString &dir, const QString &state)
{
    QFile f(QDir(dir).filePath(kManifest));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QList<QByteArray> lines = f.readAll().split('\n');
    f.close();
    if (lines.isEmpty())
        return false;
    lines[0] = state.toUtf8();
    return kw::core::writeFileDurably(f.fileName(), lines.join('\n'));
}

// Copies the current database files aside. A copy left by a restore that did
// not complete is kept: it holds the files as they were before that restore.
static bool makeUndoCopy(const QString &dataDir, const DatabaseFiles &files, QString *error)
{
    const QString dir = undoDirectory(dataDir);
    if (manifestState(dir) == QLatin1String("incomplete"))
        return true;
    const QString fresh = dir + QStringLiteral(".new");
    QDir(fresh).removeRecursively();
    if (!QDir().mkpath(fresh)) {
        *error = QStringLiteral("Cannot create \"%1\"").arg(fresh);
        return false;
    }
    QStringList present, absent;
    for (const QString &name : files.names()) {
        const QString src = QDir(dataDir).filePath(name);
        if (QFileInfo(src).isFile()) {
            // A second name for the same file costs nothing; the restore then
            // writes new files instead of overwriting these (see below).
            bool linked = false;
#ifdef Q_OS_UNIX
            linked = ::link(QFile::encodeName(src).constData(),
                            QFile::encodeName(QDir(fresh).filePath(name)).constData()) == 0;
#endif
            if (!linked && !copyDurably(src, QDir(fresh).filePath(name), error))
                return false;
            present << name;
        } else {
            absent << name;
        }
    }
    if (!writeManifest(fresh, QStringLiteral("incomplete"), present, absent)) {
        *error = QStringLiteral("Cannot write \"%1\"").arg(QDir(fresh).filePath(kManifest));
        return false;
    }
    // The links are entries of the new directory: on the disk before it
    // takes the place of the old copy, and that rename before the restore.
    kw::core::syncDirectory(fresh);
    QDir(dir).removeRecursively();
    if (!QDir().rename(fresh, dir)) {
        *error = QStringLiteral("Cannot create \"%1\"").arg(dir);
        return false;
    }
    kw::core::syncDirectory(dataDir);
    return true;
}

// ---- a restore in progress

// Written (and synced) before the first database file is replaced, removed
// when the restore ends: found at a start, the restore was interrupted.
static const QString kRunningMark = QStringLiteral("restore-running");
// Where files are extracted before they take the place of the old ones.
static const QString kIncoming = QStringLiteral("Restore-Incoming");

static QString runningMarkPath(const QString &dataDir)
{
    return QDir(undoDirectory(dataDir)).filePath(kRunningMark);
}

bool restoreWasInterrupted(const QString &dataDir)
{
    return QFileInfo::exists(runningMarkPath(dataDir));
}

QString interruptedRestoreText(const QString &dataDir)
{
    return QStringLiteral("A restore into %1 was interrupted: the database may hold some files from the backup and "
                          "some from before. \"kitwarden-cli restore --undo\" puts the previous database back.")
        .arg(QDir::toNativeSeparators(QDir(dataDir).absolutePath()));
}

static void clearRunningMark(const QString &dataDir)
{
    QFile::remove(runningMarkPath(dataDir));
    kw::core::syncDirectory(undoDirectory(dataDir));
}

bool undoRestore(const QString &dataDir, const DatabaseFiles &files, QString *error)
{
    QString dummy;
    if (!error)
        error = &dummy;
    const QString dir = undoDirectory(dataDir);
    QFile f(QDir(dir).filePath(kManifest));
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("No copy from before a restore in \"%1\"").arg(dir);
        return false;
    }
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]);
        const int sp = line.indexOf(QLatin1Char(' '));
        if (sp < 0)
            continue;
        const QString name = files.canonical(line.mid(sp + 1));
        if (name.isEmpty())
            continue; // only database files, only into the data directory
        const QString target = QDir(dataDir).filePath(name);
        if (line.startsWith(QLatin1String("present "))) {
            QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
            if (!copyDurably(QDir(dir).filePath(name), target, error))
                return false;
        } else if (line.startsWith(QLatin1String("absent ")) && QFileInfo::exists(target)) {
            if (!QFile::remove(target)) {
                *error = QStringLiteral("Cannot remove \"%1\"").arg(target);
                return false;
            }
        }
    }
    setManifestState(dir, QStringLiteral("complete"));
    QDir(QDir(dataDir).filePath(kIncoming)).removeRecursively();
    clearRunningMark(dataDir);
    return true;
}

// ---- restore

// The database files the restore did not put back: those the archive lists
// but were not extracted (and did not fail, which is reported already), and
// those it lacks.
static void findNotRestored(RestoreReport &r, const QStringList &listed, const DatabaseFiles &files)
{
    QStringList failed;
    for (const FileFailure &f : std::as_const(r.failed))
        failed << files.canonical(QFileInfo(QString(f.name).replace(QLatin1Char('\\'), QLatin1Char('/'))).fileName());
    for (const QString &name : files.names()) {
        if (r.restored.contains(name) || failed.contains(name))
            continue;
        if (listed.contains(name))
            r.notRestored << name;
        else
            r.notInArchive << name;
    }
}

// Restored tables that do not open go back to what they were, when that
// opened: a restore never leaves a table unusable that was usable before.
static void checkRestoredTables(RestoreReport &r, const QString &root, const DatabaseFiles &files,
                                const TableCheck &check)
{
    r.unopenable = check(root, r.restored);
    for (const TableProblem &p : std::as_const(r.unopenable)) {
        if (!check(r.undoDir, p.files).isEmpty())
            continue; // the old one did not open either
        for (const QString &f : p.files) {
            const QString name = files.canonical(f);
            if (name.isEmpty())
                continue;
            const QString kept = QDir(r.undoDir).filePath(name);
            const QString target = QDir(root).filePath(name);
            QString why;
            if (QFileInfo(kept).isFile()) {
                if (!copyDurably(kept, target, &why)) {
                    r.error = why;
                    return;
                }
            } else if (QFileInfo::exists(target) && !QFile::remove(target)) {
                r.error = QStringLiteral("Cannot remove \"%1\"").arg(QDir::toNativeSeparators(target));
                return;
            }
            r.putBack << name;
        }
    }
}

RestoreReport restoreDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                              const DatabaseFiles &files, const TableCheck &check)
{
    RestoreReport r;
    r.undoDir = undoDirectory(dataDir);
    const QString root = QDir(dataDir).absolutePath();
    const QString incoming = QDir(root).filePath(kIncoming);
    const auto extractHook = a.OnExtractFile;
    const QScopedValueRollback extractScope(
        a.OnExtractFile, decltype(a.OnExtractFile)([&](const TFileEntry &e, QString &dest, bool &accept) {
            const int i = qMax(e.Name.lastIndexOf(QLatin1Char('\\')), e.Name.lastIndexOf(QLatin1Char('/')));
            const QString name = files.canonical(e.Name.mid(i + 1));
            if (name.isEmpty() || e.Name.contains(QLatin1String(".."))) {
                accept = false;
                r.skipped << e.Name;
                return;
            }
            if (extractHook)
                extractHook(e, dest, accept);
            // Whatever a handler said: only database files, only here, and
            // first beside the data; the old file stays until this one checked out.
            dest = QDir(incoming).filePath(name);
        }));
    const auto extracted = a.OnFileExtracted;
    const QScopedValueRollback extractedScope(
        a.OnFileExtracted, decltype(a.OnFileExtracted)([&](const TFileEntry &e, const QString &dest) {
            const QString name = QFileInfo(dest).fileName();
            const QString target = QDir(root).filePath(name);
            QString why;
            // A new file in the old one's place: the copy kept before shares the old one.
            if (!kw::core::replaceFileDurably(dest, target, &why))
                throw EStreamError(
                    QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(target), why));
            r.touched = true;
            r.restored << name;
            if (extracted)
                extracted(e, target);
        }));
    QStringList listed;
    bool marked = false;
    try {
        openBackup(a, archivePath); // verified and accepted before any file is touched
        for (const TFileEntry &e : a.Entries()) {
            const int i = qMax(e.Name.lastIndexOf(QLatin1Char('\\')), e.Name.lastIndexOf(QLatin1Char('/')));
            const QString name = files.canonical(e.Name.mid(i + 1));
            if (!name.isEmpty())
                listed << name;
        }
        QString error;
        if (!makeUndoCopy(root, files, &error))
            throw EStreamError(error);
        if (!kw::core::writeFileDurably(runningMarkPath(root), QByteArray("restore running\n"), &error))
            throw EStreamError(QStringLiteral("Cannot write \"%1\": %2")
                                   .arg(QDir::toNativeSeparators(runningMarkPath(root)), error));
        marked = true;
        QDir(incoming).removeRecursively();
        if (!QDir().mkpath(incoming))
            throw EStreamError(QStringLiteral("Cannot create \"%1\"").arg(QDir::toNativeSeparators(incoming)));
        a.ExtractPath = root;
        a.ExtractFiles();
        r.failed = a.Failures();
    } catch (...) {
        recordError(r, a);
    }
    a.Close();
    QDir(incoming).removeRecursively();
    if (!marked)
        return r;
    if (!r.cancelled && r.error.isEmpty())
        findNotRestored(r, listed, files);
    if (check && r.touched)
        checkRestoredTables(r, root, files, check);
    if (r.complete())
        setManifestState(r.undoDir, QStringLiteral("complete"));
    clearRunningMark(root);
    return r;
}

} // namespace kw::archive
