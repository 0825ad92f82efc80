// Durability: a writer process is killed with SIGKILL at random moments
// while it posts; afterwards the table opens and holds every change the
// writer reported as returned. A batch of changes is there as a whole or
// not at all.
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/paradox/pxformat.h"
#include "fielddefs.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <QtEndian>

using namespace kw::data;
using kwtest::fd;

class TstParadoxCrash : public QObject {
    Q_OBJECT
private slots:
    void killedWriterLosesNothing();
    void killedBatchIsAllOrNothing();
};

static void createPosts(const QString &path)
{
    TableDef def;
    def.fields = {fd("Auto", FieldType::AutoInc), fd("Seq", FieldType::Long), fd("Text", FieldType::Alpha, 12),
                  fd("Day", FieldType::Date), fd("N", FieldType::Short)};
    def.keyFieldCount = 1;
    def.indexes = {IndexDef{"BySeq", {"Seq", "Text"}, true, false, "XG0"},
                   IndexDef{"N", {"N"}, false, false, "X05"}};
    ParadoxTable::create(path, def, QStringLiteral("HarborlyQZ"));
}

void TstParadoxCrash::killedWriterLosesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Posts.DB");
    createPosts(path);

    // What must be there: posted ids with their seq, the latest reported
    // update of each id, and the ids reported as removed.
    QHash<int, int> posted;
    QHash<int, int> updated;
    QSet<int> removed, maybeRemoved;
    QRandomGenerator rng(20261210);
    int kills = 0, changes = 0;
    const int rounds = 40;
    for (int round = 0; round < rounds; ++round) {
        QProcess child;
        child.setProgram(QStringLiteral(PX_CRASH_WRITER));
        child.setArguments({path, QString::number(round + 1)});
        child.start();
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        // Kill at a random moment: sometimes while it opens (replaying or
        // rebuilding), mostly while it posts.
        if (round % 5 == 0) {
            QThread::msleep(ulong(rng.bounded(15)));
        } else {
            child.waitForReadyRead(30000); // opened: from here on it posts
            QThread::msleep(ulong(20 + rng.bounded(250)));
        }
        if (child.state() != QProcess::Running)
            QFAIL(qPrintable("writer stopped by itself: " + child.readAllStandardError()));
        child.kill(); // SIGKILL
        QVERIFY(child.waitForFinished());
        ++kills;
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        for (const QByteArray &line : lines) {
            const QList<QByteArray> w = line.split(' ');
            if (w.size() == 3 && w[0] == "posted") {
                posted[w[1].toInt()] = w[2].toInt();
                ++changes;
            } else if (w.size() == 3 && w[0] == "updated") {
                updated[w[1].toInt()] = w[2].toInt();
                ++changes;
            } else if (w.size() == 2 && w[0] == "removing") {
                maybeRemoved.insert(w[1].toInt());
            } else if (w.size() == 2 && w[0] == "removed") {
                removed.insert(w[1].toInt());
                ++changes;
            }
        }
        // Read-only first: what a reader sees straight after the crash.
        for (bool readOnly : {true, false}) {
            std::unique_ptr<ParadoxTable> t;
            try {
                t = ParadoxTable::open(path, {QStringLiteral("HarborlyQZ")}, readOnly);
            } catch (const std::exception &e) {
                QFAIL(qPrintable(QStringLiteral("round %1: table does not open: %2").arg(round).arg(e.what())));
            }
            QHash<int, const Row *> byId;
            for (int i = 0; i < t->rowCount(); ++i)
                byId.insert(t->row(i)[0].toInt(), &t->row(i));
            for (auto it = posted.cbegin(); it != posted.cend(); ++it) {
                if (removed.contains(it.key()))
                    continue;
                if (maybeRemoved.contains(it.key()) && !byId.contains(it.key()))
                    continue; // removed, killed before it could say so
                QVERIFY2(byId.contains(it.key()), qPrintable(QStringLiteral("round %1: post %2 lost").arg(round).arg(it.key())));
                QCOMPARE(byId[it.key()]->at(1).toInt(), it.value());
            }
            for (auto it = updated.cbegin(); it != updated.cend(); ++it) {
                if (removed.contains(it.key()) || !byId.contains(it.key()))
                    continue;
                // The reported update or a later one (killed before it could report).
                const int step = byId[it.key()]->at(2).toString().mid(1).toInt();
                QVERIFY2(step >= it.value(), qPrintable(QStringLiteral("round %1: update of %2 lost").arg(round).arg(it.key())));
            }
            for (int id : std::as_const(removed))
                QVERIFY2(!byId.contains(id), qPrintable(QStringLiteral("round %1: removed row %2 is back").arg(round).arg(id)));
            if (!readOnly) {
                for (int id : std::as_const(maybeRemoved))
                    if (!byId.contains(id))
                        removed.insert(id);
                maybeRemoved.clear();
                t->close();
                // Closing brought the derived files up to date.
                QFile pxFile(dir.filePath("Posts.XG0"));
                QVERIFY(pxFile.open(QIODevice::ReadOnly));
                const QByteArray head = pxFile.read(16);
                QCOMPARE(int(qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(head.constData()) + 6)), byId.size());
            }
        }
    }
    qInfo("%d kills, %d reported changes, %lld rows posted", kills, changes, qlonglong(posted.size()));
    QVERIFY(changes > 100);
}

