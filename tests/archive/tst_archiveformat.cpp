// Byte-level checks of the archive format: encodings, header, entry.
#include "archivefixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::archive;

static QByteArray hex(const char *h)
{
    return QByteArray::fromHex(QByteArray(h).replace(' ', ""));
}

class TstArchiveFormat : public QObject {
    Q_OBJECT
private slots:
    void ext80_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("zero") << 0.0 << hex("00000000 00000000 0000");
        QTest::newRow("one") << 1.0 << hex("00000000 00000080 FF3F");
        QTest::newRow("65536") << 65536.0 << hex("00000000 00000080 0F40");
        QTest::newRow("36526.5") << 36526.5 << hex("00000000 0080AE8E 0E40");
        QTest::newRow("12288") << 12288.0 << hex("00000000 000000C0 0C40");
        QTest::newRow("2^40+1") << 1099511627777.0 << hex("00008000 00000080 2740");
    }
    void ext80()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, bytes);
        unsigned char out[10];
        doubleToExt80(value, out);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(out), 10), bytes);
        QCOMPARE(ext80ToDouble(reinterpret_cast<const unsigned char *>(bytes.constData())), value);
    }

    void date64()
    {
        unsigned char out[8];
        putF64(out, dateTimeToOle(QDateTime(QDate(2000, 1, 1), QTime(0, 0))));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(out), 8), hex("00000000 C0D5E140"));
        const QDateTime noon(QDate(2026, 3, 14), QTime(15, 9, 26));
        QCOMPARE(oleToDateTime(dateTimeToOle(noon)), noon);
        // DOS timestamps keep even seconds.
        QCOMPARE(oleToDateTime(fileTimeToOle(noon)), QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26)));
        QCOMPARE(oleToDateTime(fileTimeToOle(noon.addSecs(1))), QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26)));
    }

    void text20AndAnsi()
    {
        unsigned char t[21];
        encodeText20(t, QStringLiteral("V.I. Zode"));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(t), 21), hex("09 562E492E205A6F6465 00000000000000000000 00"));
        encodeText20(t, QStringLiteral("A name longer than twenty characters"));
        QCOMPARE(int(t[0]), 20);
        QCOMPARE(decodeText20(t), QStringLiteral("A name longer than t"));
        QCOMPARE(toAnsi(QStringLiteral("\u20ACé")), QByteArray("\x80\xE9"));
        QCOMPARE(fromAnsi(QByteArray("\x80\xE9")), QStringLiteral("\u20ACé"));
    }

    void headerGolden()
    {
        TArchiveHeader h;
        h.ArchiveId = 0x11223344;
        h.BlockSize = 65536;
        h.DataEnd = 273;
        h.Segment = 1;
        h.Flags = afFinalSegment | afCompressed;
        h.ArchiveTotals = {2, 12289.0, 500.0};
        h.SegmentTotals = {2, 12289.0, 500.0};
        h.UserData = applicationUserData(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
        const QByteArray expected =
            hex("38120000 01000000 44332211 00000100 11010000 01000000 12") +
            // totals: count 2, 12289.0, 500.0 (twice)
            hex("02000000 00000000 000004C0 0C40 00000000 000000FA 0740") +
            hex("02000000 00000000 000004C0 0C40 00000000 000000FA 0740") +
            QByteArray("\x0E" "Kitwarden User", 15) + QByteArray(6, '\0') +
            QByteArray("\x09" "V.I. Zode", 10) + QByteArray(11, '\0') +
            QByteArray("\x0A" "QF10220001", 11) + QByteArray(10, '\0') +
            QByteArray("\x0A" "Data Files", 11) + QByteArray(10, '\0') +
            hex("00000000 C0D5E140 66000000 C8000000") + QByteArray(32, '\0') + QByteArray(64, '\0') +
            hex("00000000");
        const QByteArray got = encodeHeader(h);
        QCOMPARE(got.size(), 273);
        QCOMPARE(got.toHex(' '), expected.toHex(' '));
    }

    void entryGolden()
    {
        TFileEntry e;
        e.Name = QStringLiteral("Hrdf.DB");
        e.Date = 36526.5;
        e.Attributes = faArchive;
        e.StartSegment = 1;
        e.EntryOffset = 273;
        e.Flags = efFile | efComplete;
        e.Size = 12288;
        e.CompressedSize = 0x1234;
        e.PartSize = 12288;
        e.PartCompressedSize = 0x1234;
        const QByteArray expected = hex("07000000") + QByteArray("Hrdf.DB") +
                                    hex("00000000 0080AE8E 0E40 20000000 0100 11010000 00000000 05"
                                        "00300000 34120000 00300000 34120000");
        QCOMPARE(e.entrySize(), 52);
        QCOMPARE(encodeEntry(e).toHex(' '), expected.toHex(' '));
    }

    // Reading back gives the same fields; wrong signatures stop at four bytes.
    void readBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("h.Alse"));
        TArchiveHeader h;
        h.ArchiveId = 7;
        h.BlockSize = 4096;
        h.Segment = 3;
        h.Comment = "note";
        h.DataEnd = h.headerSize();
        h.Reserved[5] = 'x';
        TFileEntry e;
        e.Name = QStringLiteral("Kits.YG5");
        e.Size = 5;
        {
            ArchiveStream s;
            QVERIFY(s.open(path, ArchiveStream::Mode::Create));
            writeHeaderBytes(s, h);
            writeEntryBytes(s, e);
        }
        const TArchiveHeader r = kwtest::headerOf(path);
        QCOMPARE(r.Segment, 3u);
        QCOMPARE(r.Comment, QByteArray("note"));
        QCOMPARE(r.headerSize(), 277);
        QCOMPARE(r.Reserved, h.Reserved);
        QCOMPARE(kwtest::entryAt(path, 277).Name, QStringLiteral("Kits.YG5"));

        QByteArray bytes = kwtest::readFile(path);
        bytes[0] = 0x39;
        kwtest::writeFile(path, bytes);
        ArchiveStream s;
        QVERIFY(s.open(path, ArchiveStream::Mode::ReadOnly));
        TArchiveHeader bad;
        QVERIFY(!readHeader(s, bad));
        QCOMPARE(s.pos(), 4);
    }

    void segmentAboveRange()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("h.Alse"));
        TArchiveHeader h;
        h.Segment = 65536;
        h.DataEnd = 273;
        kwtest::writeFile(path, encodeHeader(h));
        ArchiveStream s;
        QVERIFY(s.open(path, ArchiveStream::Mode::ReadOnly));
        try {
            readHeader(s, h);
            QFAIL("no error");
        } catch (const EStreamError &e) {
            QCOMPARE(e.message(), QStringLiteral("Range check error"));
        }
    }

    // An archive holding no file: 273 bytes, flags 0x12, DataEnd 273, segment 1.
    void emptyArchive()
    {
        QTemporaryDir dir;
        TArchiver a;
        const QDateTime now(QDate(2026, 5, 1), QTime(9, 30));
        configureForApplication(a, [now] { return now; });
        a.setFileName(dir.filePath(QStringLiteral("sub/Backup.Alse")));
        a.Open();
        a.Close();
        const QByteArray bytes = kwtest::readFile(dir.filePath(QStringLiteral("sub/Backup.Alse")));
        QCOMPARE(bytes.size(), 273);
        QCOMPARE(bytes.left(4), hex("38120000"));
        QCOMPARE(quint8(bytes[24]), quint8(0x12));
        const TArchiveHeader h = kwtest::headerOf(dir.filePath(QStringLiteral("sub/Backup.Alse")));
        QCOMPARE(h.DataEnd, 273);
        QCOMPARE(h.Segment, 1u);
        QCOMPARE(h.BlockSize, 65536);
        QCOMPARE(h.ArchiveTotals, TTotals{});
        QCOMPARE(h.SegmentTotals, TTotals{});
        QCOMPARE(h.UserData.UserName, QStringLiteral("Kitwarden User"));
        QCOMPARE(h.UserData.SerialNumber.size(), 10);
        QCOMPARE(h.UserData.ProductId, 102);
        QCOMPARE(h.UserData.ProductVersion, 200);
        QCOMPARE(oleToDateTime(h.UserData.BackupDate), now);
    }

    void messageNames()
    {
        QCOMPARE(kMessageCount, 64);
        const TMessages m = applicationMessages();
        QSet<QString> names;
        for (int i = 0; i < kMessageCount; ++i) {
            names.insert(QString::fromLatin1(messageName(Msg(i))));
            QVERIFY2(!m.text[i].isEmpty(), messageName(Msg(i)));
        }
        QCOMPARE(names.size(), 64);
        QCOMPARE(m[Msg::FileNameNeeded], QStringLiteral("\"Archiver\" needs property \"FileName\""));
        QCOMPARE(m[Msg::LoadingArchiveContnent], QStringLiteral("Loading archive content..."));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(formatMessage(m[Msg::AddingFile], {QStringLiteral("Hrdf.DB"), 12288.0}),
                 QStringLiteral("Adding Hrdf.DB (12,288)"));
        QCOMPARE(formatMessage(m[Msg::InsertNewDisk], {2, QStringLiteral("a:")}),
                 QStringLiteral("Insert new disk for segment #2 in drive a:"));
    }
};

QTEST_GUILESS_MAIN(TstArchiveFormat)
#include "tst_archiveformat.moc"
