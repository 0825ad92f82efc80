#pragma once
// kitwarden-cli run as a user would run it, for the command-line tests (the
// test target defines KW_CLI_PATH). The configuration directory is the
// test's own, so aliases and update files stay out of the user's.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kwtest {

struct CliRun {
    int code;
    QString out, err;
};

inline CliRun runCli(const QStringList &args, const QString &configDir, int timeoutMs = 300000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), configDir);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KW_CLI_PATH), args);
    p.waitForFinished(timeoutMs);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace kwtest
