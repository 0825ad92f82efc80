// The inspections listing, the due listing, the equipment listing, the
// aircraft kit listing and the master gear list, laid out from a small shop.
#include "reportfixture.h"
#include "reports/catalog.h"
#include "reports/equipmentreports.h"
#include "reports/layout.h"

#include <QtTest>

using namespace kw::reports;
using kw::data::Row;
using kwtest::findItem;
using kwtest::lineAt;
using kwtest::ReportShop;

namespace {

// A master list entry; flags in the order Alse, Batt, Pyro, Med, Radio,
// Flotation, List 1, List 2.
Row listRow(const QString &nsn, const QString &nomen, const QString &inspType, int freq, const QString &flags = {})
{
    Row r(16);
    r[0] = nsn;
    r[2] = QStringLiteral("PN-") + nsn.right(4);
    r[3] = nomen;
    r[4] = QStringLiteral("EA");
    r[5] = QStringLiteral("1");
    r[6] = inspType;
    r[7] = freq;
    for (int i = 0; i < 8; ++i)
        r[8 + i] = flags.size() > i && flags[i] == QLatin1Char('1');
    return r;
}

Row itemRow(int hr, const QString &nsn, const QString &serial, const QVariant &due)
{
    return {QVariant(), hr, nsn, serial, 1, QVariant(), due, QVariant()};
}

Row kitRow(const QString &aircraft, const QString &type, const QString &inspType, int freq)
{
    return {QVariant(), aircraft, type, QStringLiteral("K-") + aircraft.right(3), QStringLiteral("LOT 1"),
            QDate(2028, 1, 31), inspType, freq, QVariant(), QDate(2027, 2, 1)};
}

// The text printed at x on the line that shows `key`.
QString besideOf(const ReportDocument &doc, const QString &key, int x)
{
    const PageItem *k = findItem(doc, 0, key);
    return k ? lineAt(doc, k->y).value(x) : QStringLiteral("<no line>");
}

// The shop of these tests: three holders; five master list entries of
// which one has no inspection; items due around 9 Dec 2026.
void fillShop(ReportShop &shop)
{
    shop.write(QStringLiteral("Hrdf"), {{101, QStringLiteral("SSG Lind"), QStringLiteral("HHC"), QString()},
                                        {102, QStringLiteral("CPT Baldwin"), QStringLiteral("A CO"), QString()}});
    shop.write(QStringLiteral("Lists"),
               {listRow(QStringLiteral("1111-01-111-1111"), QStringLiteral("VEST, SURVIVAL"), QStringLiteral("D"), 180, QStringLiteral("1")),
                listRow(QStringLiteral("2222-01-222-2222"), QStringLiteral("RAFT, LIFE"), QStringLiteral("Y"), 1, QStringLiteral("000001")),
                listRow(QStringLiteral("3333-01-333-3333"), QStringLiteral("RADIO, SURVIVAL"), QStringLiteral("D"), 90, QStringLiteral("00001")),
                listRow(QStringLiteral("4444-01-444-4444"), QStringLiteral("GLOVES, FLYERS"), QStringLiteral("N"), 0, QStringLiteral("00000001")),
                listRow(QStringLiteral("5555-01-555-5555"), QStringLiteral("KNIFE, POCKET"), QString(), 0, QStringLiteral("0000001"))});
    shop.write(QStringLiteral("Equipment"),
               {itemRow(101, QStringLiteral("1111-01-111-1111"), QStringLiteral("S-YESTERDAY"), QDate(2026, 12, 8)),
                itemRow(101, QStringLiteral("2222-01-222-2222"), QStringLiteral("S-TODAY"), QDate(2026, 12, 9)),
                itemRow(102, QStringLiteral("3333-01-333-3333"), QStringLiteral("S-TOMORROW"), QDate(2026, 12, 10)),
                itemRow(102, QStringLiteral("1111-01-111-1111"), QStringLiteral("S-NODATE"), QVariant()),
                itemRow(102, QStringLiteral("4444-01-444-4444"), QStringLiteral("S-NOINSP"), QDate(2026, 1, 1))});
}

} // namespace

