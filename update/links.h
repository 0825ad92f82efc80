#pragma once
// The maker's web pages and the support e-mail that the Help menu and the
// about window's link entries point to. Opening them is the application's
// business (app/weblinks.h); this only names them.
#include <QString>

namespace kw::update {

inline const QString kDefaultWebHost = QStringLiteral("www.quillfen.example");
// Registry value (under the Main key) naming the maker's web server.
inline const QString kWebHostValue = QStringLiteral("WebHost");
inline const QString kSupportAddress = QStringLiteral("support@quillfen.example");

enum class Link { AlsePage, Faq, NewVersion, Support };

// The maker's web server from the settings, the default when unset.
QString webHost();
// "http://HOST/alse/alse.htm", ".../faq.htm", ".../NewVersion.htm", or
// "mailto:Kitwarden Support <support@quillfen.example>".
QString linkTarget(Link link, const QString &host);
QString linkTarget(Link link);

} // namespace kw::update
