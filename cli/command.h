#pragma once
// Sub-commands of kitwarden-cli register themselves here, one file each.
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include "core/error.h"

namespace kw::cli {

struct Context {
    QStringList args;   // arguments after the command name, global options removed
    QString dataDir;    // from --data or the usual rules
    bool dataDirGiven = false;
};

// Returns the process exit code. Errors go to stderr; throwing any
// std::exception prints its message and exits with 1.
using Handler = std::function<int(Context &)>;

// Commands that measure or draw text need a QGuiApplication (on the
// offscreen platform: no display is used); the others run on QCoreApplication.
enum class Needs { Core, Gui };

struct Command {
    const char *name;
    const char *usage;
    Handler run;
    Needs needs = Needs::Core;
};

// Registers a command at static-initialisation time.
struct Register {
    Register(const char *name, const char *usage, Handler run, Needs needs = Needs::Core);
};

// A mistake in the command line: the message is printed with the command's
// usage and the exit code is 2, as for an unknown option.
struct UsageError : kw::core::Error {
    using kw::core::Error::Error;
};

// Removes "--name VALUE" (or "--name=VALUE") from args and returns VALUE; a
// null QString when the option is absent. UsageError when VALUE is missing.
QString takeOption(QStringList &args, const QString &name);
// Checks what is left after the options were taken: UsageError for an
// option no one took or for fewer than min or more than max arguments.
void expectArgs(const QStringList &args, int min, int max);
// Removes a "--name" switch from args and tells whether it was present.
bool takeSwitch(QStringList &args, const QString &name);

void out(const QString &line);  // one line to stdout
// Rows under a header: comma-separated values, or columns padded to line up.
void printTable(const QStringList &header, const QVector<QStringList> &rows, bool csv);
void err(const QString &line);  // one line to stderr

// Commands that replace the user's data ask first.
enum class Answer { Yes, No, NoTerminal };
// Prints question to stderr. With yes (the command's --yes switch) the
// answer is Yes at once; otherwise the user is asked "[y/N]" when standard
// input is a terminal, and without one the answer is NoTerminal: a script
// must say --yes.
Answer ask(const QString &question, bool yes);
// For an answer other than Yes: says that nothing was changed (and, without
// a terminal, that doing so needs --yes) and returns the exit code: 2
// without a terminal, as for a usage error, 1 for a no.
int declined(Answer answer, const QString &command);

} // namespace kw::cli
