#pragma once
// The update check: download the update-information file from the maker's
// update server, compare its "Build" with the installed release, and offer a
// newer one to the shell. Dialogs, the cursor, the shell and closing the main
// window go through UpdateUi: the application implements it with message
// boxes (app/updateui.h), tests and tools with ScriptedUpdateUi.
#include "update/httpclient.h"

#include <QString>
#include <QUrl>

namespace kw::update {

// The texts of the three information boxes.
QString messageCheck();    // M1, OK/Cancel
QString messageNewer();    // M2, OK/Cancel
QString messageCurrent();  // M3, OK

inline const QString kUpdateInfoName = QStringLiteral("QuillfenUpdates.ini");
inline const QString kDefaultServerHost = QStringLiteral("www.quillfen.example");
// Registry value (under the Main key) naming the update server, "host[:port]".
inline const QString kUpdateServerValue = QStringLiteral("UpdateServer");

// The update server from the settings, the default when unset.
QString updateServerHost();
// The local copy: QuillfenUpdates.ini in the configuration directory.
QString updateInfoPath();
QString updateInfoUrl(const QString &host);          // http://HOST/files/updates.ini
QString defaultDownloadAddress(const QString &host);  // http://HOST/alse/Kitwarden200exe.exe

struct UpdateInfo {
    QString build;  // "Build", default "0.0.0.0"
    QString file;   // "File", default the download address on the same server
};

// Downloads the update-information file into localFile (raises on failures).
void downloadUpdateInfo(const QString &host, const QString &localFile, const HttpLimits &limits = {},
                        HttpClient *client = nullptr);
UpdateInfo readUpdateInfo(const QString &localFile, const QString &host);

// True only for an absolute http:// or https:// address with a host: the only
// kind the shell is asked to open.
bool isWebAddress(const QString &address);

// The update decision: is the server's "Build" a newer release than the
// installed file version? Parts are compared one by one; an empty installed
// version counts as 0. Raises the conversion error for a Build that is not a
// dotted number.
bool isNewerRelease(const QString &installed, const QString &build);

class UpdateUi {
public:
    virtual ~UpdateUi() = default;
    virtual bool confirm(const QString &text) = 0;   // information box, OK/Cancel: true on OK
    virtual void inform(const QString &text) = 0;    // information box, OK
    virtual void showError(const QString &text) = 0; // error message box
    virtual void setBusy(bool busy) = 0;             // hourglass cursor on/off
    virtual void openUrl(const QUrl &url) = 0;       // shell "OPEN"
    virtual void closeMainWindow() = 0;
};

struct UpdateCheckOptions {
    bool automatic = false;          // started by the window at start-up, not by the menu item
    bool autoUpdateChecked = false;  // "Automatically Check for Updates" (cbAutoUpdate)
    bool notifyOnly = false;         // "Notify me only if there's an update" (cbAutoUpdateNotify)
    QString serverHost;              // empty: updateServerHost()
    QString localFile;               // empty: updateInfoPath()
    QString executable;              // empty: the running executable
    HttpLimits limits;
};

enum class UpdateResult { Cancelled, Current, NewerDeclined, NewerOpened, AddressRefused, Failed };

// The whole check. Errors are shown through ui.showError and end the check
// (result Failed); the cursor is always restored.
UpdateResult runUpdateCheck(const UpdateCheckOptions &options, UpdateUi &ui);

} // namespace kw::update
