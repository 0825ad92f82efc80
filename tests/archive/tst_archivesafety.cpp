// What a backup or a restore must never lose, seen from kitwarden-cli: files
// a restore did not put back, files that failed, restored tables that do not
// open, a restore killed part-way, targets a backup would destroy, and a
// backup that fails or stops.
#include "archivefixture.h"
#include "clirun.h"
#include "core/filelock.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace kw::archive;

class TstArchiveSafety : public QObject {
    Q_OBJECT
    QTemporaryDir tmp{kwtest::scratchTemplate()};
    int counter = 0;
    QString fresh(const QString &name) { return tmp.filePath(QStringLiteral("%1-%2").arg(++counter).arg(name)); }

    using Run = kwtest::CliRun;
    static Run cli(const QStringList &args) { return kwtest::runCli(args); }

    // Every database file, with content of its own (not tables).
    QString fakeData(int seed, const QStringList &leaveOut = {})
    {
        const QString dir = fresh(QStringLiteral("data"));
        int i = seed;
        for (const QString &n : kwtest::shopDatabaseFiles().names())
            if (!leaveOut.contains(n))
                kwtest::writeFile(dir + '/' + n, kwtest::textBytes(300 + (i++ % 7) * 100, seed * 100 + i));
        return dir;
    }

    QHash<QString, QByteArray> snapshot(const QString &dir)
    {
        QHash<QString, QByteArray> files;
        for (const QString &n : kwtest::shopDatabaseFiles().names())
            if (QFileInfo::exists(dir + '/' + n))
                files.insert(n, kwtest::readFile(dir + '/' + n));
        return files;
    }

