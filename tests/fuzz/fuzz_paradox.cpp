// Paradox tables copied from another computer or damaged on a failing disk:
// the .DB with any of its companions (.PX, .Xnn/.Ynn, .XGn/.YGn, .VAL, .MB),
// packed as a bundle. Opened read-only, every row read; a table that opens
// is then opened for writing (which rebuilds stale companions) and must show
// the same rows, before and after it is closed and opened again. A table
// that is refused is repaired, and must then open.
#include "fuzzsupport.h"

#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"

#include <QDir>
#include <cstdlib>

using namespace kw::data;

// Rows read per open; a damaged header can claim millions of rows.
static constexpr int kMaxRows = 20000;

// A row as comparable text: type and value (NaN equals NaN here).
static QString rowText(const Row &r)
{
    QString s;
    for (const QVariant &v : r) {
        s += QString::number(v.typeId()) + QLatin1Char(':');
        s += v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex()) : v.toString();
        s += QLatin1Char('|');
    }
    return s;
}

static QStringList readRows(const ParadoxTable &t)
{
    QStringList rows;
    const int n = qMin(t.rowCount(), kMaxRows);
    for (int i = 0; i < n; ++i) {
        const Row &r = t.row(i);
        if (r.size() != t.def().fields.size())
            std::abort(); // a row must hold one value per field
        rows << rowText(r);
    }
    for (const FieldDef &f : t.def().fields)
        kwfuzz::consume(f.name);
    if (n > 0 && t.def().keyFieldCount > 0)
        (void)t.findKey(t.row(0).mid(0, t.def().keyFieldCount));
    return rows;
}

static const QStringList &passwords()
{
    static const QStringList p{shop::kTablePassword, QStringLiteral("123")};
    return p;
}

// A refused table goes through repair; a repaired table must open with
// the rows the repair counted.
static void repairRefused(const QString &db)
{
    TableRepairReport r;
    try {
        r = ParadoxTable::repair(db, passwords());
    } catch (const EngineError &e) {
        kwfuzz::note(e.message());
        return;
    }
    kwfuzz::note(QStringLiteral("repaired: %1 rows recovered").arg(r.rowsRecovered));
    try {
        auto t = ParadoxTable::open(db, passwords(), true);
        if (t->rowCount() != r.rowsRecovered && r.damaged)
            std::abort();
        readRows(*t);
    } catch (const EngineError &) {
        if (r.damaged)
            std::abort(); // a repaired table that does not open
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = kwfuzz::scratchDir() + QStringLiteral("/px");
    QDir().mkpath(dir);
    const QString db = kwfuzz::writeBundle(kwfuzz::splitBundle(data, size), dir, QStringLiteral("T"),
                                           QStringLiteral("DB"));
    QStringList seen;
    try {
        auto t = ParadoxTable::open(db, passwords(), true);
        seen = readRows(*t);
        kwfuzz::note(QStringLiteral("%1 rows, %2 fields").arg(t->rowCount()).arg(t->def().fields.size()));
        t->close();
    } catch (const EngineError &e) {
        kwfuzz::note(e.message());
        repairRefused(db);
        return 0;
    }
    try {
        auto t = ParadoxTable::open(db, passwords(), false);
        if (readRows(*t) != seen)
            std::abort(); // rebuilding the companions changed the rows
        t->close();
        auto again = ParadoxTable::open(db, passwords(), true);
        if (readRows(*again) != seen)
            std::abort();
        again->close();
    } catch (const EngineError &e) {
        kwfuzz::note(e.message());
    }
    return 0;
}