void TstParadoxCrash::killedBatchIsAllOrNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Posts.DB");
    createPosts(path);
    QHash<int, QList<int>> batches; // batch -> the Seq values of its rows
    QSet<int> done;
    QRandomGenerator rng(20261211);
    int cutAbsent = 0, cutWhole = 0; // batches killed before they said done
    for (int round = 0; round < 25; ++round) {
        QProcess child;
        child.setProgram(QStringLiteral(PX_CRASH_WRITER));
        child.setArguments({path, QString::number(round + 1), QStringLiteral("batch")});
        child.start();
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        child.waitForReadyRead(30000);
        QThread::msleep(ulong(20 + rng.bounded(200)));
        if (child.state() != QProcess::Running)
            QFAIL(qPrintable("writer stopped by itself: " + child.readAllStandardError()));
        child.kill();
        QVERIFY(child.waitForFinished());
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w.size() > 2 && w[0] == "batch")
                for (int i = 2; i < w.size(); ++i)
                    batches[w[1].toInt()] << w[i].toInt();
            else if (w.size() == 2 && w[0] == "done")
                done.insert(w[1].toInt());
        }
        auto t = ParadoxTable::open(path, {QStringLiteral("HarborlyQZ")}, false);
        QSet<int> present;
        for (int i = 0; i < t->rowCount(); ++i)
            present.insert(t->row(i)[1].toInt());
        // Rows of a batch killed before it was even named never show.
        QSet<int> named;
        for (const QList<int> &seqs : std::as_const(batches))
            for (int seq : seqs)
                named.insert(seq);
        for (int seq : std::as_const(present))
            QVERIFY2(named.contains(seq), qPrintable(QStringLiteral("round %1: row %2 of an unfinished batch").arg(round).arg(seq)));
        for (auto it = batches.cbegin(); it != batches.cend(); ++it) {
            int there = 0;
            for (int seq : it.value())
                there += present.contains(seq) ? 1 : 0;
            if (done.contains(it.key()))
                QVERIFY2(there == it.value().size(), qPrintable(QStringLiteral("round %1: batch %2 lost rows").arg(round).arg(it.key())));
            else
                QVERIFY2(there == 0 || there == it.value().size(),
                         qPrintable(QStringLiteral("round %1: batch %2 half there").arg(round).arg(it.key())));
            if (!done.contains(it.key()))
                ++(there == 0 ? cutAbsent : cutWhole);
        }
        // A batch killed before it said so is either there, as if done, or
        // gone; its numbers are then used again.
        for (auto it = batches.begin(); it != batches.end();) {
            if (!done.contains(it.key()) && present.contains(it.value().first()))
                done.insert(it.key());
            it = done.contains(it.key()) ? std::next(it) : batches.erase(it);
        }
        t->close();
    }
    qInfo("%lld batches ended; killed before their end: %d absent, %d whole", qlonglong(done.size()), cutAbsent,
          cutWhole);
    QVERIFY(done.size() > 20);
}

QTEST_GUILESS_MAIN(TstParadoxCrash)
#include "tst_paradox_crash.moc"