    // An archive of whatever the files hold (the backup command refuses
    // tables that do not open; these archives are for testing restores).
    QString backupOf(const QString &data)
    {
        const QString arc = fresh(QStringLiteral("arc")) + QStringLiteral("/Backup.Alse");
        TArchiver a;
        configureForApplication(a);
        const BackupReport r = backupDatabase(a, arc, data, kwtest::shopDatabaseFiles());
        if (!QFileInfo::exists(arc))
            qFatal("no backup: %s", qPrintable(backupProblems(r, data).join('\n')));
        return arc;
    }
    QString demoShop(int items)
    {
        const QString dir = fresh(QStringLiteral("shop"));
        const Run r = cli({"demo", dir, "--items", QString::number(items)});
        if (r.code != 0)
            qFatal("no demo shop: %s", qPrintable(r.err));
        return dir;
    }

private slots:
    // Every database file the archive lists or the database needs is back,
    // or the restore names it and fails.
    void restoreNamesWhatItDidNotPutBack_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("file");
        QTest::newRow("entry flagged as a folder") << "folder flag" << "Hrdf.PX";
        QTest::newRow("entry without its complete flag") << "incomplete flag" << "Parts.X03";
        QTest::newRow("database file missing from the backup") << "left out" << "Kits.X02";
    }
    void restoreNamesWhatItDidNotPutBack()
    {
        QFETCH(QString, damage);
        QFETCH(QString, file);
        const QString data = fakeData(1, damage == "left out" ? QStringList{file} : QStringList{});
        const QString arc = backupOf(data);
        if (damage == "folder flag")
            kwtest::setEntryFlags(arc, file, efFolder | efComplete);
        else if (damage == "incomplete flag")
            kwtest::setEntryFlags(arc, file, efFile);
        const QString target = fakeData(2);
        const QByteArray before = kwtest::readFile(target + '/' + file);
        const Run r = cli({"--data", target, "restore", "--yes", "--yes-to-all", arc});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(file), qPrintable(r.err));
        QCOMPARE(kwtest::readFile(target + '/' + file), before); // the old one is still there
        QCOMPARE(kwtest::readFile(target + "/Aircraft.DB"), kwtest::readFile(data + "/Aircraft.DB"));
    }

    // A file whose data does not check out leaves the old one in place.
    void failedFileKeepsTheOldOne()
    {
        const QString data = fakeData(3);
        kwtest::writeFile(data + "/Hrdf.DB", kwtest::textBytes(150000, 9));
        const QString arc = backupOf(data);
        const kwtest::StoredFile f = kwtest::storedFile(arc, "Hrdf.DB");
        QByteArray bytes = kwtest::readFile(arc);
        const qint64 at = f.frames.at(1).first + 100; // inside the second block's data
        bytes[at] = char(bytes[at] ^ 0x21);
        kwtest::writeFile(arc, bytes);
        const QString target = fakeData(4);
        const QByteArray before = kwtest::readFile(target + "/Hrdf.DB");
        const Run r = cli({"--data", target, "restore", "--yes", "--yes-to-all", arc});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Bad CRC"), qPrintable(r.err));
        QCOMPARE(kwtest::readFile(target + "/Hrdf.DB"), before);
        QCOMPARE(kwtest::readFile(target + "/Hrdf.PX"), kwtest::readFile(data + "/Hrdf.PX"));
        QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden).size(), 74); // no temporary file left
    }

    // Frames swapped inside a table keep every CRC valid; the restored
    // table does not open and is put back as it was.
    void restoredTableThatDoesNotOpenIsPutBack()
    {
        const QString shop = fresh("shop"), target = fresh("target");
        QCOMPARE(cli({"demo", shop, "--items", "1200"}).code, 0);
        QCOMPARE(cli({"demo", target, "--items", "30"}).code, 0);
        const QString arc = backupOf(shop);
        QVERIFY(kwtest::storedFile(arc, "Equipment.DB").frames.size() >= 2);
        kwtest::swapFrames(arc, "Equipment.DB", 0);
        const QHash<QString, QByteArray> before = snapshot(target);
        const Run r = cli({"--data", target, "restore", "--yes", arc});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Equipment.DB"), qPrintable(r.err));
        for (const QString &n : kwtest::shopDatabaseFiles().names())
            if (n.startsWith("Equipment."))
                QCOMPARE(kwtest::readFile(target + '/' + n), before.value(n));
        QCOMPARE(kwtest::readFile(target + "/Parts.DB"), kwtest::readFile(shop + "/Parts.DB"));
        const Run dump = cli({"--data", target, "dump", "Equipment.DB", "--csv"});
        QCOMPARE(dump.code, 0);
        QCOMPARE(dump.out.count('\n'), 31); // the target's own 30 items
    }

    // Tables that open come back with success, and a backup of them
    // restores over a shop of another size.
    void restoreOfTablesThatOpenSucceeds()
    {
        const QString shop = fresh("shop"), target = fresh("target");
        QCOMPARE(cli({"demo", shop, "--items", "200"}).code, 0);
        QCOMPARE(cli({"demo", target, "--items", "30"}).code, 0);
        const Run r = cli({"--data", target, "restore", "--yes", backupOf(shop)});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(snapshot(target), snapshot(shop));
        QVERIFY(!QFileInfo::exists(target + "/Restore-Incoming"));
    }

    // A restore killed part-way is noticed by the next run, and the undo
    // puts the database back as it was before.
    void interruptedRestoreIsNoticed()
    {
        const QString data = fakeData(5);
        const QString arc = backupOf(data);
        const QString target = fakeData(6);
        const QHash<QString, QByteArray> before = snapshot(target);
        QProcess p;
        p.start(QStringLiteral(CRASH_RESTORER), {arc, target, "3"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(kwtest::readFile(target + "/Aircraft.DB"), kwtest::readFile(data + "/Aircraft.DB"));

        const Run next = cli({"--data", target, "list", arc});
        QCOMPARE(next.code, 0);
        QVERIFY2(next.err.contains("interrupted") && next.err.contains("restore --undo"), qPrintable(next.err));
        const Run undo = cli({"--data", target, "restore", "--undo"});
        QCOMPARE(undo.code, 0);
        QVERIFY2(!undo.err.contains("interrupted"), qPrintable(undo.err));
        QCOMPARE(snapshot(target), before);
        QVERIFY(!cli({"--data", target, "list", arc}).err.contains("interrupted"));
    }

    // An archive of several segments on a fixed disk, its files with content
    // that does not compress.
    QString segmentedBackup(int seed)
    {
        const QString data = fresh(QStringLiteral("segdata"));
        for (const QString &n : {QStringLiteral("Equipment.DB"), QStringLiteral("Kits.DB"), QStringLiteral("Hrdf.DB")})
            kwtest::writeFile(data + '/' + n, kwtest::randomBytes(250000, quint32(seed * 10 + n.size())));
        const QString arc = fresh(QStringLiteral("seg")) + QStringLiteral("/Backup.Alse");
        TArchiver a;
        configureForApplication(a);
        a.MinFreeSpace = 1000; // segments limited by size on a roomy disk stay beside the first
        a.setMaxSegmentSize(300000);
        a.setFileName(arc);
        QDir().mkpath(QFileInfo(arc).absolutePath());
        if (!a.AddFiles({data + "/Equipment.DB", data + "/Kits.DB", data + "/Hrdf.DB"}))
            qFatal("no segmented backup");
        a.Close();
        return arc;
    }

    // A segment that is missing or does not belong ends the restore as a
    // failure that names the file, before anything is replaced; never as a
    // cancel the user did not make.
    void missingSegmentIsNamed_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("says");
        QTest::newRow("segment deleted") << "delete" << "Segment 2 of the archive, \"<seg2>\", is missing";
        QTest::newRow("segment renamed") << "rename" << "Segment 2 of the archive, \"<seg2>\", is missing";
        QTest::newRow("segment of another backup") << "other" << "\"<seg2>\" is not segment 2 of this archive";
        QTest::newRow("last segment deleted") << "last" << "is missing";
        QTest::newRow("one segment without its final flag") << "flag" << "goes on in further segments";
    }
    void missingSegmentIsNamed()
    {
        QFETCH(QString, damage);
        QFETCH(QString, says);
        QString arc = segmentedBackup(1);
        const QString dir = QFileInfo(arc).absolutePath();
        const QString seg2 = dir + "/Backup-002.mmm";
        QVERIFY(QFileInfo::exists(seg2) && QFileInfo::exists(dir + "/Backup-003.mmm"));
        if (damage == "delete") {
            QVERIFY(QFile::remove(seg2));
        } else if (damage == "rename") {
            QVERIFY(QFile::rename(seg2, dir + "/Backup-2.mmm"));
        } else if (damage == "other") {
            const QString other = segmentedBackup(2);
            QVERIFY(QFile::remove(seg2));
            QVERIFY(QFile::copy(QFileInfo(other).absolutePath() + "/Backup-002.mmm", seg2));
        } else if (damage == "last") {
            int last = 2;
            while (QFileInfo::exists(dir + QStringLiteral("/Backup-%1.mmm").arg(last + 1, 3, 10, QLatin1Char('0'))))
                ++last;
            QVERIFY(QFile::remove(dir + QStringLiteral("/Backup-%1.mmm").arg(last, 3, 10, QLatin1Char('0'))));
        } else {
            arc = backupOf(fakeData(11));
            QByteArray bytes = kwtest::readFile(arc);
            bytes[24] = char(bytes[24] & ~0x10);
            kwtest::writeFile(arc, bytes);
        }
        const QString target = demoShop(5);
        const QHash<QString, QByteArray> before = snapshot(target);
        const Run r = cli({"--data", target, "restore", "--yes", arc});
        QCOMPARE(r.code, 1);
        QString expected = says;
        expected.replace("<seg2>", QDir::toNativeSeparators(seg2));
        QVERIFY2(r.err.contains(expected), qPrintable(r.err));
        QVERIFY2(!r.err.contains("Restore stopped") && !r.err.contains("QFSFileEngine"), qPrintable(r.err));
        QCOMPARE(snapshot(target), before);
    }

    // Working folders under the data directory are never followed through a
    // link: what a link points to is neither emptied nor filled.
    void workingFoldersAreNeverFollowed_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("Restore-Incoming") << "Restore-Incoming";
        QTest::newRow("Restore-Undo") << "Restore-Undo";
        QTest::newRow("Restore-Undo.new") << "Restore-Undo.new";
    }
    void workingFoldersAreNeverFollowed()
    {
        QFETCH(QString, folder);
        const QString shop = demoShop(10), target = demoShop(5);
        const QString arc = fresh("arc") + "/Backup.Alse";
        QCOMPARE(cli({"--data", shop, "backup", arc}).code, 0);
        const QString outside = fresh("outside");
        kwtest::writeFile(outside + "/keep.txt", "outside the data directory");
        QVERIFY(QFile::link(outside, target + '/' + folder));
        const Run r = cli({"--data", target, "restore", "--yes", arc});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"keep.txt"});
        QCOMPARE(kwtest::readFile(outside + "/keep.txt"), QByteArray("outside the data directory"));
        QCOMPARE(kwtest::readFile(target + "/Hrdf.DB"), kwtest::readFile(shop + "/Hrdf.DB"));
        const Run undo = cli({"--data", target, "restore", "--undo"});
        QVERIFY2(undo.code == 0, qPrintable(undo.err));
        QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"keep.txt"});
    }

    // Staging folders a killed backup left beside the target are removed
    // before the backup measures its room; a running backup's, another
    // name's and a link are left alone.
    void leftoverStagingFoldersAreRemoved()
    {
        const QString shop = demoShop(10);
        const QString dir = fresh("media");
        const QString leftover = dir + "/.Backup.Alse-a1B2c3", running = dir + "/.Backup.Alse-R0nn1n",
                      other = dir + "/.Other.Alse-a1B2c3", link = dir + "/.Backup.Alse-L1nk00";
        kwtest::writeFile(leftover + "/Backup.Alse", kwtest::textBytes(200000));
        kwtest::writeFile(leftover + "/Backup-002.mmm", kwtest::textBytes(1000));
        kwtest::writeFile(running + "/Backup.Alse", "being written");
        QFile mark(running + "/.kitwarden-backup");
        QVERIFY(mark.open(QIODevice::WriteOnly) && kw::core::tryLockFile(mark, kw::core::LockMode::Exclusive));
        kwtest::writeFile(other + "/Other.Alse", "not this backup's");
        const QString outside = fresh("outside");
        kwtest::writeFile(outside + "/Backup.Alse", "outside");
        QVERIFY(QFile::link(outside, link));
        const Run r = cli({"--data", shop, "backup", dir + "/Backup.Alse"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(leftover));
        QVERIFY(QFileInfo::exists(running + "/Backup.Alse"));
        QVERIFY(QFileInfo::exists(other + "/Other.Alse"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(kwtest::readFile(outside + "/Backup.Alse"), QByteArray("outside"));
    }

    // Targets a backup would destroy are refused, and nothing changes.
    void backupRefusesTargetsItWouldDestroy_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("database file") << "database file";
        QTest::newRow("database file in another case") << "other case";
        QTest::newRow("link to a database file") << "link";
        QTest::newRow("directory") << "directory";
        QTest::newRow("named pipe") << "fifo";
        QTest::newRow("device node") << "device";
    }
    void backupRefusesTargetsItWouldDestroy()
    {
        QFETCH(QString, kind);
        const QString data = fakeData(7);
        const QHash<QString, QByteArray> before = snapshot(data);
        const QString elsewhere = fresh("elsewhere");
        QDir().mkpath(elsewhere);
        QString target;
        if (kind == "database file") {
            target = data + "/Parts.DB";
        } else if (kind == "other case") {
            target = data + "/PARTS.db";
        } else if (kind == "link") {
            target = elsewhere + "/Backup.Alse";
            QVERIFY(QFile::link(data + "/Parts.DB", target));
        } else if (kind == "directory") {
            target = elsewhere + "/Backup.Alse";
            QVERIFY(QDir().mkpath(target));
        } else if (kind == "fifo") {
            target = elsewhere + "/Backup.Alse";
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        } else {
            target = elsewhere + "/Backup.Alse";
            if (::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
                QSKIP("device nodes cannot be made here");
        }
        struct stat st0 {};
        ::lstat(QFile::encodeName(target).constData(), &st0);
        const Run r = cli({"--data", data, "backup", target});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QFileInfo(target).fileName()), qPrintable(r.err));
        QCOMPARE(snapshot(data), before);
        if (kind == "other case") {
            QVERIFY(!QFileInfo::exists(target));
        } else {
            struct stat st1 {};
            QCOMPARE(::lstat(QFile::encodeName(target).constData(), &st1), 0);
            QCOMPARE(st1.st_mode & S_IFMT, st0.st_mode & S_IFMT);
            QCOMPARE(st1.st_rdev, st0.st_rdev);
        }
        QCOMPARE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
                 kind == "database file" || kind == "other case" ? 0 : 1);
    }

    // A backup that stops leaves the previous archive as it was, and
    // nothing of the new one.
    void stoppedBackupKeepsThePreviousArchive()
    {
        const QString data = demoShop(20);
        const QString arc = backupOf(data);
        const QByteArray previous = kwtest::readFile(arc);
        QCOMPARE(cli({"--data", data, "sql", "DELETE FROM Aircraft"}).code, 0);
        QFile inUse(data + "/Kits.DB"); // another program writes it
        QVERIFY(inUse.open(QIODevice::ReadWrite));
        QVERIFY(kw::core::tryLockFile(inUse, kw::core::LockMode::Exclusive));
        const Run r = cli({"--data", data, "backup", "--no", arc});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Kits.DB"), qPrintable(r.err));
        // Nothing of it is claimed stored.
        QVERIFY2(r.out.contains(QStringLiteral("No backup was made: %1 is as it was before.").arg(arc)), qPrintable(r.out));
        QCOMPARE(kwtest::readFile(arc), previous);
        QCOMPARE(QDir(QFileInfo(arc).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"Backup.Alse"});
        inUse.close();
        QCOMPARE(cli({"--data", data, "backup", arc}).code, 0);
        QVERIFY(kwtest::readFile(arc) != previous);
    }

    // A table that does not open is never archived: the backup names it,
    // stores nothing and leaves the previous archive as it was.
    void damagedTableIsNeverArchived_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("cut inside a data block") << "cut";
        QTest::newRow("header overwritten") << "header";
    }
    void damagedTableIsNeverArchived()
    {
        QFETCH(QString, damage);
        const QString data = demoShop(300);
        const QString arc = backupOf(data);
        const QByteArray previous = kwtest::readFile(arc);
        QByteArray table = kwtest::readFile(data + "/Equipment.DB");
        if (damage == "cut")
            table.truncate(table.size() - 3000);
        else
            table.replace(0, 16, QByteArray(16, '\xff'));
        kwtest::writeFile(data + "/Equipment.DB", table);
        const Run r = cli({"--data", data, "backup", arc});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Equipment.DB does not open") && r.err.contains("repair"), qPrintable(r.err));
        QVERIFY2(r.out.contains("No backup was made"), qPrintable(r.out));
        QCOMPARE(kwtest::readFile(arc), previous);
        QCOMPARE(kwtest::readFile(data + "/Equipment.DB"), table); // left for repair as it is
    }

    // A full disk ends the backup with the system's reason; the previous
    // archive on that disk stays.
    void fullDiskSaysWhy()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty())
            QSKIP("a small disk of its own needs root and unshare");
        const QString data = demoShop(4000);
        const QString small = fresh("small"), out = fresh("out");
        QDir().mkpath(small);
        QDir().mkpath(out);
        const QString previous = backupOf(fakeData(9));
        const QString script = QStringLiteral(
            "mount -t tmpfs -o size=400k tmpfs '%1' || exit 99\n"
            "cp '%2' '%1/Backup.Alse'\n"
            "'%3' --data '%4' backup '%1/Backup.Alse' >'%5/out' 2>'%5/err'\n"
            "echo $? >'%5/code'\n"
            "cp '%1/Backup.Alse' '%5/after.Alse'\n"
            "ls -A '%1' >'%5/list'\n")
            .arg(small, previous, QStringLiteral(KW_CLI_PATH), data, out);
        QProcess p;
        p.start(QStringLiteral("unshare"), {"-m", "sh", "-c", script});
        QVERIFY(p.waitForFinished(180000));
        if (p.exitCode() == 99)
            QSKIP("tmpfs cannot be mounted here");
        QCOMPARE(kwtest::readFile(out + "/code").trimmed(), QByteArray("1"));
        const QString err = QString::fromUtf8(kwtest::readFile(out + "/err"));
        QVERIFY2(err.contains("No space left on device"), qPrintable(err));
        const QString said = QString::fromUtf8(kwtest::readFile(out + "/out"));
        QVERIFY2(said.contains("No backup was made") && !said.contains("database files stored"), qPrintable(said));
        QCOMPARE(kwtest::readFile(out + "/after.Alse"), kwtest::readFile(previous));
        QCOMPARE(kwtest::readFile(out + "/list").trimmed(), QByteArray("Backup.Alse"));
    }
};

QTEST_GUILESS_MAIN(TstArchiveSafety)
#include "tst_archivesafety.moc"
