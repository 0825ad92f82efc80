#pragma once
#include <QString>

namespace kw::data {

// The data directory: KITWARDEN_DATA_DIR when set; else the executable's
// directory when it holds the tables or can be written (a portable install);
// else the per-user data directory.
QString defaultDataDir();

// The per-user configuration directory (KITWARDEN_CONFIG_DIR overrides it):
// registry file, engine configuration (aliases), downloaded update file.
QString configDir();

} // namespace kw::data
