// Crash windows of kitwarden-cli's jobs: the process is killed (SIGKILL, as
// kill -9 or a power cut would) at chosen system calls by strace, and what
// is left must be the old state or the new one, or a mark that the next
// command reports.
#include "archivefixture.h"
#include "marrowbyfixture.h"
#include "clirun.h"
#include "core/folders.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = kwtest::CliRun;

} // namespace

class TstCliKill : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp{kwtest::scratchTemplate()};
    QString m_strace;
    int m_counter = 0;

    QString config() const { return m_tmp.filePath(QStringLiteral("cfg")); }
    Run cli(const QStringList &args) { return kwtest::runCli(args, config()); }
    QString fresh(const QString &name) { return m_tmp.filePath(QStringLiteral("%1-%2").arg(++m_counter).arg(name)); }

    // kitwarden-cli killed at the n-th call of syscall (a comma-separated
    // set counts together; code -1 when it was). With a file, only the calls
    // on that file count: other writes (a warning on stderr, a settings
    // file) differ between machines and must not move the kill point.
    Run killedAt(const QString &syscall, int n, const QStringList &args, const QString &file = {})
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), config());
        QStringList strace{"-f", "-o", "/dev/null"};
        if (!file.isEmpty())
            strace << "-P" << QFileInfo(file).canonicalFilePath();
        strace << "-e" << "trace=" + syscall << "-e"
               << QStringLiteral("inject=%1:signal=SIGKILL:when=%2").arg(syscall).arg(n);
        return kwtest::runProgram(m_strace, strace << KW_CLI_PATH << args, env, 60000);
    }
    QString demo(int items)
    {
        const QString shop = fresh(QStringLiteral("shop"));
        const Run r = cli({"demo", shop, "--items", QString::number(items)});
        if (r.code != 0)
            qFatal("no demo shop: %s", qPrintable(r.err));
        return shop;
    }
    // A copy of a shop as a writer left it in its new place: the validity
    // files name their table's path, and the first writer rewrites them.
    QString copyOf(const QString &dir)
    {
        const QString to = fresh(QStringLiteral("copy"));
        QDir().mkpath(to);
        for (const QString &f : QDir(dir).entryList(QDir::Files))
            QFile::copy(dir + '/' + f, to + '/' + f);
        if (cli({"--data", to, "backup", fresh("settle") + "/Backup.Alse"}).code != 0)
            qFatal("the copy does not back up");
        return to;
    }
    // The database: its 74 files and the journals that hold a change; the
    // predecessor's tables.
    static QMap<QString, QByteArray> database(const QString &dir)
    {
        QMap<QString, QByteArray> files;
        for (const QString &f : QDir(dir).entryList(QDir::Files)) {
            QFile file(dir + '/' + f);
            const bool journal = f.endsWith(QLatin1String("-journal")) && file.size() > 0;
            const bool predecessor = f.endsWith(QLatin1String(".DBF"), Qt::CaseInsensitive)
                || f.endsWith(QLatin1String(".DBT"), Qt::CaseInsensitive) || f.compare(QLatin1String("Suggest.DB"), Qt::CaseInsensitive) == 0;
            if ((journal || predecessor || !kwtest::shopDatabaseFiles().canonical(f).isEmpty())
                && file.open(QIODevice::ReadOnly))
                files.insert(f, file.readAll());
        }
        return files;
    }
    // How many calls of the syscalls the whole command makes.
    int callsOf(const QString &syscalls, const QStringList &args)
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), config());
        const QString log = fresh(QStringLiteral("strace.log"));
        kwtest::runProgram(m_strace, QStringList{"-f", "-o", log, "-e", "trace=" + syscalls, KW_CLI_PATH} + args,
                           env, 60000);
        QFile f(log);
        f.open(QIODevice::ReadOnly);
        int n = 0;
        for (const QByteArray &line : f.readAll().split('\n'))
            n += line.contains('(') && !line.contains("resumed>");
        return n;
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

    // A change killed after its journal was complete is part of the table:
    // a backup stores the table with it (as the engine reads it), never the
    // torn file alone, and a restore elsewhere gives exactly those rows.
    void backupStoresTheTableAsTheEngineReadsIt()
    {
        const QString data = demo(300);
        const QString statement = QStringLiteral("DELETE FROM Equipment WHERE \"HR Number\" < 120");
        const QString done = copyOf(data);
        QVERIFY(cli({"--data", done, "sql", statement}).code == 0);
        const int after = count(done, "SELECT COUNT(*) FROM Equipment");
        QVERIFY(after > 0 && after < 300);
        // Killed at the table's second write: the journal is whole, the
        // header already counts the rows left, the blocks still hold them all.
        const Run killed = killedAt("write", 2, {"--data", data, "sql", statement}, data + "/Equipment.DB");
        QCOMPARE(killed.code, -1);
        QVERIFY(QFileInfo(data + "/Equipment.DB-journal").size() > 0);
        const QString arc = fresh("arc") + "/Backup.Alse";
        const Run backup = cli({"--data", data, "backup", arc});
        QVERIFY2(backup.code == 0, qPrintable(backup.err));
        QVERIFY(!QFileInfo::exists(data + "/Equipment.DB-journal"));
        const QString elsewhere = fresh("elsewhere");
        const Run restore = cli({"--data", elsewhere, "restore", "--yes", arc});
        QVERIFY2(restore.code == 0, qPrintable(restore.err));
        QCOMPARE(count(elsewhere, "SELECT COUNT(*) FROM Equipment"), after);
    }

    // A journal left by a killed write never reaches the restored table:
    // afterwards the tables equal the archive exactly.
    void restoreLeavesNoJournalBehind()
    {
        const QString data = demo(20);
        const QString arc = fresh("arc") + "/Backup.Alse";
        QCOMPARE(cli({"--data", data, "backup", arc}).code, 0);
        const QMap<QString, QByteArray> backedUp = database(data);
        // Killed at the table's first write: its journal is whole, the table untouched.
        QCOMPARE(killedAt("write", 1, {"--data", data, "sql", "UPDATE Hrdf SET Section = 'AFTER'"}, data + "/Hrdf.DB").code,
                 -1);
        QVERIFY(QFileInfo(data + "/Hrdf.DB-journal").size() > 0);
        const Run r = cli({"--data", data, "restore", "--yes", arc});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(count(data, "SELECT COUNT(*) FROM Hrdf WHERE Section = 'AFTER'"), 0);
        QMap<QString, QByteArray> now = database(data);
        QCOMPARE(now, backedUp);
        // The undo brings the change back: it was complete in its journal.
        QCOMPARE(cli({"--data", data, "restore", "--undo"}).code, 0);
        QCOMPARE(count(data, "SELECT COUNT(*) FROM Hrdf WHERE Section = 'AFTER'"), 40);
    }

    // A restore or its undo killed at chosen moments leaves the old files,
    // or all the new ones, or a mark that the next command reports; the
    // undo (finished by another undo when it was itself killed) gives the
    // old files back exactly.
    void restoreAndUndoKilled_data()
    {
        QTest::addColumn<QString>("job");
        QTest::newRow("restore") << "restore";
        QTest::newRow("undo") << "undo";
    }
    void restoreAndUndoKilled()
    {
        QFETCH(QString, job);
        const QString source = demo(30);
        const QString arc = fresh("arc") + "/Backup.Alse";
        QCOMPARE(cli({"--data", source, "backup", arc}).code, 0);
        const QMap<QString, QByteArray> restored = database(source);
        // Every run in the same folder: the validity files name it, and a
        // writer in another folder would rewrite them.
        const QString data = copyOf(demo(10));
        const QMap<QString, QByteArray> old = database(data);
        const auto reset = [&] {
            QVERIFY(kw::core::removeTree(data));
            QVERIFY(QDir().mkpath(data));
            for (auto it = old.cbegin(); it != old.cend(); ++it)
                kwtest::writeFile(data + '/' + it.key(), it.value());
        };
        const QStringList args = job == "undo" ? QStringList{"--data", data, "restore", "--undo"}
                                               : QStringList{"--data", data, "restore", "--yes", arc};
        reset();
        if (job == "undo")
            QCOMPARE(cli({"--data", data, "restore", "--yes", arc}).code, 0);
        // strace counts each system call on its own: files are renamed into
        // place with rename, the copy aside with renameat2.
        const int total = callsOf(QStringLiteral("rename"), args);
        QVERIFY(total > 70);
        QList<std::pair<QString, int>> points{{"rename", 1}, {"rename", 2}, {"rename", 3}, {"rename", total / 2},
                                               {"rename", total - 1}, {"rename", total}};
        if (job == "restore")
            points.prepend({"renameat2", 1});
        for (const auto &[syscall, n] : points) {
            reset();
            if (job == "undo")
                QCOMPARE(cli({"--data", data, "restore", "--yes", arc}).code, 0);
            const Run r = killedAt(syscall, n, args);
            const QString at = QStringLiteral("killed at %1 %2: ").arg(syscall).arg(n);
            const Run next = cli({"--data", data, "dump", "Kits.DB"});
            const QMap<QString, QByteArray> now = database(data);
            if (next.err.contains("interrupted")) {
                QVERIFY2(next.err.contains("restore --undo"), qPrintable(at + next.err));
                const Run undo = cli({"--data", data, "restore", "--undo"});
                QVERIFY2(undo.code == 0, qPrintable(at + undo.err));
                QVERIFY2(!cli({"--data", data, "dump", "Kits.DB"}).err.contains("interrupted"), qPrintable(at));
                QVERIFY2(database(data) == old, qPrintable(at + next.err));
            } else {
                QVERIFY2(next.code == 0, qPrintable(at + next.err));
                QVERIFY2(now == old || now == restored, qPrintable(at));
            }
            QVERIFY2(r.code == -1, qPrintable(at + "ran to its end"));
        }
    }

    // An import killed at chosen moments leaves the old tables and files,
    // or the imported ones, or a mark that the next command reports; then
    // "import --undo" gives back exactly the tables and files from before
    // it, and running the import again finishes it.
    void importKilled_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("undone") << "undo";
        QTest::newRow("finished") << "import";
    }
    void importKilled()
    {
        QFETCH(QString, then);
        kwtest::Marrowby m;
        m.holders = {{1, QStringLiteral("Able")}, {2, QStringLiteral("Baker")}, {2, QStringLiteral("Charlie")}};
        m.master = {{"8465-01-111-1111", "V11111", "VEST: LIFE", "EA", "2", "Y", "1"}};
        m.items = {{1, "8465-01-111-1111", "VEST", "V-1", ""}, {7, "8465-01-111-1111", "VEST", "V-2", "old"}};
        m.kits = {{"90-26001", "SKIT", "K-1", "", QDate(2027, 1, 1), "180", "D", QDate()}};
        const QString marrowby = fresh("marrowby");
        QDir().mkpath(marrowby);
        m.write(marrowby);
        QCOMPARE(cli({"alias", "set", "Marrowby", marrowby}).code, 0);
        const QString data = copyOf(demo(10));
        const QMap<QString, QByteArray> oldShop = database(data), oldMarrowby = database(marrowby);
        const auto reset = [&] {
            for (const auto &[dir, files] : {std::pair{data, oldShop}, std::pair{marrowby, oldMarrowby}}) {
                QVERIFY(kw::core::removeTree(dir));
                QVERIFY(QDir().mkpath(dir));
                for (auto it = files.cbegin(); it != files.cend(); ++it)
                    kwtest::writeFile(dir + '/' + it.key(), it.value());
            }
        };
        const auto holders = [&] { return cli({"--data", data, "dump", "Hrdf.DB", "--csv"}).out; };
        reset();
        const QStringList args{"--data", data, "import", "--yes"};
        const int renames = callsOf(QStringLiteral("rename"), args);
        reset();
        const int syncs = callsOf(QStringLiteral("fdatasync"), args);
        QCOMPARE(cli({"--data", data, "dump", "Kits.DB"}).code, 0);
        const QString imported = holders();
        QVERIFY(imported.contains("! Baker") && renames > 10 && syncs > 10);
        // Files set aside, a statement on the predecessor's files, tables
        // written, the copies dropped.
        const QList<std::pair<QString, int>> points{{"rename", 1}, {"rename", 2}, {"rename", renames / 3},
                                                    {"rename", renames / 2}, {"rename", renames - 2},
                                                    {"rename", renames}, {"fdatasync", syncs / 3},
                                                    {"fdatasync", syncs / 2}, {"fdatasync", syncs - 3}};
        for (const auto &[syscall, n] : points) {
            reset();
            const Run r = killedAt(syscall, n, args);
            const QString at = QStringLiteral("killed at %1 %2: ").arg(syscall).arg(n);
            QVERIFY2(r.code == -1, qPrintable(at + "ran to its end"));
            const Run next = cli({"--data", data, "dump", "Kits.DB"});
            if (!next.err.contains("import") || !next.err.contains("interrupted")) {
                QVERIFY2(next.err.isEmpty(), qPrintable(at + next.err));
                const bool before = database(data) == oldShop && database(marrowby) == oldMarrowby;
                QVERIFY2(before || holders() == imported, qPrintable(at + holders()));
                continue;
            }
            QVERIFY2(next.err.contains("import --undo"), qPrintable(at + next.err));
            const Run done = cli(QStringList{"--data", data, "import", "--yes"}
                                 + (then == "undo" ? QStringList{"--undo"} : QStringList{}));
            QVERIFY2(done.code == 0, qPrintable(at + done.err));
            QVERIFY2(!cli({"--data", data, "dump", "Kits.DB"}).err.contains("interrupted"), qPrintable(at));
            if (then == "undo") {
                QVERIFY2(database(data) == oldShop, qPrintable(at));
                QVERIFY2(database(marrowby) == oldMarrowby, qPrintable(at));
            } else {
                QCOMPARE(holders(), imported);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TstCliKill)
#include "tst_clikill.moc"
