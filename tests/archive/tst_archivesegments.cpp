// Archives over several segments: small simulated disks, the new-disk,
// insert-disk and locate prompts, split files, segment 1's totals at close.
#include "archivefixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::archive;

class TstArchiveSegments : public QObject {
    Q_OBJECT
    kwtest::ScratchFiles m_scratch;

    QString fresh(const QString &name) { return m_scratch.fresh(name); }
    static QString errorOf(const std::function<void()> &f) { return kwtest::archiveErrorOf(f); }

private slots:
    // A file larger than the room left is split; the continuation entry
    // carries the same Name, Size and Date; the restore is byte-identical.
    void splitFileOnFixedDisks()
    {
        kwtest::FakeDrives drives;
        const QString d1 = fresh("fixed1"), d2 = fresh("fixed2");
        drives.add(d1, 8192 + 1200000);
        drives.add(d2, 100 << 20);
        const QString src = fresh("src");
        const QByteArray big = kwtest::randomBytes(1500000, 5), small = kwtest::textBytes(5000);
        kwtest::writeFile(src + "/Equipment.DB", kwtest::textBytes(30000));
        kwtest::writeFile(src + "/Kits.DB", big);
        kwtest::writeFile(src + "/Kits.PX", small);

        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts;
        prompts.directoryAnswers = {d2};
        a.setPrompts(&prompts);
        a.setDrives(&drives);
        a.setFileName(d1 + "/Backup.Alse");
        QVERIFY(a.AddFiles({src + "/Equipment.DB", src + "/Kits.DB", src + "/Kits.PX"}));
        QCOMPARE(prompts.log.size(), 2);
        QCOMPARE(prompts.log[0].text, QStringLiteral("Select a new place for storing the segment #2 of Archive Backup..."));
        QCOMPARE(prompts.log[1].kind, QStringLiteral("directory"));
        a.Close();

        const QString seg2 = d2 + "/Backup-002.mmm";
        QVERIFY(QFileInfo::exists(seg2));
        const TArchiveHeader h1 = kwtest::headerOf(d1 + "/Backup.Alse"), h2 = kwtest::headerOf(seg2);
        QCOMPARE(h1.Flags, quint8(afCompressed));
        QCOMPARE(h2.Flags, quint8(afCompressed | afFinalSegment));
        QCOMPARE(h1.ArchiveId, h2.ArchiveId);
        QCOMPARE(h2.Segment, 2u);
        QCOMPARE(h1.ArchiveTotals, h2.ArchiveTotals); // segment 1 updated at close
        QCOMPARE(h2.ArchiveTotals.FileCount, 3);
        QCOMPARE(h1.SegmentTotals.FileCount, 2); // the file in progress counts
        QCOMPARE(h2.SegmentTotals.FileCount, 2);
        QVERIFY(QFileInfo(d1 + "/Backup.Alse").size() <= 1200000);

        // The part in segment 1 and its continuation.
        const TFileEntry first = kwtest::entryAt(d1 + "/Backup.Alse", 273);
        const qint64 at = 273 + first.entrySize() + first.PartCompressedSize;
        const TFileEntry p1 = kwtest::entryAt(d1 + "/Backup.Alse", at);
        const TFileEntry p2 = kwtest::entryAt(seg2, 273);
        QCOMPARE(p1.Name, QStringLiteral("Kits.DB"));
        QCOMPARE(p1.Flags, quint8(efFile));
        QCOMPARE(p2.Flags, quint8(efFile | efComplete));
        QCOMPARE(p2.Name, p1.Name);
        QCOMPARE(p2.Size, p1.Size);
        QCOMPARE(p2.Date, p1.Date);
        QCOMPARE(p2.StartSegment, quint16(1));
        QCOMPARE(p2.EntryOffset, 273);
        QCOMPARE(p1.PartOffset, 0);
        QCOMPARE(p2.PartOffset, p1.PartSize);
        QCOMPARE(p1.PartSize + p2.PartSize, big.size());
        QCOMPARE(p2.CompressedSize, p1.PartCompressedSize + p2.PartCompressedSize);
        QCOMPARE(qint64(h1.DataEnd), QFileInfo(d1 + "/Backup.Alse").size());

        // Restore: segment 2 is not beside segment 1, so it is located once
        // (the extraction after the listing remembers where it was).
        TArchiver r;
        configureForApplication(r);
        ScriptedPrompts rp;
        rp.fileAnswers = {seg2, seg2};
        r.setPrompts(&rp);
        r.setDrives(&drives);
        r.setFileName(d1 + "/Backup.Alse");
        r.Open();
        QCOMPARE(r.Entries().size(), 3);
        QCOMPARE(r.Entries()[1].CompressedSize, p2.CompressedSize);
        r.ExtractPath = fresh("out");
        r.ExtractFiles();
        QCOMPARE(rp.count("file"), 1);
        QCOMPARE(rp.log[0].caption, QStringLiteral("Locate segment #2 of Archive Backup..."));
        QCOMPARE(r.Failures().size(), 0);
        QCOMPARE(kwtest::readFile(r.ExtractPath + "/Kits.DB"), big);
        QCOMPARE(kwtest::readFile(r.ExtractPath + "/Kits.PX"), small);
    }

