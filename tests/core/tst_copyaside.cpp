// The copy-aside mechanism and the working folders: files set aside and put
// back whole, the mark of a running job and of an interrupted one, what
// changed since, links never followed, and the check of a file a user names
// to be written.
#include "core/copyaside.h"
#include "core/error.h"
#include "core/folders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "scratch.h"

#include <unistd.h>

using namespace kw::core;
using kwtest::entries;
using kwtest::get;
using kwtest::put;

// Only the files named.
std::function<bool(const QString &)> among(const QStringList &paths)
{
    return [paths](const QString &p) { return paths.contains(p); };
}

class TstCopyAside : public QObject {
    Q_OBJECT
    kwtest::Scratch m_tmp;

private slots:
    // Files present go back whole with their times, files absent then go.
    void takeAndPutBack()
    {
        const QString data = m_tmp.freshDir();
        const QString a = data + "/a.DB", b = data + "/b.DB", c = data + "/c.DB";
        put(a, "first");
        put(b, "second");
        const QDateTime stamp = QDateTime::currentDateTime().addDays(-3);
        {
            QFile f(a);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        }
        CopyAside aside(data + "/Undo");
        aside.take({a, b, c}, "restore");
        QCOMPARE(aside.state(), CopyAside::State::Running);
        QCOMPARE(aside.paths(), (QStringList{a, b, c}));
        put(a, "changed");
        QVERIFY(QFile::remove(b));
        put(c, "new file");
        aside.putBack(among({a, b, c}));
        QCOMPARE(get(a), QByteArray("first"));
        QCOMPARE(get(b), QByteArray("second"));
        QVERIFY(!QFileInfo::exists(c));
        QCOMPARE(QFileInfo(a).lastModified().toSecsSinceEpoch(), stamp.toSecsSinceEpoch());
        // Only some of them.
        put(a, "again");
        put(b, "again");
        aside.putBack(among({a, b, c}), {b});
        QCOMPARE(get(a), QByteArray("again"));
        QCOMPARE(get(b), QByteArray("second"));
    }

    // The mark says a job runs while its holder lives; once the holder is
    // gone without ending the job (a crash), the job was interrupted.
    void markOfARunningAndAnInterruptedJob()
    {
        const QString data = m_tmp.freshDir();
        put(data + "/a.DB", "x");
        const QString folder = data + "/Undo";
        QCOMPARE(CopyAside(folder).state(), CopyAside::State::None);
        {
            CopyAside job(folder);
            job.take({data + "/a.DB"}, "import");
            CopyAside other(folder);
            QCOMPARE(other.state(), CopyAside::State::Running);
            QCOMPARE(other.job(), QStringLiteral("import"));
            QVERIFY_THROWS_EXCEPTION(Error, other.begin("undo"));
            QVERIFY_THROWS_EXCEPTION(Error, other.take({data + "/a.DB"}, "import"));
        }
        CopyAside later(folder);
        QCOMPARE(later.state(), CopyAside::State::Interrupted);
        later.begin("undo");
        QCOMPARE(later.job(), QStringLiteral("undo"));
        QCOMPARE(CopyAside(folder).state(), CopyAside::State::Running);
        later.end();
        QCOMPARE(CopyAside(folder).state(), CopyAside::State::Kept);
        QVERIFY(CopyAside(folder).job().isEmpty());
        later.discard();
        QCOMPARE(CopyAside(folder).state(), CopyAside::State::None);
        QVERIFY(!QFileInfo::exists(folder));
    }

    // A new copy replaces an older one only once it is whole: the state just
    // before the job that made it.
    void newCopyReplacesTheOlder()
    {
        const QString data = m_tmp.freshDir();
        put(data + "/a.DB", "one");
        CopyAside first(data + "/Undo");
        first.take({data + "/a.DB"}, "restore");
        first.end();
        put(data + "/a.DB", "two");
        CopyAside second(data + "/Undo");
        second.take({data + "/a.DB"}, "restore");
        put(data + "/a.DB", "three");
        second.putBack(among({data + "/a.DB"}));
        QCOMPARE(get(data + "/a.DB"), QByteArray("two"));
        QVERIFY(!QFileInfo::exists(data + "/Undo.new"));
    }

