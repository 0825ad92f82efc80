// Truncated and corrupted archives must fail cleanly: an error, never a crash,
// a hang, or damaged data passed off as good.
#include "archivefixture.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace kw::archive;

class TstArchiveFuzz : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString archive;
    QByteArray pristine;
    QHash<QString, QByteArray> originals;
    QList<QPair<qint64, qint64>> frameRanges; // [start, end) of every block frame

    enum Outcome { Clean, Error, FileFailed };

    // Opens, lists and extracts with the error policy continuing.
    Outcome attempt(const QByteArray &bytes, QHash<QString, QByteArray> *out)
    {
        const QString path = tmp.filePath(QStringLiteral("f/Fuzz.Alse"));
        kwtest::writeFile(path, bytes);
        const QString dest = tmp.filePath(QStringLiteral("f/out"));
        QDir(dest).removeRecursively();
        TArchiver a;
        configureForApplication(a);
        a.ErrorAction = TErrorAction::eaContinue;
        a.setFileName(path);
        a.ExtractPath = dest;
        try {
            a.Open();
            a.ExtractFiles();
        } catch (const EArchiverBase &) {
            return Error;
        }
        for (const QString &f : QDir(dest).entryList(QDir::Files))
            out->insert(f, kwtest::readFile(dest + '/' + f));
        return a.Failures().isEmpty() ? Clean : FileFailed;
    }

private slots:
    void initTestCase()
    {
        const QString src = tmp.filePath(QStringLiteral("src"));
        originals = {{"Aircraft.DB", QByteArray()},
                     {"Aircraft.PX", kwtest::textBytes(3000)},
                     {"Bin.DB", kwtest::textBytes(70000, 3)},
                     {"Bin.PX", kwtest::randomBytes(66000, 4)}};
        QStringList paths;
        QStringList names = originals.keys();
        names.sort(); // Aircraft.DB (11 characters) first: the field offsets below rely on it
        for (const QString &n : names) {
            kwtest::writeFile(src + '/' + n, originals.value(n));
            paths << src + '/' + n;
        }
        TArchiver a;
        configureForApplication(a);
        a.setFileName(tmp.filePath(QStringLiteral("Good.Alse")));
        QVERIFY(a.AddFiles(paths));
        a.Close();
        archive = a.FileName();
        pristine = kwtest::readFile(archive);
        // Where the frames lie.
        qint64 pos = 273;
        while (pos < pristine.size()) {
            const TFileEntry e = kwtest::entryAt(archive, pos);
            pos += e.entrySize();
            const qint64 end = pos + e.PartCompressedSize;
            while (pos < end) {
                const qint64 n = qAbs(qint64(qFromLittleEndian<qint32>(reinterpret_cast<const unsigned char *>(pristine.constData() + pos))));
                frameRanges << qMakePair(pos, pos + 8 + n);
                pos += 8 + n;
            }
        }
        QCOMPARE(frameRanges.size(), 5);
        QHash<QString, QByteArray> out;
        QCOMPARE(attempt(pristine, &out), Clean);
        QCOMPARE(out, originals);
    }

    // Every truncation is noticed.
    void truncated()
    {
        int checked = 0;
        for (qint64 len = 0; len < pristine.size(); len += (len < 700 ? 1 : 89)) {
            QHash<QString, QByteArray> out;
            const Outcome o = attempt(pristine.left(len), &out);
            QVERIFY2(o != Clean, qPrintable(QStringLiteral("truncated to %1 bytes passed").arg(len)));
            ++checked;
        }
        QVERIFY(checked > 700);
    }

    // Damage inside block frames is always reported; damage anywhere never
    // crashes and never yields a file with wrong content without a report.
    void corrupted_data()
    {
        QTest::addColumn<bool>("framesOnly");
        QTest::newRow("in frames") << true;
        QTest::newRow("anywhere") << false;
    }
    void corrupted()
    {
        QFETCH(bool, framesOnly);
        QRandomGenerator g(framesOnly ? 1234 : 5678);
        for (int i = 0; i < 300; ++i) {
            QByteArray bytes = pristine;
            const int hits = 1 + int(g.bounded(3));
            for (int h = 0; h < hits; ++h) {
                qint64 at;
                if (framesOnly) {
                    const auto &r = frameRanges[int(g.bounded(qint64(frameRanges.size())))];
                    at = r.first + g.bounded(r.second - r.first);
                } else {
                    at = g.bounded(qint64(bytes.size()));
                }
                bytes[at] = char(bytes[at] ^ (1 + g.bounded(255)));
            }
            QHash<QString, QByteArray> out;
            const Outcome o = attempt(bytes, &out);
            if (framesOnly)
                QVERIFY2(o != Clean, qPrintable(QStringLiteral("iteration %1 passed").arg(i)));
            if (o == Clean) {
                for (auto it = out.begin(); it != out.end(); ++it)
                    if (originals.contains(it.key()))
                        QVERIFY2(it.value() == originals.value(it.key()), qPrintable(it.key()));
            }
        }
    }

    // Hostile counts and sizes in the header and the entries.
    void hostileFields_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<qint32>("value");
        QTest::newRow("comment count negative") << 269 << -5;
        QTest::newRow("comment count huge") << 269 << 0x7fffffff;
        QTest::newRow("block size 0") << 12 << 0;
        QTest::newRow("block size negative") << 12 << -65536;
        QTest::newRow("block size huge") << 12 << 0x7fffffff;
        QTest::newRow("data end small") << 16 << 10;
        QTest::newRow("data end huge") << 16 << 0x7fffffff;
        QTest::newRow("name count negative") << 273 << -1;
        QTest::newRow("name count huge") << 273 << 0x7ffffff0;
        QTest::newRow("size negative") << 273 + 4 + 11 + 29 << -100;
        QTest::newRow("part compressed negative") << 273 + 4 + 11 + 41 << -100;
        QTest::newRow("part compressed huge") << 273 + 4 + 11 + 41 << 0x7fffff00;
    }
    void hostileFields()
    {
        QFETCH(int, offset);
        QFETCH(qint32, value);
        QByteArray bytes = pristine;
        qToLittleEndian<qint32>(value, reinterpret_cast<unsigned char *>(bytes.data()) + offset);
        QHash<QString, QByteArray> out;
        QVERIFY(attempt(bytes, &out) != Clean);
    }
};

QTEST_GUILESS_MAIN(TstArchiveFuzz)
#include "tst_archivefuzz.moc"
