#include "app/filefolders.h"

#include "settings/iniout.h"
#include "settings/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kw::app {

QString documentsFolder()
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !docs.isEmpty() && QFileInfo(docs).isDir() ? docs : QDir::homePath();
}

QString lastFolder(const QString &valueName)
{
    QString last;
    try {
        auto reg = kw::settings::openRegistry(kw::settings::TRegRoots::CURRENT_USER);
        if (reg->openKey(kw::settings::kMainKey, false) && reg->valueExists(valueName))
            last = reg->readString(valueName);
    } catch (...) {
        // A value of another type is no folder.
    }
    return !last.isEmpty() && QDir::isAbsolutePath(last) && QFileInfo(last).isDir() ? last : documentsFolder();
}

void keepLastFolder(const QString &valueName, const QString &chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    try {
        auto reg = kw::settings::openRegistry(kw::settings::TRegRoots::CURRENT_USER);
        if (reg->openKey(kw::settings::kMainKey, true))
            reg->writeString(valueName, QFileInfo(chosenFile).absolutePath());
    } catch (...) {
        // Only a convenience: the next dialog starts in Documents.
    }
}

QString folderOf(const QString &path, const QString &fallback)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(QDir::fromNativeSeparators(path)))
        return fallback;
    const QString dir = QFileInfo(QDir::fromNativeSeparators(path)).absolutePath();
    return QFileInfo(dir).isDir() ? dir : fallback;
}

} // namespace kw::app