class TstEquipmentReports : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        kw::data::Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(9, 30)));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // Titles by the tab the page shows, and the rows that tab lets through.
    void titlesAndRowsByTab_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("nomenclatures");
        // Equipment by type holds every item, with or without an inspection.
        const QStringList items{"VEST, SURVIVAL", "RAFT, LIFE", "RADIO, SURVIVAL", "VEST, SURVIVAL", "GLOVES, FLYERS"};
        QTest::newRow("gear, all") << "gear" << 0 << "ALSE Gear Listing of All Items" << items;
        QTest::newRow("gear, ALSE") << "gear" << 1 << "ALSE Gear Listing of ALSE Items" << QStringList{"VEST, SURVIVAL", "VEST, SURVIVAL"};
        QTest::newRow("gear, radios") << "gear" << 2 << "ALSE Gear Listing of Radios" << QStringList{"RADIO, SURVIVAL"};
        QTest::newRow("gear, flotation") << "gear" << 3 << "ALSE Gear Listing of Flotation Devices" << QStringList{"RAFT, LIFE"};
        QTest::newRow("gear, batteries") << "gear" << 4 << "ALSE Gear Listing of Batteries" << QStringList{};
        QTest::newRow("gear, pyro") << "gear" << 5 << "ALSE Gear Listing of Pyrotechnic Items" << QStringList{};
        QTest::newRow("gear, meds") << "gear" << 6 << "ALSE Gear Listing of Medical Items" << QStringList{};
        QTest::newRow("master, all") << "gear-master" << 0 << "ALSE Gear Master List of All Items"
                                     << QStringList{"VEST, SURVIVAL", "RAFT, LIFE", "RADIO, SURVIVAL", "GLOVES, FLYERS", "KNIFE, POCKET"};
        QTest::newRow("master, flotation") << "gear-master" << 3 << "ALSE Gear Master List of Flotation Devices" << QStringList{"RAFT, LIFE"};
        QTest::newRow("master, medical") << "gear-master" << 6 << "ALSE Gear Master List of Medical Items" << QStringList{};
        QTest::newRow("master, list 1") << "gear-master" << 7 << "ALSE Gear Master Add from List 1 Items" << QStringList{"KNIFE, POCKET"};
        QTest::newRow("master, list 2") << "gear-master" << 8 << "ALSE Gear Master Add from List 2 Items" << QStringList{"GLOVES, FLYERS"};
    }

    void titlesAndRowsByTab()
    {
        QFETCH(QString, report);
        QFETCH(int, tab);
        QFETCH(QString, title);
        QFETCH(QStringList, nomenclatures);
        ReportShop shop;
        fillShop(shop);
        shop.open({});
        ReportOptions o;
        o.tab = tab;
        auto r = createNamedReport(shop.dm, report, o, kw::settings::SetupTexts{.Company = "B Co"});
        const ReportDocument doc = layoutReport(*r);
        const PageItem *t = findItem(doc, 0, title);
        QVERIFY2(t, qPrintable(title));
        QCOMPARE(t->y, 48);
        QCOMPARE(t->align, Alignment::BandCenter);
        QCOMPARE(findItem(doc, 0, QStringLiteral("B Co"))->y, 24);
        const int nomenX = report == QLatin1String("gear") ? 168 : 288;
        QStringList printed;
        for (const PageItem &it : doc.pages[0].items)
            if (it.kind == ItemKind::Text && it.x == nomenX && it.y >= 97)
                printed << it.text;
        printed.sort();
        nomenclatures.sort();
        QCOMPARE(printed, nomenclatures);
    }

    void titleOfAnUnknownTabIsTheDesignCaption_data()
    {
        QTest::addColumn<int>("tab");
        QTest::newRow("past the last tab") << 9;
        QTest::newRow("no tab") << -1;
    }
    void titleOfAnUnknownTabIsTheDesignCaption()
    {
        QFETCH(int, tab);
        ReportShop shop;
        shop.open({});
        TGearReport gear(shop.dm, tab);
        TfrmGearMasterReport master(shop.dm, tab);
        for (Report *r : {static_cast<Report *>(&gear), static_cast<Report *>(&master)})
            QVERIFY(findItem(layoutReport(*r), 0, QStringLiteral("ALSE Gear Listing")));
        // The command line refuses a tab the page does not have.
        ReportOptions o;
        o.tab = tab;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, createNamedReport(shop.dm, QStringLiteral("gear-master"), o, {}));
    }

    // The due-by date cuts the list at the end of its day; items without a
    // due date are always due.
    void dueCutOff_data()
    {
        QTest::addColumn<QDate>("dueBy");
        QTest::addColumn<QString>("through");
        QTest::addColumn<QStringList>("serials");
        QTest::newRow("today") << QDate(2026, 12, 9) << "Through 9 Dec 2026"
                               << QStringList{"S-NODATE", "S-TODAY", "S-YESTERDAY"};
        QTest::newRow("tomorrow") << QDate(2026, 12, 10) << "Through 10 Dec 2026"
                                  << QStringList{"S-NODATE", "S-TODAY", "S-TOMORROW", "S-YESTERDAY"};
        QTest::newRow("long ago") << QDate(2020, 1, 1) << "Through 1 Jan 2020" << QStringList{"S-NODATE"};
    }

    void dueCutOff()
    {
        QFETCH(QDate, dueBy);
        QFETCH(QString, through);
        QFETCH(QStringList, serials);
        ReportShop shop;
        fillShop(shop);
        shop.open({&shop.dm.qryInsp});
        TInspDueReport r(shop.dm, dueBy);
        const ReportDocument doc = layoutReport(r);
        QCOMPARE(doc.title, QStringLiteral("Inspections Due"));
        QCOMPARE(findItem(doc, 0, QStringLiteral("ALSE Gear Inspections Due"))->y, 48);
        const PageItem *t = findItem(doc, 0, through);
        QVERIFY2(t, qPrintable(through));
        QCOMPARE(t->y, 64);
        QStringList printed;
        for (const PageItem &it : doc.pages[0].items)
            if (it.x == 440 && it.y >= 97 + 16)
                printed << it.text;
        printed.sort();
        QCOMPARE(printed, serials);
        // Refused rows leave no gaps: the printed lines follow each other.
        QList<int> ys;
        for (const PageItem &it : doc.pages[0].items)
            if (it.x == 440 && it.y >= 113)
                ys << it.y;
        std::sort(ys.begin(), ys.end());
        for (int i = 0; i < ys.size(); ++i)
            QCOMPARE(ys[i], 113 + 16 * i);
    }

    // Every line shows the inspection type of its own record as a word.
    void inspTypePerLine_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("key");    // text that finds the line
        QTest::addColumn<int>("typeX");
        QTest::addColumn<QString>("freq");
        QTest::addColumn<QString>("word");
        QTest::newRow("inspections, day") << "inspections" << "S-YESTERDAY" << 607 << "180" << "Day";
        QTest::newRow("inspections, year") << "inspections" << "S-TODAY" << 607 << "1" << "Year";
        QTest::newRow("master, day") << "gear-master" << "VEST, SURVIVAL" << 687 << "180" << "Day";
        QTest::newRow("master, year") << "gear-master" << "RAFT, LIFE" << 687 << "1" << "Year";
        QTest::newRow("master, none") << "gear-master" << "GLOVES, FLYERS" << 687 << "0" << "None";
        QTest::newRow("master, empty type after a word") << "gear-master" << "KNIFE, POCKET" << 687 << "0" << "";
        QTest::newRow("kits, none") << "kits" << "K-001" << 591 << "0" << "None";
        QTest::newRow("kits, day") << "kits" << "K-002" << 591 << "180" << "Day";
        QTest::newRow("kits, empty type") << "kits" << "K-003" << 591 << "30" << "";
    }

    void inspTypePerLine()
    {
        QFETCH(QString, report);
        QFETCH(QString, key);
        QFETCH(int, typeX);
        QFETCH(QString, freq);
        QFETCH(QString, word);
        ReportShop shop;
        fillShop(shop);
        shop.write(QStringLiteral("Kits"), {kitRow(QStringLiteral("AC-001"), QStringLiteral("SRU-21"), QStringLiteral("N"), 0),
                                            kitRow(QStringLiteral("AC-002"), QStringLiteral("FAK"), QStringLiteral("D"), 180),
                                            kitRow(QStringLiteral("AC-003"), QStringLiteral("FAK"), QString(), 30)});
        shop.open({});
        auto r = createNamedReport(shop.dm, report, {}, {});
        const ReportDocument doc = layoutReport(*r);
        QCOMPARE(besideOf(doc, key, typeX), word);
        QCOMPARE(besideOf(doc, key, typeX - (report == QLatin1String("inspections") ? 31 : report == QLatin1String("kits") ? 31 : 23)), freq);
    }

    // Column positions of each listing: headings and the first line.
    void columns_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("headings"); // x:text pairs
        QTest::addColumn<int>("headingY");
        QTest::newRow("inspections") << "inspections" << "0:HR #|48:HR Holder|224:Nomenclature|448:Ser #|576:Inspection|648:Due" << 81;
        QTest::newRow("gear") << "gear" << "0:HR #|48:HR Holder|168:Nomenclature|432:Ser #|576:Inspection|648:Due" << 81;
        QTest::newRow("kits") << "kits" << "0:Aircraft|64:Kit Type|160:Serial #|288:Flare Lot #|432:Food Exp|560:Inspection|648:Due" << 81;
        QTest::newRow("master") << "gear-master" << "0:NSN|288:Nomenclature|624:UI|656:Inspection" << 81;
    }

    void columns()
    {
        QFETCH(QString, report);
        QFETCH(QString, headings);
        QFETCH(int, headingY);
        ReportShop shop;
        fillShop(shop);
        shop.write(QStringLiteral("Kits"), {kitRow(QStringLiteral("AC-001"), QStringLiteral("SRU-21"), QStringLiteral("N"), 0)});
        shop.open({});
        auto r = createNamedReport(shop.dm, report, {}, {});
        const ReportDocument doc = layoutReport(*r);
        const QMap<int, QString> line = lineAt(doc, headingY);
        for (const QString &h : headings.split(QLatin1Char('|'))) {
            const int x = h.section(QLatin1Char(':'), 0, 0).toInt();
            QCOMPARE(line.value(x), h.section(QLatin1Char(':'), 1));
            QVERIFY(doc.fontOf(*findItem(doc, 0, line.value(x))).underline);
        }
        QVERIFY(!lineAt(doc, headingY + 16).isEmpty()); // the first record right under them
    }

    void inspectionsTitleAndDate()
    {
        ReportShop shop;
        fillShop(shop);
        shop.open({});
        auto r = createNamedReport(shop.dm, QStringLiteral("inspections"), {}, {});
        const ReportDocument doc = layoutReport(*r);
        QCOMPARE(doc.title, QStringLiteral("Kitwarden Inspections"));
        QCOMPARE(findItem(doc, 0, QStringLiteral("ALSE Gear Inspections"))->y, 48);
        const PageItem *date = findItem(doc, 0, QStringLiteral("12/9/2026"));
        QVERIFY(date);
        QCOMPARE(date->x, 8);
        QCOMPARE(date->y, 8);
        // Items without an inspection are not in the inspections query.
        QVERIFY(!findItem(doc, 0, QStringLiteral("S-NOINSP")));
        // The master list's date line has the time and the 6 pt size.
        auto m = createNamedReport(shop.dm, QStringLiteral("gear-master"), {}, {});
        const ReportDocument md = layoutReport(*m);
        const PageItem *printed = findItem(md, 0, QStringLiteral("Printed: 12/9/2026 9:30:00 AM"));
        QVERIFY(printed);
        QCOMPARE(md.fontOf(*printed).pointSize, 6.0);
        QCOMPARE(lineAt(md, 81 - 2).value(96), QStringLiteral("Part Number"));
    }
};

QTEST_MAIN(TstEquipmentReports)
#include "tst_equipmentreports.moc"
