#include "data/engine/sql/resultrows.h"

#include "data/engine/engineerror.h"
#include "data/engine/sql/mirrors.h"
#include "data/engine/sql/sqlconnection.h"
#include "data/engine/sql/sqlvalues.h"

#include <climits>
#include <sqlite3.h>
#include <string_view>
#include <unordered_map>

namespace kw::data::sql {

namespace {

// Texts of one result column seen so far: joined columns repeat the same
// few values thousands of times, and sharing one QString saves decoding and
// an allocation per cell.
class TextCache {
public:
    QString get(const char *p, int n)
    {
        if (m_off)
            return QString::fromUtf8(p, n);
        const std::string_view key(p, size_t(n));
        if (const auto it = m_map.find(key); it != m_map.end()) {
            ++m_hits;
            return it->second;
        }
        QString s = QString::fromUtf8(p, n);
        if (m_map.size() < 4096)
            m_map.emplace(std::string(key), s);
        else if (++m_misses > m_hits)
            m_off = true; // mostly distinct values: not worth the look-ups
        return s;
    }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view v) const { return std::hash<std::string_view>{}(v); }
    };
    std::unordered_map<std::string, QString, Hash, std::equal_to<>> m_map;
    qint64 m_hits = 0, m_misses = 0;
    bool m_off = false;
};

} // namespace

SortValue SortValue::of(sqlite3_stmt *s, int c)
{
    SortValue v;
    v.type = sqlite3_column_type(s, c);
    switch (v.type) {
    case SQLITE_INTEGER: v.i = sqlite3_column_int64(s, c); break;
    case SQLITE_FLOAT: v.d = sqlite3_column_double(s, c); break;
    case SQLITE_TEXT:
        v.bytes.assign(reinterpret_cast<const char *>(sqlite3_column_text(s, c)), size_t(sqlite3_column_bytes(s, c)));
        break;
    case SQLITE_BLOB: {
        const auto *p = static_cast<const char *>(sqlite3_column_blob(s, c));
        v.bytes.assign(p ? p : "", size_t(sqlite3_column_bytes(s, c)));
        break;
    }
    default: break;
    }
    return v;
}

int SortValue::rank() const
{
    switch (type) {
    case SQLITE_NULL: return 0;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return 1;
    case SQLITE_TEXT: return 2;
    default: return 3;
    }
}

int SortValue::compare(const SortValue &a, const SortValue &b)
{
    const int ra = a.rank(), rb = b.rank();
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra == 0)
        return 0;
    if (ra == 1) {
        if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER)
            return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
        const double x = a.type == SQLITE_INTEGER ? double(a.i) : a.d;
        const double y = b.type == SQLITE_INTEGER ? double(b.i) : b.d;
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const int c = a.bytes.compare(b.bytes);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void ResultRows::reserve(int n)
{
    rows.reserve(n);
    rowids.reserve(qsizetype(n) * nTables);
    keys.reserve(qsizetype(n) * nKeys);
}

void ResultRows::readExtra(sqlite3_stmt *q, int first)
{
    for (int k = 0; k < nKeys; ++k)
        keys.append(SortValue::of(q, first + k));
    for (int k = 0; k < nTables; ++k)
        rowids.append(sqlite3_column_int64(q, first + nKeys + k));
}

void ResultRows::takeRow(ResultRows &from, int r)
{
    rows.append(std::move(from.rows[r]));
    const qint64 *ids = from.rowidsOf(r);
    for (int i = 0; i < nTables; ++i)
        rowids.append(ids[i]);
    for (int k = 0; k < nKeys; ++k)
        keys.append(std::move(from.keys[qsizetype(r) * nKeys + k]));
}

void describeColumns(sqlite3_stmt *q, int n, const Mirrors &mirrors, QVector<SqlColumn> &columns, QVector<int> &known)
{
    columns.clear();
    known.fill(0, n);
    for (int c = 0; c < n; ++c) {
        SqlColumn col;
        col.name = QString::fromUtf8(sqlite3_column_name(q, c));
        const char *tab = sqlite3_column_table_name(q, c);
        const char *org = sqlite3_column_origin_name(q, c);
        if (tab && org) {
            if (const Mirror *m = mirrors.bySqlName(QString::fromUtf8(tab))) {
                const int fi = Mirrors::columnIndex(m, QString::fromUtf8(org));
                if (fi >= 0) {
                    const FieldDef &f = m->def.fields[fi];
                    col.type = f.type;
                    col.size = f.size;
                    col.sourceFile = m->path;
                    col.sourceField = f.name;
                    known[c] = 1;
                }
            }
        }
        columns << col;
    }
}

namespace {

// A computed column: the type follows the first value seen.
QVariant computedValue(sqlite3_stmt *q, int c, SqlColumn &column, bool &typed)
{
    const auto type = [&](FieldType t) {
        if (!typed)
            column.type = t, typed = true;
    };
    switch (sqlite3_column_type(q, c)) {
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_column_int64(q, c);
        type(FieldType::Long);
        return (v >= INT_MIN && v <= INT_MAX) ? QVariant(int(v)) : QVariant(v);
    }
    case SQLITE_FLOAT:
        type(FieldType::Number);
        return sqlite3_column_double(q, c);
    case SQLITE_TEXT: {
        const QString s = columnText(q, c);
        column.size = std::max(column.size, int(s.size()));
        type(FieldType::Alpha);
        return s;
    }
    case SQLITE_BLOB:
        type(FieldType::Blob);
        return toEngine(q, c, FieldType::Blob, false, {});
    default:
        return {};
    }
}

} // namespace

void readRows(const SqlConnection &db, sqlite3_stmt *q, QVector<SqlColumn> &columns, const QVector<int> &known,
              QVector<bool> &typed, ResultRows &out)
{
    const int n = columns.size();
    std::vector<TextCache> texts(n);
    // What the rows will hold, roughly: their texts and blobs, and the
    // values around them.
    qint64 bytes = 0;
    int rc;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
        bytes += qint64(n) * qint64(sizeof(QVariant));
        for (int c = 0; c < n; ++c) {
            const int type = sqlite3_column_type(q, c);
            if (type == SQLITE_TEXT || type == SQLITE_BLOB)
                bytes += sqlite3_column_bytes(q, c);
        }
        if (bytes > kMaxResultBytes)
            throw EngineError(resultTooLargeText());
        Row row(n);
        for (int c = 0; c < n; ++c) {
            if (!known[c]) {
                row[c] = computedValue(q, c, columns[c], typed[c]);
            } else if (columns[c].type == FieldType::Alpha && sqlite3_column_type(q, c) == SQLITE_TEXT) {
                const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(q, c));
                row[c] = texts[c].get(p, sqlite3_column_bytes(q, c));
            } else {
                row[c] = toEngine(q, c, columns[c].type, false, columns[c].name);
            }
        }
        out.rows.append(std::move(row));
        out.readExtra(q, n);
    }
    if (rc != SQLITE_DONE)
        db.fail();
}

} // namespace kw::data::sql
