#include "app/updateui.h"

#include "app/apperror.h"
#include "app/weblinks.h"

#include <QApplication>
#include <QMessageBox>

namespace kw::app {

bool UpdateUiQt::confirm(const QString &text)
{
    return QMessageBox::information(m_window, applicationTitle(), text, QMessageBox::Ok | QMessageBox::Cancel,
                                    QMessageBox::Ok)
           == QMessageBox::Ok;
}

void UpdateUiQt::inform(const QString &text)
{
    QMessageBox::information(m_window, applicationTitle(), text, QMessageBox::Ok);
}

void UpdateUiQt::showError(const QString &text)
{
    QMessageBox::critical(m_window, applicationTitle(), text, QMessageBox::Ok);
}

void UpdateUiQt::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void UpdateUiQt::openUrl(const QUrl &url)
{
    kw::app::openUrl(url);  // the shell's answer is not examined
}

void UpdateUiQt::closeMainWindow()
{
    // Queued: the check may run from inside the window's own start-up.
    if (m_window)
        QMetaObject::invokeMethod(m_window, "close", Qt::QueuedConnection);
}

kw::update::UpdateResult checkForUpdates(QWidget *mainWindow, bool automatic, bool autoUpdateChecked,
                                         bool notifyOnly)
{
    UpdateUiQt ui(mainWindow);
    kw::update::UpdateCheckOptions o;
    o.automatic = automatic;
    o.autoUpdateChecked = autoUpdateChecked;
    o.notifyOnly = notifyOnly;
    return kw::update::runUpdateCheck(o, ui);
}

} // namespace kw::app