    // What changed since the job ended, or since it was first found
    // interrupted.
    void changedSince()
    {
        const QString data = m_tmp.freshDir();
        const QString a = data + "/a.DB", b = data + "/b.DB";
        put(a, "a");
        put(b, "b");
        {
            CopyAside job(data + "/Undo");
            job.take({a, b}, "import");
            put(a, "written by the job");
        }
        CopyAside seen(data + "/Undo");
        QVERIFY(seen.changedSince().isEmpty()); // nothing noted yet
        seen.noticeInterruption();
        QVERIFY(seen.changedSince().isEmpty());
        put(b, "changed after the interruption");
        seen.noticeInterruption(); // noted once only
        QCOMPARE(seen.changedSince(), QStringList{b});
    }

    // A copy that cannot be completed leaves the earlier one as it was and
    // nothing of itself to take the room.
    void failedCopyLeavesNothing()
    {
        const QString data = m_tmp.freshDir();
        const QString a = data + "/a.DB", odd = data + "/odd.DB";
        put(a, "one");
        CopyAside first(data + "/Undo");
        first.take({a}, "restore");
        first.end();
        put(a, "two");
        QVERIFY(QDir().mkpath(odd)); // not a file: it cannot be set aside
        CopyAside second(data + "/Undo");
        QVERIFY_THROWS_EXCEPTION(Error, second.take({a, odd}, "restore"));
        QVERIFY(!QFileInfo::exists(data + "/Undo.new"));
        QCOMPARE(second.state(), CopyAside::State::Kept);
        second.putBack(among({a}));
        QCOMPARE(get(a), QByteArray("one"));
    }

    // An undo that was interrupted after putting some files back: those are
    // as they were copied, so putting them back again loses nothing; only
    // work done on the others counts.
    void filesAlreadyBackAreNotChangedSince()
    {
        const QString data = m_tmp.freshDir();
        const QString a = data + "/a.DB", b = data + "/b.DB", c = data + "/c.DB";
        put(a, "a before");
        put(b, "b before");
        {
            CopyAside restore(data + "/Undo");
            restore.take({a, b, c}, "restore");
            put(a, "a restored");
            put(b, "b restored");
            put(c, "c restored");
            restore.end();
        }
        {
            CopyAside undo(data + "/Undo");
            undo.begin("undo");
            undo.putBack(among({a, b, c}), {a, c}); // then its process dies
        }
        CopyAside seen(data + "/Undo");
        QCOMPARE(seen.state(), CopyAside::State::Interrupted);
        seen.noticeInterruption();
        QVERIFY2(seen.changedSince().isEmpty(), qPrintable(seen.changedSince().join(' ')));
        put(b, "b worked on");
        put(c, "c made again");
        QCOMPARE(seen.changedSince(), (QStringList{b, c}));
    }

    // A copy whose list names a file outside what its job covers is refused
    // whole: nothing is put back.
    void listNamingAnotherFileIsRefused()
    {
        const QString data = m_tmp.freshDir(), elsewhere = m_tmp.freshDir();
        put(data + "/a.DB", "a");
        put(elsewhere + "/victim", "keep me");
        CopyAside job(data + "/Undo");
        job.take({data + "/a.DB", elsewhere + "/victim"}, "restore");
        put(data + "/a.DB", "changed");
        put(elsewhere + "/victim", "changed too");
        QVERIFY_THROWS_EXCEPTION(Error, job.putBack(among({data + "/a.DB"})));
        QCOMPARE(get(data + "/a.DB"), QByteArray("changed"));
        QCOMPARE(get(elsewhere + "/victim"), QByteArray("changed too"));
    }

