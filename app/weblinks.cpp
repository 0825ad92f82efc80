#include "app/weblinks.h"

#include <QApplication>
#include <QDesktopServices>

namespace kw::app {

static UrlOpener &opener()
{
    static UrlOpener o;
    return o;
}

void setUrlOpener(UrlOpener o)
{
    opener() = std::move(o);
}

void openUrl(const QUrl &url)
{
    if (opener())
        opener()(url);
    else
        QDesktopServices::openUrl(url);
}

void openTarget(const QString &target)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    openUrl(QUrl(target, QUrl::TolerantMode));
    QApplication::restoreOverrideCursor();
}

void openLink(kw::update::Link link)
{
    openTarget(kw::update::linkTarget(link));
}

} // namespace kw::app
