// The archive component: opening rules, operations, progress, status texts,
// the error policy with its continue dialog, cancel, read-only archives.
#include "archivefixture.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/file.h>

using namespace kw::archive;

class TstArchiver : public QObject {
    Q_OBJECT
    kwtest::ScratchFiles m_scratch;

    QString fresh(const QString &name) { return m_scratch.fresh(name); }
    static QString errorOf(const std::function<void()> &f) { return kwtest::archiveErrorOf(f); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void acceptRule_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("102/199") << 102 << 199 << false;
        QTest::newRow("102/200") << 102 << 200 << true;
        QTest::newRow("102/350") << 102 << 350 << true;
        QTest::newRow("101/200") << 101 << 200 << false;
        QTest::newRow("101/350") << 101 << 350 << false;
        QTest::newRow("102/-1") << 102 << -1 << false;
    }
    void acceptRule()
    {
        QFETCH(int, productId);
        QFETCH(int, version);
        QFETCH(bool, accepted);
        const QString path = fresh(QStringLiteral("acc/Backup.Alse"));
        {
            TArchiver w;
            w.OnWriteUserData = [&](TUserData &u) {
                u = applicationUserData(QDateTime::currentDateTime());
                u.ProductId = productId;
                u.ProductVersion = version;
            };
            w.setFileName(path);
            w.Open();
        }
        const QByteArray before = kwtest::readFile(path);
        TArchiver r;
        configureForApplication(r);
        r.setFileName(path);
        const QString err = errorOf([&] { r.Open(); });
        QCOMPARE(err.isEmpty(), accepted);
        if (!accepted)
            QCOMPARE(err, QStringLiteral("This archive can not be used"));
        QCOMPARE(r.isOpen(), accepted);
        r.Close();
        QCOMPARE(kwtest::readFile(path), before); // nothing written while opening and closing
    }

    void openErrors()
    {
        TArchiver a;
        configureForApplication(a);
        QCOMPARE(errorOf([&] { a.Open(); }), QStringLiteral("\"Archiver\" needs property \"FileName\""));
        a.setFileName(QStringLiteral("Backup.Alse")); // no directory part
        QCOMPARE(errorOf([&] { a.Open(); }), QStringLiteral("Can not create directory"));
        QVERIFY(!QFileInfo::exists(QStringLiteral("Backup.Alse")));

        const QString notArchive = fresh(QStringLiteral("x.Alse"));
        kwtest::writeFile(notArchive, QByteArray(300, 'x'));
        a.setFileName(notArchive);
        QCOMPARE(errorOf([&] { a.Open(); }),
                 QStringLiteral("Bad signature: file \"%1\" is not a valid archive").arg(notArchive));
        QVERIFY(!a.isOpen());

        const QString v2 = fresh(QStringLiteral("v2/B.Alse"));
        a.setFileName(v2);
        a.Open();
        a.Close();
        QByteArray b = kwtest::readFile(v2);
        b[4] = 2;
        kwtest::writeFile(v2, b);
        QCOMPARE(errorOf([&] { a.Open(); }), QStringLiteral("Unknown version"));

        a.setFileName(fresh(QStringLiteral("e/B.Alse")));
        a.ExtractPath.clear();
        QCOMPARE(errorOf([&] { a.ExtractFiles(); }),
                 QStringLiteral("I need a path for the extraction (property ExtractPath)"));
    }

    // The third name is missing: the first two are stored, nothing after, no error.
    void addFilesStopsAtMissingName()
    {
        const QString src = fresh(QStringLiteral("src"));
        for (const char *n : {"a.DB", "b.DB", "d.DB"})
            kwtest::writeFile(src + '/' + n, kwtest::textBytes(3000));
        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts;
        a.setPrompts(&prompts);
        a.setFileName(src + QStringLiteral("/../arc/B.Alse"));
        QVERIFY(!a.AddFiles({src + "/a.DB", src + "/b.DB", src + "/c.DB", src + "/d.DB"}));
        QCOMPARE(a.Entries().size(), 2);
        QCOMPARE(a.Entries()[1].Name, QStringLiteral("b.DB"));
        QVERIFY(prompts.log.isEmpty());
        a.Close();
        QCOMPARE(kwtest::headerOf(a.FileName()).ArchiveTotals.FileCount, 2);
    }

