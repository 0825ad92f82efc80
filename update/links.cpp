#include "update/links.h"
#include "settings/iniout.h"

#include <QApplication>
#include <QDesktopServices>

namespace kw::update {

static UrlOpener &opener()
{
    static UrlOpener o;
    return o;
}

void setUrlOpener(UrlOpener o)
{
    opener() = std::move(o);
}

QString webHost()
{
    try {
        kw::settings::TIniOut ini(nullptr);
        const QString h = ini.ReadRegString(kw::settings::kMainKey, kWebHostValue, kDefaultWebHost).trimmed();
        return h.isEmpty() ? kDefaultWebHost : h;
    } catch (const std::exception &) {
        return kDefaultWebHost;
    }
}

QString linkTarget(Link link, const QString &host)
{
    const QString web = QStringLiteral("http://") + host;
    switch (link) {
    case Link::AlsePage: return web + QStringLiteral("/alse/alse.htm");
    case Link::Faq: return web + QStringLiteral("/alse/faq.htm");
    case Link::NewVersion: return web + QStringLiteral("/alse/NewVersion.htm");
    case Link::Support: return QStringLiteral("mailto:Kitwarden Support <%1>").arg(kSupportAddress);
    }
    return {};
}

QString linkTarget(Link link)
{
    return linkTarget(link, webHost());
}

void openTarget(const QString &target)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QUrl url(target, QUrl::TolerantMode);
    if (opener())
        opener()(url);
    else
        QDesktopServices::openUrl(url);
    QApplication::restoreOverrideCursor();
}

void openLink(Link link)
{
    openTarget(linkTarget(link));
}

void AlsePage1Click()
{
    openLink(Link::AlsePage);
}

void FAQ1Click()
{
    openLink(Link::Faq);
}

void Support1Click()
{
    openLink(Link::Support);
}

} // namespace kw::update
