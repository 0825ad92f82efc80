// Find across the shop's tables: which record each kind of text finds and
// in which field, the order of exact, starting and inside matches, NSNs
// with or without dashes, one hit per record, the limit, and the index
// following a change of a table.
#include "clirun.h"
#include "data/engine/session.h"
#include "data/shop/shopfind.h"
#include "dueshop.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::data;
using kwtest::DueShop;

Q_DECLARE_METATYPE(kw::data::FindPlace)

namespace {

void add(const QString &dir, const QString &file, Row row)
{
    auto t = ParadoxTable::open(kw::core::findFileNoCase(dir, file), {shop::kTablePassword});
    t->insert(row);
    t->close();
}

QString keyText(const QVariant &key)
{
    QStringList parts;
    for (const QVariant &v : key.value<Row>())
        parts << v.toString();
    return parts.join(QLatin1Char('|'));
}

} // namespace

class TestShopFind : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir{kwtest::scratchTemplate()};
    std::unique_ptr<Session> m_session;
    int m_item = 0, m_kit = 0;

private slots:
    void initTestCase()
    {
        const QString dir = m_dir.path();
        {
            DueShop shop(dir);
            m_item = shop.item(QStringLiteral("V-123"), QStringLiteral("D"), QDate(2027, 1, 1));
            shop.item(QStringLiteral("V-1234"), QStringLiteral("N"), QDate());
            shop.item(QStringLiteral("XV-123"), QStringLiteral(""), QDate(), DueShop::kNoHolder);
            m_kit = shop.kit(QStringLiteral("K-77"), QStringLiteral("D"), QDate(), QDate(), QStringLiteral("87-24512"));
        }
        add(dir, QStringLiteral("Hrdf.DB"), {2, QStringLiteral("KOWALCZYK, ROSA"), QStringLiteral("HHC"), QVariant()});
        Row manual(10);
        manual[1] = QStringLiteral("TM 55-1680-351-10");
        manual[2] = QStringLiteral("1");
        manual[3] = QStringLiteral("2");
        manual[7] = QStringLiteral("SRU-21/P SURVIVAL VEST");
        add(dir, QStringLiteral("TechManuals.DB"), manual);
        Row part(12);
        part[0] = QStringLiteral("5310-00-300-0003");
        part[2] = QStringLiteral("NUT, SELF-LOCKING");
        add(dir, QStringLiteral("PartsList.DB"), part);
        add(dir, QStringLiteral("Parts.DB"), {QVariant(), QStringLiteral("A7"), QStringLiteral("09"),
                                             QStringLiteral("5310-00-300-0003"), 12});
        add(dir, QStringLiteral("Aircraft.DB"), {QStringLiteral("87-24512")});
        add(dir, QStringLiteral("Drawer.DB"), {QStringLiteral("A7")});
        add(dir, QStringLiteral("Bin.DB"), {QStringLiteral("09")});
        m_session = std::make_unique<Session>();
        shop::prepareSession(*m_session);
    }

    // The first hit for a text: where it stands, the field that matched,
    // how well, and the record's key.
    void firstHit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<FindPlace>("place");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("key"); // "item", "kit" or the key's text
        QTest::addColumn<int>("match");
        const int exact = int(FindHit::Match::Exact), start = int(FindHit::Match::Start),
                  inside = int(FindHit::Match::Inside);
        QTest::newRow("serial, exact beats longer") << "v-123" << FindPlace::Item << "Serial Number" << "item" << exact;
        QTest::newRow("serial, start of it") << "V-12" << FindPlace::Item << "Serial Number" << "item" << start;
        QTest::newRow("NSN with dashes") << "8465-00-000-0001" << FindPlace::Item << "NSN" << "item" << exact;
        QTest::newRow("NSN without dashes") << "8465000000001" << FindPlace::Item << "NSN" << "item" << exact;
        QTest::newRow("nomenclature of an item") << "vest type d" << FindPlace::Item << "Nomenclature" << "item" << exact;
        QTest::newRow("holder name") << "kowalczyk" << FindPlace::Holder << "HR Holder" << "2" << start;
        QTest::newRow("HR number") << "2" << FindPlace::Holder << "HR Number" << "2" << exact;
        QTest::newRow("kit serial") << "K-77" << FindPlace::Kit << "Serial Number" << "kit" << exact;
        QTest::newRow("tail number: the kit first") << "87-24512" << FindPlace::Kit << "Aircraft" << "kit" << exact;
        QTest::newRow("TM number") << "1680-351" << FindPlace::Manual << "Number" << "1" << inside;
        QTest::newRow("TM title") << "survival vest" << FindPlace::Manual << "Title" << "1" << inside;
        QTest::newRow("bench stock nomenclature") << "self-locking" << FindPlace::BenchStock << "Nomenclature" << "1"
                                                  << inside;
        QTest::newRow("drawer") << "a7" << FindPlace::BenchStock << "Drawer" << "1" << exact;
        QTest::newRow("master part number") << "5310-00-300" << FindPlace::BenchStock << "NSN" << "1" << start;
        QTest::newRow("blanks around") << "  K-77 " << FindPlace::Kit << "Serial Number" << "kit" << exact;
    }
    void firstHit()
    {
        QFETCH(QString, text);
        QFETCH(FindPlace, place);
        QFETCH(QString, field);
        QFETCH(QString, key);
        QFETCH(int, match);
        const FindResult r = ShopFind(*m_session).find(m_dir.path(), text);
        QVERIFY(!r.hits.isEmpty());
        const FindHit &h = r.hits.first();
        QCOMPARE(h.place, place);
        QCOMPARE(h.field, field);
        QCOMPARE(int(h.match), match);
        const QString want = key == QLatin1String("item") ? QString::number(m_item)
                             : key == QLatin1String("kit") ? QString::number(m_kit)
                                                           : key;
        QCOMPARE(keyText(h.key), want);
    }

    // Every place of a text, in order: exact, start, inside; by place
    // within each; one hit per record.
    void order()
    {
        ShopFind find(*m_session);
        QStringList got;
        const FindResult r = find.find(m_dir.path(), QStringLiteral("87-24512"));
        for (const FindHit &h : r.hits)
            got << findPlaceCaption(h.place) + QLatin1Char('/') + h.field;
        QCOMPARE(got, (QStringList{"Aircraft Equipment/Aircraft", "Program Setup/Aircraft"}));
        got.clear();
        for (const FindHit &h : find.find(m_dir.path(), QStringLiteral("v-123")).hits)
            got << h.value;
        QCOMPARE(got, (QStringList{"V-123", "V-1234", "XV-123"}));
        // "A7" is the bench stock row's drawer and a drawer of its own.
        got.clear();
        for (const FindHit &h : find.find(m_dir.path(), QStringLiteral("A7")).hits)
            got << findPlaceCaption(h.place) + QLatin1Char('/') + h.row;
        QCOMPARE(got, (QStringList{"Office Supplies/drawer A7, bin 09 \u00b7 5310-00-300-0003 NUT, SELF-LOCKING \u00b7 12 on hand",
                                   "Program Setup/Drawer A7"}));
    }

    // What an item's hit says of it: its holder and which pages list it.
    void itemDetails_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("inspections");
        QTest::addColumn<bool>("byType");
        QTest::addColumn<QString>("row");
        QTest::newRow("D item with a holder") << "V-123" << true << true
                                              << "HR 1 BAKER, ANN \u00b7 8465-00-000-0001 VEST TYPE D \u00b7 serial V-123";
        QTest::newRow("N item") << "V-1234" << false << true
                                << "HR 1 BAKER, ANN \u00b7 8465-00-000-0003 VEST TYPE N \u00b7 serial V-1234";
        QTest::newRow("no holder, not listed") << "XV-123" << false << false
                                               << "HR 99 (no holder) \u00b7 9999-00-000-0000 (not in the master list) "
                                                  "\u00b7 serial XV-123";
    }
    void itemDetails()
    {
        QFETCH(QString, serial);
        QFETCH(bool, inspections);
        QFETCH(bool, byType);
        QFETCH(QString, row);
        const FindResult r = ShopFind(*m_session).find(m_dir.path(), serial);
        const FindHit &h = r.hits.first();
        QCOMPARE(h.value, serial);
        QCOMPARE(h.onInspections, inspections);
        QCOMPARE(h.onByType, byType);
        QCOMPARE(h.row, row);
        // Without a holder no page shows it, and the hit says why.
        QCOMPARE(h.notShown.contains(QLatin1String("No holder has HR # 99")), serial == QLatin1String("XV-123"));
        QCOMPARE(h.notShown.isEmpty(), serial != QLatin1String("XV-123"));
    }

    void limitAndNothing()
    {
        ShopFind find(*m_session);
        const FindResult all = find.find(m_dir.path(), QStringLiteral("-"));
        QVERIFY(all.total > 5);
        QCOMPARE(all.hits.size(), all.total);
        const FindResult two = find.find(m_dir.path(), QStringLiteral("-"), 2);
        QCOMPARE(two.total, all.total);
        QCOMPARE(two.hits.size(), 2);
        QCOMPARE(find.find(m_dir.path(), QStringLiteral("no such thing")).total, 0);
        QCOMPARE(find.find(m_dir.path(), QStringLiteral("   ")).total, 0);
    }

    // A row stored after the first search is found by the next one; a
    // changed master list renames the items found by nomenclature.
    void followsChanges()
    {
        ShopFind find(*m_session);
        QCOMPARE(find.find(m_dir.path(), QStringLiteral("NEW-9")).total, 0);
        ParadoxTable *items = m_session->table(m_dir.path(), QStringLiteral("Equipment.DB"));
        Row r(8);
        r[1] = 1;
        r[2] = DueShop::nsnOf(QStringLiteral("Y"));
        r[3] = QStringLiteral("NEW-9");
        items->insert(r);
        QCOMPARE(find.find(m_dir.path(), QStringLiteral("NEW-9")).total, 1);
        ParadoxTable *list = m_session->table(m_dir.path(), QStringLiteral("Lists.DB"));
        const int at = list->findKey(Row{DueShop::nsnOf(QStringLiteral("Y"))});
        Row entry = list->row(at);
        entry[3] = QStringLiteral("RAFT, LIFE");
        list->update(at, entry);
        const FindResult rafts = find.find(m_dir.path(), QStringLiteral("raft, life"));
        QStringList got;
        for (const FindHit &h : rafts.hits)
            got << findPlaceCaption(h.place) + QLatin1Char('/') + h.value;
        QCOMPARE(got, (QStringList{"Hand Receipts/RAFT, LIFE", "Master Equipment List/RAFT, LIFE"}));
    }
};

QTEST_MAIN(TestShopFind)
#include "tst_shopfind.moc"