    // With exactly n + 8192 free bytes a record of n bytes stays in the
    // current segment; with one byte less a new segment starts before it.
    void reserveBoundary_data()
    {
        QTest::addColumn<int>("slack");
        QTest::addColumn<int>("segments");
        QTest::newRow("exact") << 0 << 1;
        QTest::newRow("one less") << -1 << 2;
    }
    void reserveBoundary()
    {
        QFETCH(int, slack);
        QFETCH(int, segments);
        kwtest::FakeDrives drives;
        const QString d1 = fresh("disk"), d2 = fresh("more");
        const int chunk = 65536;
        const int entry = 45 + 6; // "Bin.DB"
        drives.add(d1, 273 + entry + 8192 + 8 + chunk + slack);
        drives.add(d2, 100 << 20);
        const QString src = fresh("src");
        kwtest::writeFile(src + "/Bin.DB", kwtest::randomBytes(chunk, 9));
        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts;
        prompts.directoryAnswers = {d2};
        a.setPrompts(&prompts);
        a.setDrives(&drives);
        a.setFileName(d1 + "/Backup.Alse");
        a.AddFile(src + "/Bin.DB");
        a.Close();
        QCOMPARE(QFileInfo::exists(d2 + "/Backup-002.mmm"), segments == 2);
        QCOMPARE(kwtest::headerOf(d1 + "/Backup.Alse").ArchiveTotals.FileCount, 1);
        if (segments == 2) // nothing of the file stayed in segment 1
            QCOMPARE(kwtest::entryAt(d2 + "/Backup-002.mmm", 273).StartSegment, quint16(2));
    }

    // A backup to a removable drive always starts with the new-disk prompt.
    void firstDiskPrompt_data()
    {
        QTest::addColumn<QByteArray>("oldFile");  // content of a file already on the disk
        QTest::addColumn<QList<int>>("answers");  // to the deletion question: 1 Yes, 2 No, 3 Cancel
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("kept");
        QTest::newRow("empty disk") << QByteArray() << QList<int>{} << false << false;
        QTest::newRow("only 0-byte files") << QByteArray("") << QList<int>{} << false << true;
        QTest::newRow("files, yes") << QByteArray("old data") << QList<int>{1} << true << false;
        QTest::newRow("files, no") << QByteArray("old data") << QList<int>{2} << true << true;
        QTest::newRow("files, cancel then no") << QByteArray("old data") << QList<int>{3, 2} << true << true;
    }
    void firstDiskPrompt()
    {
        QFETCH(QByteArray, oldFile);
        QFETCH(QList<int>, answers);
        QFETCH(bool, asked);
        QFETCH(bool, kept);
        kwtest::FakeDrives drives;
        const QString floppy = fresh("floppy");
        drives.add(floppy, 1457664 + 8192, true);
        const bool hasOld = !oldFile.isNull();
        if (hasOld)
            kwtest::writeFile(floppy + "/old.txt", oldFile);
        const QString drive = kwtest::FakeDrives::slash(floppy);
        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts;
        prompts.inputAnswers = {drive, drive};
        for (int x : answers)
            prompts.messageAnswers.push_back(MessageAnswer(x));
        a.setPrompts(&prompts);
        a.setDrives(&drives);
        a.setFileName(floppy + "/Backup.Alse");
        a.Open();
        a.Close();
        QCOMPARE(prompts.log[0].kind, QStringLiteral("input"));
        QCOMPARE(prompts.log[0].caption, QStringLiteral("System Message"));
        QCOMPARE(prompts.log[0].text, QStringLiteral("Insert new disk for segment #1 in drive %1").arg(drive));
        QCOMPARE(prompts.count("message") > 0, asked);
        if (asked)
            QCOMPARE(prompts.log[1].text, QStringLiteral("Drive %1 contains files. Do you want to delete them ?").arg(drive));
        QCOMPARE(prompts.count("input"), answers.contains(3) ? 2 : 1);
        QCOMPARE(QFileInfo::exists(floppy + "/old.txt"), hasOld && kept);
        QCOMPARE(QFileInfo(floppy + "/Backup.Alse").size(), 273);
    }

