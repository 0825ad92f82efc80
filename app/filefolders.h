#pragma once
// Where file dialogs open. A dialog opened in the program's working folder
// sends exports and backups into the install or build folder; each kind of
// file instead starts in the folder last used for it, else in Documents.
#include <QString>

namespace kw::app {

// Documents, or the home folder where there is no Documents folder.
QString documentsFolder();

// The folder last used for files of this kind (a registry value name under
// the main window's key, "ReportFolder"), while it exists; else Documents.
QString lastFolder(const QString &valueName);
// Keeps the folder of a file the user chose, for the next dialog of its kind.
void keepLastFolder(const QString &valueName, const QString &chosenFile);

// The folder of path when path is absolute and its folder exists (a
// dialog opened on a missing folder falls back to the working folder);
// else fallback.
QString folderOf(const QString &path, const QString &fallback);

} // namespace kw::app
