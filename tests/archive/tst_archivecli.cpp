// kitwarden-cli backup, restore, info and list: output and exit codes.
#include "archivefixture.h"
#include "clirun.h"

#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace kw::archive;

class TstArchiveCli : public QObject {
    Q_OBJECT
    QTemporaryDir tmp{kwtest::scratchTemplate()};

    using Run = kwtest::CliRun;
    static Run cli(const QStringList &args) { return kwtest::runCli(args); }

private slots:
    void backupInfoListRestore()
    {
        const QString data = tmp.filePath("data"), back = tmp.filePath("back"), arc = tmp.filePath("arc/Backup.Alse");
        QCOMPARE(cli({"demo", data, "--items", "50"}).code, 0);
        Run r = cli({"--data", data, "backup", arc});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Adding TechManuals.YG0"));
        // Where the archive is, its size and its file count.
        QVERIFY2(r.out.contains(QStringLiteral("The backup is in %1: ").arg(arc)), qPrintable(r.out));
        QVERIFY(r.out.contains(QLocale().formattedDataSize(QFileInfo(arc).size(), 1, QLocale::DataSizeTraditionalFormat)
                               + QStringLiteral(", 74 database files.")));

        r = cli({"info", arc});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], QStringLiteral("UserName: Kitwarden User"));
        QCOMPARE(lines[1], QStringLiteral("UserCompany: V.I. Zode"));
        QCOMPARE(lines[3], QStringLiteral("BackupName: Data Files"));
        QVERIFY(lines[4].startsWith("BackupDate: 20"));
        QCOMPARE(lines[6], QStringLiteral("ProductVersion: 200"));

        r = cli({"list", arc});
        QCOMPARE(r.code, 0);
        const QStringList rows = r.out.trimmed().split('\n');
        QCOMPARE(rows.size(), 74);
        const QStringList first = rows[0].split('\t');
        QCOMPARE(first[0], QStringLiteral("Aircraft.DB"));
        QCOMPARE(first[1].toLongLong(), QFileInfo(data + "/Aircraft.DB").size());
        QVERIFY(first[2].toInt() > 0);

        // Every file comes back.
        r = cli({"--data", back, "restore", "--yes", arc});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("74 database files restored into %1.").arg(back)), qPrintable(r.out));
        for (const QString &n : kwtest::shopDatabaseFiles().names())
            QCOMPARE(kwtest::readFile(back + '/' + n), kwtest::readFile(data + '/' + n));

        QCOMPARE(cli({"info", tmp.filePath("none.Alse")}).code, 1);
    }

    // A restore replaces the database only after a yes: --yes, or an answer
    // on the terminal. Without a terminal to ask on it changes nothing and
    // exits 2, saying that --yes is needed.
    void restoreAsksFirst_data()
    {
        QTest::addColumn<QString>("how"); // "--yes", "script", or the answer typed on a terminal
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("restored");
        QTest::newRow("--yes") << "--yes" << 0 << true;
        QTest::newRow("no terminal, no --yes") << "script" << 2 << false;
        QTest::newRow("terminal, answered y") << "y\n" << 0 << true;
        QTest::newRow("terminal, answered n") << "n\n" << 1 << false;
        QTest::newRow("terminal, only Enter") << "\n" << 1 << false;
    }
    void restoreAsksFirst()
    {
        QFETCH(QString, how);
        QFETCH(int, code);
        QFETCH(bool, restored);
        static int run = 0;
        const QString source = tmp.filePath("ask-source"), arc = tmp.filePath("ask.Alse");
        if (!QFileInfo::exists(arc)) {
            QCOMPARE(cli({"demo", source, "--items", "20"}).code, 0);
            QCOMPARE(cli({"--data", source, "backup", arc}).code, 0);
        }
        const QString target = tmp.filePath(QStringLiteral("ask-%1").arg(++run));
        QCOMPARE(cli({"demo", target, "--items", "5"}).code, 0);
        QMap<QString, QByteArray> before;
        for (const QString &n : QDir(target).entryList(QDir::Files))
            before.insert(n, kwtest::readFile(target + '/' + n));
        Run r;
        if (how == QLatin1String("--yes"))
            r = cli({"--data", target, "restore", "--yes", arc});
        else if (how == QLatin1String("script"))
            r = cli({"--data", target, "restore", arc});
        else
            r = kwtest::runCliOnTerminal({"--data", target, "restore", arc}, how.toUtf8());
        if (r.code == -2)
            QSKIP("no script(1) to give the command a terminal");
        QVERIFY2(r.code == code, qPrintable(QStringLiteral("exit %1: %2 %3").arg(r.code).arg(r.out, r.err)));
        // The question, in every case: the backup, its date, creator and files.
        QVERIFY2((r.err + r.out).contains(QStringLiteral("Restore the backup %1, made ").arg(arc)), qPrintable(r.err + r.out));
        QVERIFY((r.err + r.out).contains(QStringLiteral(" by Kitwarden User, V.I. Zode (version 200), with 74 database files?")));
        if (how == QLatin1String("script"))
            QVERIFY2(r.err.contains("Add --yes to run the restore without asking."), qPrintable(r.err));
        QMap<QString, QByteArray> after;
        for (const QString &n : QDir(target).entryList(QDir::Files))
            after.insert(n, kwtest::readFile(target + '/' + n));
        if (!restored) {
            QCOMPARE(after, before);
            QVERIFY(QDir(target).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty()); // no copy taken
            return;
        }
        QVERIFY(after != before);
        QCOMPARE(after.value("Hrdf.DB"), kwtest::readFile(source + "/Hrdf.DB"));
        QVERIFY((r.out).contains(QStringLiteral("74 database files restored into %1.").arg(target)));
        QVERIFY(r.out.contains("\"kitwarden-cli restore --undo\" puts it back."));
    }

    void incompleteRunsFail()
    {
        const QString data = tmp.filePath("d2"), arc = tmp.filePath("arc2/Backup.Alse"), target = tmp.filePath("t2");
        QCOMPARE(cli({"demo", data, "--items", "5"}).code, 0);
        for (const QString &n : QDir(data).entryList(QDir::Files))
            if (!n.startsWith("Hrdf."))
                QVERIFY(QFile::remove(data + '/' + n));
        Run r = cli({"--data", data, "backup", arc});
        QCOMPARE(r.code, 1); // the files of ten tables are missing
        QVERIFY(r.err.contains("Kits.DB (not stored)"));
        QVERIFY(r.out.contains("7 of 74 database files stored"));

        kwtest::writeFile(target + "/Hrdf.DB", "before");
        QByteArray bytes = kwtest::readFile(arc);
        const int at = bytes.indexOf("Hrdf.PX") - 1000; // inside Hrdf.DB's data
        bytes[at] = char(bytes[at] ^ 0x10);
        kwtest::writeFile(arc, bytes);
        r = cli({"--data", target, "restore", "--yes", "--no", arc});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Bad CRC"));
        // Stopped at the first file, which failed: nothing was replaced.
        QVERIFY(!r.err.contains("restore --undo"));
        QCOMPARE(kwtest::readFile(target + "/Hrdf.DB"), QByteArray("before"));
        r = cli({"--data", target, "restore", "--yes", "--yes-to-all", arc});
        QCOMPARE(r.code, 1);
        QCOMPARE(kwtest::readFile(target + "/Hrdf.PX"), kwtest::readFile(data + "/Hrdf.PX"));
        r = cli({"--data", target, "restore", "--undo"});
        QCOMPARE(r.code, 0);
        QCOMPARE(kwtest::readFile(target + "/Hrdf.DB"), QByteArray("before"));
        QVERIFY(!QFileInfo::exists(target + "/Hrdf.PX"));
    }
};

QTEST_GUILESS_MAIN(TstArchiveCli)
#include "tst_archivecli.moc"
