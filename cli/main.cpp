// kitwarden-cli: the command-line companion for administrators and scripts.
#include "cli/command.h"
#include "data/paths.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <map>

namespace kw::cli {

static std::map<QString, Command> &commands()
{
    static std::map<QString, Command> all;
    return all;
}

Register::Register(const char *name, const char *usage, Handler run)
{
    commands().emplace(QString::fromLatin1(name), Command{name, usage, std::move(run)});
}

QString takeOption(QStringList &args, const QString &name)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == name && i + 1 < args.size()) {
            QString v = args[i + 1];
            args.remove(i, 2);
            return v;
        }
        if (args[i].startsWith(name + QLatin1Char('='))) {
            QString v = args[i].mid(name.size() + 1);
            args.remove(i);
            return v;
        }
    }
    return {};
}

bool takeSwitch(QStringList &args, const QString &name)
{
    return args.removeAll(name) > 0;
}

void out(const QString &line)
{
    static QTextStream s(stdout);
    s << line << '\n';
    s.flush();
}

void err(const QString &line)
{
    static QTextStream s(stderr);
    s << line << '\n';
    s.flush();
}

static int usage()
{
    err(QStringLiteral("usage: kitwarden-cli [--data DIR] COMMAND [ARGS]"));
    for (const auto &[name, cmd] : commands())
        err(QStringLiteral("  ") + QString::fromLatin1(cmd.usage));
    return 2;
}

} // namespace kw::cli

int main(int argc, char **argv)
{
    using namespace kw::cli;
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillfen"));
    QCoreApplication::setApplicationName(QStringLiteral("Kitwarden"));

    QStringList args = app.arguments().mid(1);
    Context ctx;
    const QString data = takeOption(args, QStringLiteral("--data"));
    if (args.isEmpty())
        return usage();
    const QString name = args.takeFirst();
    auto it = commands().find(name);
    if (it == commands().end()) {
        err(QStringLiteral("unknown command: ") + name);
        return usage();
    }
    ctx.args = args;
    ctx.dataDirGiven = !data.isNull();
    try {
        ctx.dataDir = ctx.dataDirGiven ? data : kw::data::defaultDataDir();
        return it->second.run(ctx);
    } catch (const std::exception &e) {
        err(QString::fromUtf8(e.what()));
        return 1;
    }
}
