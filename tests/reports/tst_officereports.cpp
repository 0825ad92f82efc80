// The inventory sheet, the parts on hand, the master office parts list and
// the technical manual listing, laid out from a small shop.
#include "reportfixture.h"
#include "reports/catalog.h"
#include "reports/layout.h"
#include "reports/officereports.h"

#include <QtTest>

using namespace kw::reports;
using kw::data::Row;
using kwtest::findItem;
using kwtest::lineAt;
using kwtest::ReportShop;

namespace {

// A master office part; flags in the order Operational Load, Bench Stock,
// PLL, Class VIII, Shop Stock.
Row partsListRow(const QString &nsn, const QString &nomen, int reorder, const QString &flags = {})
{
    Row r(12);
    r[0] = nsn;
    r[2] = nomen;
    r[3] = QStringLiteral("PN-") + nsn.right(4);
    r[4] = QStringLiteral("EA");
    r[5] = 2;
    r[6] = reorder;
    for (int i = 0; i < 5; ++i)
        r[7 + i] = flags.size() > i && flags[i] == QLatin1Char('1');
    return r;
}

Row partRow(const QString &drawer, const QString &bin, const QString &nsn, const QVariant &onHand)
{
    return {QVariant(), drawer, bin, nsn, onHand};
}

Row manualRow(const QString &number, const QString &binder, const QString &book)
{
    return {QVariant(), number, binder, book, 1, QDate(2024, 5, 1), QStringLiteral("TM"), QStringLiteral("Title of ") + number,
            QDate(2020, 1, 2), 1};
}

int linesAt(const ReportDocument &doc, int y)
{
    int n = 0;
    for (const PageItem &it : doc.pages.at(0).items)
        n += it.kind == ItemKind::Line && it.y == y;
    return n;
}

// Four office parts in the master list: a bench stock item, a PLL item and
// two others.
void fillParts(ReportShop &shop)
{
    shop.write(QStringLiteral("PartsList"),
               {partsListRow(QStringLiteral("1111-00-000-0001"), QStringLiteral("WASHER, FLAT"), 10, QStringLiteral("01")),
                partsListRow(QStringLiteral("2222-00-000-0002"), QStringLiteral("O-RING"), 20, QStringLiteral("001")),
                partsListRow(QStringLiteral("3333-00-000-0003"), QStringLiteral("SCREW, CAP"), 30),
                partsListRow(QStringLiteral("4444-00-000-0004"), QStringLiteral("NUT, SELF-LOCKING"), 40)});
}

} // namespace

