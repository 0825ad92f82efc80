// Output of laid-out pages: the report file and its damage checks, text,
// CSV, HTML and PDF (with the positions of its text), and find.
#include "reportfixture.h"
#include "reports/exports.h"
#include "reports/hrdfreport.h"
#include "reports/layout.h"
#include "reports/painter.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace kw::reports;
using kwtest::ReportShop;

namespace {

// A holders list of n holders (two pages in two columns from 109 on); one
// holder's name holds a comma and an ampersand.
ReportDocument holdersDocument(int n)
{
    ReportShop shop;
    shop.holders(n);
    shop.write(QStringLiteral("Hrdf"), {{9000, QStringLiteral("Smith & Sons, Jo"), QStringLiteral("<HQ>"),
                                         QStringLiteral("555-9000")}});
    shop.open({&shop.dm.tblHrdf});
    THrdfReport r(shop.dm);
    r.setCaption(QStringLiteral("lblCompany"), QStringLiteral("B Co 2-10 AVN"));
    return layoutReport(r);
}

QByteArray savedBytes(const ReportDocument &doc)
{
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    saveReportFile(doc, b);
    return b.data();
}

// A file whose checksum is right but whose body is built here.
QByteArray fileWithBody(const QByteArray &body, quint32 version = 1)
{
    const QByteArray payload = qCompress(body);
    QByteArray out = "KWREPORT";
    QDataStream s(&out, QIODevice::WriteOnly | QIODevice::Append);
    s << version << quint32(payload.size());
    out += QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    return out + payload;
}

QByteArray bodyWithItemFont(quint16 font)
{
    QByteArray body;
    QDataStream s(&body, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_4);
    s << QStringLiteral("T") << qint32(816) << qint32(1056) << qint32(48) << qint32(48) << qint32(48) << qint32(48);
    s << quint32(1) << QStringLiteral("Arial") << 10.0 << false << false;
    s << quint32(1) << quint32(1);
    s << quint8(0) << quint8(0) << font << qint32(0) << qint32(0) << qint32(10) << qint32(16) << 10.0f
      << QStringLiteral("x");
    return body;
}

struct Word {
    double xMin, yMin, xMax, yMax;
    QString text;
};

QList<Word> pdfWords(const QString &pdf, int page)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
                                          QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")});
    p.waitForFinished();
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression re(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Word> words;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        QString text = m.captured(5);
        text.replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&gt;"), QLatin1String(">"))
            .replace(QLatin1String("&quot;"), QLatin1String("\"")).replace(QLatin1String("&amp;"), QLatin1String("&"));
        words.append({m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                      m.captured(4).toDouble(), text});
    }
    return words;
}

} // namespace

