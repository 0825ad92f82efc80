#include "data/shop/shopfind.h"

#include "data/shop/duerules.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"

namespace kw::data {

namespace {

// A searched field: stored in the place's table, or the nomenclature that
// the master list (the place's second table) gives the row's NSN.
struct SearchField {
    const char *name;
    bool lookedUp = false;
};

struct PlaceDef {
    FindPlace place;
    const char *caption;             // the page that shows it
    QStringList files;               // the place's table, then those it looks up in
    QVector<SearchField> fields;
};

const QVector<PlaceDef> &places()
{
    static const QVector<PlaceDef> all = {
        {FindPlace::Item, "Hand Receipts",
         {QStringLiteral("Equipment.DB"), QStringLiteral("Lists.DB"), QStringLiteral("Hrdf.DB")},
         {{"Serial Number"}, {"NSN"}, {"Nomenclature", true}}},
        {FindPlace::Kit, "Aircraft Equipment", {QStringLiteral("Kits.DB")}, {{"Serial Number"}, {"Aircraft"}}},
        {FindPlace::Holder, "Hand Receipts", {QStringLiteral("Hrdf.DB")}, {{"HR Holder"}, {"HR Number"}}},
        {FindPlace::Manual, "Tech Manuals", {QStringLiteral("TechManuals.DB")}, {{"Number"}, {"Title"}}},
        {FindPlace::BenchStock, "Office Supplies", {QStringLiteral("Parts.DB"), QStringLiteral("PartsList.DB")},
         {{"NSN"}, {"Nomenclature", true}, {"Drawer"}, {"Bin"}}},
        {FindPlace::MasterItem, "Master Equipment List", {QStringLiteral("Lists.DB")}, {{"NSN"}, {"Nomenclature"}}},
        {FindPlace::MasterPart, "Master Office Parts List", {QStringLiteral("PartsList.DB")},
         {{"NSN"}, {"Nomenclature"}}},
        {FindPlace::TailNumber, "Program Setup", {QStringLiteral("Aircraft.DB")}, {{"Aircraft"}}},
        {FindPlace::Drawer, "Program Setup", {QStringLiteral("Drawer.DB")}, {{"Drawer"}}},
        {FindPlace::Bin, "Program Setup", {QStringLiteral("Bin.DB")}, {{"Bin"}}},
    };
    return all;
}

bool isNsn(const char *field)
{
    return qstrcmp(field, "NSN") == 0;
}

// How values and the text looked for are compared: case folded, and an NSN
// without its dashes (scanners and clerks type it either way).
QString fold(const QString &s, bool dashless)
{
    QString f = s.trimmed().toCaseFolded();
    if (dashless)
        f.remove(QLatin1Char('-'));
    return f;
}

QString text(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString().trimmed();
}

int fieldOf(const ParadoxTable *t, const char *name)
{
    return t->def().fieldIndex(QLatin1String(name));
}

QVariant keyOf(const ParadoxTable *t, int row)
{
    const Row &r = t->row(row);
    return QVariant::fromValue(r.mid(0, std::max(1, t->def().keyFieldCount)));
}

} // namespace

QString findPlaceCaption(FindPlace place)
{
    return QLatin1String(places()[int(place)].caption);
}

QHash<QString, int> ShopFind::listRowOfNsn(const ParadoxTable *list)
{
    QHash<QString, int> rows;
    const int nsn = fieldOf(list, "NSN");
    for (int i = 0, n = list->rowCount(); i < n; ++i)
        rows.insert(list->row(i).value(nsn).toString(), i);
    return rows;
}

const ShopFind::Index &ShopFind::index(int place, const QVector<const ParadoxTable *> &tables)
{
    const PlaceDef &def = places()[place];
    Index &ix = m_indexes[place];
    // The values come from the place's table and, for a looked-up
    // nomenclature, the master list: only their changes fold again.
    bool lookedUp = false;
    for (const SearchField &f : def.fields)
        lookedUp = lookedUp || f.lookedUp;
    const QVector<const ParadoxTable *> from = tables.mid(0, lookedUp ? 2 : 1);
    QVector<quint64> changes;
    for (const ParadoxTable *t : from)
        changes << t->changeCount();
    if (ix.readFrom == from && ix.changes == changes)
        return ix;
    const ParadoxTable *main = from.first();
    const int rows = main->rowCount();
    ix.folded.clear();
    ix.dashless.clear();
    for (const SearchField &f : def.fields) {
        QVector<QString> values(rows);
        if (f.lookedUp) {
            const ParadoxTable *list = from[1];
            const int listNsn = fieldOf(list, "NSN"), nomenclature = fieldOf(list, "Nomenclature"),
                      nsn = fieldOf(main, "NSN");
            QHash<QString, QString> byNsn;
            for (int i = 0, n = list->rowCount(); i < n; ++i)
                byNsn.insert(list->row(i).value(listNsn).toString(), fold(text(list->row(i).value(nomenclature)), false));
            for (int r = 0; r < rows; ++r)
                values[r] = byNsn.value(main->row(r).value(nsn).toString());
        } else {
            const int at = fieldOf(main, f.name);
            for (int r = 0; r < rows; ++r)
                values[r] = fold(text(main->row(r).value(at)), isNsn(f.name));
        }
        ix.folded << values;
        ix.dashless << isNsn(f.name);
    }
    ix.readFrom = from;
    ix.changes = changes;
    return ix;
}

FindResult ShopFind::find(const QString &dir, const QString &what, int limit)
{
    FindResult result;
    const QString needle = fold(what, false), needleDashless = fold(what, true);
    if (needle.isEmpty())
        return result;
    struct Candidate {
        int place, row, field;
    };
    QVector<Candidate> byMatch[3]; // exact, start, inside
    QVector<QVector<const ParadoxTable *>> tablesOf(kFindPlaces);
    for (const PlaceDef &def : places()) {
        QVector<const ParadoxTable *> &tables = tablesOf[int(def.place)];
        for (const QString &file : def.files)
            tables << m_session.table(dir, file);
        const Index &ix = index(int(def.place), tables);
        const int rows = tables.first()->rowCount(), fields = int(ix.folded.size());
        for (int r = 0; r < rows; ++r) {
            int best = 3, bestField = -1;
            for (int f = 0; f < fields && best > 0; ++f) {
                const QString &n = ix.dashless[f] ? needleDashless : needle;
                const QString &h = ix.folded[f][r];
                if (n.isEmpty() || h.size() < n.size())
                    continue;
                const int m = h.size() == n.size() ? (h == n ? 0 : 3) : h.startsWith(n) ? 1 : h.contains(n) ? 2 : 3;
                if (m < best) {
                    best = m;
                    bestField = f;
                }
            }
            if (best < 3)
                byMatch[best].append({int(def.place), r, bestField});
        }
    }
    for (int m = 0; m < 3; ++m) {
        result.total += int(byMatch[m].size());
        for (const Candidate &c : byMatch[m]) {
            if (result.hits.size() >= limit)
                break;
            FindHit hit = describe(c.place, tablesOf[c.place], c.row, c.field);
            hit.match = FindHit::Match(m);
            result.hits << hit;
        }
    }
    return result;
}

QString ShopFind::nomenclatureIn(const ParadoxTable *list, const QString &nsn, QHash<QString, int> &rows,
                                 quint64 &seen)
{
    if (rows.isEmpty() || seen != list->changeCount()) {
        rows = listRowOfNsn(list);
        seen = list->changeCount();
    }
    const int at = rows.value(nsn, -1);
    return at < 0 ? QString() : text(list->row(at).value(fieldOf(list, "Nomenclature")));
}

void ShopFind::refreshHolderRows(const ParadoxTable *holders)
{
    if (!m_holderRows.isEmpty() && m_holderRowsChange == holders->changeCount())
        return;
    m_holderRows.clear();
    for (int i = 0, n = holders->rowCount(); i < n; ++i)
        m_holderRows.insert(holders->row(i).value(0).toInt(), i);
    m_holderRowsChange = holders->changeCount();
}

// An item shows on By Type only under a holder and with its NSN in the
// master list, and on Inspections only when its type is inspected too.
QString ShopFind::describeItem(FindHit &hit, const QVector<const ParadoxTable *> &tables, int row)
{
    const ParadoxTable *main = tables[0], *list = tables[1], *holders = tables[2];
    const Row &r = main->row(row);
    auto value = [&](const char *name) { return text(r.value(fieldOf(main, name))); };
    const QString nomenclature = nomenclatureIn(list, value("NSN"), m_listRows, m_listRowsChange);
    refreshHolderRows(holders);
    hit.hrNumber = r.value(fieldOf(main, "HR Number"));
    const int holder = hit.hrNumber.isNull() ? -1 : m_holderRows.value(hit.hrNumber.toInt(), -1);
    const int listed = m_listRows.value(value("NSN"), -1);
    hit.onByType = holder >= 0 && listed >= 0;
    hit.onInspections =
        hit.onByType && itemNeedsInspection(text(list->row(listed).value(fieldOf(list, "Insp Type"))));
    if (holder < 0)
        hit.notShown = QStringLiteral("No holder has HR # %1, so no page shows this item: add a holder with that "
                                      "number on Hand Receipts to see it.")
                           .arg(value("HR Number"));
    const QString who = holder < 0 ? QStringLiteral("HR %1 (no holder)").arg(value("HR Number"))
                                   : QStringLiteral("HR %1 %2").arg(value("HR Number"),
                                                                    text(holders->row(holder).value(1)));
    hit.row = QStringLiteral("%1 \u00b7 %2 %3 \u00b7 serial %4")
                  .arg(who, value("NSN"), nomenclature.isEmpty() ? QStringLiteral("(not in the master list)")
                                                                 : nomenclature,
                       value("Serial Number"));
    return nomenclature;
}

QString ShopFind::describeBenchStock(FindHit &hit, const QVector<const ParadoxTable *> &tables, int row)
{
    const ParadoxTable *main = tables[0];
    const Row &r = main->row(row);
    auto value = [&](const char *name) { return text(r.value(fieldOf(main, name))); };
    const QString nomenclature = nomenclatureIn(tables[1], value("NSN"), m_partsListRows, m_partsListRowsChange);
    if (!m_partsListRows.contains(value("NSN")))
        hit.notShown = QStringLiteral("The master office parts list has no NSN %1, so Office Supplies does not "
                                      "show this bench stock: add the part to the Master Office Parts List to "
                                      "see it.")
                           .arg(value("NSN"));
    hit.row = QStringLiteral("drawer %1, bin %2 \u00b7 %3 %4 \u00b7 %5 on hand")
                  .arg(value("Drawer"), value("Bin"), value("NSN"), nomenclature, value("On Hand"));
    return nomenclature;
}

FindHit ShopFind::describe(int place, const QVector<const ParadoxTable *> &tables, int row, int field)
{
    const PlaceDef &def = places()[place];
    const ParadoxTable *main = tables.first();
    const Row &r = main->row(row);
    auto value = [&](const char *name) { return text(r.value(fieldOf(main, name))); };
    FindHit hit;
    hit.place = def.place;
    hit.key = keyOf(main, row);
    hit.field = QLatin1String(def.fields[field].name);
    QString nomenclature;
    switch (def.place) {
    case FindPlace::Item:
        nomenclature = describeItem(hit, tables, row);
        break;
    case FindPlace::Kit:
        hit.row = QStringLiteral("%1 \u00b7 %2 kit \u00b7 serial %3")
                      .arg(value("Aircraft"), value("Kit Type"), value("Serial Number"));
        break;
    case FindPlace::Holder:
        hit.row = QStringLiteral("HR %1 %2 \u00b7 %3").arg(value("HR Number"), value("HR Holder"), value("Section"));
        break;
    case FindPlace::Manual:
        hit.row = QStringLiteral("%1 \u00b7 %2 \u00b7 binder %3, book %4")
                      .arg(value("Number"), value("Title"), value("Binder"), value("Book"));
        break;
    case FindPlace::BenchStock:
        nomenclature = describeBenchStock(hit, tables, row);
        break;
    case FindPlace::MasterItem:
    case FindPlace::MasterPart:
        hit.row = QStringLiteral("%1 %2").arg(value("NSN"), value("Nomenclature"));
        break;
    case FindPlace::TailNumber:
        hit.row = QStringLiteral("Tail number %1").arg(value("Aircraft"));
        break;
    case FindPlace::Drawer:
        hit.row = QStringLiteral("Drawer %1").arg(value("Drawer"));
        break;
    case FindPlace::Bin:
        hit.row = QStringLiteral("Bin %1").arg(value("Bin"));
        break;
    }
    hit.value = def.fields[field].lookedUp ? nomenclature : value(def.fields[field].name);
    return hit;
}

} // namespace kw::data