    void firstDiskCancelled()
    {
        kwtest::FakeDrives drives;
        const QString floppy = fresh("floppy");
        drives.add(floppy, 1457664, true);
        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts; // answers nothing: Cancel
        a.setPrompts(&prompts);
        a.setDrives(&drives);
        a.setFileName(floppy + "/Backup.Alse");
        QCOMPARE(errorOf([&] { a.Open(); }), QStringLiteral("<abort>"));
        QVERIFY(!QFileInfo::exists(floppy + "/Backup.Alse"));
        QVERIFY(!a.isOpen());
        prompts.inputAnswers = {QStringLiteral("floppy")};
        QCOMPARE(errorOf([&] { a.Open(); }), QStringLiteral("Not a valid drive ID"));
    }

    // 1048575 available bytes are refused with a warning, 1048576 accepted.
    void minimumFreeSpace_data()
    {
        QTest::addColumn<int>("available");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("1048575") << 1048575 << false;
        QTest::newRow("1048576") << 1048576 << true;
    }
    void minimumFreeSpace()
    {
        QFETCH(int, available);
        QFETCH(bool, accepted);
        kwtest::FakeDrives drives;
        const QString floppy = fresh("floppy");
        drives.add(floppy, qint64(available) + 8192, true);
        kwtest::writeFile(floppy + "/old.txt", QByteArray(100, 'x')); // erased first
        const QString drive = kwtest::FakeDrives::slash(floppy);
        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts;
        prompts.inputAnswers = {drive};
        prompts.messageAnswers = {MessageAnswer::Yes};
        a.setPrompts(&prompts);
        a.setDrives(&drives);
        a.setFileName(floppy + "/Backup.Alse");
        QCOMPARE(errorOf([&] { a.Open(); }).isEmpty(), accepted);
        QVERIFY(!QFileInfo::exists(floppy + "/old.txt"));
        const bool warned = std::any_of(prompts.log.begin(), prompts.log.end(), [&](const auto &l) {
            return l.text == QStringLiteral("There's not enough free space on drive %1").arg(kwtest::FakeDrives::slash(floppy));
        });
        QCOMPARE(warned, !accepted);
    }

    // Several floppies: new-disk prompts while writing, insert-disk prompts
    // while reading; a disk of another backup is refused (other ArchiveId).
    void removableSpanning()
    {
        kwtest::FakeDrives drives;
        const QString f1 = fresh("disk1"), f2 = fresh("disk2"), f3 = fresh("disk3"), other = fresh("other");
        for (const QString &d : {f1, f2, f3, other})
            drives.add(d, 8192 + 1300000, true);
        const QString s1 = kwtest::FakeDrives::slash(f1), s2 = kwtest::FakeDrives::slash(f2),
                      s3 = kwtest::FakeDrives::slash(f3), so = kwtest::FakeDrives::slash(other);
        const QString src = fresh("src");
        const QByteArray data = kwtest::randomBytes(3000000, 11);
        kwtest::writeFile(src + "/Parts.DB", data);

        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts;
        prompts.inputAnswers = {s1, s2, s3};
        a.setPrompts(&prompts);
        a.setDrives(&drives);
        a.setFileName(f1 + "/Backup.Alse");
        a.AddFile(src + "/Parts.DB");
        a.Close(); // disk 1 is still where it was: its totals are recorded without asking
        QStringList asked;
        for (const auto &l : prompts.log)
            asked << l.text;
        QCOMPARE(asked, QStringList({"Insert new disk for segment #1 in drive " + s1,
                                     "Insert new disk for segment #2 in drive " + s1,
                                     "Insert new disk for segment #3 in drive " + s2}));
        QVERIFY(QFileInfo::exists(f2 + "/Backup-002.mmm"));
        QVERIFY(QFileInfo::exists(f3 + "/Backup-003.mmm"));
        QCOMPARE(kwtest::headerOf(f1 + "/Backup.Alse").ArchiveTotals.FileCount, 1);

        // Another backup's segment 3 on a further disk.
        {
            TArchiver o;
            o.setDrives(&drives);
            o.setFileName(other + "/Backup.Alse");
            o.Options.set(oNoSpanning);
            o.Open();
            o.Close();
            QFile::copy(other + "/Backup.Alse", other + "/Backup-003.mmm");
            QByteArray b = kwtest::readFile(other + "/Backup-003.mmm");
            b[20] = 3;
            kwtest::writeFile(other + "/Backup-003.mmm", b);
        }

        TArchiver r;
        configureForApplication(r);
        ScriptedPrompts rp;
        r.setPrompts(&rp);
        r.setDrives(&drives);
        r.setFileName(f1 + "/Backup.Alse");
        r.Options.set(oMaintainFileDirectory, false); // one pass: extraction only
        r.ExtractPath = fresh("out");
        rp.inputAnswers = {s2, so, s3};
        r.ExtractFiles();
        asked.clear();
        for (const auto &l : rp.log)
            asked << l.text;
        QCOMPARE(asked, QStringList({"Insert disk for segment #2 in drive " + s1,
                                     "Insert disk for segment #3 in drive " + s2,
                                     "Insert disk for segment #3 in drive " + so}));
        QCOMPARE(r.Failures().size(), 0);
        QCOMPARE(kwtest::readFile(r.ExtractPath + "/Parts.DB"), data);
    }

