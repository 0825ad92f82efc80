// The holders list and the sub hand receipt, laid out from a small shop.
#include "reportfixture.h"
#include "reports/fonts.h"
#include "reports/hrdfreport.h"
#include "reports/hrreport.h"
#include "reports/layout.h"
#include "reports/reportheaders.h"

#include <QtTest>

using namespace kw::reports;
using kwtest::findItem;
using kwtest::ReportShop;
using kw::data::Row;

namespace {

Row listRow(const QString &nsn, const QString &lin, const QString &nomen)
{
    Row r(16);
    r[0] = nsn;
    r[1] = lin;
    r[3] = nomen;
    r[4] = QStringLiteral("EA");
    r[5] = QStringLiteral("2");
    r[6] = QStringLiteral("D");
    r[7] = 30;
    return r;
}

// An item of holder hr; oh null = no on-hand quantity.
Row itemRow(int hr, const QString &nsn, const QString &serial, const QVariant &oh)
{
    return {QVariant(), hr, nsn, serial, oh, QVariant(), QVariant(), QVariant()};
}

const PageItem *itemAt(const ReportDocument &doc, int page, int x, int y)
{
    for (const PageItem &it : doc.pages.at(page).items)
        if (it.kind == ItemKind::Text && it.x == x && it.y == y)
            return &it;
    return nullptr;
}

} // namespace