    // Status texts, operation bracket and progress of a backup and a restore.
    void statusAndProgress()
    {
        const QString src = fresh(QStringLiteral("src"));
        kwtest::writeFile(src + "/Hrdf.DB", kwtest::textBytes(12288));
        kwtest::writeFile(src + "/Hrdf.PX", kwtest::textBytes(1024 * 1024 + 5));
        TArchiver a;
        configureForApplication(a);
        QStringList texts, events;
        QList<int> percents;
        a.OnDisplayMessage = [&](const QString &t) { texts << t; };
        a.OnStartOperation = [&] { events << QStringLiteral("start %1").arg(int(a.Operation())); percents.clear(); };
        a.OnFinishOperation = [&] { events << QStringLiteral("finish %1").arg(int(a.Operation())); };
        a.OnFileProgress = [&](int p) {
            QVERIFY(a.IsBusy());
            QVERIFY(a.CanAbort());
            percents << p;
        };
        a.setFileName(fresh(QStringLiteral("arc/Backup.Alse")));
        a.DeleteArchive();
        a.Open();
        a.AddFiles({src + "/Hrdf.DB", src + "/Hrdf.PX"});
        QCOMPARE(texts, QStringList({"Loading archive content...", "Adding Hrdf.DB (12,288)",
                                     "Adding Hrdf.PX (1,048,581)"}));
        QCOMPARE(events, QStringList({"start 3", "finish 3", "start 1", "finish 1"}));
        QCOMPARE(percents.first(), 0);
        QCOMPARE(percents.last(), 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        QVERIFY(!a.IsBusy());
        QCOMPARE(a.Operation(), TOperation::opNone);
        a.Close();

        texts.clear();
        events.clear();
        a.ExtractPath = fresh(QStringLiteral("out"));
        a.ExtractFiles();
        QCOMPARE(texts, QStringList({"Loading archive content...", "Extracting Hrdf.DB (12288)",
                                     "Extracting Hrdf.PX (1048581)"}));
        QCOMPARE(events, QStringList({"start 2", "finish 2"})); // the listing ran inside the extraction
        QCOMPARE(percents.first(), 0);
        QCOMPARE(percents.last(), 100);
        QCOMPARE(kwtest::readFile(a.ExtractPath + "/Hrdf.PX"), kwtest::readFile(src + "/Hrdf.PX"));
        QCOMPARE(QFileInfo(a.ExtractPath + "/Hrdf.DB").lastModified(),
                 oleToDateTime(fileTimeToOle(QFileInfo(src + "/Hrdf.DB").lastModified())));
    }

    // Percent rounds halves to even: 12.5 -> 12, 37.5 -> 38.
    void percentRounding()
    {
        const QString src = fresh(QStringLiteral("src"));
        kwtest::writeFile(src + "/a", kwtest::randomBytes(1024, 1));
        kwtest::writeFile(src + "/b", kwtest::randomBytes(2048, 2));
        kwtest::writeFile(src + "/c", kwtest::randomBytes(5120, 3));
        TArchiver a;
        configureForApplication(a);
        a.setBlockSize(1024);
        QList<int> percents;
        a.OnFileProgress = [&](int p) { percents << p; };
        a.setFileName(fresh(QStringLiteral("arc/B.Alse")));
        a.Open();
        percents.clear();
        a.AddFiles({src + "/a", src + "/b", src + "/c"});
        QCOMPARE(percents.mid(0, 4), QList<int>({0, 12, 25, 38}));
        QCOMPARE(percents.last(), 100);
    }

    void continueDialog_data()
    {
        QTest::addColumn<QList<int>>("answers"); // 0 Yes, 1 YesToAll, 2 No
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("aborted");
        QTest::newRow("yes, yes") << QList<int>{0, 0} << 2 << QStringList{"ok1.DB", "ok2.DB"} << false;
        QTest::newRow("yes to all") << QList<int>{1} << 1 << QStringList{"ok1.DB", "ok2.DB"} << false;
        QTest::newRow("no") << QList<int>{2} << 1 << QStringList{} << true;
        QTest::newRow("yes, no") << QList<int>{0, 2} << 2 << QStringList{"ok1.DB"} << true;
    }
    void continueDialog()
    {
        QFETCH(QList<int>, answers);
        QFETCH(int, dialogs);
        QFETCH(QStringList, stored);
        QFETCH(bool, aborted);
        const QString src = fresh(QStringLiteral("src"));
        const QStringList names = {"busy1.DB", "ok1.DB", "busy2.DB", "ok2.DB"};
        for (const QString &n : names)
            kwtest::writeFile(src + '/' + n, kwtest::textBytes(12288));
        // Another program writes to the busy files.
        QFile busy1(src + "/busy1.DB"), busy2(src + "/busy2.DB");
        QVERIFY(busy1.open(QIODevice::ReadWrite) && busy2.open(QIODevice::ReadWrite));
        QCOMPARE(::flock(busy1.handle(), LOCK_EX | LOCK_NB), 0);
        QCOMPARE(::flock(busy2.handle(), LOCK_EX | LOCK_NB), 0);

        TArchiver a;
        configureForApplication(a);
        ScriptedPrompts prompts;
        for (int x : answers)
            prompts.continueAnswers.push_back(ContinueAnswer(x));
        a.setPrompts(&prompts);
        a.setFileName(fresh(QStringLiteral("arc/B.Alse")));
        QStringList paths;
        for (const QString &n : names)
            paths << src + '/' + n;
        const QString err = errorOf([&] { a.AddFiles(paths); });
        QCOMPARE(err == QStringLiteral("<abort>"), aborted);
        if (!aborted)
            QVERIFY(err.isEmpty());
        QCOMPARE(prompts.count("continue"), dialogs);
        const ContinueDialog &d = prompts.continueDialogs[0];
        QCOMPARE(d.caption, QStringLiteral("Confirmation"));
        QCOMPARE(d.errorLabel, QStringLiteral("Error :"));
        QVERIFY2(d.errorText.contains("busy1.DB"), qPrintable(d.errorText));
        QCOMPARE(d.fileLabel, QStringLiteral("File :"));
        QCOMPARE(d.fileName, QStringLiteral("busy1.DB"));
        QVERIFY2(d.sizeAndDate.startsWith("12,288 bytes  "), qPrintable(d.sizeAndDate));
        QCOMPARE(d.question, QStringLiteral("Do you want to continue ?"));
        QCOMPARE(QStringList({d.yes, d.yesToAll, d.no}), QStringList({"&Yes", "Yes to &All", "&No"}));
        QStringList got;
        for (const TFileEntry &e : a.Entries())
            got << e.Name;
        QCOMPARE(got, stored);
        a.Close();
        QCOMPARE(kwtest::headerOf(a.FileName()).ArchiveTotals.FileCount, stored.size());

        // Yes to All does not carry over to the next operation.
        prompts.continueAnswers = {ContinueAnswer::Yes};
        a.AddFile(src + "/busy1.DB");
        QCOMPARE(prompts.count("continue"), dialogs + 1);
    }

    // Cancel between blocks: the archive keeps every completed file; the
    // interrupted one's blocks lie past DataEnd and are never read.
    void cancelDuringAdd()
    {
        const QString src = fresh(QStringLiteral("src"));
        const QByteArray one = kwtest::textBytes(40000, 1), two = kwtest::randomBytes(300000, 2);
        kwtest::writeFile(src + "/one.DB", one);
        kwtest::writeFile(src + "/two.DB", two);
        kwtest::writeFile(src + "/three.DB", "3");
        TArchiver a;
        configureForApplication(a);
        int blocksOfTwo = 0;
        a.OnDisplayMessage = [&](const QString &t) { blocksOfTwo = t.contains("two") ? 0 : -1000; };
        a.OnFileProgress = [&](int) {
            if (blocksOfTwo >= 0 && ++blocksOfTwo == 3)
                a.RequestAbort();
        };
        a.setFileName(fresh(QStringLiteral("arc/B.Alse")));
        QCOMPARE(errorOf([&] { a.AddFiles({src + "/one.DB", src + "/two.DB", src + "/three.DB"}); }),
                 QStringLiteral("<abort>"));
        a.Close();
        const TArchiveHeader h = kwtest::headerOf(a.FileName());
        QCOMPARE(h.ArchiveTotals.FileCount, 1);
        QVERIFY(QFileInfo(a.FileName()).size() > h.DataEnd + 2 * 65536); // junk past DataEnd

        TArchiver r;
        configureForApplication(r);
        r.setFileName(a.FileName());
        r.Open();
        QCOMPARE(r.Entries().size(), 1);
        r.ExtractPath = fresh(QStringLiteral("out"));
        r.ExtractFiles();
        QCOMPARE(QDir(r.ExtractPath).entryList(QDir::Files), QStringList{"one.DB"});
        QCOMPARE(kwtest::readFile(r.ExtractPath + "/one.DB"), one);

        // The next add overwrites the remains.
        r.AddFile(src + "/three.DB");
        r.Close();
        QCOMPARE(kwtest::entryAt(r.FileName(), h.DataEnd).Name, QStringLiteral("three.DB"));
    }

    void cancelDuringExtract()
    {
        const QString src = fresh(QStringLiteral("src"));
        const QByteArray one = kwtest::textBytes(70000, 1);
        kwtest::writeFile(src + "/one.DB", one);
        kwtest::writeFile(src + "/two.DB", kwtest::randomBytes(400000, 3));
        TArchiver a;
        configureForApplication(a);
        a.setFileName(fresh(QStringLiteral("arc/B.Alse")));
        a.AddFiles({src + "/one.DB", src + "/two.DB"});
        a.Close();
        a.ExtractPath = fresh(QStringLiteral("out"));
        bool inTwo = false;
        int blocks = 0;
        a.OnDisplayMessage = [&](const QString &t) { inTwo = t.contains("two"); };
        a.OnFileProgress = [&](int) {
            if (inTwo && ++blocks == 2)
                a.RequestAbort();
        };
        QCOMPARE(errorOf([&] { a.ExtractFiles(); }), QStringLiteral("<abort>"));
        // Requested while the second block was reported: the operation ends at
        // the next report, after the third block.
        QCOMPARE(blocks, 2);
        QCOMPARE(kwtest::readFile(a.ExtractPath + "/one.DB"), one);
        QCOMPARE(QFileInfo(a.ExtractPath + "/two.DB").size(), 3 * 65536);
        QVERIFY(!a.IsBusy());
    }

    // The header is rewritten after every file; the tenth shows ten files and
    // BackupDate never goes back.
    void headerAfterEachFile()
    {
        const QString src = fresh(QStringLiteral("src"));
        QStringList paths;
        for (int i = 0; i < 10; ++i) {
            paths << src + QStringLiteral("/f%1.DB").arg(i);
            kwtest::writeFile(paths.last(), kwtest::textBytes(100 * i));
        }
        TArchiver a;
        QDateTime clock(QDate(2026, 1, 1), QTime(8, 0));
        configureForApplication(a, [&] { clock = clock.addSecs(61); return clock; });
        QList<TArchiveHeader> written;
        a.OnAfterHeaderUpdate = [&] { written << kwtest::headerOf(a.FileName()); };
        a.setFileName(fresh(QStringLiteral("arc/B.Alse")));
        a.AddFiles(paths);
        QCOMPARE(written.size(), 11); // creation + one per file
        QCOMPARE(written.last().ArchiveTotals.FileCount, 10);
        QVERIFY(written[10].UserData.BackupDate >= written[9].UserData.BackupDate);
        QCOMPARE(oleToDateTime(written.last().UserData.BackupDate), clock);
        for (int i = 1; i < written.size(); ++i)
            QCOMPARE(written[i].ArchiveTotals.FileCount, i);
    }

    // A file that fails part-way leaves DataEnd where it was: the next entry
    // takes its place, and only SegmentTotals counts its blocks.
    void failedAddLeavesNoTrace()
    {
        const QString src = fresh(QStringLiteral("src"));
        kwtest::writeFile(src + "/a.DB", kwtest::textBytes(200000));
        kwtest::writeFile(src + "/b.DB", "bee");
        TArchiver a;
        configureForApplication(a);
        a.ErrorAction = TErrorAction::eaContinue;
        int calls = 0;
        a.OnCompressBlock = [&](unsigned char *d, size_t &dn, const unsigned char *s, size_t sn, int) {
            if (++calls == 3)
                return false;
            std::memcpy(d, s, sn); // stored raw: the "compressed" form is no smaller
            dn = sn;
            return true;
        };
        a.setFileName(fresh(QStringLiteral("arc/B.Alse")));
        a.AddFiles({src + "/a.DB", src + "/b.DB"});
        QCOMPARE(a.Failures().size(), 1);
        QCOMPARE(a.Failures()[0].message, QStringLiteral("Could not compress Block"));
        a.Close();
        const TArchiveHeader h = kwtest::headerOf(a.FileName());
        QCOMPARE(h.ArchiveTotals.FileCount, 1);
        QCOMPARE(kwtest::entryAt(a.FileName(), 273).Name, QStringLiteral("b.DB"));
        QCOMPARE(h.SegmentTotals.CompressedSize, h.ArchiveTotals.CompressedSize + 2 * (65536 + 8));
    }

    void readOnlyArchive()
    {
        const QString src = fresh(QStringLiteral("src"));
        kwtest::writeFile(src + "/a.DB", "a");
        TArchiver a;
        configureForApplication(a);
        a.setFileName(fresh(QStringLiteral("arc/B.Alse")));
        a.AddFile(src + "/a.DB");
        a.Close();
        QByteArray b = kwtest::readFile(a.FileName());
        b[24] = char(b[24] | afReadOnly);
        kwtest::writeFile(a.FileName(), b);
        QCOMPARE(errorOf([&] { a.AddFile(src + "/a.DB"); }), QStringLiteral("Archive is ReadOnly"));
        QVERIFY(a.isReadOnly());
        a.ExtractPath = fresh(QStringLiteral("out"));
        a.ExtractFiles(); // reading still works
        QCOMPARE(kwtest::readFile(a.ExtractPath + "/a.DB"), QByteArray("a"));
        a.Close();
        QCOMPARE(kwtest::readFile(a.FileName()), b);
    }

    // Only the bare name is used on restore, and never a name that leaves
    // the extraction directory.
    void extractStaysInExtractPath()
    {
        const QString arc = fresh(QStringLiteral("arc/B.Alse"));
        const QString src = fresh(QStringLiteral("src"));
        kwtest::writeFile(src + "/a", "A");
        TArchiver a;
        a.PathStorage = TPathStorage::psWhole;
        a.setFileName(arc);
        a.AddFile(src + "/a");
        a.Close();
        // Rename the stored file to something hostile of the same length.
        QByteArray b = kwtest::readFile(arc);
        const QByteArray stored = toAnsi(QString(src + "/a").replace('/', '\\'));
        const int at = b.indexOf(stored);
        QVERIFY(at > 0);
        QByteArray hostile = QByteArray("..\\..\\..\\..").leftJustified(stored.size() - 2, '/') + "..";
        b.replace(at, stored.size(), hostile);
        kwtest::writeFile(arc, b);
        TArchiver r;
        ScriptedPrompts prompts;
        r.setPrompts(&prompts);
        prompts.defaultContinue = ContinueAnswer::Yes;
        r.setFileName(arc);
        r.ExtractPath = fresh(QStringLiteral("out"));
        r.ExtractFiles();
        QCOMPARE(r.Failures().size(), 1);
        QVERIFY(QDir(r.ExtractPath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstArchiver)
#include "tst_archiver.moc"