    // On a fixed drive a wrong file offered for a segment is refused with a warning.
    void wrongSegmentOffered()
    {
        kwtest::FakeDrives drives;
        const QString d1 = fresh("fixed1"), d2 = fresh("fixed2");
        drives.add(d1, 8192 + 1100000);
        drives.add(d2, 100 << 20);
        const QString src = fresh("src");
        const QByteArray data = kwtest::randomBytes(1500000, 12);
        kwtest::writeFile(src + "/Drawer.DB", data);
        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts;
        prompts.directoryAnswers = {d2};
        a.setPrompts(&prompts);
        a.setDrives(&drives);
        a.setFileName(d1 + "/Backup.Alse");
        a.AddFile(src + "/Drawer.DB");
        a.Close();
        const QString wrong = fresh("wrong-002.mmm");
        QFile::copy(d1 + "/Backup.Alse", wrong); // segment 1, not 2

        TArchiver r;
        configureForApplication(r);
        ScriptedPrompts rp;
        rp.fileAnswers = {wrong, d2 + "/Backup-002.mmm", d2 + "/Backup-002.mmm"};
        r.setPrompts(&rp);
        r.setDrives(&drives);
        r.setFileName(d1 + "/Backup.Alse");
        r.ExtractPath = fresh("out");
        r.ExtractFiles();
        QCOMPARE(rp.log[1].text, QStringLiteral("This was not the segment #2 of Archive Backup !"));
        QCOMPARE(kwtest::readFile(r.ExtractPath + "/Drawer.DB"), data);
    }

    void maxSegmentSize()
    {
        TArchiver a;
        QCOMPARE(errorOf([&] { a.setMaxSegmentSize(3 * 65536 - 1); }),
                 QStringLiteral("Maximum size of a Segment is too small (property MaxSegmentSize)"));
        a.setMaxSegmentSize(3 * 65536);
        QCOMPARE(a.MaxSegmentSize(), 3 * 65536);
        a.setMaxSegmentSize(0);

        // Segments limited by size on a roomy disk stay in the same folder.
        const QString dir = fresh("max");
        const QString src = fresh("src");
        const QByteArray data = kwtest::randomBytes(700000, 13);
        kwtest::writeFile(src + "/Hrdf.DB", data);
        a.setMaxSegmentSize(300000);
        a.MinFreeSpace = 1000;
        a.setFileName(dir + "/Backup-001.Alse");
        a.AddFile(src + "/Hrdf.DB");
        a.Close();
        QCOMPARE(QDir(dir).entryList(QDir::Files),
                 QStringList({"Backup-001.Alse", "Backup-002.mmm", "Backup-003.mmm"}));
        for (const QString &f : QDir(dir).entryList(QDir::Files))
            QVERIFY(QFileInfo(dir + '/' + f).size() <= 300000);
        TArchiver r;
        r.setFileName(dir + "/Backup-001.Alse");
        r.ExtractPath = fresh("out");
        r.ExtractFiles();
        QCOMPARE(kwtest::readFile(r.ExtractPath + "/Hrdf.DB"), data);

        // Adding to it later goes to its last segment first; destroying the
        // component closes it like Close does.
        r.Close();
        {
            TArchiver w;
            w.setFileName(dir + "/Backup-001.Alse");
            kwtest::writeFile(src + "/Hrdf.PX", "px");
            w.AddFile(src + "/Hrdf.PX");
        }
        QCOMPARE(kwtest::headerOf(dir + "/Backup-003.mmm").ArchiveTotals.FileCount, 2);
        QCOMPARE(kwtest::headerOf(dir + "/Backup-001.Alse").ArchiveTotals.FileCount, 2);
    }
};

QTEST_GUILESS_MAIN(TstArchiveSegments)
#include "tst_archivesegments.moc"