    // A link under a working folder's name, or in its place inside, is
    // never followed: what it points to is neither emptied nor written.
    void linksAreNeverFollowed_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("the copy's folder") << "Undo";
        QTest::newRow("the folder a copy is built in") << "Undo.new";
        QTest::newRow("a file put back") << "a.DB";
        QTest::newRow("a copy inside the folder") << "Undo/0000.kept";
    }
    void linksAreNeverFollowed()
    {
        QFETCH(QString, link);
        const QString data = m_tmp.freshDir(), outside = m_tmp.freshDir();
        put(outside + "/precious", "outside");
        put(data + "/a.DB", "a");
        const QString folder = data + "/Undo";
        if (link == "Undo" || link == "Undo.new") {
            QVERIFY(QFile::link(outside, data + '/' + link));
            CopyAside job(folder);
            job.take({data + "/a.DB"}, "restore");
            QVERIFY(!isLink(folder));
            put(data + "/a.DB", "changed");
            job.putBack(among({data + "/a.DB"}));
            QCOMPARE(get(data + "/a.DB"), QByteArray("a"));
            job.discard();
        } else {
            CopyAside job(folder);
            job.take({data + "/a.DB"}, "restore");
            QVERIFY(QFile::remove(data + '/' + link));
            QVERIFY(QFile::link(outside + "/precious", data + '/' + link));
            if (link == "a.DB") {
                job.putBack(among({data + "/a.DB"}));
                QVERIFY(!isLink(data + "/a.DB"));
                QCOMPARE(get(data + "/a.DB"), QByteArray("a"));
            } else {
                QVERIFY_THROWS_EXCEPTION(Error, job.putBack(among({data + "/a.DB"})));
            }
        }
        QCOMPARE(entries(outside), QStringList{"precious"});
        QCOMPARE(get(outside + "/precious"), QByteArray("outside"));
    }

    void removeTreeRemovesLinksNotTheirTargets()
    {
        const QString dir = m_tmp.freshDir(), outside = m_tmp.freshDir();
        put(outside + "/f", "x");
        QVERIFY(QDir().mkpath(dir + "/t/sub"));
        put(dir + "/t/sub/g", "y");
        QVERIFY(QFile::link(outside, dir + "/t/sub/to-outside"));
        QVERIFY(QFile::link(outside + "/f", dir + "/t/to-file"));
        QVERIFY(removeTree(dir + "/t"));
        QVERIFY(!QFileInfo::exists(dir + "/t"));
        QCOMPARE(entries(outside), QStringList{"f"});
        QVERIFY(QFile::link(outside, dir + "/link"));
        QVERIFY(makeFreshFolder(dir + "/link"));
        QVERIFY(!isLink(dir + "/link") && QFileInfo(dir + "/link").isDir());
        QCOMPARE(entries(outside), QStringList{"f"});
    }

    // The one check of a file a user names to be written.
    void refusedTarget_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("says"); // empty: may be written
        QTest::newRow("a new file") << "out.pdf" << "";
        QTest::newRow("an existing file of its own") << "old.pdf" << "";
        QTest::newRow("a database file") << "data/Hrdf.DB" << "is a database file: a report there";
        QTest::newRow("a database file in another case") << "data/hrdf.db" << "is a database file";
        QTest::newRow("a link to a database file") << "link.pdf" << "is a database file";
        QTest::newRow("a link to a link to one") << "link2.pdf" << "is a database file";
        QTest::newRow("a hard link to one") << "hard.pdf" << "is a database file";
        QTest::newRow("a folder") << "data" << "is not a regular file";
        QTest::newRow("a device") << "/dev/null" << "is not a regular file";
    }
    void refusedTarget()
    {
        QFETCH(QString, target);
        QFETCH(QString, says);
        const QString dir = m_tmp.freshDir();
        QDir().mkpath(dir + "/data");
        put(dir + "/data/Hrdf.DB", "table");
        put(dir + "/old.pdf", "old");
        QVERIFY(QFile::link(dir + "/data/Hrdf.DB", dir + "/link.pdf"));
        QVERIFY(QFile::link(dir + "/link.pdf", dir + "/link2.pdf"));
        QVERIFY(QFile::link(dir + "/data/Hrdf.DB", dir + "/x") && QFile::remove(dir + "/x"));
        QVERIFY(::link(QFile::encodeName(dir + "/data/Hrdf.DB").constData(),
                       QFile::encodeName(dir + "/hard.pdf").constData()) == 0);
        const QString path = target.startsWith('/') ? target : dir + '/' + target;
        const QString why = kw::core::refusedTarget(path, "a report", dir + "/data", {"Hrdf.DB", "Hrdf.PX"});
        if (says.isEmpty())
            QVERIFY2(why.isEmpty(), qPrintable(why));
        else
            QVERIFY2(why.contains(says), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(TstCopyAside)
#include "tst_copyaside.moc"
