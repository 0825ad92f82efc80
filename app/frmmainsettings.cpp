// What the main window keeps across restarts: its place, size and state,
// the page shown, the splitter, the widths the clerk gave grid columns, and
// the setup texts. One file, so that what is stored under which key is read
// in one place.
#include "app/apperror.h"
#include "app/dbgrid.h"
#include "app/frmmain.h"
#include "app/pages/handreceiptpage.h"
#include "app/pages/page.h"
#include "settings/iniout.h"

#include <QMenuBar>
#include <QSplitter>
#include <QTabWidget>

namespace kw::app {

void TfrmMain::bindIniItems()
{
    Ini->setItems(kw::settings::mainWindowItems());
    Ini->setRegistryRoot(kw::settings::TRegRoots::CURRENT_USER);
    Ini->bindInt(QStringLiteral("frmMain"), QStringLiteral("Top"), [this] { return m_normalPos.y(); },
                 [this](int v) { move(pos().x(), v); });
    Ini->bindInt(QStringLiteral("frmMain"), QStringLiteral("Left"), [this] { return m_normalPos.x(); },
                 [this](int v) { move(v, pos().y()); });
    Ini->bindInt(QStringLiteral("frmMain"), QStringLiteral("Width"), [this] { return m_normalSize.width(); },
                 [this](int v) { resize(v, height()); });
    Ini->bindInt(QStringLiteral("frmMain"), QStringLiteral("Height"), [this] { return m_normalSize.height(); },
                 [this](int v) { resize(width(), v); });
    kw::settings::PropertyAccess state;
    state.kind = kw::settings::ValueKind::Enumeration;
    state.identifiers = {QStringLiteral("wsNormal"), QStringLiteral("wsMinimized"), QStringLiteral("wsMaximized")};
    // A window closed while minimised opens normally.
    state.get = [this] { return QVariant(isMaximized() ? 2 : 0); };
    state.set = [this](const QVariant &v) {
        setWindowState(v.toInt() == 2 ? (windowState() | Qt::WindowMaximized) : (windowState() & ~Qt::WindowMaximized));
    };
    Ini->bindProperty(QStringLiteral("frmMain"), QStringLiteral("WindowState"), state);
    kw::settings::PropertyAccess page;
    page.kind = kw::settings::ValueKind::String;
    page.get = [this] { return QVariant(activePage()->objectName()); };
    // Shown once the tables are open (showKeptPage).
    page.set = [this](const QVariant &v) { m_keptPage = v.toString(); };
    Ini->bindProperty(QStringLiteral("tabsMain"), QStringLiteral("ActivePage"), page);
    Ini->bindInt(QStringLiteral("pnlMainLeft"), QStringLiteral("Width"), [this] { return firstPanelWidth(splMain); },
                 [this](int v) { setFirstPanelWidth(splMain, v); });
    // The splitter stands right after its panel, so its Left follows the width.
    Ini->bindInt(QStringLiteral("splMain"), QStringLiteral("Left"), [this] { return firstPanelWidth(splMain) + 1; },
                 [](int) {});
    tabHandReceipt->bindSettings(*Ini);
}

void TfrmMain::readSetupTexts()
{
    // A value of the wrong type in the registry must not stop the start-up
    // (the tables would stay closed): it counts as missing.
    for (const auto &[name, def] : kw::settings::SetupTexts::defaults()) {
        QString *text = m_texts.byName(name);
        try {
            *text = Ini->ReadRegString(kw::settings::kSetupKey, name, def);
        } catch (...) {
            *text = def;
        }
    }
}

// Columns the user widened stay so across restarts: per grid, one value
// "Field=pixels;Field=pixels" under the Columns key.
static const QString kColumnsKey = QStringLiteral("\\Software\\Quillfen\\Kitwarden\\Columns");

void TfrmMain::restoreColumnWidths()
{
    for (TDBGrid *g : findChildren<TDBGrid *>()) {
        QString text;
        try {
            text = Ini->ReadRegString(kColumnsKey, g->objectName(), QString());
        } catch (...) {
            continue; // a value of another type counts as none
        }
        QHash<QString, int> widths;
        for (const QString &item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const qsizetype eq = item.lastIndexOf(QLatin1Char('='));
            bool ok = false;
            const int px = item.mid(eq + 1).toInt(&ok);
            if (eq > 0 && ok && px > 0)
                widths.insert(item.left(eq), px);
        }
        if (!widths.isEmpty())
            g->setUserColumnWidths(widths);
    }
}

void TfrmMain::saveColumnWidths()
{
    for (TDBGrid *g : findChildren<TDBGrid *>()) {
        const QHash<QString, int> widths = g->userColumnWidths();
        if (widths.isEmpty())
            continue;
        QStringList items;
        for (auto it = widths.cbegin(); it != widths.cend(); ++it)
            items << it.key() + QLatin1Char('=') + QString::number(it.value());
        items.sort();
        guarded([&] { Ini->WriteRegString(kColumnsKey, g->objectName(), items.join(QLatin1Char(';'))); });
    }
}

void TfrmMain::writeSetupTexts()
{
    for (const auto &entry : kw::settings::SetupTexts::defaults()) {
        const QString name = entry.first;
        const QString text = *m_texts.byName(name);
        guarded([&] { Ini->WriteRegString(kw::settings::kSetupKey, name, text); });
    }
}

QSize TfrmMain::firstStartSize(const QRect &available) const
{
    int widest = 0;
    for (int i = 0; i < tabsMain->count(); ++i)
        widest = std::max(widest, static_cast<const Page *>(tabsMain->widget(i))->preferredWidth());
    // The navigation panel and its splitter beside the page; a little to
    // spare for the page's frame.
    const int width = 100 + splMain->handleWidth() + widest + 8;
    // Window decorations are not known before the window is shown: leave
    // room for a title bar and borders.
    const QSize room(std::max(1, available.width() - 16), std::max(1, available.height() - 40));
    const QSize designed(792, 554 + menuBar()->sizeHint().height());
    return QSize(std::clamp(width, std::min(designed.width(), room.width()), room.width()),
                 std::clamp(available.height() * 4 / 5, std::min(designed.height(), room.height()), room.height()));
}

void TfrmMain::keepNormalGeometry()
{
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    m_normalPos = pos();
    m_normalSize = size();
}

void TfrmMain::moveEvent(QMoveEvent *e)
{
    QMainWindow::moveEvent(e);
    keepNormalGeometry();
}

void TfrmMain::resizeEvent(QResizeEvent *e)
{
    QMainWindow::resizeEvent(e);
    keepNormalGeometry();
}

} // namespace kw::app
