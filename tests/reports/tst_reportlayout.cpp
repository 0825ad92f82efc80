// The layout engine on a report built here over the holders table: where
// bands land, when they move to the next column or page, what text the
// elements print.
#include "reportfixture.h"
#include "reports/fonts.h"
#include "reports/layout.h"

#include <QFontDatabase>
#include <QImage>
#include <QtTest>

using namespace kw::reports;
using kwtest::ReportShop;

namespace {

constexpr int kContent = 100; // printable height of the test pages

// Detail band: the holder's number at (0, 0).
struct TestReport : Report {
    explicit TestReport(kw::data::TdmMain &dm, int detailHeight = 20)
    {
        dataset = &dm.tblHrdf;
        page.paperHeight = kContent + page.topMargin + page.bottomMargin;
        addBand(BandKind::Detail, detailHeight).addData(0, 0, dm.tblHrdf, QStringLiteral("HR Number"));
    }
};

// Where the detail bands landed: pages separated by "|", each band as its
// y, or "x:y" when not in the first column.
QString placements(const ReportDocument &doc, const QSet<QString> &skip = {})
{
    QStringList pages;
    for (const Page &p : doc.pages) {
        QStringList at;
        for (const PageItem &it : p.items) {
            bool number = false;
            it.text.toInt(&number);
            if (it.kind != ItemKind::Text || !number || skip.contains(it.text))
                continue;
            at << (it.x == 0 ? QString::number(it.y) : QStringLiteral("%1:%2").arg(it.x).arg(it.y));
        }
        pages << at.join(QLatin1Char(','));
    }
    return pages.join(QLatin1Char('|'));
}

QFontMetricsF metrics96(const QString &family, double pt)
{
    static QImage dev = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(3780);
        i.setDotsPerMeterY(3780);
        return i;
    }();
    QFont f(family);
    f.setPointSizeF(pt);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return QFontMetricsF(f, &dev);
}

} // namespace

class TstReportLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        kw::data::Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(14, 5, 7)));
    }

    void bandsOnPages_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("detailHeight");
        QTest::addColumn<int>("titleHeight");
        QTest::addColumn<int>("pageHeaderHeight");
        QTest::addColumn<bool>("firstPageHeader");
        QTest::addColumn<bool>("refuseOdd");
        QTest::addColumn<QString>("expected");

        QTest::newRow("exact fit") << 5 << 20 << 0 << 0 << true << false << "0,20,40,60,80";
        QTest::newRow("one more breaks the page") << 6 << 20 << 0 << 0 << true << false << "0,20,40,60,80|0";
        QTest::newRow("title on page 1 only") << 10 << 20 << 30 << 0 << true << false
                                              << "30,50,70|0,20,40,60,80|0,20";
        QTest::newRow("page header from page 2 on") << 8 << 20 << 0 << 30 << false << false
                                                    << "0,20,40,60,80|30,50,70";
        QTest::newRow("page header on every page") << 4 << 20 << 0 << 30 << true << false << "30,50,70|30";
        QTest::newRow("title under the page header") << 4 << 20 << 20 << 30 << true << false << "50,70|30,50";
        QTest::newRow("refused bands leave no space") << 8 << 20 << 0 << 0 << true << true << "0,20,40,60";
        QTest::newRow("refused bands do not break pages") << 12 << 20 << 0 << 0 << true << true
                                                          << "0,20,40,60,80|0";
        QTest::newRow("band that does not fit moves whole") << 4 << 30 << 0 << 0 << true << false << "0,30,60|0";
        QTest::newRow("band taller than a page still prints") << 2 << 150 << 0 << 0 << true << false << "0|0";
        QTest::newRow("empty dataset") << 0 << 20 << 30 << 0 << true << false << "";
    }

    void bandsOnPages()
    {
        QFETCH(int, records);
        QFETCH(int, detailHeight);
        QFETCH(int, titleHeight);
        QFETCH(int, pageHeaderHeight);
        QFETCH(bool, firstPageHeader);
        QFETCH(bool, refuseOdd);
        QFETCH(QString, expected);

        ReportShop shop;
        shop.holders(records);
        shop.open({&shop.dm.tblHrdf});
        TestReport r(shop.dm, detailHeight);
        if (titleHeight)
            r.addBand(BandKind::Title, titleHeight).addLabel(0, 0, QStringLiteral("TITLE"));
        if (pageHeaderHeight)
            r.addBand(BandKind::PageHeader, pageHeaderHeight)
                .addSystem(0, 0, SystemData::PageNumber, QStringLiteral("Page "));
        r.firstPageHeader = firstPageHeader;
        if (refuseOdd)
            r.band(BandKind::Detail)->beforePrint = [&](Band &) {
                return shop.dm.tblHrdf.fieldByName(QStringLiteral("HR Number")).value().toInt() % 2 == 0;
            };

        const ReportDocument doc = layoutReport(r);
        QCOMPARE(placements(doc), expected);
        // The title stands at the top of page 1 (under a first-page header)
        // and nowhere else; the page header follows the option.
        for (int p = 0; p < doc.pageCount(); ++p) {
            const PageItem *title = kwtest::findItem(doc, p, QStringLiteral("TITLE"));
            QCOMPARE(bool(title), titleHeight > 0 && p == 0);
            if (title)
                QCOMPARE(title->y, firstPageHeader ? pageHeaderHeight : 0);
            const bool header = kwtest::findItem(doc, p, QStringLiteral("Page %1").arg(p + 1));
            QCOMPARE(header, pageHeaderHeight > 0 && (p > 0 || firstPageHeader));
        }
    }

    void twoColumns()
    {
        ReportShop shop;
        shop.holders(12);
        shop.open({&shop.dm.tblHrdf});
        TestReport r(shop.dm);
        r.columns = 2;
        r.addBand(BandKind::Title, 20).addLabel(0, 0, QStringLiteral("TITLE")).centred();
        r.addBand(BandKind::ColumnHeader, 10).addLabel(5, 0, QStringLiteral("HEAD"));
        const ReportDocument doc = layoutReport(r);

        // Down the first column, then the second (at half the 720-unit band),
        // then the next page; the title spans both columns.
        QCOMPARE(placements(doc), QStringLiteral("30,50,70,360:30,360:50,360:70|10,30,50,70,360:10,360:30"));
        const PageItem *title = kwtest::findItem(doc, 0, QStringLiteral("TITLE"));
        QVERIFY(title);
        QCOMPARE(title->x, 0);
        QCOMPARE(title->w, 720);
        // A column header at the top of every column of every page.
        for (int p = 0; p < 2; ++p) {
            QList<QPair<int, int>> heads;
            for (const PageItem &it : doc.pages[p].items)
                if (it.text == QLatin1String("HEAD"))
                    heads << qMakePair(it.x, it.y);
            const int top = p == 0 ? 20 : 0;
            QCOMPARE(heads, (QList<QPair<int, int>>{{5, top}, {365, top}}));
        }
    }

    void summary_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("detailHeight");
        QTest::addColumn<int>("summaryHeight");
        QTest::addColumn<int>("expectedPage");
        QTest::addColumn<int>("expectedY");

        QTest::newRow("after the last band") << 3 << 1 << 20 << 20 << 0 << 60;
        QTest::newRow("fills the page exactly") << 4 << 1 << 20 << 20 << 0 << 80;
        QTest::newRow("moves to the next page") << 5 << 1 << 20 << 20 << 1 << 0;
        QTest::newRow("empty dataset") << 0 << 1 << 20 << 20 << 0 << 0;
        QTest::newRow("below the longer column") << 4 << 2 << 30 << 10 << 0 << 90;
        QTest::newRow("two columns, then a new page") << 7 << 2 << 20 << 20 << 1 << 0;
    }

    void summary()
    {
        QFETCH(int, records);
        QFETCH(int, columns);
        QFETCH(int, detailHeight);
        QFETCH(int, summaryHeight);
        QFETCH(int, expectedPage);
        QFETCH(int, expectedY);

        ReportShop shop;
        shop.holders(records);
        shop.open({&shop.dm.tblHrdf});
        TestReport r(shop.dm, detailHeight);
        r.columns = columns;
        r.addBand(BandKind::Summary, summaryHeight).addLabel(0, 0, QStringLiteral("END"));
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(doc.pageCount(), expectedPage + 1);
        const PageItem *end = kwtest::findItem(doc, expectedPage, QStringLiteral("END"));
        QVERIFY(end);
        QCOMPARE(end->y, expectedY);
        QCOMPARE(end->x, 0);
    }

    void pageFooterOption_data()
    {
        QTest::addColumn<bool>("lastPageFooter");
        QTest::newRow("footer on the last page") << true;
        QTest::newRow("no footer on the last page") << false;
    }

    void pageFooterOption()
    {
        QFETCH(bool, lastPageFooter);
        ReportShop shop;
        shop.holders(6);
        shop.open({&shop.dm.tblHrdf});
        TestReport r(shop.dm);
        r.lastPageFooter = lastPageFooter;
        r.addBand(BandKind::PageFooter, 20).addLabel(0, 0, QStringLiteral("FOOT"));
        const ReportDocument doc = layoutReport(r);
        // The footer takes 20 of the 100 units: 4 bands per page.
        QCOMPARE(placements(doc), QStringLiteral("0,20,40,60|0,20"));
        const PageItem *foot = kwtest::findItem(doc, 0, QStringLiteral("FOOT"));
        QVERIFY(foot);
        QCOMPARE(foot->y, 80);
        QCOMPARE(bool(kwtest::findItem(doc, 1, QStringLiteral("FOOT"))), lastPageFooter);
    }

    // A text that does not fit its place prints smaller, in half points
    // down to the legible floor, on the baseline it was designed for; past
    // the floor it is cut with an ellipsis.
    void elementText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("autoSize");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("outcome"); // kept, shrunk, cut, nothing

        const QString vest = QStringLiteral("VEST, SURVIVAL SRU-21/P");
        QTest::newRow("auto widens to long text") << "VEST, SURVIVAL SRU-21/P WITH POUCHES" << true << 100 << 10
                                                  << "kept";
        QTest::newRow("fixed keeps short text") << "EA" << false << 100 << 60 << "kept";
        QTest::newRow("fixed shrinks a text a little too long") << vest << false << 100 << 120 << "shrunk";
        // -1: exactly as wide as the text at the floor size.
        QTest::newRow("fixed shrinks down to the floor") << vest << false << 100 << -1 << "shrunk";
        QTest::newRow("fixed cuts past the floor") << vest << false << 100 << 60 << "cut";
        QTest::newRow("fixed narrower than the ellipsis") << "W" << false << 100 << 3 << "nothing";
        QTest::newRow("auto shrinks at the band's edge") << vest << true << 600 << 0 << "shrunk";
        QTest::newRow("auto cut at the band's edge") << vest << true << 670 << 0 << "cut";
    }

    void elementText()
    {
        QFETCH(QString, text);
        QFETCH(bool, autoSize);
        QFETCH(int, x);
        QFETCH(int, width);
        QFETCH(QString, outcome);

        const QString family = installedFamily(QStringLiteral("Arial"));
        if (width < 0)
            width = int(std::ceil(metrics96(family, kLegibleFloorPt).horizontalAdvance(text)));
        ReportShop shop;
        shop.open({});
        Report r;
        Band &band = r.addBand(BandKind::Title, 20);
        // A text before it on its line, which a shrunk text keeps its row with.
        band.addLabel(0, 4, QStringLiteral("Row")).face(QStringLiteral("Arial")).size(10);
        Element &e = band.addLabel(x, 4, text).face(QStringLiteral("Arial")).size(10);
        if (!autoSize)
            e.fixed(width);
        const int room = autoSize ? 720 - x : width;
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(doc.pageCount(), 1);
        const auto &items = doc.pages[0].items;
        if (outcome == QLatin1String("nothing")) {
            QCOMPARE(items.size(), 1); // the row's first text only
            return;
        }
        QCOMPARE(items.size(), 2);
        const PageItem &it = items[1];
        // One printed line in the text and CSV exports.
        QCOMPARE(doc.textLines(0).size(), 1);
        const double pt = doc.fontOf(it).pointSize;
        const QFontMetricsF fm = metrics96(family, pt);
        QCOMPARE(it.x, x);
        QCOMPARE(it.w, autoSize ? int(std::ceil(fm.horizontalAdvance(it.text))) : width);
        QVERIFY(fm.horizontalAdvance(it.text) <= room + 0.01);
        // On the designed baseline, within rounding.
        QVERIFY(qAbs(it.y + fm.ascent() - (4 + metrics96(family, 10).ascent())) <= 0.5);
        if (outcome == QLatin1String("kept")) {
            QCOMPARE(it.text, text);
            QCOMPARE(pt, 10.0);
        } else if (outcome == QLatin1String("shrunk")) {
            QCOMPARE(it.text, text);
            QVERIFY(pt < 10 && pt >= kLegibleFloorPt);
            // The largest half-point size that fits.
            QVERIFY(metrics96(family, pt + 0.5).horizontalAdvance(text) > room);
        } else {
            QCOMPARE(pt, kLegibleFloorPt);
            QVERIFY(it.text.endsWith(kEllipsis));
            const QString head = it.text.chopped(kEllipsis.size());
            QVERIFY(!head.isEmpty() && text.startsWith(head));
            QVERIFY(fm.horizontalAdvance(text) > room); // it did not fit at the floor
            QVERIFY(fm.horizontalAdvance(text.left(head.size() + 1) + kEllipsis) > room); // longest that fits
        }
    }

    // An auto-sized text has the room up to 2 units short of the next text
    // on its line; rules, centred texts and texts on other lines do not
    // limit it.
    void autoTextStopsAtItsNeighbour_data()
    {
        QTest::addColumn<int>("kind"); // 0 label, 1 rule, 2 centred label
        QTest::addColumn<int>("nextX");
        QTest::addColumn<int>("nextY");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expectFitted");
        const QString longText = QStringLiteral("VEST, SURVIVAL SRU-21/P WITH POUCHES");
        QTest::newRow("long text, neighbour on its line") << 0 << 160 << 0 << longText << true;
        QTest::newRow("neighbour a few units lower") << 0 << 160 << 6 << longText << true;
        QTest::newRow("room enough at a smaller size") << 0 << 280 << 0 << longText << true;
        QTest::newRow("neighbour on the next line") << 0 << 160 << 16 << longText << false;
        QTest::newRow("short text fits") << 0 << 160 << 0 << QStringLiteral("EA") << false;
        QTest::newRow("trailing blanks do not count") << 0 << 126 << 0 << QStringLiteral("To:      ") << false;
        QTest::newRow("neighbour to the left") << 0 << 50 << 0 << longText << false;
        QTest::newRow("a rule is no neighbour") << 1 << 160 << 0 << longText << false;
        QTest::newRow("a centred text is no neighbour") << 2 << 160 << 0 << longText << false;
    }

    void autoTextStopsAtItsNeighbour()
    {
        QFETCH(int, kind);
        QFETCH(int, nextX);
        QFETCH(int, nextY);
        QFETCH(QString, text);
        QFETCH(bool, expectFitted);

        ReportShop shop;
        shop.open({});
        Report r;
        Band &b = r.addBand(BandKind::Title, 40);
        b.addLabel(100, 0, text).face(QStringLiteral("Arial")).size(10);
        if (kind == 1)
            b.addRule(nextX, nextY, 40, 10);
        else if (kind == 2)
            b.addLabel(nextX, nextY, QStringLiteral("Title")).centred();
        else
            b.addLabel(nextX, nextY, QStringLiteral("Next"));
        const ReportDocument doc = layoutReport(r);
        const PageItem *printed = nullptr;
        for (const PageItem &i : doc.pages[0].items)
            if (i.kind == ItemKind::Text && i.x == 100)
                printed = &i;
        QVERIFY(printed);
        const double pt = doc.fontOf(*printed).pointSize;
        if (!expectFitted) {
            QCOMPARE(printed->text, text);
            QCOMPARE(pt, 10.0);
            return;
        }
        const int room = nextX - 100 - 2;
        QVERIFY(pt < 10);
        QVERIFY(metrics96(installedFamily(QStringLiteral("Arial")), pt).horizontalAdvance(printed->text) <= room + 0.01);
        QVERIFY(printed->text == text || printed->text.endsWith(kEllipsis));
    }

    void alignment_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("columnBand");
        QTest::newRow("centred across the band") << int(Alignment::BandCenter) << 1 << false;
        QTest::newRow("centred in its column") << int(Alignment::BandCenter) << 2 << true;
        QTest::newRow("title centred across both columns") << int(Alignment::BandCenter) << 2 << false;
        QTest::newRow("right-aligned in its width") << int(Alignment::Right) << 1 << false;
    }

    void alignment()
    {
        QFETCH(int, alignment);
        QFETCH(int, columns);
        QFETCH(bool, columnBand);
        ReportShop shop;
        shop.holders(1);
        shop.open({&shop.dm.tblHrdf});
        Report r;
        r.dataset = &shop.dm.tblHrdf;
        r.columns = columns;
        Band &b = r.addBand(columnBand ? BandKind::Detail : BandKind::Title, 20);
        Element &e = b.addLabel(200, 0, QStringLiteral("Sub Hand Receipt"));
        if (Alignment(alignment) == Alignment::Right)
            e.rightAligned(150);
        else
            e.centred();
        const ReportDocument doc = layoutReport(r);
        const PageItem *it = kwtest::findItem(doc, 0, QStringLiteral("Sub Hand Receipt"));
        QVERIFY(it);
        const double w = metrics96(installedFamily(QStringLiteral("Arial")), 10)
                             .horizontalAdvance(QStringLiteral("Sub Hand Receipt"));
        double left = 0;
        if (Alignment(alignment) == Alignment::Right)
            left = 200 + 150 - w;
        else
            left = ((columnBand ? 720 / columns : 720) - w) / 2;
        QVERIFY2(qAbs(it->textLeft() - left) < 0.5, qPrintable(QString::number(it->textLeft())));
    }

    void systemTexts()
    {
        ReportShop shop;
        shop.holders(7);
        shop.open({&shop.dm.tblHrdf});
        TestReport r(shop.dm);
        Band &ph = r.addBand(BandKind::PageHeader, 20);
        ph.addSystem(0, 0, SystemData::PageNumber, QStringLiteral("Page: "));
        ph.addSystem(100, 0, SystemData::Date, QStringLiteral("Printed: "));
        ph.addSystem(300, 0, SystemData::DateTime);
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(doc.pageCount(), 2);
        for (int p = 0; p < 2; ++p) {
            QVERIFY(kwtest::findItem(doc, p, QStringLiteral("Page: %1").arg(p + 1)));
            QVERIFY(kwtest::findItem(doc, p, QStringLiteral("Printed: 12/9/2026")));
            QVERIFY(kwtest::findItem(doc, p, QStringLiteral("12/9/2026 2:05:07 PM")));
        }
    }

    // The walk starts at the first record whatever the cursor, keeps the
    // dataset's order and filter, and leaves it on its last record.
    void walksTheDatasetAsItStands_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("by number") << "HRNUM" << "" << "1,2,3,4";
        QTest::newRow("by holder name") << "Holder" << "" << "3,1,4,2";
        QTest::newRow("filtered") << "HRNUM" << "Section = 'Ops'" << "2,4";
    }

    void walksTheDatasetAsItStands()
    {
        QFETCH(QString, index);
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        ReportShop shop;
        shop.write(QStringLiteral("Hrdf"), {{1, QStringLiteral("Chan"), QStringLiteral("HQ"), QString()},
                                            {2, QStringLiteral("Moss"), QStringLiteral("Ops"), QString()},
                                            {3, QStringLiteral("Abel"), QStringLiteral("HQ"), QString()},
                                            {4, QStringLiteral("Fox"), QStringLiteral("Ops"), QString()}});
        shop.open({&shop.dm.tblHrdf});
        auto &t = shop.dm.tblHrdf;
        t.setIndexName(index);
        if (!filter.isEmpty()) {
            t.setFilter(filter);
            t.setFiltered(true);
        }
        t.last();
        int reportHandler = 0, bandHandler = 0;
        Report r;
        r.dataset = &t;
        Band &d = r.addBand(BandKind::Detail, 16);
        d.addData(0, 0, t, QStringLiteral("HR Number"));
        d.beforePrint = [&](Band &) { ++bandHandler; return true; };
        r.beforePrint = [&](Report &) {
            QCOMPARE(bandHandler, 0);
            ++reportHandler;
        };
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(kwtest::pageTexts(doc, 0).join(QLatin1Char(',')), expected);
        QCOMPARE(reportHandler, 1);
        QCOMPARE(bandHandler, int(expected.count(QLatin1Char(',')) + 1));
        QCOMPARE(t.recNo(), t.recordCount() - 1);
        QVERIFY(t.eof());
    }

    void subDetailPerMasterRecord()
    {
        ReportShop shop;
        shop.write(QStringLiteral("Drawer"), {{QStringLiteral("D1")}, {QStringLiteral("D2")}});
        shop.write(QStringLiteral("Bin"), {{QStringLiteral("B1")}, {QStringLiteral("B2")}, {QStringLiteral("B3")}});
        shop.open({&shop.dm.tblDrawer, &shop.dm.tblBin});
        Report r;
        r.dataset = &shop.dm.tblDrawer;
        r.addBand(BandKind::Detail, 16).addData(0, 0, shop.dm.tblDrawer, QStringLiteral("Drawer"));
        Band &sub = r.addBand(BandKind::SubDetail, 20);
        sub.dataset = &shop.dm.tblBin;
        sub.addData(56, 0, shop.dm.tblBin, QStringLiteral("Bin"));
        sub.beforePrint = [&](Band &) {
            return shop.dm.tblBin.fieldByName(QStringLiteral("Bin")).asString() != QLatin1String("B2");
        };
        const ReportDocument doc = layoutReport(r);
        QStringList got;
        for (const PageItem &it : doc.pages[0].items)
            got << QStringLiteral("%1@%2").arg(it.text).arg(it.y);
        QCOMPARE(got.join(QLatin1Char(' ')), QStringLiteral("D1@0 B1@16 B3@36 D2@56 B1@72 B3@92"));
    }

    void stopAfterFirstPage()
    {
        ReportShop shop;
        shop.holders(30);
        shop.open({&shop.dm.tblHrdf});
        TestReport r(shop.dm);
        ReportDocument doc;
        QList<int> seen;
        const bool finished = layoutReport(r, doc, [&](int pages) {
            seen << pages;
            return false;
        });
        QVERIFY(!finished);
        QCOMPARE(seen, QList<int>{1});
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(placements(doc), QStringLiteral("0,20,40,60,80"));
    }

    void fontsMapToInstalledFaces_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QString>("face");
        QTest::newRow("Arial") << "Arial" << "Liberation Sans";
        QTest::newRow("Tahoma") << "Tahoma" << "Tahoma";
    }

    void fontsMapToInstalledFaces()
    {
        QFETCH(QString, requested);
        QFETCH(QString, face);
        loadApplicationFonts();
        if (!QFontDatabase::families().contains(face))
            QSKIP("face not installed");
        QCOMPARE(installedFamily(requested), face);
    }
};

QTEST_MAIN(TstReportLayout)
#include "tst_reportlayout.moc"
