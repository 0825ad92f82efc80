// Block compression and integrity: chunking, stored forms, CRC, damaged blocks.
#include "archivefixture.h"

#include <QTemporaryDir>
#include <QtTest>
#include <QtEndian>
#include <zlib.h>

using namespace kw::archive;

struct Frame {
    qint64 offset;
    int32_t stored;
    uint32_t crc;
};

// Every frame of the single-segment archive, file by file.
static QList<QList<Frame>> framesOf(const QString &path, QList<TFileEntry> *entries = nullptr)
{
    const QByteArray b = kwtest::readFile(path);
    const TArchiveHeader h = kwtest::headerOf(path);
    QList<QList<Frame>> out;
    qint64 pos = h.headerSize();
    while (pos < h.DataEnd) {
        const TFileEntry e = kwtest::entryAt(path, pos);
        if (entries)
            entries->append(e);
        pos += e.entrySize();
        const qint64 end = pos + e.PartCompressedSize;
        QList<Frame> frames;
        while (pos < end) {
            const auto *p = reinterpret_cast<const unsigned char *>(b.constData() + pos);
            Frame f{pos, qFromLittleEndian<qint32>(p), qFromLittleEndian<quint32>(p + 4)};
            frames << f;
            pos += 8 + qAbs(qint64(f.stored));
        }
        out << frames;
    }
    return out;
}

class TstArchiveCodec : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString makeArchive(const QString &name, const QList<QPair<QString, QByteArray>> &files, bool compress = true)
    {
        const QString src = tmp.filePath(name + QStringLiteral("-src"));
        QStringList paths;
        for (const auto &[n, bytes] : files) {
            kwtest::writeFile(src + '/' + n, bytes);
            paths << src + '/' + n;
        }
        TArchiver a;
        configureForApplication(a);
        a.Options.set(oCompress, compress);
        a.setFileName(tmp.filePath(name + QStringLiteral(".Alse")));
        a.DeleteArchive();
        a.AddFiles(paths);
        a.Close();
        return a.FileName();
    }

    // Extracts with the error policy set to abort; returns the error text.
    QString extractError(const QString &archive)
    {
        TArchiver a;
        configureForApplication(a);
        a.ErrorAction = TErrorAction::eaAbort;
        a.setFileName(archive);
        a.ExtractPath = tmp.filePath(QStringLiteral("out-err"));
        try {
            a.ExtractFiles();
        } catch (const EArchiverBase &e) {
            return e.message();
        }
        return QString();
    }

