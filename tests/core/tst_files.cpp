// The shared file rules: durable whole-file writes, names found without
// regard to case, advisory locks.
#include "core/durablefile.h"
#include "core/filelock.h"
#include "core/findfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include "scratch.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace kw::core;
using kwtest::entries;
using kwtest::get;
using kwtest::put;

class TstFiles : public QObject {
    Q_OBJECT
    kwtest::Scratch m_tmp;

private slots:
    // A committed write replaces the whole file and leaves nothing beside it.
    void durableWrite_data()
    {
        QTest::addColumn<QByteArray>("before"); // empty: no file yet
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("new file") << QByteArray() << QByteArray("fresh");
        QTest::newRow("longer over shorter") << QByteArray("old") << QByteArray("a longer new content");
        QTest::newRow("shorter over longer") << QByteArray("a longer old content") << QByteArray("new");
        QTest::newRow("empty content") << QByteArray("old") << QByteArray();
    }
    void durableWrite()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, content);
        const QString dir = m_tmp.freshDir();
        const QString path = dir + "/Hrdf.DB";
        if (!before.isEmpty())
            put(path, before);
        QString error;
        QVERIFY2(writeFileDurably(path, content, &error), qPrintable(error));
        QCOMPARE(get(path), content);
        QCOMPARE(entries(dir), QStringList{"Hrdf.DB"});
    }

