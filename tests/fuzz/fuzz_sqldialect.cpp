// The local SQL dialect translator, fed any text as a statement: tokenized,
// parsed and rewritten for SQLite against made-up mirror tables. Bad text must
// end in an engine error; the places the translation reports (table tokens,
// offsets into the SQL) must lie inside what they point into.
#include "fuzzsupport.h"

#include "data/engine/engineerror.h"
#include "data/engine/sql/sqldialect.h"

#include <cstdlib>

using namespace kw::data;
using namespace kw::data::sql;

// Statements longer than this are not translated: the shop's are a few lines.
static constexpr size_t kMaxText = 16 * 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > kMaxText)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        for (const Token &t : tokenize(text))
            kwfuzz::consume(t.text);
        const Statement st = parse(text);
        QStringList names;
        QVector<QStringList> columns;
        for (int i = 0; i < st.tables.size(); ++i) {
            const TableRef &ref = st.tables[i];
            if (ref.first < 0 || ref.last < ref.first || ref.last >= st.toks.size())
                std::abort(); // a table reference outside its statement
            names << QStringLiteral("m%1").arg(i);
            columns << QStringList{QStringLiteral("Serial"), QStringLiteral("Due Date"), QStringLiteral("NSN"),
                                   QStringLiteral("Name")};
        }
        if (st.target >= st.tables.size())
            std::abort();
        const Translation tr = translate(st, names, columns);
        kwfuzz::note(tr.sql);
        for (const ColumnUse &u : tr.indexHints)
            if (u.table < 0 || u.table >= st.tables.size() || u.partnerTable >= st.tables.size())
                std::abort();
        const SelectShape &sh = tr.shape;
        if (sh.plain) {
            const int n = int(tr.sql.size());
            if (sh.listAt < 0 || sh.listAt > n || sh.fromAt < 0 || sh.fromAt > n || sh.condEnd > n
                || sh.whereAfter > n)
                std::abort(); // offsets outside the translated text
            for (int i = 0; i < sh.termStart.size(); ++i)
                if (sh.termStart[i] < 0 || sh.termEnd.value(i, -1) > n || sh.termStart[i] > sh.termEnd.value(i, -1))
                    std::abort();
        }
    } catch (const EngineError &e) {
        kwfuzz::note(e.message());
    }
    return 0;
}
