// kitwarden-cli: the command-line companion for administrators and scripts.
#include "cli/command.h"
#include "core/csv.h"
#include "archive/backup.h"
#include "archive/restore.h"
#include "import/importundo.h"
#include "data/engine/paths.h"
#include "update/verinfo.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kw::cli {

static std::map<QString, Command> &commands()
{
    static std::map<QString, Command> all;
    return all;
}

Register::Register(const char *name, const char *usage, Handler run, Needs needs)
{
    commands().emplace(QString::fromLatin1(name), Command{name, usage, std::move(run), needs});
}

QString takeOption(QStringList &args, const QString &name)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            // The next word is the value unless it is itself an option.
            if (i + 1 >= args.size() || args[i + 1].startsWith(QLatin1String("--")))
                throw UsageError(QStringLiteral("%1 needs a value").arg(name));
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

void expectArgs(const QStringList &args, int min, int max)
{
    for (const QString &a : args)
        if (a.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("unknown option: ") + a);
    if (args.size() < min)
        throw UsageError(QStringLiteral("missing argument"));
    if (args.size() > max)
        throw UsageError(QStringLiteral("unexpected argument: ") + args[max]);
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
    s << kw::core::printableLines(line) << '\n';
    s.flush();
}

static bool inputIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin));
#else
    return isatty(STDIN_FILENO);
#endif
}

Answer ask(const QString &question, bool yes)
{
    err(question);
    if (yes)
        return Answer::Yes;
    if (!inputIsTerminal())
        return Answer::NoTerminal;
    {
        QTextStream s(stderr);
        s << "[y/N] ";
    }
    QTextStream in(stdin);
    const QString reply = in.readLine().trimmed().toLower();
    return reply == QLatin1String("y") || reply == QLatin1String("yes") ? Answer::Yes : Answer::No;
}

int declined(Answer answer, const QString &command)
{
    if (answer == Answer::NoTerminal) {
        err(QStringLiteral("Nothing was changed: there is no terminal to ask on. "
                           "Add --yes to run %1 without asking.")
                .arg(command));
        return 2;
    }
    err(QStringLiteral("Nothing was changed."));
    return 1;
}

void printTable(const QStringList &header, const QVector<QStringList> &rows, bool csv)
{
    if (csv) {
        out(kw::core::csvRow(header));
        for (const QStringList &r : rows)
            out(kw::core::csvRow(r));
        return;
    }
    QVector<int> width(header.size());
    for (int c = 0; c < header.size(); ++c)
        width[c] = header[c].size();
    for (const QStringList &r : rows)
        for (int c = 0; c < r.size(); ++c)
            width[c] = qMax(width[c], int(r[c].size()));
    auto line = [&](const QStringList &cells) {
        QStringList padded;
        for (int c = 0; c < cells.size(); ++c)
            padded << cells[c].leftJustified(width[c]);
        out(padded.join(QStringLiteral("  ")).trimmed());
    };
    line(header);
    for (const QStringList &r : rows)
        line(r);
}

// The usage to stdout for --help, to stderr after a mistake.
static void printUsage(void (*print)(const QString &))
{
    print(QStringLiteral("usage: kitwarden-cli [--data DIR] COMMAND [ARGS]"));
    print(QStringLiteral("       kitwarden-cli --help | --version"));
    print(QStringLiteral("commands:"));
    for (const auto &[name, cmd] : commands())
        print(QStringLiteral("  ") + QString::fromLatin1(cmd.usage));
    print(QStringLiteral("options:"));
    print(QStringLiteral("  --data DIR   the data directory; without it KITWARDEN_DATA_DIR, else the"));
    print(QStringLiteral("               program's folder for a portable copy, else the per-user folder"));
    print(QStringLiteral("  --help       this help; after a command, that command's usage"));
    print(QStringLiteral("  --version    the release number"));
}

static int usage()
{
    printUsage(err);
    return 2;
}

static bool isHelp(const QString &arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

// The command named on the command line, looked up before any application
// object exists (it decides which one to create).
static const Command *commandOf(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--data")) {
            ++i;
            continue;
        }
        if (a.startsWith(QLatin1String("--data=")))
            continue;
        auto it = commands().find(a);
        return it == commands().end() ? nullptr : &it->second;
    }
    return nullptr;
}

} // namespace kw::cli

int main(int argc, char **argv)
{
    using namespace kw::cli;
    const Command *cmd = commandOf(argc, argv);
    std::unique_ptr<QCoreApplication> application;
    if (cmd && cmd->needs == Needs::Gui) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // never a window, with or without a display
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication &app = *application;
    QCoreApplication::setOrganizationName(QStringLiteral("Quillfen"));
    QCoreApplication::setApplicationName(QStringLiteral("Kitwarden"));

    QStringList args = app.arguments().mid(1);
    Context ctx;
    QString data;
    try {
        data = takeOption(args, QStringLiteral("--data"));
    } catch (const UsageError &) {
        err(QStringLiteral("--data needs a directory"));
        return usage();
    }
    if (args.isEmpty())
        return usage();
    if (isHelp(args.first())) {
        printUsage(out);
        return 0;
    }
    if (args.first() == QLatin1String("--version")) {
        try {
            out(kw::update::productVersionTitle());
            return 0;
        } catch (const std::exception &e) {
            err(kw::core::messageOf(e));
            return 1;
        }
    }
    if (args.first().startsWith(QLatin1Char('-'))) {
        err(args.first() == QLatin1String("--data") ? QStringLiteral("--data needs a directory")
                                                    : QStringLiteral("unknown option: ") + args.first());
        return usage();
    }
    const QString name = args.takeFirst();
    auto it = commands().find(name);
    if (it == commands().end()) {
        err(QStringLiteral("unknown command: ") + name);
        return usage();
    }
    if (std::any_of(args.cbegin(), args.cend(), isHelp)) {
        out(QStringLiteral("usage: kitwarden-cli [--data DIR] ") + QString::fromLatin1(it->second.usage));
        return 0;
    }
    ctx.args = args;
    ctx.dataDirGiven = !data.isNull();
    try {
        ctx.dataDir = ctx.dataDirGiven ? data : kw::data::defaultDataDir();
        // Said at every start until the job is finished or undone; the
        // command that does that says itself what it does.
        const bool undoing = args.contains(QLatin1String("--undo"));
        if (!(undoing && name == QLatin1String("restore")))
            if (const QString text = kw::archive::interruptedRestoreText(ctx.dataDir); !text.isEmpty())
                err(text);
        if (name != QLatin1String("import"))
            if (const QString text = kw::import::interruptedImportText(ctx.dataDir); !text.isEmpty())
                err(text);
        return it->second.run(ctx);
    } catch (const UsageError &e) {
        err(e.message());
        err(QStringLiteral("usage: kitwarden-cli [--data DIR] ") + QString::fromLatin1(it->second.usage));
        return 2;
    } catch (const std::exception &e) {
        err(kw::core::messageOf(e));
        return 1;
    }
}
