#include "core/paths.h"

#include <QDir>
#include <QStandardPaths>

namespace kw::core {

QString configDir()
{
    QString dir = qEnvironmentVariable("KITWARDEN_CONFIG_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

} // namespace kw::core
