#include "data/engine/paths.h"

#include "core/findfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kw::data {

QString appId()
{
    return QStringLiteral(KW_APP_ID);
}

QString defaultDataDir()
{
    const QString env = qEnvironmentVariable("KITWARDEN_DATA_DIR");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    return dataDirFor(QCoreApplication::applicationDirPath());
}

bool isInstalledProgramDir(const QString &exeDir)
{
    // Compared by canonical path: /bin and /sbin are links into /usr on
    // Debian, and a prefix may be reached through a link too.
    const QString dir = QFileInfo(exeDir).canonicalFilePath();
    if (dir.isEmpty())
        return false;
    static const char *const systemDirs[] = {"/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/games",
                                             "/usr/local/bin", "/usr/local/sbin", "/usr/local/games"};
    for (const char *system : systemDirs) {
        if (QFileInfo(QString::fromLatin1(system)).canonicalFilePath() == dir)
            return true;
    }
    // Any other prefix (/opt/kitwarden, ~/.local) is recognised by the
    // desktop entry its install put beside bin/.
    return QFileInfo(dir).fileName() == QLatin1String("bin")
        && QFileInfo::exists(dir + QStringLiteral("/../share/applications/") + appId()
                             + QStringLiteral(".desktop"));
}

QString dataDirFor(const QString &exeDir)
{
    if (!exeDir.isEmpty() && !isInstalledProgramDir(exeDir)) {
        QDir d(exeDir);
        const bool hasTables = !kw::core::findExistingFileNoCase(exeDir, QStringLiteral("Hrdf.DB")).isEmpty();
        if (hasTables || QFileInfo(exeDir).isWritable())
            return d.absolutePath();
    }
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(user);
    return user;
}

} // namespace kw::data
