#pragma once
// The program's command line, read before the window system is reached so
// that --help and --version answer on a terminal without a display.
#include <QString>
#include <QStringList>

namespace kw::app {

struct StartRequest {
    enum Kind { RunGui, ShowHelp, ShowVersion, BadUsage };
    Kind kind = RunGui;
    QString error;  // for BadUsage: what was wrong
};

// Reads the arguments after the program name. The program takes no
// arguments of its own besides --help and --version; Qt's window-system
// options (-platform, -style, ...) pass through to the application object.
StartRequest parseCommandLine(const QStringList &args);

QString usageText();

// Prints the answer to a request other than RunGui (help and version on
// stdout, a mistake and the usage on stderr) and returns the exit code.
int answerCommandLine(const StartRequest &request, int &argc, char **argv);

} // namespace kw::app
