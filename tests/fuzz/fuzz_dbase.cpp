// The predecessor program's dBase tables (.DBF with its .DBT memo file),
// packed as a bundle: opened, every record decoded, the definition derived;
// a table that opens is saved and read again and must show the same records.
#include "fuzzsupport.h"

#include "data/engine/dbase/dbftable.h"
#include "data/engine/engineerror.h"

#include <QDir>
#include <cstdlib>

using namespace kw::data;

static constexpr int kMaxRecords = 20000;

static QStringList readRecords(const DbfTable &t)
{
    QStringList out;
    const int n = qMin(t.recordCount(), kMaxRecords);
    for (int i = 0; i < n; ++i) {
        const Row r = t.record(i);
        if (r.size() != t.fields().size())
            std::abort(); // one value per field
        QString s = t.isDeleted(i) ? QStringLiteral("*") : QStringLiteral(" ");
        for (const QVariant &v : r)
            s += QString::number(v.typeId()) + QLatin1Char(':')
                 + (v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex()) : v.toString())
                 + QLatin1Char('|');
        out << s;
    }
    const TableDef def = t.def();
    for (const FieldDef &f : def.fields)
        kwfuzz::consume(f.name);
    (void)t.fieldIndex(QStringLiteral("NAME"));
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = kwfuzz::scratchDir() + QStringLiteral("/dbf");
    QDir().mkpath(dir);
    const QString path = kwfuzz::writeBundle(kwfuzz::splitBundle(data, size), dir, QStringLiteral("T"),
                                             QStringLiteral("DBF"));
    try {
        DbfTable t = DbfTable::open(path);
        const QStringList before = readRecords(t);
        kwfuzz::note(QStringLiteral("%1 records, %2 fields").arg(t.recordCount()).arg(t.fields().size()));
        if (t.recordCount() > kMaxRecords)
            return 0;
        t.save();
        const DbfTable again = DbfTable::open(path);
        if (readRecords(again) != before)
            std::abort(); // saving changed what the table holds
    } catch (const EngineError &e) {
        kwfuzz::note(e.message());
    }
    return 0;
}
