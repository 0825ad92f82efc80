#include "data/shop/demoshop.h"

#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"

#include <QDir>
#include <QSet>
#include <QStringList>

namespace kw::data::shop {

namespace {

// Small deterministic generator (the demo must not change between runs).
class Rng {
public:
    explicit Rng(quint64 seed) : m_s(seed) {}
    quint32 next()
    {
        m_s = m_s * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32(m_s >> 33);
    }
    int upTo(int n) { return n <= 0 ? 0 : int(next() % quint32(n)); }
    bool chance(int percent) { return upTo(100) < percent; }
    template <class T> const T &pick(const QList<T> &l) { return l[upTo(int(l.size()))]; }

private:
    quint64 m_s;
};

struct Kind {
    const char *noun;
    const char *flag; // category flag, or nullptr
    const char *type; // "D", "Y" or "N"
    int freq;
    const char *ui;
};

const Kind kKinds[] = {
    {"VEST, SURVIVAL", "Alse", "D", 120, "EA"},      {"HELMET, FLYERS", "Alse", "D", 120, "EA"},
    {"RADIO, SURVIVAL", "Radio", "D", 90, "EA"},     {"BATTERY, LITHIUM", "Batt", "Y", 1, "EA"},
    {"SIGNAL, SMOKE AND ILLUM", "Pyro", "Y", 2, "EA"}, {"FLARE, SURVIVAL", "Pyro", "Y", 3, "EA"},
    {"KIT, FIRST AID", "Med", "D", 180, "KT"},       {"PRESERVER, LIFE", "Flotation", "D", 90, "EA"},
    {"RAFT, LIFE, 1 MAN", "Flotation", "Y", 1, "EA"}, {"GLOVES, FLYERS", nullptr, "N", 0, "PR"},
    {"MASK, OXYGEN", "Alse", "D", 30, "EA"},         {"KNIFE, SURVIVAL", "Alse", "N", 0, "EA"},
    {"STROBE LIGHT, DISTRESS", "Alse", "D", 180, "EA"}, {"HOLSTER, SURVIVAL", nullptr, "N", 0, "EA"},
    {"BEACON, LOCATOR", "Radio", "Y", 1, "EA"},      {"TOURNIQUET, COMBAT", "Med", "Y", 2, "EA"},
};

const QStringList kModels = {QStringLiteral("SRU-21/P"), QStringLiteral("HGU-56/P"), QStringLiteral("PRC-112G"),
                             QStringLiteral("MK-124"), QStringLiteral("LPU-10/P"), QStringLiteral("MS-2000"),
                             QStringLiteral("SDU-5/E"), QStringLiteral("ACR-4"), QStringLiteral("CSEL"),
                             QStringLiteral("M-2"), QStringLiteral("TYPE II"), QStringLiteral("SM"),
                             QStringLiteral("MD"), QStringLiteral("LG"), QStringLiteral("XL")};
const QStringList kLast = {QStringLiteral("ABERNATHY"), QStringLiteral("BALDWIN"), QStringLiteral("CASTILLO"),
                           QStringLiteral("DEVEREAUX"), QStringLiteral("ELLSWORTH"), QStringLiteral("FONTAINE"),
                           QStringLiteral("GUTIERREZ"), QStringLiteral("HOLLOWAY"), QStringLiteral("IVERSEN"),
                           QStringLiteral("JANKOWSKI"), QStringLiteral("KOWALCZYK"), QStringLiteral("LINDQVIST"),
                           QStringLiteral("MARCHETTI"), QStringLiteral("NAKAMURA"), QStringLiteral("OKONKWO"),
                           QStringLiteral("PETERSEN"), QStringLiteral("QUINTERO"), QStringLiteral("RASMUSSEN")};
const QStringList kRank = {QStringLiteral("SGT"), QStringLiteral("SSG"), QStringLiteral("SFC"),
                           QStringLiteral("CW2"), QStringLiteral("CPT"), QStringLiteral("1LT"), QStringLiteral("SPC")};
const QStringList kSections = {QStringLiteral("A CO"), QStringLiteral("B CO"), QStringLiteral("C CO"),
                               QStringLiteral("HHC"), QStringLiteral("FLIGHT OPS"), QStringLiteral("AVIM"),
                               QStringLiteral("STANDARDIZATION")};

QString nsn(Rng &r, int fsc)
{
    return QStringLiteral("%1-01-%2-%3")
        .arg(fsc)
        .arg(100 + r.upTo(900))
        .arg(1000 + r.upTo(9000));
}

// Collects a table's rows and writes them as one change: the demo is built
// in seconds rather than one durable write per row. Rows whose key was
// already added are dropped, so the batch never fails on a key.
class Writer {
public:
    Writer(const QString &dir, const QString &table)
    {
        const ShopTable *t = findTable(table);
        m_keyed = t->def.keyFieldCount > 0 && t->def.fields[0].type != FieldType::AutoInc;
        m_table = ParadoxTable::open(QDir(dir).filePath(t->fileName), {kTablePassword});
    }
    ~Writer() noexcept(false)
    {
        m_table->insertRows(m_rows);
        m_table->close();
    }
    bool add(Row row)
    {
        if (m_keyed) {
            const QString key = row[0].toString();
            if (m_keys.contains(key))
                return false;
            m_keys.insert(key);
        }
        m_rows.push_back(std::move(row));
        return true;
    }

private:
    std::unique_ptr<ParadoxTable> m_table;
    QVector<Row> m_rows;
    QSet<QString> m_keys;
    bool m_keyed = false;
};


// The master equipment list; returns its NSNs, and in inspNsns those with
// day or year inspections.
QStringList demoMasterList(const QString &dir, const DemoSize &size, Rng &r, QStringList &inspNsns)
{
    QStringList nsns;
    {
        Writer w(dir, QStringLiteral("Lists"));
        const QStringList flags = {QStringLiteral("Alse"), QStringLiteral("Batt"), QStringLiteral("Pyro"),
                                   QStringLiteral("Med"), QStringLiteral("Radio"), QStringLiteral("Flotation")};
        while (nsns.size() < size.masterItems) {
            const Kind &k = kKinds[r.upTo(int(std::size(kKinds)))];
            const QString n = nsn(r, 8400 + r.upTo(100));
            Row row(16);
            row[0] = n;
            row[1] = QStringLiteral("%1%2").arg(QChar('A' + r.upTo(26))).arg(10000 + r.upTo(89999));
            row[2] = QStringLiteral("P%1-%2").arg(r.upTo(99999), 5, 10, QLatin1Char('0')).arg(r.upTo(99));
            row[3] = QStringLiteral("%1 %2").arg(QLatin1String(k.noun), r.pick(kModels));
            row[4] = QLatin1String(k.ui);
            row[5] = QString::number(1 + r.upTo(20));
            row[6] = QLatin1String(k.type);
            row[7] = k.freq;
            for (int f = 0; f < flags.size(); ++f)
                row[8 + f] = k.flag && flags[f] == QLatin1String(k.flag);
            row[14] = r.chance(15);
            row[15] = r.chance(10);
            if (!w.add(row))
                continue;
            nsns << n;
            if (QLatin1String(k.type) != QLatin1String("N"))
                inspNsns << n;
        }
    }

    return nsns;
}

// Holders, and items signed to them: most need inspecting, some overdue.
void demoHandReceipts(const QString &dir, const DemoSize &size, Rng &r, const QDate &ref, const QStringList &nsns,
                      const QStringList &inspNsns)
{
    {
        Writer w(dir, QStringLiteral("Hrdf"));
        for (int i = 0; i < size.holders; ++i) {
            Row row{100 + i, QStringLiteral("%1 %2").arg(r.pick(kRank), r.pick(kLast)), r.pick(kSections),
                    QStringLiteral("555-%1").arg(1000 + r.upTo(9000))};
            w.add(row);
        }
    }
    {
        Writer w(dir, QStringLiteral("Equipment"));
        for (int i = 0; i < size.items; ++i) {
            const bool insp = !inspNsns.isEmpty() && r.chance(85);
            Row row(8);
            row[1] = 100 + r.upTo(size.holders);
            row[2] = insp ? r.pick(inspNsns) : r.pick(nsns);
            row[3] = QStringLiteral("%1%2").arg(QChar('A' + r.upTo(26))).arg(100000 + r.upTo(900000));
            row[4] = 1 + (r.chance(10) ? r.upTo(5) : 0);
            if (insp)
                row[6] = ref.addDays(r.upTo(420) - 60); // some already overdue
            if (r.chance(8))
                row[7] = QStringLiteral("ON ACFT");
            w.add(row);
        }
    }

}

// Aircraft, kit types and the kits on them.
void demoKits(const QString &dir, const DemoSize &size, Rng &r, const QDate &ref)
{
    QStringList tails;
    {
        Writer w(dir, QStringLiteral("Aircraft"));
        while (tails.size() < size.aircraft) {
            // Army tail numbers: the fiscal year's last two digits and a
            // five-digit serial ("87-26012").
            const QString t = QStringLiteral("%1-%2").arg((85 + r.upTo(20)) % 100, 2, 10, QLatin1Char('0')).arg(20000 + r.upTo(9999));
            if (w.add(Row{t}))
                tails << t;
        }
    }
    struct KitT {
        const char *name, *type;
        int freq;
    };
    const KitT kitTypes[] = {{"OVERWATER", "D", 120}, {"HOT CLIM", "D", 180}, {"COLD CLIM", "D", 180},
                             {"SRU-21", "Y", 1}, {"FAK", "D", 90}};
    {
        Writer w(dir, QStringLiteral("KitType"));
        for (const KitT &k : kitTypes)
            w.add(Row{QLatin1String(k.name), QLatin1String(k.type), k.freq});
    }
    {
        Writer w(dir, QStringLiteral("Kits"));
        for (int i = 0; i < size.kits; ++i) {
            const KitT &k = kitTypes[r.upTo(int(std::size(kitTypes)))];
            Row row(10);
            row[1] = tails.isEmpty() ? QVariant() : QVariant(tails[i % tails.size()]);
            row[2] = QLatin1String(k.name);
            row[3] = QStringLiteral("K%1").arg(10000 + r.upTo(89999));
            row[4] = QStringLiteral("LOT %1-%2").arg(r.upTo(999), 3, 10, QLatin1Char('0')).arg(r.upTo(99));
            row[5] = ref.addDays(r.upTo(1500) - 100);
            row[6] = QLatin1String(k.type);
            row[7] = k.freq;
            row[9] = ref.addDays(r.upTo(300) - 40);
            w.add(row);
        }
    }

}

// Office bench stock: drawers, bins, the master parts list and the stock.
void demoBenchStock(const QString &dir, const DemoSize &size, Rng &r)
{
    // Bench stock cabinets as a shop labels them: a cabinet letter and the
    // drawer's number ("A1" .. "A6", "B1" ..), and numbered bins ("01");
    // short enough for the drawer and bin columns of the pages and forms.
    QStringList drawers, bins, parts;
    {
        Writer w(dir, QStringLiteral("Drawer"));
        for (int i = 0; i < size.drawers; ++i) {
            const QString name = QStringLiteral("%1%2").arg(QChar(u'A' + i / 6 % 26)).arg(1 + i % 6);
            if (w.add(Row{name}))
                drawers << name;
        }
    }
    {
        Writer w(dir, QStringLiteral("Bin"));
        for (int i = 1; i <= size.bins; ++i) {
            const QString name = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
            if (w.add(Row{name}))
                bins << name;
        }
    }
    {
        const QStringList supplies = {QStringLiteral("TAPE, PRESSURE SENSITIVE"), QStringLiteral("THREAD, NYLON"),
                                      QStringLiteral("NEEDLE, SEWING"), QStringLiteral("ADHESIVE, RUBBER"),
                                      QStringLiteral("CLEANER, VINYL"), QStringLiteral("CORD, NYLON 550"),
                                      QStringLiteral("BAG, PLASTIC"), QStringLiteral("LABEL, INSPECTION"),
                                      QStringLiteral("SEAL, LEAD"), QStringLiteral("WIRE, SAFETY")};
        Writer w(dir, QStringLiteral("PartsList"));
        while (parts.size() < size.partsList) {
            const QString n = nsn(r, 5300 + r.upTo(700));
            Row row(12);
            row[0] = n;
            row[1] = QString();
            row[2] = QStringLiteral("%1 %2").arg(r.pick(supplies)).arg(1 + r.upTo(40));
            row[3] = QStringLiteral("MS%1-%2").arg(20000 + r.upTo(9999)).arg(r.upTo(99));
            row[4] = r.chance(50) ? QStringLiteral("EA") : QStringLiteral("RL");
            row[5] = 1 + r.upTo(50);
            row[6] = r.upTo(10);
            for (int f = 7; f < 12; ++f)
                row[f] = r.chance(30);
            row[1] = QVariant();
            if (w.add(row))
                parts << n;
        }
    }
    {
        Writer w(dir, QStringLiteral("Parts"));
        for (int i = 0; i < size.parts; ++i)
            w.add(Row{QVariant(), r.pick(drawers), r.pick(bins), r.pick(parts), r.upTo(60)});
    }

}

// Technical manuals in binders of twenty.
void demoManuals(const QString &dir, const DemoSize &size, Rng &r, const QDate &ref)
{
    {
        const QStringList titles = {QStringLiteral("AVIATION LIFE SUPPORT EQUIPMENT"),
                                    QStringLiteral("SURVIVAL RADIO OPERATOR MANUAL"),
                                    QStringLiteral("FLOTATION EQUIPMENT MAINTENANCE"),
                                    QStringLiteral("PYROTECHNIC SIGNALS"), QStringLiteral("FLIGHT HELMET REPAIR PARTS"),
                                    QStringLiteral("OXYGEN EQUIPMENT INSPECTION")};
        Writer w(dir, QStringLiteral("TechManuals"));
        for (int i = 0; i < size.manuals; ++i) {
            Row row(10);
            row[1] = QStringLiteral("TM 1-1500-%1-%2").arg(200 + r.upTo(600)).arg(10 + r.upTo(30));
            row[2] = QString::number(1 + i / 20);
            row[3] = QString::number(1 + i % 20);
            row[4] = r.upTo(8);
            row[5] = ref.addDays(-r.upTo(3000));
            row[6] = r.chance(50) ? QStringLiteral("TM") : QStringLiteral("FM");
            row[7] = r.pick(titles);
            row[8] = ref.addDays(-3000 - r.upTo(3000));
            row[9] = 1 + r.upTo(3);
            w.add(row);
        }
    }
}

} // namespace

void createDemoShop(const QString &dir, const DemoSize &size, const QDate &ref)
{
    if (!hasNoTables(dir))
        throw EngineError(QStringLiteral("%1 already holds shop tables").arg(QDir::toNativeSeparators(dir)));
    createMissingTables(dir);
    // One generator through every step, in this order: the same shop for
    // the same size and date.
    Rng r(20021015);
    QStringList inspNsns;
    const QStringList nsns = demoMasterList(dir, size, r, inspNsns);
    demoHandReceipts(dir, size, r, ref, nsns, inspNsns);
    demoKits(dir, size, r, ref);
    demoBenchStock(dir, size, r);
    demoManuals(dir, size, r, ref);
}

} // namespace kw::data::shop
