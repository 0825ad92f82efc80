#pragma once
// The maker's web pages and the support e-mail, opened through the shell by
// the Help menu and the about window's link entries.
#include <QString>
#include <QUrl>
#include <functional>

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

// Hands a target to the shell's "OPEN" with the hourglass cursor shown
// meanwhile; the shell's answer is not examined.
void openTarget(const QString &target);
void openLink(Link link);

// The shell; tests put a recorder here. An empty function restores the shell.
using UrlOpener = std::function<void(const QUrl &)>;
void setUrlOpener(UrlOpener opener);

// The Help menu's three link items.
void AlsePage1Click();
void FAQ1Click();
void Support1Click();

} // namespace kw::update
