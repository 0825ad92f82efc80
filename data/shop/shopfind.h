#pragma once
// Find, for the whole shop: one text looked for, as the clerk types it, in
// the fields by which a shop names its things (serial numbers, NSNs,
// nomenclatures, HR numbers and holders, kits and tail numbers, manuals,
// drawers and bins), across every table. Each hit names its record by key
// and says where it stands, so that the window can open the page that shows
// it. The folded texts are kept per table until the table changes, so that
// each key typed searches without reading or folding anything again.
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>
#include <array>

namespace kw::data {

class ParadoxTable;
class Session;

// What a hit is, in the order hits of the same quality are listed.
enum class FindPlace { Item, Kit, Holder, Manual, BenchStock, MasterItem, MasterPart, TailNumber, Drawer, Bin };
constexpr int kFindPlaces = 10;

struct FindHit {
    FindPlace place = FindPlace::Item;
    QVariant key;    // the record's primary key (Auto, HR Number, NSN, name)
    QString field;   // the field that matched ("Serial Number")
    QString value;   // its value as stored
    QString row;     // the record in a few words, for the list of hits
    enum class Match { Exact, Start, Inside } match = Match::Inside;
    // Items: the holder's number, and whether the Inspections page lists the
    // item (a holder, a master-list row of type "D" or "Y") and the View by
    // Type page (a holder and a master-list row).
    QVariant hrNumber;
    bool onInspections = false, onByType = false;
    // Why no page shows the record (an item whose HR number no holder has,
    // bench stock whose NSN the master parts list lacks); empty when its
    // page shows it.
    QString notShown;
};

struct FindResult {
    QVector<FindHit> hits; // at most the limit asked for
    int total = 0;         // all the hits there are
};

class ShopFind {
public:
    explicit ShopFind(Session &session) : m_session(session) {}

    // The hits for text in the tables of dir, case and the blanks around it
    // ignored (an NSN also without its dashes): exact values first, then
    // values that start with it, then values that hold it; within each,
    // by place, then in the table's key order. One hit per record, for its
    // best field. An empty text finds nothing.
    FindResult find(const QString &dir, const QString &text, int limit = 200);

private:
    struct Index {
        // Folded values by field, then by row of the table.
        QVector<QVector<QString>> folded;
        QVector<bool> dashless; // per field: NSNs are matched without dashes
        QVector<const ParadoxTable *> readFrom;
        QVector<quint64> changes;
    };
    // place: a FindPlace; tables: its table and those it looks up in.
    const Index &index(int place, const QVector<const ParadoxTable *> &tables);
    FindHit describe(int place, const QVector<const ParadoxTable *> &tables, int row, int field);
    // Fill hit's text and page flags for a row of one place; return the
    // nomenclature the master list gives its NSN.
    QString describeItem(FindHit &hit, const QVector<const ParadoxTable *> &tables, int row);
    QString describeBenchStock(FindHit &hit, const QVector<const ParadoxTable *> &tables, int row);
    // The nomenclature of nsn in list; rows and seen cache its rows by NSN.
    QString nomenclatureIn(const ParadoxTable *list, const QString &nsn, QHash<QString, int> &rows, quint64 &seen);
    void refreshHolderRows(const ParadoxTable *holders);

    Session &m_session;
    std::array<Index, kFindPlaces> m_indexes;
    // Item details the descriptions and page flags need, by NSN and HR number.
    QHash<QString, int> listRowOfNsn(const ParadoxTable *list);
    QHash<QString, int> m_listRows, m_partsListRows;
    QHash<int, int> m_holderRows;
    quint64 m_listRowsChange = 0, m_partsListRowsChange = 0, m_holderRowsChange = 0;
};

// The caption of the page that shows a place ("Hand Receipts").
QString findPlaceCaption(FindPlace place);

} // namespace kw::data
