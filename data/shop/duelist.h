#pragma once
// What is due across the shop, read straight from the table files: the
// items the inspections page lists (a holder, a master-list row of type "D"
// or "Y") and the survival kits, each placed by the rule of duerules.h. The
// status bar counts these, the command line lists them, and a click on a
// count finds the first such row on its page. Reading the table files, not
// the pages' datasets, keeps the answer the same whichever page is shown,
// filtered or sorted.
#include "data/shop/duerules.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

namespace kw::data {

class Dataset;
class ParadoxTable;
class Session;

// Why a row is on the list. An item or kit that needs inspecting but has no
// due date is never inspected: no date puts it on any other list.
enum class DueReason { NeverInspected, Overdue, FoodExpired, DueSoon };

// The reason an item is listed for, by its master-list Insp Type and its
// Insp Due; none when it needs no inspection or is due later.
std::optional<DueReason> itemDueReason(const QString &inspType, const QDate &due, const QDate &today,
                                       int withinDays = kDueSoonDays);
// The reason a kit's inspection is listed for. A kit with a due date is due
// by it whatever its type (its page colours it so); one without is never
// inspected unless its type is "N". Its food is a reason of its own
// (foodExpired of duerules.h).
std::optional<DueReason> kitInspectionReason(const QString &inspType, const QDate &due, const QDate &today,
                                             int withinDays = kDueSoonDays);

struct DueEntry {
    enum class Kind { Item, Kit };
    Kind kind = Kind::Item;
    DueReason reason = DueReason::DueSoon;
    QDate date;       // Insp Due; Food Exp for FoodExpired; null when never inspected
    QVariant key;     // Auto of the Equipment.DB or Kits.DB row
    // Items: HR Number, holder, NSN, nomenclature and serial. Kits: the
    // tail number as holder, the kit type as nomenclature, the serial.
    QVariant hrNumber;
    QString holder, nsn, nomenclature, serial;
};

struct DueCounts {
    int overdue = 0, dueSoon = 0, neverInspected = 0; // items
    int kitsOverdue = 0, kitsDueSoon = 0, kitsFoodExpired = 0, kitsNeverInspected = 0;
    // Something that may not fly: an inspection overdue or food expired.
    bool anyOverdue() const { return overdue > 0 || kitsOverdue > 0 || kitsFoodExpired > 0; }
    bool operator==(const DueCounts &) const = default;
};

// Reads Equipment.DB, Lists.DB, Hrdf.DB and Kits.DB of a directory through
// a session (which opens them when they are not open yet). What it derives
// from the master list and the holders is kept until those tables change,
// so counting again after a post reads only the items and kits, and
// counting again when none of the four changed reads nothing.
class DueScan {
public:
    explicit DueScan(Session &session) : m_session(session) {}

    DueCounts counts(const QString &dir, const QDate &today, int withinDays = kDueSoonDays);
    // Every listed row: never inspected first, then by date, oldest first
    // (items before kits on the same day, then by holder and serial).
    QVector<DueEntry> entries(const QString &dir, const QDate &today, int withinDays = kDueSoonDays);

private:
    struct Tables;
    Tables tables(const QString &dir);
    template <class Visit> void scan(const Tables &t, const QDate &today, int withinDays, Visit &&visit);

    Session &m_session;
    // Master-list rows of items that need inspecting, by NSN (the row in
    // Lists.DB), and the holders' numbers; with the table and change count
    // they were read at.
    struct Cache {
        const ParadoxTable *table = nullptr;
        quint64 change = 0;
    } m_listSeen, m_holdersSeen;
    struct ListRow {
        int row = -1;
        QString inspType;
    };
    QHash<QString, ListRow> m_inspectedNsns;
    QHash<int, int> m_holderRows; // HR Number -> row of Hrdf.DB
    // The last counts, with what they were counted from: counting again
    // when no table changed costs nothing.
    struct CountedFrom {
        const ParadoxTable *tables[4] = {};
        quint64 changes[4] = {};
        QDate today;
        int withinDays = -1;
        bool operator==(const CountedFrom &) const = default;
    } m_countedFrom;
    DueCounts m_counts;
};

// The first shown row of a page's dataset that is counted for reason: the
// inspections page's qryInsp (kind Item) or the kits' tblKits (kind Kit),
// read through their fields Insp Type, Insp Due and Food Exp; -1 when none.
int firstDueRow(const Dataset &ds, DueEntry::Kind kind, DueReason reason, const QDate &today,
                int withinDays = kDueSoonDays);

} // namespace kw::data
