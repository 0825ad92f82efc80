#include "core/folders.h"

#include "core/findfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace kw::core {

bool isLink(const QString &path)
{
    const QFileInfo fi(path);
    return fi.isSymbolicLink() || fi.isJunction();
}

bool removeTree(const QString &path, QString *error)
{
    const QFileInfo fi(path);
    const auto failed = [&](const QString &what) {
        if (error)
            *error = QStringLiteral("Cannot remove \"%1\"").arg(QDir::toNativeSeparators(what));
        return false;
    };
    if (isLink(path) || (fi.exists() && !fi.isDir()))
        return QFile::remove(path) || failed(path);
    if (!fi.exists())
        return true;
    // A real folder: its entries one by one, links among them removed as
    // links, never entered.
    const QFileInfoList entries =
        QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &e : entries)
        if (!removeTree(e.absoluteFilePath(), error))
            return false;
    return QDir().rmdir(path) || failed(path);
}

bool makeFreshFolder(const QString &path, QString *error)
{
    if (!removeTree(path, error))
        return false;
    if (QDir().mkpath(path))
        return true;
    if (error)
        *error = QStringLiteral("Cannot create \"%1\"").arg(QDir::toNativeSeparators(path));
    return false;
}

QString finalTarget(const QString &path)
{
    QString at = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40 && isLink(at); ++hops) {
        const QString to = QFileInfo(at).symLinkTarget();
        if (to.isEmpty())
            break;
        at = to;
    }
    return at;
}

namespace {

#ifdef Q_OS_UNIX
bool sameFile(const QString &a, const QString &b)
{
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
#endif

bool isProtected(const QString &target, const QString &dir, const QStringList &names)
{
    const QFileInfo fi(target);
    const QString parent = QFileInfo(fi.absolutePath()).canonicalFilePath();
    if (!parent.isEmpty() && parent == QFileInfo(dir).canonicalFilePath())
        for (const QString &n : names)
            if (n.compare(fi.fileName(), Qt::CaseInsensitive) == 0)
                return true;
#ifdef Q_OS_UNIX
    // Another name of a protected file (a hard link, a copy kept aside).
    if (fi.exists()) {
        const NoCaseDirectory present(dir);
        for (const QString &n : names) {
            const QString actual = present.find(n);
            if (!actual.isEmpty() && sameFile(actual, target))
                return true;
        }
    }
#endif
    return false;
}

} // namespace

QString refusedTarget(const QString &path, const QString &what, const QString &protectedDir,
                      const QStringList &protectedNames)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const QString target = finalTarget(path);
    if (!protectedDir.isEmpty() && isProtected(target, protectedDir, protectedNames))
        return QStringLiteral("\"%1\" is a database file: %2 there would destroy it. "
                              "Choose another file name or folder.")
            .arg(shown, what);
    const QFileInfo fi(target);
    if (fi.exists() && !fi.isFile())
        return QStringLiteral("\"%1\" exists and is not a regular file: %2 cannot replace it.").arg(shown, what);
#ifdef Q_OS_UNIX
    // A device or a pipe passes QFileInfo::isFile on some systems' views.
    struct stat st {};
    if (::stat(QFile::encodeName(target).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return QStringLiteral("\"%1\" exists and is not a regular file: %2 cannot replace it.").arg(shown, what);
#endif
    return {};
}

} // namespace kw::core
