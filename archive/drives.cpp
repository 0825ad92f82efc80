#include "archive/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#endif

namespace kw::archive {

qint64 availableSpace(qint64 freeBytes)
{
    if (freeBytes < 0)
        return 0;
    qint64 a = freeBytes - 8192;
    if (a < 0)
        return 0;
    return a > 2147483647LL ? 2147483647LL : a;
}

static QString withSlash(QString p)
{
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

// Nearest existing directory at or above path.
static QString existingDir(const QString &path)
{
    QFileInfo fi(path);
    QString p = fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
    while (!QFileInfo(p).isDir()) {
        const QString up = QFileInfo(p).absolutePath();
        if (up == p)
            break;
        p = up;
    }
    return p;
}

QString SystemDrives::driveOf(const QString &path)
{
    const QStorageInfo si(existingDir(path));
    if (!si.isValid())
        return QStringLiteral("/");
    return withSlash(si.rootPath());
}

bool SystemDrives::isRemovable(const QString &drive)
{
#ifdef Q_OS_LINUX
    struct stat st;
    if (::stat(QFile::encodeName(drive).constData(), &st) != 0)
        return false;
    const QString sys = QStringLiteral("/sys/dev/block/%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev));
    // A partition reports through its parent disk.
    for (const QString &f : {sys + QStringLiteral("/removable"), sys + QStringLiteral("/../removable")}) {
        QFile r(f);
        if (r.open(QIODevice::ReadOnly))
            return r.readAll().trimmed() == "1";
    }
    return false;
#else
    Q_UNUSED(drive);
    return false;
#endif
}

qint64 SystemDrives::freeBytes(const QString &dir)
{
#ifdef Q_OS_UNIX
    struct statvfs v;
    if (::statvfs(QFile::encodeName(existingDir(dir)).constData(), &v) != 0)
        return -1;
    return qint64(v.f_bavail) * qint64(v.f_frsize);
#else
    const QStorageInfo si(existingDir(dir));
    return si.isValid() ? si.bytesAvailable() : -1;
#endif
}

bool SystemDrives::isReady(const QString &drive)
{
    const QStorageInfo si(drive);
    return si.isValid() && si.isReady() && si.bytesTotal() > 0;
}

DriveServices &systemDrives()
{
    static SystemDrives d;
    return d;
}

} // namespace kw::archive
