// kitwarden-cli backup, restore, info and list: output and exit codes.
#include "archivefixture.h"
#include "clirun.h"

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
        QVERIFY(r.out.contains("74 of 74 database files stored"));

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
        r = cli({"--data", back, "restore", arc});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        for (const QString &n : kwtest::shopDatabaseFiles().names())
            QCOMPARE(kwtest::readFile(back + '/' + n), kwtest::readFile(data + '/' + n));

        QCOMPARE(cli({"info", tmp.filePath("none.Alse")}).code, 1);
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
        r = cli({"--data", target, "restore", "--no", arc});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Bad CRC"));
        // Stopped at the first file, which failed: nothing was replaced.
        QVERIFY(!r.err.contains("restore --undo"));
        QCOMPARE(kwtest::readFile(target + "/Hrdf.DB"), QByteArray("before"));
        r = cli({"--data", target, "restore", "--yes-to-all", arc});
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
