// The shop's backup and restore: the database file list, missing files,
// restore confined to database files in the data directory, the undo copy.
#include "archivefixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::archive;

class TstDbBackup : public QObject {
    Q_OBJECT
    kwtest::ScratchFiles m_scratch;
    QString fresh(const QString &name) { return m_scratch.fresh(name); }

    // An archive of exactly these entries (stored names as given).
    QString archiveOf(const QList<QPair<QString, QByteArray>> &files)
    {
        const QString src = fresh("src");
        TArchiver a;
        configureForApplication(a);
        a.setFileName(fresh("arc/Backup.Alse"));
        QHash<QString, QString> names;
        a.OnAddFile = [&](TFileEntry &e, bool &) { e.Name = names.value(e.Name, e.Name); };
        QStringList paths;
        int i = 0;
        for (const auto &[name, bytes] : files) {
            const QString local = QStringLiteral("f%1").arg(i++);
            names.insert(local, name);
            kwtest::writeFile(src + '/' + local, bytes);
            paths << src + '/' + local;
        }
        a.AddFiles(paths);
        a.Close();
        return a.FileName();
    }

private slots:
    void fileList()
    {
        const QStringList &l = kwtest::shopDatabaseFiles().names();
        const QStringList expected = {
            QStringLiteral("Aircraft.DB"), QStringLiteral("Aircraft.PX"), QStringLiteral("Aircraft.VAL"),
            QStringLiteral("Bin.DB"), QStringLiteral("Bin.PX"), QStringLiteral("Bin.VAL"),
            QStringLiteral("Drawer.DB"), QStringLiteral("Drawer.PX"), QStringLiteral("Drawer.VAL"),
            QStringLiteral("Equipment.DB"), QStringLiteral("Equipment.PX"), QStringLiteral("Equipment.VAL"),
            QStringLiteral("Equipment.X02"), QStringLiteral("Equipment.X03"), QStringLiteral("Equipment.XG0"),
            QStringLiteral("Equipment.XG1"), QStringLiteral("Equipment.XG2"), QStringLiteral("Equipment.Y02"),
            QStringLiteral("Equipment.Y03"), QStringLiteral("Equipment.YG0"), QStringLiteral("Equipment.YG1"),
            QStringLiteral("Equipment.YG2"),
            QStringLiteral("Hrdf.DB"), QStringLiteral("Hrdf.PX"), QStringLiteral("Hrdf.VAL"), QStringLiteral("Hrdf.XG0"),
            QStringLiteral("Hrdf.XG1"), QStringLiteral("Hrdf.YG0"), QStringLiteral("Hrdf.YG1"),
            QStringLiteral("Kits.DB"), QStringLiteral("Kits.PX"), QStringLiteral("Kits.VAL"), QStringLiteral("Kits.X02"),
            QStringLiteral("Kits.XG0"), QStringLiteral("Kits.XG1"), QStringLiteral("Kits.XG2"), QStringLiteral("Kits.XG3"),
            QStringLiteral("Kits.XG4"), QStringLiteral("Kits.XG5"), QStringLiteral("Kits.Y02"), QStringLiteral("Kits.YG0"),
            QStringLiteral("Kits.YG1"), QStringLiteral("Kits.YG2"), QStringLiteral("Kits.YG3"), QStringLiteral("Kits.YG4"),
            QStringLiteral("Kits.YG5"),
            QStringLiteral("KitType.DB"), QStringLiteral("KitType.PX"),
            QStringLiteral("Lists.DB"), QStringLiteral("Lists.PX"), QStringLiteral("Lists.VAL"), QStringLiteral("Lists.XG0"),
            QStringLiteral("Lists.YG0"),
            QStringLiteral("Parts.DB"), QStringLiteral("Parts.PX"), QStringLiteral("Parts.VAL"), QStringLiteral("Parts.X02"),
            QStringLiteral("Parts.X03"), QStringLiteral("Parts.X04"), QStringLiteral("Parts.XG0"), QStringLiteral("Parts.Y02"),
            QStringLiteral("Parts.Y03"), QStringLiteral("Parts.Y04"), QStringLiteral("Parts.YG0"),
            QStringLiteral("PartsList.DB"), QStringLiteral("PartsList.PX"), QStringLiteral("PartsList.VAL"),
            QStringLiteral("PartsList.XG0"), QStringLiteral("PartsList.YG0"),
            QStringLiteral("TechManuals.DB"), QStringLiteral("TechManuals.PX"), QStringLiteral("TechManuals.VAL"),
            QStringLiteral("TechManuals.XG0"), QStringLiteral("TechManuals.YG0"),
        };
        QCOMPARE(l, expected);
        QCOMPARE(l.size(), 74);
        QCOMPARE(l.first(), QStringLiteral("Aircraft.DB"));
        QCOMPARE(l.indexOf("Hrdf.DB"), 22);
        QCOMPARE(l.indexOf("KitType.PX"), 47);
        QCOMPARE(l.last(), QStringLiteral("TechManuals.YG0"));
        QCOMPARE(QSet<QString>(l.begin(), l.end()).size(), 74);
        QCOMPARE(kwtest::shopDatabaseFiles().canonical("hrdf.db"), QStringLiteral("Hrdf.DB"));
        QCOMPARE(kwtest::shopDatabaseFiles().canonical("notes.txt"), QString());
    }

