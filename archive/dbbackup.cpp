#include "archive/dbbackup.h"

#include "archive/encoding.h"
#include "data/shopschema.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kw::archive {

const char kSerialNumber[] = "QF10220001";

const QStringList &databaseFileList()
{
    // The table files with their companions, in the order of the shop schema.
    static const QStringList list = kw::data::shop::databaseFiles();
    return list;
}

QString databaseFileName(const QString &name)
{
    static const QHash<QString, QString> byLower = [] {
        QHash<QString, QString> h;
        for (const QString &n : databaseFileList())
            h.insert(n.toLower(), n);
        return h;
    }();
    return byLower.value(name.toLower());
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

// Restores handlers a job replaced for its duration.
template <typename F>
struct HandlerScope {
    F &slot;
    F saved;
    HandlerScope(F &s, F replacement) : slot(s), saved(s) { slot = std::move(replacement); }
    ~HandlerScope() { slot = saved; }
};

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

BackupReport backupDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir)
{
    BackupReport r;
    // Actual names in the data directory by lower case, for file systems that
    // tell case apart.
    QHash<QString, QString> present;
    for (const QString &f : QDir(dataDir).entryList(QDir::Files | QDir::Hidden))
        present.insert(f.toLower(), f);
    QStringList paths;
    for (const QString &name : databaseFileList()) {
        const QString actual = present.value(name.toLower());
        if (actual.isEmpty())
            r.missing << name;
        else
            paths << QDir(dataDir).filePath(actual);
    }

    auto added = a.OnFileAdded;
    HandlerScope addedScope(a.OnFileAdded, std::function<void(const TFileEntry &)>([&](const TFileEntry &e) {
                                r.stored << e.Name;
                                if (added)
                                    added(e);
                            }));
    auto adding = a.OnAddFile;
    HandlerScope addScope(a.OnAddFile, std::function<void(TFileEntry &, bool &)>([&](TFileEntry &e, bool &accept) {
                              // Stored under the list's spelling whatever the disk's case.
                              const QString canonical = databaseFileName(e.Name);
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
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot copy \"%1\" to \"%2\"").arg(from, to);
        return false;
    }
    char buf[65536];
    qint64 n;
    while ((n = in.read(buf, sizeof buf)) > 0)
        if (out.write(buf, n) != n)
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
    QSaveFile f(QDir(dir).filePath(kManifest));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = state.toUtf8() + '\n';
    for (const QString &p : present)
        text += "present " + p.toUtf8() + '\n';
    for (const QString &p : absent)
        text += "absent " + p.toUtf8() + '\n';
    f.write(text);
    return f.commit();
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
    QSaveFile out(f.fileName());
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(lines.join('\n'));
    return out.commit();
}

// Copies the current database files aside. A copy left by a restore that did
// not complete is kept: it holds the files as they were before that restore.
static bool makeUndoCopy(const QString &dataDir, QString *error)
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
    for (const QString &name : databaseFileList()) {
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
    QDir(dir).removeRecursively();
    if (!QDir().rename(fresh, dir)) {
        *error = QStringLiteral("Cannot create \"%1\"").arg(dir);
        return false;
    }
    return true;
}

bool undoRestore(const QString &dataDir, QString *error)
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
        const QString name = databaseFileName(line.mid(sp + 1));
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

RestoreReport restoreDatabase(TArchiver &a, const QString &archivePath, const QString &dataDir)
{
    RestoreReport r;
    r.undoDir = undoDirectory(dataDir);
    const QString root = QDir(dataDir).absolutePath();
    auto extractHook = a.OnExtractFile;
    HandlerScope extractScope(
        a.OnExtractFile, std::function<void(const TFileEntry &, QString &, bool &)>(
                             [&](const TFileEntry &e, QString &dest, bool &accept) {
                                 const int i = qMax(e.Name.lastIndexOf(QLatin1Char('\\')),
                                                    e.Name.lastIndexOf(QLatin1Char('/')));
                                 const QString name = databaseFileName(e.Name.mid(i + 1));
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
                                     // A new file, never a write into the one the undo copy
                                     // may share.
                                     QFile::remove(dest);
                                 }
                             }));
    auto extracted = a.OnFileExtracted;
    HandlerScope extractedScope(a.OnFileExtracted,
                                std::function<void(const TFileEntry &, const QString &)>(
                                    [&](const TFileEntry &e, const QString &dest) {
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
        if (!makeUndoCopy(root, &error))
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
