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
#endif

} // namespace kwtest
