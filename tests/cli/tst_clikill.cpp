// Crash windows of kitwarden-cli's jobs: the process is killed (SIGKILL, as
// kill -9 or a power cut would) at chosen system calls by strace, and what
// is left must be the old state or the new one, or a mark that the next
// command reports.
#include "clirun.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = kwtest::CliRun;

} // namespace

class TstCliKill : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;
    QString m_strace;
    int m_counter = 0;

    QString config() const { return m_tmp.filePath(QStringLiteral("cfg")); }
    Run cli(const QStringList &args) { return kwtest::runCli(args, config()); }
    QString fresh(const QString &name) { return m_tmp.filePath(QStringLiteral("%1-%2").arg(++m_counter).arg(name)); }

    // kitwarden-cli killed at the n-th call of syscall (code -1 when it was).
    Run killedAt(const QString &syscall, int n, const QStringList &args)
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), config());
        return kwtest::runProgram(m_strace,
                                  QStringList{"-f", "-o", "/dev/null", "-e", "trace=" + syscall, "-e",
                                              QStringLiteral("inject=%1:signal=SIGKILL:when=%2").arg(syscall).arg(n),
                                              KW_CLI_PATH} + args,
                                  env, 60000);
    }
    int count(const QString &data, const QString &select)
    {
        const Run r = cli({"--data", data, "sql", select});
        if (r.code != 0)
            qWarning("%s", qPrintable(r.err));
        return r.code == 0 ? r.out.split(QLatin1Char('\n')).value(1).toInt() : -1;
    }

private slots:
    void initTestCase()
    {
        m_strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (m_strace.isEmpty())
            QSKIP("strace is not installed");
    }

    // One statement is one change: after a kill at any moment, all of its
    // rows or none.
    void statementIsAllOrNothing_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("update of every holder") << "UPDATE Hrdf SET Section = 'KILLED'"
                                                << "SELECT COUNT(*) FROM Hrdf WHERE Section = 'KILLED'" << 0 << 40;
        QTest::newRow("delete of every item") << "DELETE FROM Equipment WHERE OH >= 0"
                                              << "SELECT COUNT(*) FROM Equipment" << 30 << 0;
        QTest::newRow("insert of selected rows") << "INSERT INTO Aircraft (Aircraft) SELECT Aircraft || '-2' FROM Aircraft"
                                                 << "SELECT COUNT(*) FROM Aircraft" << -1 << -2;
    }
    void statementIsAllOrNothing()
    {
        QFETCH(QString, statement);
        QFETCH(QString, count);
        QFETCH(int, before);
        QFETCH(int, after);
        const QString shop = fresh(QStringLiteral("shop"));
        QCOMPARE(cli({"demo", shop, "--items", "30"}).code, 0);
        if (before < 0) { // the table's own size, doubled
            before = this->count(shop, count);
            after = 2 * before;
        }
        QVERIFY(before != after);
        bool killed = false;
        for (int n = 1;; ++n) {
            const QString data = fresh(QStringLiteral("data"));
            QVERIFY(QDir().mkpath(data));
            for (const QString &f : QDir(shop).entryList(QDir::Files))
                QVERIFY(QFile::copy(shop + '/' + f, data + '/' + f));
            const Run r = killedAt(QStringLiteral("fdatasync"), n, {"--data", data, "sql", statement});
            const int got = this->count(data, count);
            QVERIFY2(got == before || got == after,
                     qPrintable(QStringLiteral("killed at sync %1: %2 rows").arg(n).arg(got)));
            if (r.code != -1)
                break; // ran to its end: every sync was a kill point
            killed = true;
        }
        QVERIFY(killed);
    }
};

QTEST_GUILESS_MAIN(TstCliKill)
#include "tst_clikill.moc"
