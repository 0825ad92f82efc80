#pragma once
// File names matched without regard to case: a shop's tables and settings
// may have been copied from a file system that does not keep it, and names
// written by the earlier program differ in case from ours.
#include <QHash>
#include <QString>

namespace kw::core {

// The path of the file in dir whose name equals fileName ignoring case (the
// exact name wins when both exist); empty when there is none.
QString findExistingFileNoCase(const QString &dir, const QString &fileName);

// As above, but dir/fileName when there is none: the path to create.
QString findFileNoCase(const QString &dir, const QString &fileName);

// path with every missing component replaced by an entry of its directory
// that differs only in case; path unchanged when a component is not found.
QString resolvePathNoCase(const QString &path);

// The system's reason why path cannot be looked at ("Permission denied"):
// empty when it exists or simply is not there, so that callers keep their
// own "does not exist" and name the real cause otherwise.
QString accessProblem(const QString &path);

// The names of one directory, listed once, for looking up many files.
class NoCaseDirectory {
public:
    explicit NoCaseDirectory(const QString &dir);
    // The path of the file named fileName ignoring case; empty when none.
    QString find(const QString &fileName) const;

private:
    QString m_dir;
    QHash<QString, QString> m_byLower;
};

} // namespace kw::core
