#pragma once
// The update check's questions as message boxes owned by the main window,
// the wait cursor, the shell, and a queued close of the main window.
#include "update/updatecheck.h"

#include <QPointer>
#include <QWidget>

namespace kw::app {

class UpdateUiQt : public kw::update::UpdateUi {
public:
    explicit UpdateUiQt(QWidget *mainWindow) : m_window(mainWindow) {}
    bool confirm(const QString &text) override;
    void inform(const QString &text) override;
    void showError(const QString &text) override;
    void setBusy(bool busy) override;
    void openUrl(const QUrl &url) override;
    void closeMainWindow() override;

private:
    QPointer<QWidget> m_window;
};

// GetUpdate1Click with message boxes. automatic is true when the window
// starts the check itself at start-up.
kw::update::UpdateResult checkForUpdates(QWidget *mainWindow, bool automatic, bool autoUpdateChecked,
                                         bool notifyOnly);

} // namespace kw::app
