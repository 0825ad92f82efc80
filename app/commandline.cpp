#include "app/commandline.h"

#include "update/verinfo.h"

#include <QCoreApplication>
#include <cstdio>

namespace kw::app {

namespace {

// Qt's own options that QGuiApplication and QApplication take from the
// command line; each is accepted with one dash or two, as Qt does.
const char *const kQtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                           "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                           "display", "geometry", "name", "style", "stylesheet"};
const char *const kQtSwitches[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <size_t N>
bool contains(const char *const (&names)[N], const QString &name)
{
    for (const char *n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

StartRequest parseCommandLine(const QStringList &args)
{
    StartRequest request;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return {StartRequest::ShowHelp, {}};
        if (arg == QLatin1String("--version"))
            return {StartRequest::ShowVersion, {}};
        if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-") || arg == QLatin1String("--"))
            return {StartRequest::BadUsage, QStringLiteral("unexpected argument '%1'").arg(arg)};
        QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype eq = name.indexOf(QLatin1Char('='));
        const bool valueAttached = eq >= 0;
        if (valueAttached)
            name.truncate(eq);
        if (contains(kQtOptionsWithValue, name)) {
            if (!valueAttached && ++i >= args.size())
                return {StartRequest::BadUsage, QStringLiteral("option '%1' needs a value").arg(arg)};
            continue;
        }
        if (!valueAttached && contains(kQtSwitches, name))
            continue;
        return {StartRequest::BadUsage, QStringLiteral("unknown option '%1'").arg(arg)};
    }
    return request;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: kitwarden [--help | --version] [Qt options]\n"
        "Keeps an aviation life support equipment shop's hand receipts, inspections,\n"
        "survival kits, bench stock and technical manuals.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "      --version  show the release number and exit\n"
        "\n"
        "Qt's window-system options such as -platform NAME and -style NAME are accepted.\n"
        "\n"
        "Environment:\n"
        "  KITWARDEN_DATA_DIR    the data directory; without it the program's folder\n"
        "                        for a portable copy, else the per-user data folder\n"
        "  KITWARDEN_CONFIG_DIR  the configuration directory (settings, aliases)\n"
        "\n"
        "kitwarden-cli works on the same tables from a terminal.\n");
}

int answerCommandLine(const StartRequest &request, int &argc, char **argv)
{
    switch (request.kind) {
    case StartRequest::RunGui:
        return 0;
    case StartRequest::ShowHelp:
        print(stdout, usageText());
        return 0;
    case StartRequest::ShowVersion: {
        // The version block is read from the executable, which Qt finds
        // only once an application object exists.
        QCoreApplication app(argc, argv);
        try {
            print(stdout, kw::update::productVersionTitle() + QLatin1Char('\n'));
            return 0;
        } catch (const std::exception &e) {
            print(stderr, kw::core::messageOf(e) + QLatin1Char('\n'));
            return 1;
        }
    }
    case StartRequest::BadUsage:
        print(stderr, QStringLiteral("kitwarden: %1\n").arg(request.error) + usageText());
        return 2;
    }
    return 2;
}

} // namespace kw::app
