#include "data/shop/duelist.h"

#include "data/engine/dataset.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"

#include <algorithm>

namespace kw::data {

namespace {

std::optional<DueReason> reasonOfDate(const QDate &due, const QDate &today, int withinDays)
{
    if (!due.isValid())
        return DueReason::NeverInspected;
    switch (dueStatus(due, today, withinDays)) {
    case DueStatus::Overdue:
        return DueReason::Overdue;
    case DueStatus::Soon:
        return DueReason::DueSoon;
    case DueStatus::None:
        break;
    }
    return std::nullopt;
}

int fieldOf(const ParadoxTable *t, const char *name)
{
    const int i = t->def().fieldIndex(QLatin1String(name));
    Q_ASSERT(i >= 0);
    return i;
}

} // namespace

std::optional<DueReason> itemDueReason(const QString &inspType, const QDate &due, const QDate &today, int withinDays)
{
    if (!itemNeedsInspection(inspType))
        return std::nullopt;
    return reasonOfDate(due, today, withinDays);
}

std::optional<DueReason> kitInspectionReason(const QString &inspType, const QDate &due, const QDate &today,
                                             int withinDays)
{
    if (!due.isValid() && !kitNeedsInspection(inspType))
        return std::nullopt;
    return reasonOfDate(due, today, withinDays);
}

// ---------------------------------------------------------------- over the table files

struct DueScan::Tables {
    const ParadoxTable *items, *list, *holders, *kits;
};

DueScan::Tables DueScan::tables(const QString &dir)
{
    Tables t{m_session.table(dir, QStringLiteral("Equipment.DB")), m_session.table(dir, QStringLiteral("Lists.DB")),
             m_session.table(dir, QStringLiteral("Hrdf.DB")), m_session.table(dir, QStringLiteral("Kits.DB"))};
    // What the master list and the holders give is read again only when
    // they changed (or were closed and opened again).
    if (m_listSeen.table != t.list || m_listSeen.change != t.list->changeCount()) {
        m_inspectedNsns.clear();
        const int nsn = fieldOf(t.list, "NSN"), type = fieldOf(t.list, "Insp Type");
        for (int i = 0, n = t.list->rowCount(); i < n; ++i) {
            const Row &r = t.list->row(i);
            const QString inspType = r.value(type).toString();
            if (itemNeedsInspection(inspType))
                m_inspectedNsns.insert(r.value(nsn).toString(), {i, inspType});
        }
        m_listSeen = {t.list, t.list->changeCount()};
    }
    if (m_holdersSeen.table != t.holders || m_holdersSeen.change != t.holders->changeCount()) {
        m_holderRows.clear();
        const int hr = fieldOf(t.holders, "HR Number");
        for (int i = 0, n = t.holders->rowCount(); i < n; ++i)
            if (const QVariant v = t.holders->row(i).value(hr); !v.isNull())
                m_holderRows.insert(v.toInt(), i);
        m_holdersSeen = {t.holders, t.holders->changeCount()};
    }
    return t;
}

// Calls visit(kind, reason, date, row of its table) for every listed row:
// items joined to a holder and to a master-list row that needs inspecting,
// as the inspections page joins them, then the kits.
template <class Visit> void DueScan::scan(const Tables &t, const QDate &today, int withinDays, Visit &&visit)
{
    const int hr = fieldOf(t.items, "HR Number"), nsn = fieldOf(t.items, "NSN"), due = fieldOf(t.items, "Insp Due");
    // Every post counts again over every item: values are read in place,
    // without copies (rows hold a value for every field).
    for (int i = 0, n = t.items->rowCount(); i < n; ++i) {
        const Row &r = t.items->row(i);
        const QVariant &number = r.at(hr);
        if (number.isNull() || !m_holderRows.contains(number.toInt()))
            continue;
        const QVariant &nsnValue = r.at(nsn);
        if (nsnValue.typeId() != QMetaType::QString)
            continue; // no NSN: no master-list row
        const auto listed = m_inspectedNsns.constFind(*static_cast<const QString *>(nsnValue.constData()));
        if (listed == m_inspectedNsns.cend())
            continue;
        const QDate date = r.at(due).toDate();
        if (const auto reason = itemDueReason(listed->inspType, date, today, withinDays))
            visit(DueEntry::Kind::Item, *reason, date, i);
    }
    const int kitType = fieldOf(t.kits, "Insp Type"), kitDue = fieldOf(t.kits, "Insp Due"),
              food = fieldOf(t.kits, "Food Exp");
    for (int i = 0, n = t.kits->rowCount(); i < n; ++i) {
        const Row &r = t.kits->row(i);
        const QDate expiry = r.value(food).toDate();
        if (foodExpired(expiry, today))
            visit(DueEntry::Kind::Kit, DueReason::FoodExpired, expiry, i);
        const QDate date = r.value(kitDue).toDate();
        if (const auto reason = kitInspectionReason(r.value(kitType).toString(), date, today, withinDays))
            visit(DueEntry::Kind::Kit, *reason, date, i);
    }
}

DueCounts DueScan::counts(const QString &dir, const QDate &today, int withinDays)
{
    const Tables t = tables(dir);
    CountedFrom from;
    int i = 0;
    for (const ParadoxTable *table : {t.items, t.list, t.holders, t.kits}) {
        from.tables[i] = table;
        from.changes[i++] = table->changeCount();
    }
    from.today = today;
    from.withinDays = withinDays;
    if (from == m_countedFrom)
        return m_counts;
    DueCounts c;
    scan(t, today, withinDays, [&](DueEntry::Kind kind, DueReason reason, const QDate &, int) {
        const bool item = kind == DueEntry::Kind::Item;
        switch (reason) {
        case DueReason::NeverInspected:
            ++(item ? c.neverInspected : c.kitsNeverInspected);
            break;
        case DueReason::Overdue:
            ++(item ? c.overdue : c.kitsOverdue);
            break;
        case DueReason::DueSoon:
            ++(item ? c.dueSoon : c.kitsDueSoon);
            break;
        case DueReason::FoodExpired:
            ++c.kitsFoodExpired;
            break;
        }
    });
    m_countedFrom = from;
    m_counts = c;
    return c;
}

QVector<DueEntry> DueScan::entries(const QString &dir, const QDate &today, int withinDays)
{
    const Tables t = tables(dir);
    QVector<DueEntry> out;
    const int iAuto = fieldOf(t.items, "Auto"), iHr = fieldOf(t.items, "HR Number"), iNsn = fieldOf(t.items, "NSN"),
              iSerial = fieldOf(t.items, "Serial Number");
    const int lNomenclature = fieldOf(t.list, "Nomenclature"), hHolder = fieldOf(t.holders, "HR Holder");
    const int kAuto = fieldOf(t.kits, "Auto"), kAircraft = fieldOf(t.kits, "Aircraft"),
              kType = fieldOf(t.kits, "Kit Type"), kSerial = fieldOf(t.kits, "Serial Number");
    scan(t, today, withinDays, [&](DueEntry::Kind kind, DueReason reason, const QDate &date, int row) {
        DueEntry e;
        e.kind = kind;
        e.reason = reason;
        e.date = date;
        if (kind == DueEntry::Kind::Item) {
            const Row &r = t.items->row(row);
            e.key = r.value(iAuto);
            e.hrNumber = r.value(iHr);
            e.holder = t.holders->row(m_holderRows.value(e.hrNumber.toInt())).value(hHolder).toString();
            e.nsn = r.value(iNsn).toString();
            e.nomenclature = t.list->row(m_inspectedNsns.value(e.nsn).row).value(lNomenclature).toString();
            e.serial = r.value(iSerial).toString();
        } else {
            const Row &r = t.kits->row(row);
            e.key = r.value(kAuto);
            e.holder = r.value(kAircraft).toString();
            e.nomenclature = r.value(kType).toString();
            e.serial = r.value(kSerial).toString();
        }
        out.append(std::move(e));
    });
    std::stable_sort(out.begin(), out.end(), [](const DueEntry &a, const DueEntry &b) {
        const bool aNever = a.reason == DueReason::NeverInspected, bNever = b.reason == DueReason::NeverInspected;
        if (aNever != bNever)
            return aNever;
        if (a.date != b.date)
            return a.date < b.date;
        if (a.kind != b.kind)
            return a.kind == DueEntry::Kind::Item;
        if (const int c = a.holder.compare(b.holder, Qt::CaseInsensitive))
            return c < 0;
        return a.serial.compare(b.serial, Qt::CaseInsensitive) < 0;
    });
    return out;
}

// ---------------------------------------------------------------- over a page's rows

int firstDueRow(const Dataset &ds, DueEntry::Kind kind, DueReason reason, const QDate &today, int withinDays)
{
    const Field *type = ds.findField(QStringLiteral("Insp Type"));
    const Field *due = ds.findField(QStringLiteral("Insp Due"));
    const Field *food = kind == DueEntry::Kind::Kit ? ds.findField(QStringLiteral("Food Exp")) : nullptr;
    if (!ds.active() || !type || !due || (kind == DueEntry::Kind::Kit && !food))
        return -1;
    for (int r = 0, n = ds.recordCount(); r < n; ++r) {
        const QString t = ds.rowValue(r, type->index()).toString();
        const QDate d = ds.rowValue(r, due->index()).toDate();
        bool counted = false;
        if (kind == DueEntry::Kind::Item)
            counted = itemDueReason(t, d, today, withinDays) == reason;
        else if (reason == DueReason::FoodExpired)
            counted = foodExpired(ds.rowValue(r, food->index()).toDate(), today);
        else
            counted = kitInspectionReason(t, d, today, withinDays) == reason;
        if (counted)
            return r;
    }
    return -1;
}

} // namespace kw::data
