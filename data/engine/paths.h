#pragma once
#include "core/paths.h"

#include <QString>

namespace kw::data {

// The data directory: KITWARDEN_DATA_DIR when set; else dataDirFor() the
// executable's directory.
QString defaultDataDir();

// The executable's directory when it is a portable copy's and holds the
// tables or can be written; else the per-user data directory (created).
QString dataDirFor(const QString &exeDir);

// True for a directory the program was installed into: a system program
// directory (/usr/bin and the like) or the bin directory of a prefix that
// carries this program's desktop entry. Such a directory is never the data
// directory, even when it can be written (root, a prefix in the home).
bool isInstalledProgramDir(const QString &exeDir);

// The reverse-DNS id that names the desktop entry, icon and metadata.
QString appId();

using kw::core::configDir;

} // namespace kw::data
