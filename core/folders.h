#pragma once
// The program's working folders inside a directory it keeps (the data
// directory: Restore-Incoming, Restore-Undo, Import-Undo, their ".new"
// folders, the staging folder of a backup) are its own: a link found under
// such a name is never followed, so that emptying or filling the folder can
// never reach what the link points to. And the one check for every file a
// user names to be written.
#include <QString>
#include <QStringList>

namespace kw::core {

// Whether path is a symbolic link (or, on Windows, a junction), whether or
// not what it points to exists.
bool isLink(const QString &path);

// Removes path and everything under it without following a link: a link,
// wherever it is met, is removed itself. True when nothing is left at path
// (also when nothing was there); else false with the reason in *error.
bool removeTree(const QString &path, QString *error = nullptr);

// Makes path an empty real folder (and its parents, when missing): whatever
// was there (a link, a file, an older folder) goes first as removeTree()
// removes it. False with the reason in *error.
bool makeFreshFolder(const QString &path, QString *error = nullptr);

// What writing to path replaces: the file at the end of its links (the
// absolute path itself when it is no link).
QString finalTarget(const QString &path);

// Why a file a user named may not be written at path, or empty. Writing
// replaces what the name leads to through any link, so the file is refused
// when that is one of protectedNames in protectedDir (by name in any case,
// or as another name of the same file), or when it exists and is not a
// regular file. what names the writer in the message ("a backup").
QString refusedTarget(const QString &path, const QString &what, const QString &protectedDir,
                      const QStringList &protectedNames);

} // namespace kw::core