class TstHrReports : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        kw::data::Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(9, 30)));
    }

    void holdersColumns_data()
    {
        QTest::addColumn<int>("holders");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QList<int>>("xs");
        QTest::newRow("55 holders: one column") << 55 << 1 << QList<int>{176, 216, 352, 448};
        QTest::newRow("56 holders: two columns") << 56 << 2 << QList<int>{0, 48, 152, 272};
        QTest::newRow("one holder") << 1 << 1 << QList<int>{176, 216, 352, 448};
    }

    void holdersColumns()
    {
        QFETCH(int, holders);
        QFETCH(int, columns);
        QFETCH(QList<int>, xs);
        ReportShop shop;
        shop.holders(holders);
        shop.open({&shop.dm.tblHrdf});
        THrdfReport r(shop.dm);
        r.setCaption(QStringLiteral("lblCompany"), QStringLiteral("B Co 2-10 AVN"));
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(r.columns, columns);

        // Headings and the first holder's values at the four positions.
        const QStringList heads = {QStringLiteral("HR #"), QStringLiteral("Holder"), QStringLiteral("Section"),
                                   QStringLiteral("Phone")};
        const QStringList first = {QStringLiteral("1"), QStringLiteral("Holder 0001"), QStringLiteral("Sect 1"),
                                   QStringLiteral("555-0001")};
        for (int i = 0; i < 4; ++i) {
            const PageItem *h = findItem(doc, 0, heads[i]);
            QVERIFY(h);
            QCOMPARE(h->x, xs[i]);
            QCOMPARE(h->y, 65);
            QVERIFY(doc.fontOf(*h).bold && doc.fontOf(*h).underline);
            const PageItem *v = findItem(doc, 0, first[i]);
            QVERIFY(v);
            QCOMPARE(v->x, xs[i]);
            QCOMPARE(v->y, 81);
        }
        // Every holder printed once, in the second column when there are two.
        int printed = 0;
        for (int p = 0; p < doc.pageCount(); ++p)
            for (const PageItem &it : doc.pages[p].items)
                if (it.text.startsWith(QLatin1String("Holder ")))
                    ++printed;
        QCOMPARE(printed, holders);
        if (columns == 2) {
            const PageItem *last = findItem(doc, 0, QStringLiteral("Holder %1").arg(holders, 4, 10, QLatin1Char('0')));
            QVERIFY(last);
            QCOMPARE(last->x, 360 + 48);
            QCOMPARE(doc.pageCount(), 1);
        }
        // Title block.
        const PageItem *company = findItem(doc, 0, QStringLiteral("B Co 2-10 AVN"));
        QVERIFY(company);
        QCOMPARE(company->y, 8);
        QCOMPARE(doc.fontOf(*company).family, QStringLiteral("Tahoma"));
        QCOMPARE(doc.fontOf(*company).pointSize, 14.0);
        QVERIFY(qAbs(company->textLeft() + company->textWidth / 2 - 360) < 0.5);
        const PageItem *title = findItem(doc, 0, QStringLiteral("ALSE Hand Receipt Numbers"));
        QVERIFY(title);
        QCOMPARE(title->y, 32);
        QVERIFY(doc.fontOf(*title).bold);
        const PageItem *printedAt = findItem(doc, 0, QStringLiteral("Printed: 12/9/2026"));
        QVERIFY(printedAt);
        QCOMPARE(printedAt->x, 0);
        QCOMPARE(doc.fontOf(*printedAt).pointSize, 8.0);
        QCOMPARE(doc.title, QStringLiteral("Kitwarden Hand Receipt Numbers"));
    }

    // Each laid-out report starts from the design positions: a second run
    // on fewer holders goes back to one column.
    void holdersColumnsRecomputedPerRun()
    {
        ReportShop shop;
        shop.holders(60);
        shop.open({&shop.dm.tblHrdf});
        THrdfReport r(shop.dm);
        layoutReport(r);
        QCOMPARE(r.columns, 2);
        shop.dm.tblHrdf.setFilter(QStringLiteral("[HR Number] <= 10"));
        shop.dm.tblHrdf.setFiltered(true);
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(r.columns, 1);
        QCOMPARE(findItem(doc, 0, QStringLiteral("Holder 0001"))->x, 216);
    }

    // Long values print smaller, or cut with an ellipsis past the legible
    // floor, and never reach the next column (the section's 113 units would
    // run 17 past the phone's x, so it has 94).
    void holderFieldsStayInTheirPlaces()
    {
        ReportShop shop;
        shop.write(QStringLiteral("Hrdf"), {{7, QStringLiteral("Kowalczyk-Lindqvist, Bartholomew"),
                                            QStringLiteral("STANDARDIZATION"), QStringLiteral("5551234567")}});
        shop.open({&shop.dm.tblHrdf});
        THrdfReport r(shop.dm);
        const ReportDocument doc = layoutReport(r);
        const QList<int> xs = {176, 216, 352, 448};
        QMap<int, const PageItem *> row; // the detail line, by x
        for (const PageItem &it : doc.pages[0].items)
            if (it.kind == ItemKind::Text && it.y >= 81 && it.y < 81 + 16)
                row.insert(it.x, &it);
        QCOMPARE(row.keys(), xs);
        for (int col = 0; col < 4; ++col) {
            const PageItem &it = *row.value(xs[col]);
            QVERIFY2(it.textWidth <= it.w, qPrintable(it.text));
            QVERIFY(doc.fontOf(it).pointSize >= kLegibleFloorPt);
            if (col < 3) {
                QVERIFY(it.w <= THrdfReport::kWidths[col]);
                QVERIFY2(it.x + it.w < xs[col + 1], qPrintable(it.text));
            }
        }
        QCOMPARE(row.value(448)->text, QStringLiteral("5551234567"));
        QCOMPARE(doc.fontOf(*row.value(448)).pointSize, 10.0);
        QCOMPARE(row.value(352)->text, QStringLiteral("STANDARDIZATION")); // smaller, whole
        QVERIFY(doc.fontOf(*row.value(352)).pointSize < 10.0);
        // The 30 characters the holder field keeps do not fit even at the
        // floor: cut, and visibly so.
        const QString holder = row.value(216)->text;
        QVERIFY2(holder.endsWith(kEllipsis), qPrintable(holder));
        QVERIFY(QStringLiteral("Kowalczyk-Lindqvist, Bartholomew").startsWith(holder.chopped(1)));
    }

    void handReceiptItems_data()
    {
        QTest::addColumn<QVariant>("oh");
        QTest::addColumn<bool>("printed");
        QTest::newRow("OH 3 printed") << QVariant(3) << true;
        QTest::newRow("OH 0 printed") << QVariant(0) << true;
        QTest::newRow("empty OH left off") << QVariant() << false;
    }

    void handReceiptItems()
    {
        QFETCH(QVariant, oh);
        QFETCH(bool, printed);
        ReportShop shop;
        shop.write(QStringLiteral("Hrdf"), {{12, QStringLiteral("Ng, Tam"), QStringLiteral("HHC"), QStringLiteral("555-0112")}});
        shop.write(QStringLiteral("Lists"), {listRow(QStringLiteral("8465-01-111-1111"), QStringLiteral("V11111"),
                                                     QStringLiteral("VEST, SURVIVAL"))});
        shop.write(QStringLiteral("Equipment"), {itemRow(12, QStringLiteral("8465-01-111-1111"), QStringLiteral("SN-1"), 1),
                                                 itemRow(12, QStringLiteral("8465-01-111-1111"), QStringLiteral("SN-2"), oh)});
        shop.open({&shop.dm.tblHrdf, &shop.dm.tblList, &shop.dm.tblHr});
        THrReport r(shop.dm);
        const ReportDocument doc = layoutReport(r);
        QVERIFY(findItem(doc, 0, QStringLiteral("SN-1")));
        const PageItem *sn2 = findItem(doc, 0, QStringLiteral("SN-2"));
        QCOMPARE(bool(sn2), printed);
        // Refused items leave no gap: the summary follows the printed rows.
        const int rows = printed ? 2 : 1;
        const PageItem *sig = findItem(doc, 0, QStringLiteral("Signature"));
        QVERIFY(sig);
        QCOMPARE(sig->y, 144 + rows * 16 + 16);
        if (printed) {
            QCOMPARE(sn2->x, 488);
            QCOMPARE(sn2->y, 160);
            const PageItem *ohText = itemAt(doc, 0, 696, 160);
            QVERIFY(ohText);
            QCOMPARE(ohText->text, oh.toString());
        }
    }

    void handReceiptTitleBlock()
    {
        ReportShop shop;
        shop.write(QStringLiteral("Hrdf"), {{12, QStringLiteral("Ng, Tam"), QStringLiteral("HHC"), QStringLiteral("555-0112")}});
        shop.write(QStringLiteral("Lists"), {listRow(QStringLiteral("8465-01-111-1111"), QStringLiteral("V11111"),
                                                     QStringLiteral("VEST, SURVIVAL"))});
        shop.write(QStringLiteral("Equipment"), {itemRow(12, QStringLiteral("8465-01-111-1111"), QStringLiteral("SN-1"), 1),
                                                 itemRow(12, QStringLiteral("9999-99-999-9999"), QStringLiteral("SN-X"), 1)});
        shop.open({&shop.dm.tblHrdf, &shop.dm.tblList, &shop.dm.tblHr});
        THrReport r(shop.dm);
        r.setCaption(QStringLiteral("lblCompany"), QStringLiteral("B Co"));
        r.setCaption(QStringLiteral("lblCompanyFrom"), QStringLiteral("B Co"));
        r.setCaption(QStringLiteral("lblAlseOfficer"), QStringLiteral("CW2 Ortiz"));
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(doc.title, QStringLiteral("Kitwarden Hand Receipt"));

        struct At { const char *text; int x, y; };
        const At expected[] = {
            {"Page: 1", 8, 16}, {"HR #", 640, 16}, {"12", 672, 16}, {"Printed: 12/9/2026", 8, 32},
            {"From: ALSE Officer", 8, 64}, {"B Co", 45, 80}, {"CW2 Ortiz", 45, 96}, {"To: ", 536, 64},
            {"Ng, Tam", 560, 64}, {"HHC", 560, 80}, {"555-0112", 560, 96},
            {"LIN", 8, 128}, {"NSN", 64, 128}, {"Nomenclature", 208, 128}, {"Ser #", 488, 128},
            {"UI", 616, 128}, {"Auth", 648, 128}, {"OH", 696, 128},
            // the first item, its LIN and look-ups from the master list
            {"V11111", 8, 144}, {"8465-01-111-1111", 64, 144}, {"VEST, SURVIVAL", 208, 144},
            {"SN-1", 488, 144}, {"EA", 616, 144}, {"2", 648, 144}, {"1", 696, 144},
        };
        for (const At &a : expected) {
            const PageItem *it = itemAt(doc, 0, a.x, a.y);
            QVERIFY2(it, a.text);
            QCOMPARE(it->text, QLatin1String(a.text));
        }
        QVERIFY(findItem(doc, 0, QStringLiteral("Sub Hand Receipt"))->y == 40);
        QCOMPARE(findItem(doc, 0, QStringLiteral("B Co"))->align, Alignment::BandCenter);
        QVERIFY(doc.fontOf(*findItem(doc, 0, QStringLiteral("Nomenclature"))).underline);
        // An item not in the master list: no LIN, no look-ups.
        QVERIFY(!itemAt(doc, 0, 8, 160));
        QVERIFY(!itemAt(doc, 0, 208, 160));
        QCOMPARE(itemAt(doc, 0, 488, 160)->text, QStringLiteral("SN-X"));
        // Laying out leaves the items on their last record.
        QCOMPARE(shop.dm.tblHr.recNo(), 1);
    }

    // The summary's rules lie level with the bottom of their captions.
    void signatureLines()
    {
        ReportShop shop;
        shop.write(QStringLiteral("Hrdf"), {{12, QStringLiteral("Ng, Tam"), QString(), QString()}});
        shop.open({&shop.dm.tblHrdf, &shop.dm.tblList, &shop.dm.tblHr});
        THrReport r(shop.dm);
        const ReportDocument doc = layoutReport(r);
        QList<QPair<int, int>> rules;
        for (const PageItem &it : doc.pages[0].items)
            if (it.kind == ItemKind::Line)
                rules << qMakePair(it.x, it.w);
        QCOMPARE(rules, (QList<QPair<int, int>>{{96, 129}, {272, 65}, {384, 65}}));
        for (const char *caption : {"Signature", "Rank", "Date"}) {
            const PageItem *c = findItem(doc, 0, QLatin1String(caption));
            QVERIFY(c);
            QCOMPARE(c->y, 144 + 16);
            for (const PageItem &it : doc.pages[0].items)
                if (it.kind == ItemKind::Line)
                    QVERIFY(qAbs(it.lineY() - (c->y + c->h)) <= 3); // within 1/32 inch
        }
    }

    // A holder without items still gets a receipt naming its number.
    void holderWithoutItems()
    {
        ReportShop shop;
        shop.write(QStringLiteral("Hrdf"), {{12, QStringLiteral("Ng, Tam"), QString(), QString()},
                                            {31, QStringLiteral("Ruiz, Ana"), QString(), QString()}});
        shop.write(QStringLiteral("Equipment"), {itemRow(12, QStringLiteral("1"), QStringLiteral("SN-1"), 1)});
        shop.open({&shop.dm.tblHrdf, &shop.dm.tblList, &shop.dm.tblHr});
        QVERIFY(shop.dm.tblHrdf.findKey({31}));
        THrReport r(shop.dm);
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(doc.pageCount(), 1);
        const PageItem *hr = itemAt(doc, 0, 672, 16);
        QVERIFY(hr);
        QCOMPARE(hr->text, QStringLiteral("31"));
        QVERIFY(findItem(doc, 0, QStringLiteral("Ruiz, Ana")));
        QVERIFY(findItem(doc, 0, QStringLiteral("Signature")));
        QVERIFY(!findItem(doc, 0, QStringLiteral("SN-1")));
    }

    // Page 1 has the title block; every later page the short header with
    // its page number and the HR number.
    void longReceipt()
    {
        ReportShop shop;
        shop.write(QStringLiteral("Hrdf"), {{12, QStringLiteral("Ng, Tam"), QString(), QString()}});
        QVector<Row> items;
        for (int i = 1; i <= 120; ++i)
            items.append(itemRow(12, QStringLiteral("1000-00-000-%1").arg(i, 4, 10, QLatin1Char('0')),
                                 QStringLiteral("SN-%1").arg(i, 3, 10, QLatin1Char('0')), 1));
        shop.write(QStringLiteral("Equipment"), items);
        shop.open({&shop.dm.tblHrdf, &shop.dm.tblList, &shop.dm.tblHr});
        THrReport r(shop.dm);
        const ReportDocument doc = layoutReport(r);
        // 51 items under the 144-unit title block, 55 under the 65-unit header.
        QCOMPARE(doc.pageCount(), 3);
        QCOMPARE(itemAt(doc, 0, 488, 144 + 50 * 16)->text, QStringLiteral("SN-051"));
        QCOMPARE(itemAt(doc, 1, 488, 65)->text, QStringLiteral("SN-052"));
        QCOMPARE(itemAt(doc, 2, 488, 65)->text, QStringLiteral("SN-107"));
        for (int p = 0; p < doc.pageCount(); ++p) {
            QCOMPARE(bool(findItem(doc, p, QStringLiteral("Sub Hand Receipt"))), p == 0);
            QCOMPARE(bool(findItem(doc, p, QStringLiteral("From: ALSE Officer"))), p == 0);
            const int headY = p == 0 ? 16 : 8;
            QCOMPARE(itemAt(doc, p, 8, headY)->text, QStringLiteral("Page: %1").arg(p + 1));
            QCOMPARE(itemAt(doc, p, 640, headY)->text, QStringLiteral("HR #"));
            QCOMPARE(itemAt(doc, p, 672, headY)->text, QStringLiteral("12"));
            QCOMPARE(itemAt(doc, p, 8, p == 0 ? 128 : 48)->text, QStringLiteral("LIN"));
        }
        QVERIFY(findItem(doc, 2, QStringLiteral("Signature")));
    }

    void inspTypeCaption_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("caption");
        QTest::newRow("N") << "N" << "None";
        QTest::newRow("D") << "D" << "Day";
        QTest::newRow("Y") << "Y" << "Year";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("lower case") << "d" << "";
        QTest::newRow("other letter") << "X" << "";
    }

    void inspTypeCaption()
    {
        QFETCH(QString, type);
        QFETCH(QString, caption);
        QCOMPARE(kw::reports::inspTypeCaption(type), caption);
    }
};

QTEST_MAIN(TstHrReports)
#include "tst_hrreports.moc"