private slots:
    void crcKnownValue()
    {
        QCOMPARE(crc32Of("123456789", 9), 0xCBF43926u);
        QCOMPARE(crc32Of("", 0), 0u);
    }

    void levels()
    {
        QCOMPARE(zlibLevel(TCompressionLevel::clMaximum), 9);
        QCOMPARE(zlibLevel(TCompressionLevel::clNormal), -1);
        QCOMPARE(zlibLevel(TCompressionLevel::clFast), 5);
        QCOMPARE(zlibLevel(TCompressionLevel::clSuperFast), 1);
        QCOMPARE(zlibLevel(TCompressionLevel::clNone), 0);
    }

    void chunking_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QList<int>>("chunks");
        QTest::newRow("0") << 0 << "text" << QList<int>{};
        QTest::newRow("1 text") << 1 << "text" << QList<int>{1};
        QTest::newRow("65536 zeros") << 65536 << "zeros" << QList<int>{65536};
        QTest::newRow("65537 text") << 65537 << "text" << QList<int>{65536, 1};
        QTest::newRow("131073 random") << 131073 << "random" << QList<int>{65536, 65536, 1};
        QTest::newRow("131073 text") << 131073 << "text" << QList<int>{65536, 65536, 1};
    }
    void chunking()
    {
        QFETCH(int, size);
        QFETCH(QString, kind);
        QFETCH(QList<int>, chunks);
        const QByteArray data = kind == "zeros" ? QByteArray(size, '\0')
                              : kind == "random" ? kwtest::randomBytes(size, 42) : kwtest::textBytes(size);
        const QString arc = makeArchive(QStringLiteral("chunk-%1-%2").arg(size).arg(kind),
                                        {{QStringLiteral("Hrdf.DB"), data}, {QStringLiteral("Hrdf.PX"), "tail"}});
        QList<TFileEntry> entries;
        const auto frames = framesOf(arc, &entries);
        QCOMPARE(entries.size(), 2);
        const TFileEntry &e = entries[0];
        QCOMPARE(e.Size, size);
        QCOMPARE(e.PartSize, size);
        QCOMPARE(e.Flags, quint8(0x05));
        QCOMPARE(e.EntryOffset, 273);
        QCOMPARE(entries[1].EntryOffset, 273 + e.entrySize() + e.PartCompressedSize); // next entry right after
        QCOMPARE(frames[0].size(), chunks.size());
        const QByteArray bytes = kwtest::readFile(arc);
        qint64 frameBytes = 0, at = 0;
        for (int i = 0; i < chunks.size(); ++i) {
            const Frame &f = frames[0][i];
            QVERIFY(f.stored != 0);
            const qint64 n = qAbs(qint64(f.stored));
            const QByteArray stored = bytes.mid(f.offset + 8, n);
            QCOMPARE(crc32Of(stored.constData(), size_t(n)), f.crc);
            QByteArray chunk;
            if (f.stored > 0) {
                QCOMPARE(quint8(stored[0]), quint8(0x78));
                QCOMPARE(quint8(stored[1]), quint8(0xDA));
                chunk.resize(65536);
                uLongf len = 65536;
                QCOMPARE(::uncompress(reinterpret_cast<Bytef *>(chunk.data()), &len,
                                      reinterpret_cast<const Bytef *>(stored.constData()), uLong(n)), Z_OK);
                chunk.resize(qsizetype(len));
                QVERIFY(n < chunk.size()); // stored compressed only when it shrinks
            } else {
                chunk = stored;
            }
            QCOMPARE(chunk.size(), chunks[i]);
            QCOMPARE(chunk, data.mid(at, chunks[i]));
            at += chunks[i];
            frameBytes += 8 + n;
        }
        if (kind == "random")
            for (const Frame &f : frames[0])
                QVERIFY(f.stored < 0); // random data never shrinks: stored raw
        QCOMPARE(qint64(e.PartCompressedSize), frameBytes);
        QCOMPARE(qint64(e.CompressedSize), frameBytes);
        const TArchiveHeader h = kwtest::headerOf(arc);
        QCOMPARE(qint64(h.DataEnd), QFileInfo(arc).size());
        QCOMPARE(h.ArchiveTotals, h.SegmentTotals);
        QCOMPARE(h.ArchiveTotals.FileCount, 2);
        QCOMPARE(h.ArchiveTotals.Size, double(size + 4));

        // And it restores byte-identically.
        TArchiver r;
        configureForApplication(r);
        r.setFileName(arc);
        r.ExtractPath = tmp.filePath(QStringLiteral("out-%1-%2").arg(size).arg(kind));
        r.ExtractFiles();
        QCOMPARE(r.Failures().size(), 0);
        QCOMPARE(kwtest::readFile(r.ExtractPath + QStringLiteral("/Hrdf.DB")), data);
        QCOMPARE(kwtest::readFile(r.ExtractPath + QStringLiteral("/Hrdf.PX")), QByteArray("tail"));
    }

    void rawWhenCompressionIsOff()
    {
        const QByteArray data(70000, 'a');
        const QString arc = makeArchive(QStringLiteral("raw"), {{QStringLiteral("Bin.DB"), data}}, false);
        QCOMPARE(quint8(kwtest::readFile(arc)[24]), quint8(afFinalSegment));
        const auto frames = framesOf(arc);
        QCOMPARE(frames[0].size(), 2);
        QCOMPARE(frames[0][0].stored, -65536);
        QCOMPARE(frames[0][1].stored, -(70000 - 65536));
        TArchiver r;
        configureForApplication(r);
        r.setFileName(arc);
        r.ExtractPath = tmp.filePath(QStringLiteral("out-raw"));
        r.ExtractFiles();
        QCOMPARE(kwtest::readFile(r.ExtractPath + QStringLiteral("/Bin.DB")), data);
    }

    void damagedBlock_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("where"); // offset from the frame start
        QTest::newRow("compressed data") << "text" << 20;
        QTest::newRow("compressed crc") << "text" << 5;
        QTest::newRow("raw data") << "random" << 1000;
        QTest::newRow("raw crc") << "random" << 4;
        QTest::newRow("stored length") << "text" << 0;
    }
    void damagedBlock()
    {
        QFETCH(QString, content);
        QFETCH(int, where);
        const QByteArray data = content == "text" ? kwtest::textBytes(100000) : kwtest::randomBytes(100000, 7);
        const QString arc = makeArchive(QStringLiteral("dmg-%1-%2").arg(content).arg(where),
                                        {{QStringLiteral("Lists.DB"), data}});
        const auto frames = framesOf(arc);
        QByteArray bytes = kwtest::readFile(arc);
        bytes[frames[0][1].offset + where] = char(bytes[frames[0][1].offset + where] ^ 0x5A);
        kwtest::writeFile(arc, bytes);
        QCOMPARE(extractError(arc), QStringLiteral("Bad CRC: data stored in the archive is corrupted"));
        // The first block was written before the damaged one was found.
        QCOMPARE(kwtest::readFile(tmp.filePath(QStringLiteral("out-err/Lists.DB"))), data.left(65536));
    }

    // A block whose stream inflates past the header's block size fails even
    // though its CRC is right.
    void oversizedInflate()
    {
        const QString arc = makeArchive(QStringLiteral("big"), {{QStringLiteral("Kits.DB"), QByteArray(65536, '\0')}});
        QByteArray bytes = kwtest::readFile(arc);
        qToLittleEndian<qint32>(65535, reinterpret_cast<unsigned char *>(bytes.data()) + 12);
        kwtest::writeFile(arc, bytes);
        QCOMPARE(extractError(arc), QStringLiteral("Could not uncompress Block"));
    }

    // The continue dialog on a bad block: Yes skips the file, the next restores.
    void damagedFileIsSkippedOnYes()
    {
        const QByteArray a1 = kwtest::textBytes(90000, 1), a2 = kwtest::textBytes(5000, 2);
        const QString arc = makeArchive(QStringLiteral("skip"),
                                        {{QStringLiteral("Parts.DB"), a1}, {QStringLiteral("Parts.PX"), a2}});
        const auto frames = framesOf(arc);
        QByteArray bytes = kwtest::readFile(arc);
        bytes[frames[0][0].offset + 30] = char(bytes[frames[0][0].offset + 30] ^ 1);
        kwtest::writeFile(arc, bytes);
        TArchiver r;
        configureForApplication(r);
        ScriptedPrompts prompts;
        prompts.continueAnswers = {ContinueAnswer::Yes};
        r.setPrompts(&prompts);
        r.setFileName(arc);
        r.ExtractPath = tmp.filePath(QStringLiteral("out-skip"));
        int last = -1;
        r.OnFileProgress = [&](int p) { last = p; };
        r.ExtractFiles();
        QCOMPARE(prompts.count("continue"), 1);
        QCOMPARE(prompts.continueDialogs[0].errorText, QStringLiteral("Bad CRC: data stored in the archive is corrupted"));
        QCOMPARE(prompts.continueDialogs[0].fileName, QStringLiteral("Parts.DB"));
        QCOMPARE(r.Failures().size(), 1);
        QCOMPARE(kwtest::readFile(r.ExtractPath + QStringLiteral("/Parts.PX")), a2);
        QCOMPARE(last, 100);
    }
};

QTEST_GUILESS_MAIN(TstArchiveCodec)
#include "tst_archivecodec.moc"