class TstReportExports : public QObject {
    Q_OBJECT
    ReportDocument m_doc;
    QTemporaryDir m_out;

private slots:
    void initTestCase()
    {
        kw::data::Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(9, 30)));
        m_doc = holdersDocument(130);
        QCOMPARE(m_doc.pageCount(), 2);
    }

    void reportFileRoundTrip()
    {
        const QString path = m_out.filePath(QStringLiteral("holders.kwr"));
        exportDocument(m_doc, path);
        const ReportDocument back = loadReportFile(path);
        QVERIFY(back == m_doc);
        QCOMPARE(back.pageCount(), 2);
        QCOMPARE(back.title, m_doc.title);
        // A changed item makes the documents differ (the comparison is real).
        ReportDocument changed = back;
        changed.pages[1].items[0].x += 1;
        QVERIFY(!(changed == m_doc));
    }

    void damagedReportFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray good = savedBytes(m_doc.pageCount() ? m_doc : holdersDocument(3));
        QByteArray flipped = good;
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x40);
        QByteArray newer = good;
        newer[11] = 2; // version, big-endian after the magic

        QTest::newRow("empty file") << QByteArray() << "not a Kitwarden report file";
        QTest::newRow("another file") << QByteArray("%PDF-1.4 something") << "not a Kitwarden report file";
        QTest::newRow("header cut short") << good.left(20) << "damaged (it ends early)";
        QTest::newRow("pages cut short") << good.left(good.size() - 10) << "damaged (it ends early)";
        QTest::newRow("one byte changed") << flipped << "damaged (checksum mismatch)";
        QTest::newRow("bytes after the end") << good + "xx" << "damaged (data after the end)";
        QTest::newRow("newer format") << newer << "newer version";
        QTest::newRow("font index out of range") << fileWithBody(bodyWithItemFont(3)) << "damaged (font index)";
        QTest::newRow("body cut short") << fileWithBody(bodyWithItemFont(0).chopped(3)) << "damaged (page items)";
        QTest::newRow("not compressed") << fileWithBody(QByteArray()).left(52) + QByteArray(8, '\x7f')
                                        << "damaged";
    }

    void damagedReportFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QBuffer b(&bytes);
        b.open(QIODevice::ReadOnly);
        try {
            loadReportFile(b);
            QFAIL("a damaged file was read");
        } catch (const ReportFileError &e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
        }
    }

    void wellFormedBodyLoads()
    {
        QByteArray bytes = fileWithBody(bodyWithItemFont(0));
        QBuffer b(&bytes);
        b.open(QIODevice::ReadOnly);
        const ReportDocument d = loadReportFile(b);
        QCOMPARE(d.pageCount(), 1);
        QCOMPARE(d.pages[0].items[0].text, QStringLiteral("x"));
    }

    void plainText()
    {
        const QString text = toPlainText(m_doc);
        const QStringList pages = text.split(QLatin1Char('\f'));
        QCOMPARE(pages.size(), 2);
        const QStringList lines = pages[0].split(QLatin1Char('\n'));
        // Headings of both columns on one line, at their positions / 6.
        const QString heads = *std::find_if(lines.begin(), lines.end(),
                                            [](const QString &l) { return l.contains(QLatin1String("Section")); });
        QCOMPARE(heads.indexOf(QLatin1String("HR #")), 0);
        QCOMPARE(heads.indexOf(QLatin1String("Holder")), 8);
        QCOMPARE(heads.indexOf(QLatin1String("HR #"), 1), 60);
        QVERIFY(lines.contains(QStringLiteral("Printed: 12/9/2026")));
        QVERIFY(pages[0].contains(QLatin1String("ALSE Hand Receipt Numbers")));
        QVERIFY(pages[1].contains(QLatin1String("Smith & Sons, Jo")));
        const QString first = *std::find_if(lines.begin(), lines.end(),
                                            [](const QString &l) { return l.contains(QLatin1String("Holder 0001")); });
        QVERIFY(first.startsWith(QLatin1String("1       Holder 0001")));
    }

    void csv()
    {
        const QStringList rows = toCsv(m_doc).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QVERIFY(rows.contains(QStringLiteral("HR #,Holder,Section,Phone,HR #,Holder,Section,Phone")));
        QVERIFY(rows.contains(QStringLiteral("1,Holder 0001,Sect 1,555-0001,55,Holder 0055,Sect 55,555-0055")));
        QVERIFY(rows.contains(QStringLiteral("9000,\"Smith & Sons, Jo\",<HQ>,555-9000")));
        QCOMPARE(rows.count(QStringLiteral("B Co 2-10 AVN")), 1); // the title band is on page 1 only
    }

    void html()
    {
        const QString html = toHtml(m_doc);
        QVERIFY(html.startsWith(QLatin1String("<!DOCTYPE html>")));
        QCOMPARE(html.count(QLatin1String("<div class=\"page\"")), 2);
        QVERIFY(html.contains(QLatin1String(">Smith &amp; Sons, Jo</span>")));
        QVERIFY(html.contains(QLatin1String(">&lt;HQ&gt;</span>")));
        // Holder 0001 at x 48 + 48 (margin), y 48 + 81.
        QVERIFY(html.contains(QRegularExpression(
            QStringLiteral("style=\"left:96\\.0px;top:129px\">Holder 0001</span>"))));
    }

    void pdfTextPositions()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext not installed");
        const QString path = m_out.filePath(QStringLiteral("holders.pdf"));
        exportDocument(m_doc, path);
        for (int p = 0; p < m_doc.pageCount(); ++p) {
            const QList<Word> words = pdfWords(path, p + 1);
            QVERIFY(!words.isEmpty());
            int checked = 0;
            for (const PageItem &it : m_doc.pages[p].items) {
                if (it.kind != ItemKind::Text || it.text.contains(QLatin1Char(' ')))
                    continue; // single words only: pdftotext splits at blanks
                const double x = 36 + 0.75 * it.textLeft();
                const double top = 36 + 0.75 * it.y, bottom = 36 + 0.75 * (it.y + it.h);
                auto w = std::find_if(words.begin(), words.end(), [&](const Word &w) {
                    return w.text == it.text && qAbs(w.xMin - x) < 0.5 && w.yMin > top - 1.5 && w.yMax < bottom + 1.5;
                });
                QVERIFY2(w != words.end(), qPrintable(QStringLiteral("%1 at %2,%3").arg(it.text).arg(x).arg(top)));
                ++checked;
            }
            QVERIFY(checked > 40);
        }
    }

    void exportFormatByExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("pdf") << "a.pdf" << QByteArray("%PDF-");
        QTest::newRow("upper-case PDF") << "a.PDF" << QByteArray("%PDF-");
        QTest::newRow("text") << "a.txt" << QByteArray("Printed: ");
        QTest::newRow("csv") << "a.csv" << QByteArray("Printed: ");
        QTest::newRow("html") << "a.html" << QByteArray("<!DOCTYPE html>");
        QTest::newRow("htm") << "a.htm" << QByteArray("<!DOCTYPE html>");
        QTest::newRow("report file") << "a.kwr" << QByteArray("KWREPORT");
    }

    void exportFormatByExtension()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, start);
        const QString path = m_out.filePath(name);
        exportDocument(m_doc, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(f.readAll().startsWith(start), qPrintable(name));
    }

    void unknownExtensionRefused()
    {
        const QString path = m_out.filePath(QStringLiteral("a.docx"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, exportDocument(m_doc, path));
        QVERIFY(!QFile::exists(path));
    }

    void find_data()
    {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<QStringList>("expected"); // "page:text" of each hit in order
        QTest::newRow("case does not count") << "smith" << QStringList{"1:Smith & Sons, Jo"};
        QTest::newRow("all pages, top to bottom") << "Holder 012" << QStringList{"1:Holder 0120", "1:Holder 0121",
                                                                                  "1:Holder 0122", "1:Holder 0123",
                                                                                  "1:Holder 0124", "1:Holder 0125",
                                                                                  "1:Holder 0126", "1:Holder 0127",
                                                                                  "1:Holder 0128", "1:Holder 0129"};
        QTest::newRow("nothing") << "zzz" << QStringList{};
    }

    void find()
    {
        QFETCH(QString, needle);
        QFETCH(QStringList, expected);
        QStringList got;
        for (const TextHit &h : findText(m_doc, needle)) {
            const PageItem &it = m_doc.pages[h.page].items[h.item];
            QCOMPARE(it.text.mid(h.start, h.length).toLower(), needle.toLower());
            got << QStringLiteral("%1:%2").arg(h.page).arg(it.text);
        }
        QCOMPARE(got, expected);
    }
};

QTEST_MAIN(TstReportExports)
#include "tst_reportexports.moc"
