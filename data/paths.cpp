#include "data/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kw::data {

QString defaultDataDir()
{
    const QString env = qEnvironmentVariable("KITWARDEN_DATA_DIR");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty()) {
        QDir d(exeDir);
        const bool hasTables = !d.entryList({QStringLiteral("Hrdf.DB"), QStringLiteral("hrdf.db")},
                                            QDir::Files).isEmpty();
        if (hasTables || QFileInfo(exeDir).isWritable())
            return d.absolutePath();
    }
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(user);
    return user;
}

QString configDir()
{
    QString dir = qEnvironmentVariable("KITWARDEN_CONFIG_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

} // namespace kw::data
