#pragma once
#include <QString>

namespace kw::core {

// The per-user configuration directory (KITWARDEN_CONFIG_DIR overrides it):
// registry file, engine configuration (aliases), downloaded update file.
// Created when missing.
QString configDir();

} // namespace kw::core
