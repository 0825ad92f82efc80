#pragma once
// kitwarden-cli run as a user or a script would run it, for the command-line
// tests (the test target defines KW_CLI_PATH): its own process, no standard
// input, exit code and both outputs captured. The configuration directory is
// the test's own, so aliases and update files stay out of the user's.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace kwtest {

// Where a command-line test keeps its files (a QTemporaryDir template).
// These tests run and kill processes, never the machine, so a file system
// in memory serves when the system has one: a sync costs nothing there.
inline QString scratchTemplate()
{
    const QString shm = QStringLiteral("/dev/shm");
    return (QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath())
        + QStringLiteral("/kitwarden-test-XXXXXX");
}

struct CliRun {
    int code = -1;
    QString out, err;
};

// Any program (kitwarden-cli run under another user, for instance); env is
// set on top of the test's own environment. A run that has not ended after
// timeoutMs is killed and reported with code -1, as is a crash.
inline CliRun runProgram(const QString &program, const QStringList &args, const QProcessEnvironment &env,
                         int timeoutMs)
{
    QProcess p;
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    for (const QString &key : env.keys())
        all.insert(key, env.value(key));
    p.setProcessEnvironment(all);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return {-1, QString(), QStringLiteral("did not end in time: ") + args.join(QLatin1Char(' '))};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

#ifdef KW_CLI_PATH
// configDir empty: the one the test runs with.
inline CliRun runCli(const QStringList &args, const QString &configDir = QString(), int timeoutMs = 300000)
{
    QProcessEnvironment env;
    if (!configDir.isEmpty())
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), configDir);
    return runProgram(QStringLiteral(KW_CLI_PATH), args, env, timeoutMs);
}
// kitwarden-cli on a terminal of its own (a pseudo-terminal that script(1)
// makes), with input typed on it: what a user at a terminal sees and
// answers. Both output streams (and the echo of the input) end up in out.
// Code -2 when script(1) is not installed.
inline CliRun runCliOnTerminal(const QStringList &args, const QByteArray &input,
                               const QString &configDir = QString(), int timeoutMs = 300000)
{
    const QString script = QStringLiteral("/usr/bin/script");
    if (!QFileInfo(script).isExecutable())
        return {-2, QString(), QStringLiteral("script(1) is not installed")};
    auto quoted = [](QString a) { return QLatin1Char('\'') + a.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\''); };
    QString command = quoted(QStringLiteral(KW_CLI_PATH));
    for (const QString &a : args)
        command += QLatin1Char(' ') + quoted(a);
    QProcess p;
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    if (!configDir.isEmpty())
        all.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), configDir);
    p.setProcessEnvironment(all);
    // -e: script exits with the command's code.
    p.start(script, {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return {-1, QString(), QStringLiteral("did not end in time: ") + args.join(QLatin1Char(' '))};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()).remove(QLatin1Char('\r')),
            QString::fromUtf8(p.readAllStandardError())};
}
#endif

} // namespace kwtest
