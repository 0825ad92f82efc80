// kitwarden-cli check-update [--server HOST[:PORT]]
// The update check without dialogs: downloads the update-information file,
// compares its "Build" with this program's own release and prints one line.
// It never opens anything.
#include "cli/command.h"
#include "update/updatecheck.h"
#include "update/verinfo.h"

namespace {

int checkUpdate(kw::cli::Context &ctx)
{
    using namespace kw::update;
    QString host = kw::cli::takeOption(ctx.args, QStringLiteral("--server"));
    if (!ctx.args.isEmpty()) {
        kw::cli::err(QStringLiteral("check-update: unexpected argument: ") + ctx.args.first());
        return 2;
    }
    if (host.isNull())
        host = updateServerHost();
    if (host.trimmed().isEmpty() || host.contains(QLatin1Char('/'))) {
        kw::cli::err(QStringLiteral("check-update: --server needs HOST[:PORT]"));
        return 2;
    }
    const QString local = updateInfoPath();
    downloadUpdateInfo(host, local);
    const QString installed = FileVersionString(executableFile());
    const UpdateInfo info = readUpdateInfo(local, host);
    if (isNewerRelease(installed, info.build))
        kw::cli::out(QStringLiteral("newer %1 %2").arg(info.build, info.file));
    else
        kw::cli::out(QStringLiteral("current %1").arg(info.build));
    return 0;
}

kw::cli::Register reg("check-update", "check-update [--server HOST[:PORT]]", checkUpdate);

} // namespace
