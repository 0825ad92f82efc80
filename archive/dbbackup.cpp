#include "archive/dbbackup.h"

#include "archive/encoding.h"
#include "core/durablefile.h"
#include "core/findfile.h"

#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>

#ifdef Q_OS_UNIX
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
        r.error = QString::fromLocal8Bit(e.what());
    }
    r.failed = a.Failures();
}

BackupReport backupDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                            const DatabaseFiles &files)
{
    BackupReport r;
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
    try {
        a.setFileName(archivePath);
        a.DeleteArchive();
        a.Open();
        if (!a.AddFiles(paths))
            r.error = QStringLiteral("A database file disappeared during the backup");
        r.failed = a.Failures();
    } catch (...) {
        recordError(r, a);
    }
    a.Close();
    return r;
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
    return true;
}

RestoreReport restoreDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir,
                              const DatabaseFiles &files)
{
    RestoreReport r;
    r.undoDir = undoDirectory(dataDir);
    const QString root = QDir(dataDir).absolutePath();
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
            // Whatever a handler said: only database files, only here.
            dest = QDir(root).filePath(name);
            if (accept) {
                r.touched = true;
                // A new file, never a write into the one the undo copy may share.
                QFile::remove(dest);
            }
        }));
    const auto extracted = a.OnFileExtracted;
    const QScopedValueRollback extractedScope(
        a.OnFileExtracted, decltype(a.OnFileExtracted)([&](const TFileEntry &e, const QString &dest) {
            r.restored << QFileInfo(dest).fileName();
            if (extracted)
                extracted(e, dest);
        }));
    try {
        if (!QFileInfo::exists(archivePath))
            throw EArchiver(QStringLiteral("Archive %1 does not exist !").arg(archivePath));
        a.setFileName(archivePath);
        a.Open(); // verified and accepted before any file is touched
        QString error;
        if (!makeUndoCopy(root, files, &error))
            throw EStreamError(error);
        a.ExtractPath = root;
        a.ExtractFiles();
        r.failed = a.Failures();
    } catch (...) {
        recordError(r, a);
    }
    a.Close();
    if (r.complete())
        setManifestState(r.undoDir, QStringLiteral("complete"));
    return r;
}

} // namespace kw::archive
