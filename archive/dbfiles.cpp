#include "archive/dbfiles.h"

#include "archive/encoding.h"
#include "core/findfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kw::archive {

const char kSerialNumber[] = "QF10220001";

DatabaseFiles::DatabaseFiles(const QStringList &names, const QHash<QString, QString> &journals)
    : m_names(names), m_journals(journals)
{
    for (const QString &n : names)
        m_byLower.insert(n.toLower(), n);
    for (const QString &j : journals)
        m_journalsByLower.insert(j.toLower(), j);
}

bool DatabaseFiles::covers(const QString &dir, const QString &path) const
{
    const QFileInfo fi(path);
    if (QDir::cleanPath(fi.absolutePath()) != QDir::cleanPath(QDir(dir).absolutePath()))
        return false;
    const QString lower = fi.fileName().toLower();
    return m_byLower.contains(lower) || m_journalsByLower.contains(lower);
}

QStringList DatabaseFiles::pathsIn(const QString &dir) const
{
    QStringList all = m_names;
    for (const QString &n : m_names)
        if (const QString j = journalOf(n); !j.isEmpty())
            all << j;
    const kw::core::NoCaseDirectory present(dir);
    QStringList paths;
    for (const QString &name : std::as_const(all)) {
        const QString canonical = QDir::cleanPath(QDir(dir).absoluteFilePath(name));
        paths << canonical;
        const QString actual = present.find(name);
        if (!actual.isEmpty() && QDir::cleanPath(QFileInfo(actual).absoluteFilePath()) != canonical)
            paths << QDir::cleanPath(QFileInfo(actual).absoluteFilePath());
    }
    return paths;
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

QString quotedPath(const QString &path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

} // namespace kw::archive