    // A missing file is left out and reported; the rest of the list is stored.
    void backupWithMissingFile()
    {
        const QString data = fresh("data");
        for (const QString &n : kwtest::shopDatabaseFiles().names())
            if (n != "Kits.X02")
                kwtest::writeFile(data + '/' + (n == "Hrdf.DB" ? QStringLiteral("HRDF.db") : n), n.toUtf8());
        TArchiver a;
        configureForApplication(a);
        const BackupReport r = backupDatabase(a, fresh("arc/Backup.Alse"), data, kwtest::shopDatabaseFiles());
        QCOMPARE(r.missing, QStringList{"Kits.X02"});
        QCOMPARE(r.stored.size(), 73);
        QStringList expected = kwtest::shopDatabaseFiles().names();
        expected.removeAll("Kits.X02");
        QCOMPARE(r.stored, expected); // list order, list spelling
        QVERIFY(!r.complete());
        QVERIFY(!a.isOpen());
        QCOMPARE(kwtest::headerOf(a.FileName()).ArchiveTotals.FileCount, 73);

        // Complete when nothing is missing; an old archive is replaced.
        kwtest::writeFile(data + "/Kits.X02", "x");
        const BackupReport full = backupDatabase(a, a.FileName(), data, kwtest::shopDatabaseFiles());
        QVERIFY(full.complete());
        QCOMPARE(kwtest::headerOf(a.FileName()).ArchiveTotals.FileCount, 74);
    }

    // Only database files are restored, only into the data directory;
    // everything else is skipped and reported.
    void restoreConfined()
    {
        const QString data = fresh("data");
        const QString outside = fresh("outside");
        QDir().mkpath(outside);
        kwtest::writeFile(data + "/Hrdf.DB", "old hrdf");
        const QString arc = archiveOf({{"Hrdf.DB", "new hrdf"},
                                       {"notes.txt", "hello"},
                                       {"..\\" + QFileInfo(outside).fileName() + "\\Bin.DB", "sneaky"},
                                       {"C:\\Windows\\lists.db", "lists"}});
        TArchiver a;
        configureForApplication(a);
        const RestoreReport r = restoreDatabase(a, arc, data, kwtest::shopDatabaseFiles());
        QCOMPARE(r.restored, QStringList({"Hrdf.DB", "Lists.DB"}));
        QCOMPARE(r.skipped.size(), 2);
        QVERIFY(r.skipped.contains("notes.txt"));
        QVERIFY(!r.complete());
        QCOMPARE(kwtest::readFile(data + "/Hrdf.DB"), QByteArray("new hrdf"));
        QCOMPARE(kwtest::readFile(data + "/Lists.DB"), QByteArray("lists"));
        QCOMPARE(QDir(data).entryList(QDir::Files), QStringList({"Hrdf.DB", "Lists.DB"}));
        QVERIFY(QDir(outside).isEmpty());
        QVERIFY(undoRestore(data, kwtest::shopDatabaseFiles()).done);
        QCOMPARE(kwtest::readFile(data + "/Hrdf.DB"), QByteArray("old hrdf"));
        QCOMPARE(QDir(data).entryList(QDir::Files), QStringList({"Hrdf.DB"}));
    }

