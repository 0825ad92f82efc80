#include "update/updatecheck.h"
#include "update/verinfo.h"
#include "settings/iniout.h"
#include "core/paths.h"

#include <QDir>

namespace kw::update {

QString messageCheck()
{
    return QStringLiteral("Kitwarden is going to check for the latest\nsoftware version.  You will need an "
                          "Internet\nconnection to complete this task.");
}

QString messageNewer()
{
    return QStringLiteral("A new version of Kitwarden 2.0 is available.\n\nKitwarden will close then "
                          "download the\nsoftware update.");
}

QString messageCurrent()
{
    return QStringLiteral("You have the most current version of \nKitwarden 2.0 already installed.");
}

QString updateServerHost()
{
    try {
        kw::settings::TIniOut ini(nullptr);
        const QString host = ini.ReadRegString(kw::settings::kMainKey, kUpdateServerValue, kDefaultServerHost)
                                 .trimmed();
        return host.isEmpty() ? kDefaultServerHost : host;
    } catch (const std::exception &) {
        return kDefaultServerHost;  // a value of another type is no host
    }
}

QString updateInfoPath()
{
    return QDir(kw::core::configDir()).filePath(kUpdateInfoName);
}

QString updateInfoUrl(const QString &host)
{
    return QStringLiteral("http://") + host + QStringLiteral("/files/updates.ini");
}

QString defaultDownloadAddress(const QString &host)
{
    return QStringLiteral("http://") + host + QStringLiteral("/alse/Kitwarden200exe.exe");
}

void downloadUpdateInfo(const QString &host, const QString &localFile, const HttpLimits &limits,
                        HttpClient *client)
{
    HttpClient own;
    HttpClient &http = client ? *client : own;
    http.limits = limits;
    http.get(updateInfoUrl(host), localFile);
}

UpdateInfo readUpdateInfo(const QString &localFile, const QString &host)
{
    UpdateInfo info;
    const QString section = QStringLiteral("Kitwarden");
    info.build = kw::settings::readIniString(localFile, section, QStringLiteral("Build"), QStringLiteral("0.0.0.0"));
    info.file = kw::settings::readIniString(localFile, section, QStringLiteral("File"), defaultDownloadAddress(host));
    return info;
}

bool isWebAddress(const QString &address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
           && !url.host().isEmpty();
}

bool isNewerRelease(const QString &installed, const QString &build)
{
    // A resource without a file version counts as release 0.
    return IsOlderRelease(installed.isEmpty() ? QStringLiteral("0") : installed, build);
}

namespace {
class BusyCursor {
public:
    explicit BusyCursor(UpdateUi &ui) : ui_(ui) { ui_.setBusy(true); }
    ~BusyCursor() { release(); }
    void release()
    {
        if (on_)
            ui_.setBusy(false);
        on_ = false;
    }

private:
    UpdateUi &ui_;
    bool on_ = true;
};
} // namespace

UpdateResult runUpdateCheck(const UpdateCheckOptions &o, UpdateUi &ui)
{
    if (!o.autoUpdateChecked && !o.automatic && !ui.confirm(messageCheck()))
        return UpdateResult::Cancelled;
    try {
        const QString host = o.serverHost.isEmpty() ? updateServerHost() : o.serverHost;
        const QString local = o.localFile.isEmpty() ? updateInfoPath() : o.localFile;
        QString installed;
        UpdateInfo info;
        {
            BusyCursor busy(ui);
            downloadUpdateInfo(host, local, o.limits);
            installed = FileVersionString(o.executable.isEmpty() ? executableFile() : o.executable);
            info = readUpdateInfo(local, host);
        }
        if (isNewerRelease(installed, info.build)) {
            if (!ui.confirm(messageNewer()))
                return UpdateResult::NewerDeclined;
            BusyCursor busy(ui);
            if (!isWebAddress(info.file)) {
                busy.release();
                ui.showError(QStringLiteral("The update server named an address that is not a web page:\n%1\n"
                                            "Nothing was opened.")
                                 .arg(info.file));
                return UpdateResult::AddressRefused;
            }
            ui.openUrl(QUrl(info.file.trimmed(), QUrl::StrictMode));
            busy.release();
            ui.closeMainWindow();
            return UpdateResult::NewerOpened;
        }
        if (!(o.automatic && o.notifyOnly))
            ui.inform(messageCurrent());
        return UpdateResult::Current;
    } catch (const std::exception &e) {
        ui.showError(kw::core::messageOf(e));
        return UpdateResult::Failed;
    }
}

} // namespace kw::update
