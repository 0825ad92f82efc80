#include "update/links.h"
#include "settings/iniout.h"

namespace kw::update {

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

} // namespace kw::update
