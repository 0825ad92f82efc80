// Durability: a writer process is killed with SIGKILL at random moments
// while it posts; afterwards the table opens and holds every change the
// writer reported as returned.
#include "data/paradox/paradoxtable.h"
#include "data/paradox/pxformat.h"
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
};

void TstParadoxCrash::killedWriterLosesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Posts.DB");
    TableDef def;
    def.fields = {fd("Auto", FieldType::AutoInc), fd("Seq", FieldType::Long), fd("Text", FieldType::Alpha, 12),
                  fd("Day", FieldType::Date), fd("N", FieldType::Short)};
    def.keyFieldCount = 1;
    def.indexes = {IndexDef{"BySeq", {"Seq", "Text"}, true, false, "XG0"},
                   IndexDef{"N", {"N"}, false, false, "X05"}};
    ParadoxTable::create(path, def, QStringLiteral("HarborlyQZ"));

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

QTEST_GUILESS_MAIN(TstParadoxCrash)
#include "tst_paradox_crash.moc"