#ifdef Q_OS_UNIX
    // A disk that fills up takes the first part of a write and refuses the
    // rest: the failure carries the system's reason, never "Unknown error".
    // A file size limit makes the same short write on any disk.
    void shortWriteGivesTheSystemsReason_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::newRow("durable file") << "durable";
        QTest::newRow("file written in place") << "in place";
    }
    void shortWriteGivesTheSystemsReason()
    {
        QFETCH(QString, writer);
        const QString path = m_tmp.freshDir() + "/Parts.X04";
        const QByteArray data(20000, 'x');
        struct rlimit old {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = old;
        limited.rlim_cur = 8192;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        QString error;
        bool ok = false;
        if (writer == "durable") {
            ok = writeFileDurably(path, data, &error);
        } else {
            QFile f(path);
            ok = f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && writeAll(f, data, &error);
        }
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        QVERIFY(!ok);
        QCOMPARE(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
    }
#endif

    // A write that is not committed, or fails, leaves the old file whole and
    // no temporary file behind.
    void unfinishedWriteKeepsTarget_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancelled") << "cancel";
        QTest::newRow("dropped without commit") << "drop";
        QTest::newRow("target is a directory") << "directory";
    }
    void unfinishedWriteKeepsTarget()
    {
        QFETCH(QString, how);
        const QString dir = m_tmp.freshDir();
        const QString path = dir + "/Lists.DB";
        if (how == "directory")
            QDir().mkpath(path + "/inside");
        else
            put(path, "old rows");
        if (how == "directory") {
            DurableFile f(path);
            QVERIFY(!(f.open() && f.write("new rows") && f.commit()));
            QVERIFY(!f.errorString().isEmpty());
        } else {
            DurableFile f(path);
            QVERIFY(f.open());
            QVERIFY(f.write("half of the new rows"));
            if (how == "cancel") {
                f.cancel();
                QVERIFY(!f.commit());
            }
        }
        if (how == "directory")
            QVERIFY(QFileInfo(path + "/inside").isDir());
        else
            QCOMPARE(get(path), QByteArray("old rows"));
        QCOMPARE(entries(dir), QStringList{"Lists.DB"});
    }

    // A write killed before its commit can leave a temporary beside the
    // target (where the file system has no unnamed files, QSaveFile names
    // it as QTemporaryFile names a file for a template without
    // placeholders); its name leads back to the target.
    void temporaryNamesLeadToTheirTarget_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("table") << "Equipment.DB";
        QTest::newRow("named index") << "Equipment.XG0";
        QTest::newRow("dots in the base name") << "Shop.2024.PX";
        QTest::newRow("no extension") << "engine";
    }
    void temporaryNamesLeadToTheirTarget()
    {
        QFETCH(QString, target);
        const QString dir = m_tmp.freshDir();
        for (int i = 0; i < 20; ++i) { // the random part differs each time
            QTemporaryFile f(dir + '/' + target);
            QVERIFY(f.open());
            const QString name = QFileInfo(f.fileName()).fileName();
            QVERIFY2(name != target, qPrintable(name));
            QCOMPARE(durableTargetOf(name), target);
        }
        // A durable write leaves nothing once it is done.
        QVERIFY(writeFileDurably(dir + '/' + target, "rows"));
        QCOMPARE(entries(dir), QStringList{target});
    }
    void otherNamesAreNoTemporaries_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("table") << "Equipment.DB";
        QTest::newRow("five characters") << "Equipment.XG0.iyyUk";
        QTest::newRow("seven characters") << "Equipment.XG0.iyyUkyz";
        QTest::newRow("not a letter or digit") << "Equipment.XG0.iy-Uky";
        QTest::newRow("kept damaged copy") << "Equipment.DB.damaged";
        QTest::newRow("only the random part") << ".iyyUky";
    }
    void otherNamesAreNoTemporaries()
    {
        QFETCH(QString, name);
        QCOMPARE(durableTargetOf(name), QString());
    }

    void writeIntoMissingDirectoryFails()
    {
        const QString path = m_tmp.filePath("no-such-dir/Bin.DB");
        QString error;
        QVERIFY(!writeFileDurably(path, "x", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
    }

    void syncFileAndDirectory()
    {
        const QString dir = m_tmp.freshDir();
        QFile f(dir + "/journal");
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.write("pending bytes in Qt's buffer");
        QString error;
        QVERIFY2(syncFile(f, &error), qPrintable(error));
        QCOMPARE(get(f.fileName()), QByteArray("pending bytes in Qt's buffer"));
        QVERIFY(syncDirectory(dir));
        QVERIFY(!syncDirectory(dir + "/missing"));
    }

    // Every lookup finds the same file: the exact name first, else the one
    // that differs only in case, else none.
    void lookupIgnoresCase_data()
    {
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("found"); // empty: none
        QTest::newRow("exact") << QStringList{"Hrdf.DB", "Bin.DB"} << "Hrdf.DB" << "Hrdf.DB";
        QTest::newRow("other case") << QStringList{"HRDF.db"} << "Hrdf.DB" << "HRDF.db";
        QTest::newRow("exact wins over case") << QStringList{"hrdf.db", "Hrdf.DB"} << "Hrdf.DB" << "Hrdf.DB";
        QTest::newRow("journal suffix") << QStringList{"HRDF.DB-JOURNAL"} << "Hrdf.DB-journal" << "HRDF.DB-JOURNAL";
        QTest::newRow("hidden file") << QStringList{".Registry"} << ".registry" << ".Registry";
        QTest::newRow("none") << QStringList{"Bin.DB"} << "Hrdf.DB" << "";
        QTest::newRow("prefix is not a match") << QStringList{"Hrdf.DBX"} << "Hrdf.DB" << "";
    }
    void lookupIgnoresCase()
    {
        QFETCH(QStringList, onDisk);
        QFETCH(QString, wanted);
        QFETCH(QString, found);
        const QString dir = m_tmp.freshDir();
        for (const QString &n : onDisk)
            put(dir + '/' + n, n.toUtf8());
        const QString expected = found.isEmpty() ? QString() : QDir(dir).filePath(found);
        QCOMPARE(findExistingFileNoCase(dir, wanted), expected);
        QCOMPARE(NoCaseDirectory(dir).find(wanted), expected);
        QCOMPARE(findFileNoCase(dir, wanted), found.isEmpty() ? QDir(dir).filePath(wanted) : expected);
    }

    void pathResolvedPartByPart_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("resolved"); // relative to the test directory
        QTest::newRow("exact") << "Setup/QUILLFEN.INI" << "Setup/QUILLFEN.INI";
        QTest::newRow("every part in other case") << "setup/quillfen.ini" << "Setup/QUILLFEN.INI";
        QTest::newRow("missing file") << "setup/other.ini" << "setup/other.ini";
        QTest::newRow("missing folder") << "nowhere/quillfen.ini" << "nowhere/quillfen.ini";
    }
    void pathResolvedPartByPart()
    {
        QFETCH(QString, asked);
        QFETCH(QString, resolved);
        const QString dir = m_tmp.freshDir();
        put(dir + "/Setup/QUILLFEN.INI", "[Main]");
        QCOMPARE(resolvePathNoCase(dir + '/' + asked), dir + '/' + resolved);
    }

    // Two opens of one file exclude each other as two processes do.
    void locksConflict_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<bool>("granted");
        const int S = int(LockMode::Shared), X = int(LockMode::Exclusive);
        QTest::newRow("readers share") << S << S << true;
        QTest::newRow("writer waits for reader") << S << X << false;
        QTest::newRow("reader waits for writer") << X << S << false;
        QTest::newRow("one writer") << X << X << false;
    }
    void locksConflict()
    {
#ifndef Q_OS_UNIX
        QSKIP("advisory locks are taken on Unix only");
#endif
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(bool, granted);
        const QString path = m_tmp.freshDir() + "/Kits.DB";
        put(path, "rows");
        QFile a(path), b(path);
        QVERIFY(a.open(QIODevice::ReadWrite));
        QVERIFY(b.open(QIODevice::ReadOnly));
        QVERIFY(tryLockFile(a, LockMode(first)));
        QCOMPARE(tryLockFile(b, LockMode(second)), granted);
        // Reading the file through a third open and closing it keeps the lock.
        QCOMPARE(get(path), QByteArray("rows"));
        QCOMPARE(tryLockFile(b, LockMode(second)), granted);
        // Closing the holder releases it.
        a.close();
        QVERIFY(tryLockFile(b, LockMode(second)));
    }
};

QTEST_GUILESS_MAIN(TstFiles)
#include "tst_files.moc"
