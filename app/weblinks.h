#pragma once
// Hands the maker's web pages and the support e-mail to the shell ("OPEN"),
// for the Help menu and the about window's link entries.
#include "update/links.h"

#include <QUrl>
#include <functional>

namespace kw::app {

// Hands a target to the shell with the hourglass cursor shown meanwhile; the
// shell's answer is not examined.
void openTarget(const QString &target);
void openLink(kw::update::Link link);

// The shell; tests put a recorder here. An empty function restores the shell.
using UrlOpener = std::function<void(const QUrl &)>;
void setUrlOpener(UrlOpener opener);
// Opens a URL through the recorder when one is set, else the shell.
void openUrl(const QUrl &url);

} // namespace kw::app