class TstOfficeReports : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { kw::data::Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(9, 30))); }

    // One line per drawer and bin; the first part stored there, in the
    // order the parts are shown, fills it; drawer and bin match exactly.
    void inventorySheet()
    {
        ReportShop shop;
        fillParts(shop);
        shop.write(QStringLiteral("Drawer"), {{QStringLiteral("A")}, {QStringLiteral("B")}, {QStringLiteral("a")}});
        shop.write(QStringLiteral("Bin"), {{QStringLiteral("1")}, {QStringLiteral("2")}, {QStringLiteral("3")}, {QStringLiteral("4")}});
        shop.write(QStringLiteral("Parts"), {partRow(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1111-00-000-0001"), 5),
                                             partRow(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("2222-00-000-0002"), 6),
                                             partRow(QStringLiteral("B"), QStringLiteral("3"), QStringLiteral("3333-00-000-0003"), 7),
                                             partRow(QStringLiteral("A"), QStringLiteral("2 "), QStringLiteral("4444-00-000-0004"), 8)});
        // The page shows the parts by NSN, last first: the O-ring comes
        // before the washer stored at the same place.
        QStringList sql = shop.dm.qryParts.sql();
        sql.last() = QStringLiteral("ORDER BY P.NSN DESC");
        shop.dm.qryParts.setSql(sql);
        shop.open({&shop.dm.tblDrawer, &shop.dm.tblBin, &shop.dm.qryParts});
        TfrmInventory r(shop.dm);
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(doc.title, QStringLiteral("Inventory Sheet"));
        QCOMPARE(findItem(doc, 0, QStringLiteral("Inventory Sheet"))->y, 32);
        QCOMPARE(lineAt(doc, 65).value(641), QStringLiteral("Reorder Point"));
        QVERIFY(!doc.fontOf(*findItem(doc, 0, QStringLiteral("Reorder Point"))).underline);

        // Drawer lines at 81, 177, 273; bins 20 apart under each.
        struct Expect { int y; QMap<int, QString> texts; };
        const QMap<int, QString> none;
        QList<Expect> expected;
        const QStringList drawers{"A", "B", "a"};
        for (int d = 0; d < 3; ++d) {
            const int top = 81 + d * 96;
            expected.append({top, {{0, drawers[d]}}});
            for (int b = 0; b < 4; ++b) {
                QMap<int, QString> line{{56, QString::number(b + 1)}};
                if (d == 0 && b == 0)
                    line.insert({{90, "2222-00-000-0002"}, {194, "PN-0002"}, {354, "O-RING"}, {674, "20"}});
                if (d == 1 && b == 2)
                    line.insert({{90, "3333-00-000-0003"}, {194, "PN-0003"}, {354, "SCREW, CAP"}, {674, "30"}});
                expected.append({top + 16 + 20 * b, line});
            }
        }
        for (const Expect &e : expected) {
            QCOMPARE(lineAt(doc, e.y), e.texts);
            if (e.texts.contains(56)) // each bin line has its counting rule
                QCOMPARE(linesAt(doc, e.y + 14), 1);
        }
        QVERIFY(!findItem(doc, 0, QStringLiteral("WASHER, FLAT"))); // second part at A/1
        QVERIFY(!findItem(doc, 0, QStringLiteral("NUT, SELF-LOCKING"))); // bin "2 " is not bin "2"
    }

    void partsListByTab_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("nomenclatures");
        QTest::newRow("all") << 0 << "All Office Supplies" << QStringList{"WASHER, FLAT", "O-RING", "SCREW, CAP"};
        QTest::newRow("bench stock") << 1 << "Bench Stock Listing" << QStringList{"WASHER, FLAT"};
        QTest::newRow("class VIII") << 2 << "Class VIII Listing" << QStringList{};
        QTest::newRow("operational load") << 3 << "Operational Load Listing" << QStringList{};
        QTest::newRow("PLL") << 4 << "PLL Listing" << QStringList{"O-RING"};
        QTest::newRow("shop stock") << 5 << "Shop Stock Listing" << QStringList{};
    }

    // Titles and rows by tab; parts without an on-hand quantity are left
    // off, 0 prints right-aligned; the signature lines carry the setup names.
    void partsListByTab()
    {
        QFETCH(int, tab);
        QFETCH(QString, title);
        QFETCH(QStringList, nomenclatures);
        ReportShop shop;
        fillParts(shop);
        shop.write(QStringLiteral("Parts"), {partRow(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1111-00-000-0001"), 0),
                                             partRow(QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("2222-00-000-0002"), 12),
                                             partRow(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("3333-00-000-0003"), 3),
                                             partRow(QStringLiteral("B"), QStringLiteral("2"), QStringLiteral("4444-00-000-0004"), QVariant())});
        shop.open({});
        ReportOptions o;
        o.tab = tab;
        const kw::settings::SetupTexts texts{.Company = "B Co", .AlseOfficer = {}, .Prepared = "SGT Prep",
                                             .Authorized = "MAJ Auth", .Approved = "CPT Appr"};
        auto r = createNamedReport(shop.dm, QStringLiteral("parts"), o, texts);
        const ReportDocument doc = layoutReport(*r);
        QCOMPARE(doc.title, QStringLiteral("Inventory Sheet"));
        QCOMPARE(findItem(doc, 0, title)->y, 32);
        QStringList printed;
        for (const PageItem &it : doc.pages[0].items)
            if (it.x == 345 && it.y >= 81)
                printed << it.text;
        QCOMPARE(printed, nomenclatures);
        if (const PageItem *washer = findItem(doc, 0, QStringLiteral("WASHER, FLAT"))) {
            const QMap<int, QString> line = lineAt(doc, washer->y);
            QCOMPARE(line.value(1), QStringLiteral("A"));
            QCOMPARE(line.value(638), QStringLiteral("0"));
            const PageItem *oh = nullptr;
            for (const PageItem &it : doc.pages[0].items)
                if (it.x == 638 && it.y == washer->y)
                    oh = &it;
            QCOMPARE(oh->align, Alignment::Right);
            QCOMPARE(oh->w, 28);
        }
        // Signature lines below the last part.
        const int end = 81 + 16 * int(nomenclatures.size());
        const QMap<int, QString> captions = lineAt(doc, end + 24);
        QCOMPARE(captions, (QMap<int, QString>{{0, "Prepared By:"}, {265, "Approved By:"}, {506, "Authorized By:"}}));
        QCOMPARE(linesAt(doc, end + 38), 3);
        QCOMPARE(lineAt(doc, end + 42), (QMap<int, QString>{{77, "SGT Prep"}, {344, "CPT Appr"}, {592, "MAJ Auth"}}));
    }

    void partsTitlesOutsideTheTabs()
    {
        ReportShop shop;
        shop.open({});
        TfrmPartsList list(shop.dm, 6, {});
        TfrmPartsMstrList master(shop.dm, -1);
        QVERIFY(findItem(layoutReport(list), 0, QStringLiteral("Parts List")));
        QVERIFY(findItem(layoutReport(master), 0, QStringLiteral("Master Parts List")));
    }

    void partsMasterByTab_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("nomenclatures");
        QTest::newRow("all") << 0 << "Master List of All Office Supplies"
                             << QStringList{"WASHER, FLAT", "O-RING", "SCREW, CAP", "NUT, SELF-LOCKING"};
        QTest::newRow("bench stock") << 1 << "Master List of Bench Stock Items" << QStringList{"WASHER, FLAT"};
        QTest::newRow("class VIII") << 2 << "Master List of Class VIII Items" << QStringList{};
        QTest::newRow("operational load") << 3 << "Master List of Operational Load Items" << QStringList{};
        QTest::newRow("PLL") << 4 << "Master List of PLL Items" << QStringList{"O-RING"};
        QTest::newRow("shop stock") << 5 << "Master List of Shop Stock Items" << QStringList{};
    }

    void partsMasterByTab()
    {
        QFETCH(int, tab);
        QFETCH(QString, title);
        QFETCH(QStringList, nomenclatures);
        ReportShop shop;
        fillParts(shop);
        shop.open({});
        ReportOptions o;
        o.tab = tab;
        auto r = createNamedReport(shop.dm, QStringLiteral("parts-master"), o, {});
        const ReportDocument doc = layoutReport(*r);
        QCOMPARE(doc.title, QStringLiteral("Parts List"));
        QCOMPARE(findItem(doc, 0, title)->y, 32);
        QCOMPARE(lineAt(doc, 65), (QMap<int, QString>{{1, "NSN"}, {120, "Part Number"}, {313, "Nomenclature"},
                                                      {585, "UI"}, {618, "Auth"}, {665, "Reorder"}}));
        QStringList printed;
        for (const PageItem &it : doc.pages[0].items)
            if (it.x == 313 && it.y >= 81)
                printed << it.text;
        printed.sort();
        nomenclatures.sort();
        QCOMPARE(printed, nomenclatures);
    }

    void binderAndBook_data()
    {
        QTest::addColumn<QString>("binder");
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("shown");
        QTest::newRow("binder and book") << "3" << "12" << "3 / 12";
        QTest::newRow("binder, no book") << "3" << "" << "3 /";
        QTest::newRow("book, no binder") << "" << "12" << "";
        QTest::newRow("neither") << "" << "" << "";
    }

    // The first column joins binder and book; without a binder it is empty,
    // and the next manual does not inherit the previous one's text.
    void binderAndBook()
    {
        QFETCH(QString, binder);
        QFETCH(QString, book);
        QFETCH(QString, shown);
        ReportShop shop;
        shop.write(QStringLiteral("TechManuals"), {manualRow(QStringLiteral("1-1500-204-23-1"), QStringLiteral("1"), QStringLiteral("1")),
                                                   manualRow(QStringLiteral("9-9999-999-99"), binder, book)});
        shop.open({&shop.dm.tblTechMan});
        TfrmTechMan r(shop.dm);
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(doc.title, QStringLiteral("Technical Manual Listing"));
        QCOMPARE(lineAt(doc, 65), (QMap<int, QString>{{0, "Binder/"}, {560, "On"}, {609, "Change"}, {664, "Change"}}));
        QCOMPARE(lineAt(doc, 81), (QMap<int, QString>{{0, "Book"}, {56, "Publication"}, {224, "Title"}, {480, "Date"},
                                                      {554, "Hand"}, {608, "Number"}, {673, "Date"}}));
        QVERIFY(doc.fontOf(*findItem(doc, 0, QStringLiteral("Publication"))).underline);
        QVERIFY(!doc.fontOf(*findItem(doc, 0, QStringLiteral("Binder/"))).underline);
        const PageItem *number = findItem(doc, 0, QStringLiteral("9-9999-999-99"));
        QVERIFY(number);
        QCOMPARE(number->x, 99);
        QCOMPARE(lineAt(doc, number->y).value(0).trimmed(), shown);
        QCOMPARE(lineAt(doc, findItem(doc, 0, QStringLiteral("1-1500-204-23-1"))->y).value(0), QStringLiteral("1 / 1"));
    }
};

QTEST_MAIN(TstOfficeReports)
#include "tst_officereports.moc"