    // A restore that fails half-way can be undone. The copy always holds the
    // state just before the restore that made it: after a second failed try,
    // the undo goes back to before that one, and work done between the two
    // is never lost.
    void undoAfterFailedRestore()
    {
        const QString data = fresh("data");
        kwtest::writeFile(data + "/Aircraft.DB", "aircraft v1");
        kwtest::writeFile(data + "/Bin.DB", "bin v1");
        const QByteArray binV2 = kwtest::textBytes(20000);
        const QString arc = archiveOf({{"Aircraft.DB", "aircraft v2"}, {"Bin.PX", "px v2"}, {"Bin.DB", binV2}});
        QByteArray bytes = kwtest::readFile(arc);
        bytes[bytes.size() - 10] = char(bytes[bytes.size() - 10] ^ 0x40); // inside Bin.DB's block
        kwtest::writeFile(arc, bytes);
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (attempt == 1)
                kwtest::writeFile(data + "/Hrdf.DB", "worked on between the restores");
            TArchiver a;
            configureForApplication(a);
            ScriptedPrompts prompts; // "No" in the continue dialog
            a.setPrompts(&prompts);
            const RestoreReport r = restoreDatabase(a, arc, data, kwtest::shopDatabaseFiles());
            QVERIFY(r.cancelled);
            QVERIFY(r.touched);
            QCOMPARE(prompts.count("continue"), 1);
            QCOMPARE(r.failed.size(), 1);
            QCOMPARE(r.failed[0].message, QStringLiteral("Bad CRC: data stored in the archive is corrupted"));
            QCOMPARE(kwtest::readFile(data + "/Aircraft.DB"), QByteArray("aircraft v2"));
            QVERIFY(QFileInfo::exists(data + "/Bin.PX"));
        }
        kwtest::writeFile(data + "/Aircraft.DB", "aircraft v3");
        const UndoReport undo = undoRestore(data, kwtest::shopDatabaseFiles());
        QVERIFY2(undo.done, qPrintable(undo.error));
        QCOMPARE(undo.changedSince, QStringList{"Aircraft.DB"}); // said: its change is gone
        QCOMPARE(kwtest::readFile(data + "/Aircraft.DB"), QByteArray("aircraft v2"));
        QCOMPARE(kwtest::readFile(data + "/Bin.DB"), QByteArray("bin v1"));
        QCOMPARE(kwtest::readFile(data + "/Bin.PX"), QByteArray("px v2"));
        QCOMPARE(kwtest::readFile(data + "/Hrdf.DB"), QByteArray("worked on between the restores"));
        // Nothing is left to undo.
        QVERIFY(!undoRestore(data, kwtest::shopDatabaseFiles()).done);
    }

    // A refused archive touches nothing.
    void refusedArchiveTouchesNothing()
    {
        const QString data = fresh("data");
        kwtest::writeFile(data + "/Hrdf.DB", "keep");
        const QString arc = fresh("arc/Old.Alse");
        {
            TArchiver w;
            configureForApplication(w);
            w.OnAcceptArchive = nullptr; // an older program wrote it
            w.OnWriteUserData = [](TUserData &u) {
                u = applicationUserData(QDateTime::currentDateTime());
                u.ProductVersion = 150;
            };
            w.setFileName(arc);
            const QString src = fresh("src");
            kwtest::writeFile(src + "/Hrdf.DB", "replacement");
            w.AddFile(src + "/Hrdf.DB");
        }
        TArchiver a;
        configureForApplication(a);
        const RestoreReport r = restoreDatabase(a, arc, data, kwtest::shopDatabaseFiles());
        QCOMPARE(r.error, QStringLiteral("This archive can not be used"));
        QVERIFY(!r.touched);
        QCOMPARE(kwtest::readFile(data + "/Hrdf.DB"), QByteArray("keep"));
        QVERIFY(!QFileInfo::exists(undoDirectory(data)));

        const RestoreReport none = restoreDatabase(a, fresh("nothing.Alse"), data, kwtest::shopDatabaseFiles());
        QVERIFY(none.error.startsWith("Archive ") && none.error.endsWith(" does not exist !"));
    }

    // Restored files carry the last-write time and the read-only attribute.
    void timesAndAttributes()
    {
        const QString data = fresh("data"), restored = fresh("restored");
        kwtest::writeFile(data + "/Hrdf.DB", "rows");
        kwtest::writeFile(data + "/Hrdf.PX", "index");
        const QDateTime when(QDate(2024, 7, 4), QTime(13, 14, 16));
        {
            QFile f(data + "/Hrdf.DB");
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        }
        QFile::setPermissions(data + "/Hrdf.PX", QFile::ReadOwner | QFile::ReadGroup);
        TArchiver a;
        configureForApplication(a);
        const QString arc = fresh("arc/Backup.Alse");
        backupDatabase(a, arc, data, kwtest::shopDatabaseFiles());
        const RestoreReport r = restoreDatabase(a, arc, restored, kwtest::shopDatabaseFiles());
        QCOMPARE(r.restored, QStringList({"Hrdf.DB", "Hrdf.PX"}));
        QVERIFY(r.failed.isEmpty() && r.error.isEmpty() && r.notRestored.isEmpty());
        QCOMPARE(r.notInArchive.size(), 72); // the backup held two files
        QCOMPARE(QFileInfo(restored + "/Hrdf.DB").lastModified(), when);
        QVERIFY(!(QFile::permissions(restored + "/Hrdf.PX") & QFile::WriteOwner));
        QVERIFY(QFile::permissions(restored + "/Hrdf.DB") & QFile::WriteOwner);
        // A read-only file is replaced on the next restore all the same.
        const RestoreReport again = restoreDatabase(a, arc, restored, kwtest::shopDatabaseFiles());
        QCOMPARE(again.restored, r.restored);
        QVERIFY(again.failed.isEmpty() && again.error.isEmpty());
    }

    // Backup.Alse goes on the first mounted removable medium by name, else
    // into the documents folder; a folder that is no mount point does not count.
    void defaultLocation_data()
    {
        QTest::addColumn<QStringList>("mounts"); // "root/name:kind", kind removable, fixed or folder
        QTest::addColumn<QString>("expected");   // "root/name", or "documents"
        QTest::newRow("no media") << QStringList{} << "documents";
        QTest::newRow("one stick") << QStringList{"media/STICK:removable"} << "media/STICK";
        QTest::newRow("fixed disk only") << QStringList{"media/DATA:fixed"} << "documents";
        QTest::newRow("folder left by an old mount") << QStringList{"media/OLD:folder"} << "documents";
        QTest::newRow("first removable by name")
            << QStringList{"media/A:fixed", "media/C:removable", "media/B:removable"} << "media/B";
        QTest::newRow("second root") << QStringList{"media/A:folder", "run/S:removable"} << "run/S";
    }
    void defaultLocation()
    {
        QFETCH(QStringList, mounts);
        QFETCH(QString, expected);
        const QString base = fresh("roots"), documents = fresh("Documents");
        kwtest::FakeDrives drives;
        for (const QString &m : mounts) {
            const QString dir = base + '/' + m.section(':', 0, 0), kind = m.section(':', 1);
            QDir().mkpath(dir);
            if (kind != "folder")
                drives.add(dir, qint64(1) << 30, kind == "removable");
        }
        const QString got = defaultBackupLocation(drives, {base + "/media", base + "/run"}, documents);
        const QString dir = expected == "documents" ? documents : base + '/' + expected;
        QCOMPARE(got, QDir(dir).filePath("Backup.Alse"));
    }

    // On a removable disk the new archive is built beside the old one when
    // both fit; otherwise the old one has to go first, so that the new one
    // may go on over further disks. A cancel at the first-disk prompt shows
    // the difference.
    void removableTarget_data()
    {
        QTest::addColumn<qint64>("capacity");
        QTest::addColumn<bool>("staged");
        QTest::newRow("room for both") << qint64(4000000) << true;
        QTest::newRow("room for one") << qint64(2500000) << false;
    }
    void removableTarget()
    {
        QFETCH(qint64, capacity);
        QFETCH(bool, staged);
        const QString data = fresh("data"), disk = fresh("disk");
        for (const QString &n : kwtest::shopDatabaseFiles().names())
            kwtest::writeFile(data + '/' + n, n == "Parts.DB" ? kwtest::randomBytes(1000000, 5) : n.toUtf8());
        kwtest::FakeDrives drives;
        drives.add(disk, capacity, true);
        const QString target = disk + "/Backup.Alse", drive = kwtest::FakeDrives::slash(disk);
        const QByteArray old = kwtest::randomBytes(700000, 6);
        kwtest::writeFile(target, old);

        TArchiver a;
        configureForApplication(a);
        a.setDrives(&drives);
        ScriptedPrompts cancel; // the first-disk prompt is cancelled
        a.setPrompts(&cancel);
        const BackupReport stopped = backupDatabase(a, target, data, kwtest::shopDatabaseFiles());
        QVERIFY(stopped.cancelled);
        QCOMPARE(cancel.count("input"), 1);
        QCOMPARE(kwtest::readFile(target), staged ? old : QByteArray());
        QCOMPARE(QDir(disk).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 staged ? QStringList{"Backup.Alse"} : QStringList{});

        // Answered: the backup completes either way; the files on the disk stay.
        ScriptedPrompts answered;
        answered.inputAnswers = {drive};
        answered.messageAnswers = {MessageAnswer::No};
        a.setPrompts(&answered);
        const BackupReport done = backupDatabase(a, target, data, kwtest::shopDatabaseFiles());
        QVERIFY2(done.complete(), qPrintable(done.error));
        QCOMPARE(kwtest::headerOf(target).ArchiveTotals.FileCount, 74);
        QCOMPARE(answered.count("message"), staged ? 1 : 0); // the disk held the old archive
    }
};

QTEST_GUILESS_MAIN(TstDbBackup)
#include "tst_dbbackup.moc"
