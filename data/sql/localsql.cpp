#include "data/sql/localsql.h"

#include "data/dbase/dbftable.h"
#include "data/engineerror.h"
#include "data/fieldvalue.h"
#include "data/paradox/paradoxtable.h"
#include "data/sql/sqldialect.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <optional>
#include <sqlite3.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>
#include <string_view>
#include <cstring>
#include <numeric>
#include <cstdlib>
#include <unordered_map>

namespace kw::data {

namespace {

QString quoteIdent(QString s) { return u'"' + s.replace(u'"', QLatin1String("\"\"")) + u'"'; }

const char *declType(FieldType t)
{
    switch (t) {
    case FieldType::Alpha: return "TEXT";
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc: return "INTEGER";
    case FieldType::Number:
    case FieldType::Currency:
    case FieldType::Bcd: return "REAL";
    case FieldType::Date: return "DATE_TEXT";
    case FieldType::Time: return "TIME_TEXT";
    case FieldType::Timestamp: return "TIMESTAMP_TEXT";
    case FieldType::Logical: return "BOOLEAN";
    default: return "BLOB";
    }
}

// Owns one prepared statement.
struct Stmt {
    sqlite3_stmt *s = nullptr;
    Stmt() = default;
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    ~Stmt() { sqlite3_finalize(s); }
};

void bindValue(sqlite3_stmt *s, int idx, const QVariant &v)
{
    if (v.isNull() || !v.isValid()) {
        sqlite3_bind_null(s, idx);
        return;
    }
    switch (v.userType()) {
    case QMetaType::Bool:
        sqlite3_bind_int(s, idx, v.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::SChar:
        sqlite3_bind_int64(s, idx, v.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(s, idx, v.toDouble());
        break;
    case QMetaType::QDate: {
        if (!static_cast<const QDate *>(v.constData())->isValid()) { // an empty date editor gives QDate()
            sqlite3_bind_null(s, idx);
            break;
        }
        // YYYY-MM-DD without going through QString: loading a table binds
        // tens of thousands of dates.
        const QDate d = *static_cast<const QDate *>(v.constData());
        const int y = d.year();
        if (y < 1 || y > 9999) {
            const QByteArray b = d.toString(Qt::ISODate).toUtf8();
            sqlite3_bind_text(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        char buf[10] = {char('0' + y / 1000), char('0' + y / 100 % 10), char('0' + y / 10 % 10), char('0' + y % 10),
                        '-', char('0' + d.month() / 10), char('0' + d.month() % 10), '-',
                        char('0' + d.day() / 10), char('0' + d.day() % 10)};
        sqlite3_bind_text(s, idx, buf, 10, SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QTime: {
        const QByteArray b = v.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toUtf8();
        sqlite3_bind_text(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDateTime: {
        const QByteArray b = v.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toUtf8();
        sqlite3_bind_text(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray b = v.toString().toUtf8();
        sqlite3_bind_text(s, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    }
}

QString columnText(sqlite3_stmt *s, int c)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
    return QString::fromUtf8(p, sqlite3_column_bytes(s, c));
}

// A SQLite value as the engine's type. strict: refuse what does not convert
// (write-back); otherwise keep the value as SQLite has it (results).
QVariant toEngine(sqlite3_stmt *s, int c, FieldType type, bool strict, const QString &field)
{
    const int st = sqlite3_column_type(s, c);
    if (st == SQLITE_NULL)
        return {};
    const auto bad = [&]() -> QVariant {
        if (strict)
            throw EngineError(QStringLiteral("Invalid value for field '%1'.").arg(field));
        if (st == SQLITE_INTEGER)
            return sqlite3_column_int64(s, c);
        if (st == SQLITE_FLOAT)
            return sqlite3_column_double(s, c);
        return columnText(s, c);
    };
    switch (type) {
    case FieldType::Alpha:
        if (st == SQLITE_FLOAT)
            return QString::number(sqlite3_column_double(s, c), 'g', QLocale::FloatingPointShortest);
        return columnText(s, c);
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc: {
        qint64 v = 0;
        if (st == SQLITE_INTEGER) {
            v = sqlite3_column_int64(s, c);
        } else {
            bool ok = false;
            const double d = st == SQLITE_FLOAT ? sqlite3_column_double(s, c)
                                                : columnText(s, c).trimmed().toDouble(&ok);
            if ((st != SQLITE_FLOAT && !ok) || d != double(qint64(d)))
                return bad();
            v = qint64(d);
        }
        if (strict)
            fieldvalue::checkRange(FieldSpec{field, type}, v);
        const auto range = *fieldvalue::integerRange(type);
        return v >= range.lo && v <= range.hi ? QVariant(int(v)) : QVariant(v);
    }
    case FieldType::Number:
    case FieldType::Currency:
    case FieldType::Bcd: {
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT)
            return sqlite3_column_double(s, c);
        bool ok = false;
        const double d = columnText(s, c).trimmed().toDouble(&ok);
        return ok ? QVariant(d) : bad();
    }
    case FieldType::Date: {
        // The mirror stores YYYY-MM-DD; read it without a general parser.
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
        const int n = sqlite3_column_bytes(s, c);
        if (n >= 10 && p[4] == '-' && p[7] == '-') {
            int v[8];
            bool digits = true;
            for (int i = 0, k = 0; i < 10; ++i)
                if (i != 4 && i != 7) {
                    digits &= p[i] >= '0' && p[i] <= '9';
                    v[k++] = p[i] - '0';
                }
            const QDate d(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]);
            if (digits && d.isValid())
                return d;
        }
        return bad();
    }
    case FieldType::Time: {
        const QString txt = columnText(s, c);
        QTime tm = QTime::fromString(txt, QStringLiteral("HH:mm:ss.zzz"));
        if (!tm.isValid())
            tm = QTime::fromString(txt, Qt::ISODate);
        return tm.isValid() ? QVariant(tm) : bad();
    }
    case FieldType::Timestamp: {
        const QString txt = columnText(s, c);
        QDateTime dt = QDateTime::fromString(txt, QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
        if (!dt.isValid())
            dt = QDateTime::fromString(txt, Qt::ISODate);
        return dt.isValid() ? QVariant(dt) : bad();
    }
    case FieldType::Logical:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT)
            return sqlite3_column_double(s, c) != 0;
        {
            const QString txt = columnText(s, c).trimmed();
            if (txt.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || txt == QLatin1String("T"))
                return true;
            if (txt.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || txt == QLatin1String("F"))
                return false;
            return bad();
        }
    default: {
        const auto *p = static_cast<const char *>(sqlite3_column_blob(s, c));
        return QByteArray(p, sqlite3_column_bytes(s, c));
    }
    }
}

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

// Values equal for the purpose of keeping the mirror in step.
bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

} // namespace

struct Mirror {
    QString key;       // identity of the file
    QString path;      // resolved file path
    QString sqlName;   // "m1"
    bool dbase = false;
    TableDef def;
    QStringList cols;  // mirror column names (unique), one per field
    QVector<qint64> rowidAt; // source position -> mirror rowid (dBase: 0 = deleted record)
    qint64 nextRowid = 1;
    // Paradox: the rows as mirrored. Holding a reference keeps each row's
    // data alive, so a row the table changes gets new data (copy on write)
    // and an unchanged row keeps its address: that finds changes made
    // outside SQL without comparing values.
    QVector<Row> snapshot;
    QSet<QString> indexed;   // lower-case column names with an index
    QStringList keyCols;     // primary key columns (unique index when the data allows)
    bool loaded = false;

    // Source identity when last synchronized.
    ParadoxTable *px = nullptr;
    quint64 pxChanges = 0;
    int pxRows = -1;
    FileStamp stamp;
    std::optional<DbfTable> dbf;

    // Rowids written in the mirror since the last full load (the epoch), so
    // that a cached query result can be brought up to date by re-reading
    // only the rows built from them.
    quint64 epoch = 0;
    QVector<qint64> changeLog;
    void logChange(qint64 rowid)
    {
        if (changeLog.size() >= 65536) {
            changeLog.clear();
            ++epoch;
        }
        changeLog.append(rowid);
    }
    void newEpoch()
    {
        changeLog.clear();
        ++epoch;
    }
};

namespace {

// One value of an ORDER BY term as SQLite compares it (BINARY collation).
struct SortValue {
    int type = SQLITE_NULL;
    qint64 i = 0;
    double d = 0;
    std::string bytes; // TEXT and BLOB

    static SortValue of(sqlite3_stmt *s, int c)
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
    int rank() const
    {
        switch (type) {
        case SQLITE_NULL: return 0;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT: return 1;
        case SQLITE_TEXT: return 2;
        default: return 3;
        }
    }
    static int compare(const SortValue &a, const SortValue &b)
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
};

} // namespace

// The last result of an ordered SELECT, kept with the rowids each row was
// built from and its ORDER BY values. When the tables change by a few rows,
// only rows built from those are read again and merged in, which gives the
// same rows in the same order as running the statement afresh.
struct CachedSelect {
    QString sql; // the extended statement
    QVector<QVariant> params;
    QVector<Mirror *> tables;
    QVector<quint64> epochs;
    QVector<int> logAt;
    QVector<bool> desc;
    SqlResult result;
    QVector<qint64> rowids;    // tables.size() per row
    QVector<SortValue> keys;   // desc.size() per row
    QVector<int> known;        // 1 = column type from a source field
    QVector<bool> typed;       // computed column typed by a value seen
    // When every column is a field of a Paradox table named once in FROM,
    // SQLite only joins and sorts rowids; the values come from the table
    // rows themselves (no copies of the texts, a much smaller sort).
    bool narrow = false;
    QVector<int> srcTable, srcField; // per column
    quint64 lastUse = 0;

    bool isFor(const QString &s, const QVector<QVariant> &p, const QVector<Mirror *> &t) const
    {
        if (sql != s || tables != t || params.size() != p.size())
            return false;
        for (int i = 0; i < p.size(); ++i)
            if (params[i].userType() != p[i].userType() || !sameValue(params[i], p[i]))
                return false;
        return true;
    }
};

struct LocalSql::Impl {
    TableProvider &provider;
    sqlite3 *db = nullptr;
    QHash<QString, Mirror *> mirrors;    // by key
    QHash<QString, Mirror *> bySqlName;  // by mirror table name
    QVector<Mirror *> byId;              // "m<N>" -> byId[N]
    int nextId = 1;
    bool logging = true;
    std::vector<std::unique_ptr<CachedSelect>> selects;
    quint64 useCounter = 0;

    // Every row written in a mirror table, whatever wrote it.
    static void onUpdate(void *ctx, int, const char *dbName, const char *table, sqlite3_int64 rowid)
    {
        auto *self = static_cast<Impl *>(ctx);
        if (!self->logging || std::strcmp(dbName, "main") != 0 || table[0] != 'm')
            return;
        const int id = std::atoi(table + 1);
        if (id > 0 && id < self->byId.size() && self->byId[id])
            self->byId[id]->logChange(rowid);
    }

    explicit Impl(TableProvider &p) : provider(p)
    {
#ifdef __GLIBC__
        // A query result is tens of megabytes of small blocks, freed when the
        // next result replaces it. By default glibc hands that memory back to
        // the system and faults it in again for the next result, which costs
        // more than building the rows; keep it in the heap instead.
        static const bool tuned = [] {
            mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
            mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
            return true;
        }();
        Q_UNUSED(tuned);
#endif
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            throw EngineError(QStringLiteral("Cannot start local SQL."));
        exec("PRAGMA journal_mode=MEMORY");
        exec("PRAGMA temp_store=MEMORY");
        exec("PRAGMA case_sensitive_like=ON");
        sqlite3_update_hook(db, &Impl::onUpdate, this);
    }
    ~Impl()
    {
        qDeleteAll(mirrors);
        sqlite3_close(db);
    }

    [[noreturn]] void sqlError(const QString &context = {})
    {
        QString msg = QString::fromUtf8(sqlite3_errmsg(db));
        // Name files, not mirror tables, in messages.
        for (auto it = bySqlName.cbegin(); it != bySqlName.cend(); ++it)
            msg.replace(it.key(), QFileInfo(it.value()->path).fileName());
        const int code = sqlite3_extended_errcode(db);
        if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY)
            throw KeyViolation();
        throw EngineError(context.isEmpty() ? msg : context + u'\n' + msg);
    }

    void exec(const char *sql)
    {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            sqlError();
    }
    void exec(const QString &sql) { exec(sql.toUtf8().constData()); }

    void prepare(Stmt &st, const QString &sql)
    {
        const QByteArray u = sql.toUtf8();
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(db, u.constData(), int(u.size()), &st.s, &tail) != SQLITE_OK)
            sqlError();
        // One statement per call: text after it is refused, not ignored.
        for (; tail && *tail; ++tail)
            if (*tail != ' ' && *tail != '\n' && *tail != '\r' && *tail != '\t' && *tail != ';')
                throw EngineError(QStringLiteral("Only one SQL statement can be run at a time."));
    }

    // ---- resolving file names --------------------------------------------

    struct Resolved {
        QString path;
        QString key;
        bool dbase = false;
    };

    static QString matchInDir(const QString &dir, const QString &file)
    {
        const QString exact = QDir(dir).filePath(file);
        if (QFileInfo::exists(exact))
            return exact;
        const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
        for (const QString &n : names)
            if (n.compare(file, Qt::CaseInsensitive) == 0)
                return QDir(dir).filePath(n);
        return {};
    }

    Resolved resolve(const QString &name, const QString &defaultDir)
    {
        QString dir = defaultDir;
        QString file = name.trimmed();
        if (file.startsWith(u':')) {
            const int second = file.indexOf(u':', 1);
            if (second < 0)
                throw EngineError(QStringLiteral("Invalid table name: %1").arg(name));
            dir = provider.aliasDirectory(file.mid(1, second - 1));
            file = file.mid(second + 1);
        }
        file.replace(u'\\', u'/');
        if (file.contains(u'/')) {
            const QFileInfo fi(QDir(dir).filePath(file));
            dir = fi.path();
            file = fi.fileName();
        }
        if (file.isEmpty())
            throw EngineError(QStringLiteral("Invalid table name: %1").arg(name));
        Resolved r;
        const QString ext = QFileInfo(file).suffix().toLower();
        QString found;
        if (ext == QLatin1String("dbf")) {
            r.dbase = true;
            found = matchInDir(dir, file);
        } else if (ext == QLatin1String("db")) {
            found = matchInDir(dir, file);
        } else {
            found = matchInDir(dir, file + QStringLiteral(".DBF"));
            if (!found.isEmpty()) {
                r.dbase = true;
            } else {
                found = matchInDir(dir, file + QStringLiteral(".DB"));
                if (found.isEmpty())
                    file += QStringLiteral(".DB");
            }
        }
        r.path = found.isEmpty() ? QDir::cleanPath(QDir(dir).filePath(file)) : QDir::cleanPath(found);
        const QFileInfo fi(r.path);
        r.key = QDir::cleanPath(QDir(fi.path()).absolutePath()) + u'/' + fi.fileName().toLower();
        if (r.dbase && found.isEmpty())
            throw EngineError(QStringLiteral("Table does not exist.\nFile: %1").arg(QDir::toNativeSeparators(r.path)));
        return r;
    }

    // ---- the mirror --------------------------------------------------------

    Mirror *mirrorFor(const Resolved &r)
    {
        Mirror *m = mirrors.value(r.key);
        if (!m) {
            m = new Mirror;
            m->key = r.key;
            m->sqlName = QStringLiteral("m%1").arg(nextId++);
            m->dbase = r.dbase;
            mirrors.insert(r.key, m);
            bySqlName.insert(m->sqlName, m);
            byId.resize(nextId);
            byId[nextId - 1] = m;
        }
        m->path = r.path;
        if (m->dbase) {
            const FileStamp now = FileStamp::of(r.path);
            if (!m->loaded || !(now == m->stamp)) {
                DbfTable t = DbfTable::open(r.path);
                m->stamp = t.stamp();
                m->def = t.def();
                m->dbf = std::move(t);
                load(m);
            }
        } else {
            ParadoxTable *px = provider.paradoxTable(r.path);
            if (!px)
                throw EngineError(QStringLiteral("Table does not exist.\nFile: %1").arg(QDir::toNativeSeparators(r.path)));
            const QString path = px->path().isEmpty() ? r.path : px->path();
            const FileStamp now = FileStamp::of(path);
            if (!m->loaded || m->px != px || m->pxChanges != px->changeCount()
                || m->pxRows != px->rowCount() || !(now == m->stamp)) {
                if (!m->loaded || m->px != px || !syncChanged(m)) {
                    m->px = px;
                    m->def = px->def();
                    load(m);
                }
                m->stamp = now;
                m->pxChanges = px->changeCount();
                m->pxRows = px->rowCount();
            }
            m->path = path;
        }
        return m;
    }

    int sourceRowCount(const Mirror *m) const { return m->dbase ? m->dbf->recordCount() : m->px->rowCount(); }

    void load(Mirror *m)
    {
        // A full load starts a new epoch: cached results over this table are
        // run afresh. The rows are not logged one by one.
        m->newEpoch();
        logging = false;
        struct Resume {
            bool &flag;
            ~Resume() { flag = true; }
        } resume{logging};
        m->loaded = false;
        exec(QStringLiteral("DROP TABLE IF EXISTS ") + quoteIdent(m->sqlName));
        m->cols.clear();
        QSet<QString> seen;
        QStringList decl;
        for (const FieldDef &f : m->def.fields) {
            QString name = f.name;
            for (int n = 2; seen.contains(name.toLower()); ++n)
                name = f.name + u'_' + QString::number(n);
            seen.insert(name.toLower());
            m->cols << name;
            decl << quoteIdent(name) + u' ' + QLatin1String(declType(f.type));
        }
        exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteIdent(m->sqlName), decl.join(u',')));
        m->keyCols.clear();
        for (int i = 0; i < m->def.keyFieldCount && i < m->cols.size(); ++i)
            m->keyCols << m->cols[i];

        QStringList marks;
        for (int i = 0; i <= m->cols.size(); ++i)
            marks << QStringLiteral("?");
        Stmt ins;
        prepare(ins, QStringLiteral("INSERT INTO %1 (rowid,%2) VALUES (%3)")
                         .arg(quoteIdent(m->sqlName), quotedCols(m), marks.join(u',')));
        const int n = sourceRowCount(m);
        m->rowidAt.resize(n);
        m->snapshot.clear();
        if (!m->dbase) {
            m->snapshot.reserve(n);
            for (int i = 0; i < n; ++i)
                m->snapshot.append(m->px->row(i));
        }
        m->nextRowid = n + 1;
        exec("SAVEPOINT load");
        try {
            for (int i = 0; i < n; ++i) {
                if (m->dbase && m->dbf->isDeleted(i)) {
                    m->rowidAt[i] = 0;
                    continue;
                }
                m->rowidAt[i] = i + 1;
                sqlite3_bind_int64(ins.s, 1, i + 1);
                if (m->dbase) {
                    const Row row = m->dbf->record(i);
                    for (int c = 0; c < row.size(); ++c)
                        bindValue(ins.s, c + 2, row[c]);
                } else {
                    const Row &row = m->px->row(i);
                    for (int c = 0; c < m->cols.size(); ++c)
                        bindValue(ins.s, c + 2, c < row.size() ? row[c] : QVariant());
                }
                if (sqlite3_step(ins.s) != SQLITE_DONE)
                    sqlError();
                sqlite3_reset(ins.s);
            }
            exec("RELEASE load");
        } catch (...) {
            exec("ROLLBACK TO load");
            exec("RELEASE load");
            throw;
        }
        // Indexes: the primary key (unique, so key violations show in the
        // mirror before anything is written) and every column used before.
        const QSet<QString> wanted = m->indexed;
        m->indexed.clear();
        if (!m->keyCols.isEmpty()) {
            QStringList q;
            for (const QString &c : std::as_const(m->keyCols))
                q << quoteIdent(c);
            const QString sql = QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                                    .arg(quoteIdent(m->sqlName + QStringLiteral("_key")), quoteIdent(m->sqlName), q.join(u','));
            if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                m->keyCols.clear(); // data already holds duplicates: no unique check
            else if (m->keyCols.size() == 1)
                m->indexed.insert(m->keyCols.first().toLower());
        }
        for (const QString &c : wanted)
            ensureIndex(m, c);
        m->loaded = true;
    }

    // Brings a Paradox mirror up to date with rows changed outside SQL by
    // replacing only the rows whose data changed. Returns false when a full
    // reload is the better way (many changes, shared row data).
    bool syncChanged(Mirror *m)
    {
        ParadoxTable *px = m->px;
        const int n = px->rowCount();
        QHash<const void *, int> oldPos;
        oldPos.reserve(m->snapshot.size());
        for (int i = 0; i < m->snapshot.size(); ++i) {
            const void *key = m->snapshot[i].constData();
            if (oldPos.contains(key))
                return false;
            oldPos.insert(key, i);
        }
        QVector<qint64> rowidAt(n, 0);
        QVector<bool> kept(m->snapshot.size(), false);
        QVector<int> added;
        for (int j = 0; j < n; ++j) {
            const auto it = oldPos.constFind(px->row(j).constData());
            if (it != oldPos.cend() && !kept[it.value()]) {
                kept[it.value()] = true;
                rowidAt[j] = m->rowidAt[it.value()];
            } else {
                added << j;
            }
        }
        QVector<qint64> removed;
        for (int i = 0; i < kept.size(); ++i)
            if (!kept[i])
                removed << m->rowidAt[i];
        if (added.size() + removed.size() > std::max(64, n / 8))
            return false;
        exec("SAVEPOINT sync");
        try {
            Stmt del;
            prepare(del, QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(quoteIdent(m->sqlName)));
            for (qint64 r : std::as_const(removed)) {
                sqlite3_bind_int64(del.s, 1, r);
                if (sqlite3_step(del.s) != SQLITE_DONE)
                    sqlError();
                sqlite3_reset(del.s);
            }
            QStringList marks;
            for (int i = 0; i <= m->cols.size(); ++i)
                marks << QStringLiteral("?");
            Stmt ins;
            prepare(ins, QStringLiteral("INSERT INTO %1 (rowid,%2) VALUES (%3)")
                             .arg(quoteIdent(m->sqlName), quotedCols(m), marks.join(u',')));
            for (int j : std::as_const(added)) {
                const qint64 rowid = m->nextRowid++;
                rowidAt[j] = rowid;
                sqlite3_bind_int64(ins.s, 1, rowid);
                const Row &row = px->row(j);
                for (int c = 0; c < m->cols.size(); ++c)
                    bindValue(ins.s, c + 2, c < row.size() ? row[c] : QVariant());
                if (sqlite3_step(ins.s) != SQLITE_DONE)
                    sqlError();
                sqlite3_reset(ins.s);
            }
            exec("RELEASE sync");
        } catch (const KeyViolation &) {
            // The unique key index met a transient clash (a key moved from
            // one row to another): start afresh.
            exec("ROLLBACK TO sync");
            exec("RELEASE sync");
            return false;
        } catch (...) {
            exec("ROLLBACK TO sync");
            exec("RELEASE sync");
            throw;
        }
        m->rowidAt = rowidAt;
        QVector<Row> snap;
        snap.reserve(n);
        for (int j = 0; j < n; ++j)
            snap.append(px->row(j));
        m->snapshot = std::move(snap);
        return true;
    }

    QString quotedCols(const Mirror *m) const
    {
        QStringList q;
        for (const QString &c : m->cols)
            q << quoteIdent(c);
        return q.join(u',');
    }

    void ensureIndex(Mirror *m, const QString &column)
    {
        const QString key = column.toLower();
        if (m->indexed.contains(key))
            return;
        m->indexed.insert(key);
        exec(QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                 .arg(quoteIdent(m->sqlName + QStringLiteral("_i") + QString::number(m->indexed.size())),
                      quoteIdent(m->sqlName), quoteIdent(column)));
    }

    int columnIndex(const Mirror *m, const QString &name) const
    {
        for (int i = 0; i < m->cols.size(); ++i)
            if (m->cols[i].compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

    // Values of the statement's parameters in ?1, ?2 ... order; a name is
    // matched exactly first, then without regard to case.
    QVector<QVariant> paramValues(const QStringList &names, const QHash<QString, QVariant> &params)
    {
        QVector<QVariant> values;
        values.reserve(names.size());
        for (const QString &name : names) {
            auto it = params.constFind(name);
            if (it == params.cend()) {
                for (auto j = params.cbegin(); j != params.cend(); ++j)
                    if (j.key().compare(name, Qt::CaseInsensitive) == 0) {
                        it = j;
                        break;
                    }
            }
            if (it == params.cend())
                throw EngineError(QStringLiteral("Parameter '%1' has no value.").arg(name));
            values << it.value();
        }
        return values;
    }

    void bindParams(Stmt &st, const QStringList &names, const QHash<QString, QVariant> &params)
    {
        const QVector<QVariant> values = paramValues(names, params);
        for (int i = 0; i < values.size(); ++i)
            bindValue(st.s, i + 1, values[i]);
    }

    // ---- statements ----------------------------------------------------------

    SqlResult run(const QString &statement, const QString &defaultDir, const QHash<QString, QVariant> &params)
    {
        const sql::Statement st = sql::parse(statement);
        QVector<Mirror *> tables;
        QStringList names;
        QVector<QStringList> columns;
        for (const auto &ref : st.tables) {
            Mirror *m = mirrorFor(resolve(ref.name, defaultDir));
            tables << m;
            names << m->sqlName;
            columns << m->cols;
        }
        const sql::Translation tr = sql::translate(st, names, columns);
        // An index for each column compared with '=', except where the
        // other side is already indexed: the join probes that side, and
        // indexing the large side of a join would cost as much as the query.
        for (const auto &hint : tr.indexHints) {
            if (hint.partnerTable >= 0 && hint.partnerTable != hint.table
                && tables[hint.partnerTable]->indexed.contains(hint.partnerColumn.toLower()))
                continue;
            ensureIndex(tables[hint.table], hint.column);
        }

        if (st.kind == sql::Kind::Select)
            return select(tr, tables, paramValues(tr.params, params));
        return change(st, tr, tables[st.target], params);
    }

    // Column names, types and sources of a prepared SELECT's first n columns.
    void describe(sqlite3_stmt *q, int n, QVector<SqlColumn> &columns, QVector<int> &known)
    {
        columns.clear();
        known.fill(0, n);
        for (int c = 0; c < n; ++c) {
            SqlColumn col;
            col.name = QString::fromUtf8(sqlite3_column_name(q, c));
            const char *tab = sqlite3_column_table_name(q, c);
            const char *org = sqlite3_column_origin_name(q, c);
            if (tab && org) {
                if (Mirror *m = bySqlName.value(QString::fromUtf8(tab))) {
                    const int fi = columnIndex(m, QString::fromUtf8(org));
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

    // Steps a SELECT to the end. The first columns.size() columns become the
    // rows; with extra != null, the columns after them go to ORDER BY values
    // (nKeys) and rowids (the rest).
    struct Extra {
        int nKeys = 0, nTables = 0;
        QVector<SortValue> *keys = nullptr;
        QVector<qint64> *rowids = nullptr;
    };
    // The ORDER BY values and rowids of the current row, from column first on.
    static void readExtra(sqlite3_stmt *q, int first, const Extra &extra)
    {
        for (int k = 0; k < extra.nKeys; ++k)
            extra.keys->append(SortValue::of(q, first + k));
        for (int k = 0; k < extra.nTables; ++k)
            extra.rowids->append(sqlite3_column_int64(q, first + extra.nKeys + k));
    }

    void readRows(sqlite3_stmt *q, QVector<SqlColumn> &columns, const QVector<int> &known, QVector<bool> &typed,
                  QVector<Row> &rows, const Extra *extra = nullptr)
    {
        const int n = columns.size();
        std::vector<TextCache> texts(n);
        int rc;
        while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
            Row row(n);
            for (int c = 0; c < n; ++c) {
                if (known[c] && columns[c].type == FieldType::Alpha && sqlite3_column_type(q, c) == SQLITE_TEXT) {
                    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(q, c));
                    row[c] = texts[c].get(p, sqlite3_column_bytes(q, c));
                    continue;
                }
                if (known[c]) {
                    row[c] = toEngine(q, c, columns[c].type, false, columns[c].name);
                    continue;
                }
                // Computed column: the type follows the value.
                switch (sqlite3_column_type(q, c)) {
                case SQLITE_INTEGER: {
                    const qint64 v = sqlite3_column_int64(q, c);
                    row[c] = (v >= INT_MIN && v <= INT_MAX) ? QVariant(int(v)) : QVariant(v);
                    if (!typed[c])
                        columns[c].type = FieldType::Long, typed[c] = true;
                    break;
                }
                case SQLITE_FLOAT:
                    row[c] = sqlite3_column_double(q, c);
                    if (!typed[c])
                        columns[c].type = FieldType::Number, typed[c] = true;
                    break;
                case SQLITE_TEXT: {
                    const QString s = columnText(q, c);
                    columns[c].size = std::max(columns[c].size, int(s.size()));
                    row[c] = s;
                    if (!typed[c])
                        columns[c].type = FieldType::Alpha, typed[c] = true;
                    break;
                }
                case SQLITE_BLOB:
                    row[c] = toEngine(q, c, FieldType::Blob, false, {});
                    if (!typed[c])
                        columns[c].type = FieldType::Blob, typed[c] = true;
                    break;
                default:
                    break;
                }
            }
            rows.append(std::move(row));
            if (extra)
                readExtra(q, n, *extra);
        }
        if (rc != SQLITE_DONE)
            sqlError();
    }

    SqlResult select(const sql::Translation &tr, const QVector<Mirror *> &tables, const QVector<QVariant> &params)
    {
        if (tr.shape.plain && !tables.isEmpty()) {
            const QString sql = extendedSql(tr, -1, 0);
            for (auto &c : selects)
                if (c->isFor(sql, params, tables)) {
                    c->lastUse = ++useCounter;
                    if (bringUpToDate(*c, tr))
                        return c->result;
                    break;
                }
            if (CachedSelect *c = runCached(sql, tr, tables, params))
                return c->result;
        }
        Stmt q;
        prepare(q, tr.sql);
        for (int i = 0; i < params.size(); ++i)
            bindValue(q.s, i + 1, params[i]);
        SqlResult res;
        QVector<int> known;
        describe(q.s, sqlite3_column_count(q.s), res.columns, known);
        QVector<bool> typed(res.columns.size(), false);
        readRows(q.s, res.columns, known, typed, res.rows);
        return res;
    }

    // The statement with its ORDER BY values and the rowid of each table as
    // extra result columns, the rowids as the last sort keys (so that rows
    // with equal values keep one order), and, with table >= 0, only the rows
    // built from `count` rowids of that table (parameters after the
    // statement's own).
    QString extendedSql(const sql::Translation &tr, int table, int count, bool narrow = false) const
    {
        const sql::SelectShape &sh = tr.shape;
        const QString &s = tr.sql;
        QString extra;
        for (int k = 0; k < sh.termStart.size(); ++k)
            extra += QStringLiteral(", %1 AS \"kw_key%2\"").arg(s.mid(sh.termStart[k], sh.termEnd[k] - sh.termStart[k])).arg(k);
        QString tieBreak;
        for (int k = 0; k < sh.tableAliases.size(); ++k) {
            extra += QStringLiteral(", %1.rowid AS \"kw_rowid%2\"").arg(sh.tableAliases[k]).arg(k);
            tieBreak += QStringLiteral(", %1.rowid").arg(sh.tableAliases[k]);
        }
        QString only;
        if (table >= 0) {
            QStringList marks;
            for (int i = 0; i < count; ++i)
                marks << u'?' + QString::number(tr.params.size() + 1 + i);
            only = QStringLiteral("%1.rowid IN (%2)").arg(sh.tableAliases[table], marks.join(u','));
        }
        QString out = narrow ? s.left(sh.listAt) + u' ' + extra.mid(1) + u' ' : s.left(sh.fromAt) + extra + u' ';
        if (sh.whereAfter >= 0) {
            out += s.mid(sh.fromAt, sh.whereAfter - sh.fromAt) + QStringLiteral(" (")
                + s.mid(sh.whereAfter, sh.condEnd - sh.whereAfter) + u')';
            if (!only.isEmpty())
                out += QStringLiteral(" AND ") + only;
        } else {
            out += s.mid(sh.fromAt, sh.condEnd - sh.fromAt);
            if (!only.isEmpty())
                out += QStringLiteral(" WHERE ") + only;
        }
        const int lastEnd = sh.termEnd.last();
        out += u' ' + s.mid(sh.condEnd, lastEnd - sh.condEnd);
        // The direction of the last term stays with it.
        if (sh.termDesc.last())
            out += QStringLiteral(" DESC");
        out += tieBreak;
        QString rest = s.mid(lastEnd);
        // Drop a trailing ASC/DESC of the last term: written above.
        const QString trimmed = rest.trimmed();
        if (trimmed.startsWith(QLatin1String("DESC"), Qt::CaseInsensitive))
            rest = trimmed.mid(4);
        else if (trimmed.startsWith(QLatin1String("ASC"), Qt::CaseInsensitive))
            rest = trimmed.mid(3);
        return out + rest;
    }

    // Whether every result column is a field of a Paradox table that FROM
    // names once; fills the column sources when it is.
    bool findSources(CachedSelect &c, sqlite3_stmt *q)
    {
        const int n = c.result.columns.size();
        c.narrow = false;
        c.srcTable.fill(-1, n);
        c.srcField.fill(-1, n);
        for (int col = 0; col < n; ++col) {
            const char *tab = sqlite3_column_table_name(q, col);
            const char *org = sqlite3_column_origin_name(q, col);
            if (!tab || !org || !c.known[col])
                return false;
            const QString name = QString::fromUtf8(tab);
            int found = -1;
            for (int i = 0; i < c.tables.size(); ++i) {
                if (c.tables[i]->sqlName != name)
                    continue;
                if (found >= 0)
                    return false; // the same table twice: which one is unknown
                found = i;
            }
            if (found < 0 || c.tables[found]->dbase)
                return false;
            c.srcTable[col] = found;
            c.srcField[col] = columnIndex(c.tables[found], QString::fromUtf8(org));
            if (c.srcField[col] < 0)
                return false;
        }
        c.narrow = true;
        return true;
    }

    // Steps a statement of ORDER BY values and rowids; the rows are taken
    // from the tables' rows.
    void readNarrow(sqlite3_stmt *q, const CachedSelect &c, QVector<Row> &rows, const Extra &extra)
    {
        const int nT = c.tables.size(), n = c.srcTable.size();
        // rowid -> position of the row in its table
        QVector<QVector<int>> posOf(nT);
        for (int i = 0; i < nT; ++i) {
            const Mirror *m = c.tables[i];
            if (!c.srcTable.contains(i))
                continue;
            posOf[i].fill(-1, int(m->nextRowid + 1));
            for (int p = 0; p < m->rowidAt.size(); ++p) {
                const qint64 id = m->rowidAt[p];
                if (id > 0 && id < posOf[i].size())
                    posOf[i][int(id)] = p;
            }
        }
        int rc;
        while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
            readExtra(q, 0, extra);
            const qint64 *ids = extra.rowids->constData() + extra.rowids->size() - nT;
            Row row(n);
            for (int col = 0; col < n; ++col) {
                const int t = c.srcTable[col];
                const qint64 id = ids[t];
                const int p = id > 0 && id < posOf[t].size() ? posOf[t][int(id)] : -1;
                if (p < 0)
                    throw EngineError(QStringLiteral("Row not found in table.\nFile: %1").arg(c.tables[t]->path));
                const Row &src = c.tables[t]->snapshot[p];
                if (c.srcField[col] < src.size())
                    row[col] = src[c.srcField[col]];
            }
            rows.append(std::move(row));
        }
        if (rc != SQLITE_DONE)
            sqlError();
    }

    // Runs the extended statement afresh and keeps its result. Returns null
    // when SQLite does not take the extended form (an ORDER BY naming a
    // result column alias, say); the statement then runs as written.
    CachedSelect *runCached(const QString &sql, const sql::Translation &tr, const QVector<Mirror *> &tables,
                            const QVector<QVariant> &params)
    {
        Stmt q;
        const QByteArray u = sql.toUtf8();
        if (sqlite3_prepare_v2(db, u.constData(), int(u.size()), &q.s, nullptr) != SQLITE_OK)
            return nullptr;
        for (int i = 0; i < params.size(); ++i)
            bindValue(q.s, i + 1, params[i]);
        auto c = std::make_unique<CachedSelect>();
        c->sql = sql;
        c->params = params;
        c->tables = tables;
        c->desc = tr.shape.termDesc;
        const int nKeys = c->desc.size(), nTables = tables.size();
        describe(q.s, sqlite3_column_count(q.s) - nKeys - nTables, c->result.columns, c->known);
        c->typed.fill(false, c->result.columns.size());
        Extra extra{nKeys, nTables, &c->keys, &c->rowids};
        Stmt nq;
        if (findSources(*c, q.s)) {
            const QByteArray n = extendedSql(tr, -1, 0, true).toUtf8();
            if (sqlite3_prepare_v2(db, n.constData(), int(n.size()), &nq.s, nullptr) != SQLITE_OK)
                c->narrow = false;
        }
        if (c->narrow) {
            for (int i = 0; i < params.size(); ++i)
                bindValue(nq.s, i + 1, params[i]);
            readNarrow(nq.s, *c, c->result.rows, extra);
        } else {
            readRows(q.s, c->result.columns, c->known, c->typed, c->result.rows, &extra);
        }
        for (Mirror *m : tables) {
            c->epochs << m->epoch;
            c->logAt << int(m->changeLog.size());
        }
        c->lastUse = ++useCounter;
        // Replace the same statement's entry, else the least recently used
        // one when eight are kept.
        auto same = std::find_if(selects.begin(), selects.end(),
                                 [&](const auto &e) { return e->isFor(sql, params, tables); });
        if (same == selects.end() && selects.size() >= 8)
            same = std::min_element(selects.begin(), selects.end(),
                                    [](const auto &a, const auto &b) { return a->lastUse < b->lastUse; });
        CachedSelect *kept = c.get();
        if (same != selects.end())
            *same = std::move(c);
        else
            selects.push_back(std::move(c));
        return kept;
    }

    static void appendIds(QVector<qint64> &to, const qint64 *from, int n)
    {
        for (int i = 0; i < n; ++i)
            to.append(from[i]);
    }

    // Brings a cached result up to date with the rows logged since. False
    // when it has to run afresh (a table reloaded, or many rows changed).
    bool bringUpToDate(CachedSelect &c, const sql::Translation &tr)
    {
        const int nT = c.tables.size(), nK = c.desc.size();
        QVector<QSet<qint64>> changed(nT);
        qint64 total = 0;
        for (int i = 0; i < nT; ++i) {
            const Mirror *m = c.tables[i];
            if (m->epoch != c.epochs[i] || c.logAt[i] > m->changeLog.size())
                return false;
            for (int k = c.logAt[i]; k < m->changeLog.size(); ++k)
                changed[i].insert(m->changeLog[k]);
            total += changed[i].size();
        }
        if (total == 0)
            return true;
        if (total > std::max<qint64>(64, c.result.rows.size() / 16))
            return false;

        // Rows built from a changed row go; they come back below as they are now.
        QVector<Row> rows;
        QVector<qint64> rowids;
        QVector<SortValue> keys;
        const int n = c.result.rows.size();
        rows.reserve(n);
        rowids.reserve(c.rowids.size());
        keys.reserve(c.keys.size());
        for (int r = 0; r < n; ++r) {
            bool hit = false;
            for (int i = 0; i < nT && !hit; ++i)
                hit = !changed[i].isEmpty() && changed[i].contains(c.rowids[r * nT + i]);
            if (hit)
                continue;
            rows.append(c.result.rows[r]);
            appendIds(rowids, c.rowids.constData() + r * nT, nT);
            for (int k = 0; k < nK; ++k)
                keys.append(std::move(c.keys[r * nK + k]));
        }

        QVector<Row> newRows;
        QVector<qint64> newIds;
        QVector<SortValue> newKeys;
        QSet<QByteArray> seen;
        for (int i = 0; i < nT; ++i) {
            if (changed[i].isEmpty())
                continue;
            Stmt q;
            prepare(q, extendedSql(tr, i, int(changed[i].size()), c.narrow));
            int p = 1;
            for (const QVariant &v : std::as_const(c.params))
                bindValue(q.s, p++, v);
            for (qint64 id : std::as_const(changed[i]))
                sqlite3_bind_int64(q.s, p++, id);
            QVector<Row> got;
            QVector<qint64> gotIds;
            QVector<SortValue> gotKeys;
            Extra extra{nK, nT, &gotKeys, &gotIds};
            if (c.narrow)
                readNarrow(q.s, c, got, extra);
            else
                readRows(q.s, c.result.columns, c.known, c.typed, got, &extra);
            for (int r = 0; r < got.size(); ++r) {
                // A row built from changed rows of two tables comes twice.
                const QByteArray tuple(reinterpret_cast<const char *>(gotIds.constData() + r * nT),
                                       qsizetype(nT * sizeof(qint64)));
                if (seen.contains(tuple))
                    continue;
                seen.insert(tuple);
                newRows.append(got[r]);
                appendIds(newIds, gotIds.constData() + r * nT, nT);
                for (int k = 0; k < nK; ++k)
                    newKeys.append(gotKeys[r * nK + k]);
            }
        }

        const auto compare = [&](const SortValue *ka, const qint64 *ia, const SortValue *kb, const qint64 *ib) {
            for (int k = 0; k < nK; ++k)
                if (const int d = SortValue::compare(ka[k], kb[k]))
                    return c.desc[k] ? -d : d;
            for (int i = 0; i < nT; ++i)
                if (ia[i] != ib[i])
                    return ia[i] < ib[i] ? -1 : 1;
            return 0;
        };
        QVector<int> order(newRows.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            return compare(newKeys.constData() + a * nK, newIds.constData() + a * nT, newKeys.constData() + b * nK,
                           newIds.constData() + b * nT) < 0;
        });

        QVector<Row> merged;
        QVector<qint64> mergedIds;
        QVector<SortValue> mergedKeys;
        merged.reserve(rows.size() + newRows.size());
        mergedIds.reserve((rows.size() + newRows.size()) * nT);
        mergedKeys.reserve((rows.size() + newRows.size()) * nK);
        int a = 0, b = 0;
        while (a < rows.size() || b < order.size()) {
            bool takeNew = a >= rows.size();
            if (!takeNew && b < order.size()) {
                const int o = order[b];
                takeNew = compare(newKeys.constData() + o * nK, newIds.constData() + o * nT,
                                  keys.constData() + a * nK, rowids.constData() + a * nT) < 0;
            }
            if (takeNew) {
                const int o = order[b++];
                merged.append(std::move(newRows[o]));
                appendIds(mergedIds, newIds.constData() + o * nT, nT);
                for (int k = 0; k < nK; ++k)
                    mergedKeys.append(std::move(newKeys[o * nK + k]));
            } else {
                merged.append(std::move(rows[a]));
                appendIds(mergedIds, rowids.constData() + a * nT, nT);
                for (int k = 0; k < nK; ++k)
                    mergedKeys.append(std::move(keys[a * nK + k]));
                ++a;
            }
        }
        c.result.rows = std::move(merged);
        c.rowids = std::move(mergedIds);
        c.keys = std::move(mergedKeys);
        for (int i = 0; i < nT; ++i)
            c.logAt[i] = int(c.tables[i]->changeLog.size());
        return true;
    }

    // INSERT/UPDATE/DELETE: run in the mirror inside a savepoint, collect the
    // affected rows, check them, write them to the table file, and keep the
    // mirror only when every write succeeded.
    SqlResult change(const sql::Statement &st, const sql::Translation &tr, Mirror *m,
                     const QHash<QString, QVariant> &params)
    {
        QVector<int> setFields;
        if (st.kind != sql::Kind::Delete) {
            if (st.kind == sql::Kind::Update || !st.setColumns.isEmpty()) {
                for (const QString &c : st.setColumns) {
                    const int fi = columnIndex(m, c);
                    if (fi < 0)
                        throw EngineError(QStringLiteral("Invalid field name.\n%1").arg(c));
                    setFields << fi;
                }
            }
        }
        Stmt q;
        QString text = tr.sql;
        while (!text.isEmpty() && (text.back().isSpace() || text.back() == u';'))
            text.chop(1);
        prepare(q, text + QStringLiteral(" RETURNING rowid,*"));
        bindParams(q, tr.params, params);

        exec("SAVEPOINT change");
        struct Affected {
            qint64 rowid;
            Row values; // new values in field order (unused for deletes)
        };
        QVector<Affected> affected;
        try {
            int rc;
            while ((rc = sqlite3_step(q.s)) == SQLITE_ROW) {
                Affected a;
                a.rowid = sqlite3_column_int64(q.s, 0);
                if (st.kind != sql::Kind::Delete) {
                    a.values.resize(m->cols.size());
                    for (int c = 0; c < m->cols.size(); ++c) {
                        const FieldDef &f = m->def.fields[c];
                        a.values[c] = toEngine(q.s, c + 1, f.type, true, f.name);
                    }
                }
                m->logChange(a.rowid); // also when SQLite truncates without telling
                affected.append(std::move(a));
            }
            if (rc != SQLITE_DONE)
                sqlError();
            sqlite3_reset(q.s);
            prepareValues(st.kind, m, setFields, affected);
            if (m->dbase)
                writeDbase(st.kind, m, setFields, affected);
            else
                writeParadox(st.kind, m, setFields, affected);
        } catch (...) {
            sqlite3_reset(q.s);
            exec("ROLLBACK TO change");
            exec("RELEASE change");
            throw;
        }
        exec("RELEASE change");
        SqlResult res;
        res.rowsAffected = affected.size();
        return res;
    }

    // Normalizes and checks new values before anything is written, as a
    // dataset would: text cut to the field's width, required fields filled.
    template <typename A>
    void prepareValues(sql::Kind kind, Mirror *m, const QVector<int> &setFields, QVector<A> &affected)
    {
        if (kind == sql::Kind::Delete)
            return;
        for (auto &a : affected) {
            for (int c = 0; c < m->def.fields.size(); ++c) {
                const FieldDef &f = m->def.fields[c];
                const FieldSpec spec = FieldSpec::of(f);
                QVariant &v = a.values[c];
                v = fieldvalue::convert(spec, v);
                const bool written = kind == sql::Kind::Insert || setFields.contains(c);
                if (written && f.type != FieldType::AutoInc)
                    fieldvalue::checkRequired(spec, v);
            }
        }
    }

    template <typename A>
    void writeDbase(sql::Kind kind, Mirror *m, const QVector<int> &setFields, const QVector<A> &affected)
    {
        DbfTable copy = *m->dbf; // changes are made on a copy and saved in one go
        QVector<qint64> rowidAt = m->rowidAt;
        QHash<qint64, int> recOf;
        for (int i = 0; i < rowidAt.size(); ++i)
            if (rowidAt[i])
                recOf.insert(rowidAt[i], i);
        QVector<QPair<qint64, int>> touched; // rowid, record
        for (const auto &a : affected) {
            switch (kind) {
            case sql::Kind::Delete:
                copy.setDeleted(recOf.value(a.rowid), true);
                rowidAt[recOf.value(a.rowid)] = 0;
                break;
            case sql::Kind::Update: {
                const int rec = recOf.value(a.rowid);
                Row row = copy.record(rec);
                for (int fi : setFields)
                    row[fi] = a.values[fi];
                copy.setRecord(rec, row);
                touched.append({a.rowid, rec});
                break;
            }
            case sql::Kind::Insert: {
                Row row = a.values;
                for (int c = 0; c < row.size(); ++c)
                    if (m->def.fields[c].type == FieldType::Memo && !row[c].isNull())
                        row[c] = QVariant(); // memo text is not written; see DbfTable
                const int rec = copy.appendRecord(row);
                rowidAt.append(a.rowid);
                touched.append({a.rowid, rec});
                break;
            }
            default:
                break;
            }
        }
        if (!affected.isEmpty())
            copy.save();
        m->dbf = std::move(copy);
        m->rowidAt = rowidAt;
        m->stamp = m->dbf->stamp();
        Refresh refresh;
        for (const auto &[rowid, rec] : touched)
            refreshMirrorRow(m, rowid, m->dbf->record(rec), refresh);
    }

    template <typename A>
    void writeParadox(sql::Kind kind, Mirror *m, const QVector<int> &setFields, const QVector<A> &affected)
    {
        ParadoxTable *px = m->px;
        // Positions of the affected rows, found in one pass.
        QHash<qint64, int> wanted;
        for (const auto &a : affected)
            wanted.insert(a.rowid, -1);
        if (kind != sql::Kind::Insert)
            for (int i = 0; i < m->rowidAt.size(); ++i)
                if (wanted.contains(m->rowidAt[i]))
                    wanted[m->rowidAt[i]] = i;

        struct Undo {
            enum { Update, Insert, Remove } what;
            qint64 rowid;
            Row old;
        };
        QVector<Undo> done;
        QVector<QPair<qint64, int>> touched;
        const auto posOf = [&](qint64 rowid) {
            const int p = int(m->rowidAt.indexOf(rowid));
            if (p < 0)
                throw EngineError(QStringLiteral("Row not found in table.\nFile: %1").arg(m->path));
            return p;
        };
        try {
            if (kind == sql::Kind::Delete) {
                QVector<int> positions;
                for (const auto &a : affected)
                    positions << wanted.value(a.rowid);
                std::sort(positions.begin(), positions.end(), std::greater<int>());
                for (int p : positions) {
                    const Row old = px->row(p);
                    const qint64 rowid = m->rowidAt[p];
                    px->remove(p);
                    m->rowidAt.remove(p);
                    m->snapshot.remove(p);
                    done.append({Undo::Remove, rowid, old});
                }
            } else if (kind == sql::Kind::Update) {
                for (const auto &a : affected) {
                    const int p = m->rowidAt.value(wanted.value(a.rowid)) == a.rowid ? wanted.value(a.rowid)
                                                                                       : posOf(a.rowid);
                    Row row = px->row(p);
                    const Row old = row;
                    for (int fi : setFields)
                        row[fi] = a.values[fi];
                    const int np = px->update(p, row);
                    done.append({Undo::Update, a.rowid, old});
                    if (np != p) {
                        m->rowidAt.move(p, np);
                        m->snapshot.move(p, np);
                    }
                    m->snapshot[np] = px->row(np);
                    touched.append({a.rowid, np});
                }
            } else {
                for (const auto &a : affected) {
                    Row row = a.values;
                    const int np = px->insert(row);
                    m->rowidAt.insert(np, a.rowid);
                    m->snapshot.insert(np, px->row(np));
                    m->nextRowid = std::max(m->nextRowid, a.rowid + 1);
                    done.append({Undo::Insert, a.rowid, {}});
                    touched.append({a.rowid, np});
                }
            }
        } catch (...) {
            // Put back what was written, newest first, and start the mirror
            // afresh next time.
            for (int i = done.size() - 1; i >= 0; --i) {
                try {
                    const Undo &u = done[i];
                    if (u.what == Undo::Update) {
                        const int p = posOf(u.rowid);
                        const int np = px->update(p, u.old);
                        if (np != p)
                            m->rowidAt.move(p, np);
                    } else if (u.what == Undo::Insert) {
                        const int p = posOf(u.rowid);
                        px->remove(p);
                        m->rowidAt.remove(p);
                    } else {
                        Row old = u.old;
                        px->insert(old);
                    }
                } catch (...) {
                }
            }
            m->loaded = false;
            throw;
        }
        // Positions may have moved with key changes; the stored rows are the
        // truth (AutoInc values, text cut to width).
        QHash<qint64, int> where;
        for (const auto &t : std::as_const(touched))
            where.insert(t.first, -1);
        if (!where.isEmpty())
            for (int i = 0; i < m->rowidAt.size(); ++i)
                if (const auto it = where.find(m->rowidAt[i]); it != where.end())
                    it.value() = i;
        Refresh refresh;
        for (auto it = where.cbegin(); it != where.cend(); ++it)
            if (it.value() >= 0)
                refreshMirrorRow(m, it.key(), px->row(it.value()), refresh);
        m->pxChanges = px->changeCount();
        m->pxRows = px->rowCount();
        m->stamp = FileStamp::of(m->path);
    }

    struct Refresh {
        Stmt get, up;
    };

    void refreshMirrorRow(Mirror *m, qint64 rowid, const Row &row)
    {
        Refresh r;
        refreshMirrorRow(m, rowid, row, r);
    }

    // Makes the mirror row hold what the table stored; statements are
    // prepared once per batch.
    void refreshMirrorRow(Mirror *m, qint64 rowid, const Row &row, Refresh &r)
    {
        Stmt &get = r.get;
        if (!get.s)
            prepare(get, QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(quotedCols(m), quoteIdent(m->sqlName)));
        sqlite3_reset(get.s);
        sqlite3_bind_int64(get.s, 1, rowid);
        if (sqlite3_step(get.s) != SQLITE_ROW)
            return;
        bool same = true;
        for (int c = 0; c < m->cols.size() && same; ++c)
            same = sameValue(toEngine(get.s, c, m->def.fields[c].type, false, {}), c < row.size() ? row[c] : QVariant());
        sqlite3_reset(get.s);
        if (same)
            return;
        Stmt &up = r.up;
        if (!up.s) {
            QStringList sets;
            for (const QString &c : m->cols)
                sets << quoteIdent(c) + QStringLiteral("=?");
            prepare(up, QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(quoteIdent(m->sqlName), sets.join(u',')));
        }
        sqlite3_reset(up.s);
        for (int c = 0; c < m->cols.size(); ++c)
            bindValue(up.s, c + 1, c < row.size() ? row[c] : QVariant());
        sqlite3_bind_int64(up.s, m->cols.size() + 1, rowid);
        if (sqlite3_step(up.s) != SQLITE_DONE)
            sqlError();
    }
};

LocalSql::LocalSql(TableProvider &provider) : d(std::make_unique<Impl>(provider)) {}

LocalSql::~LocalSql() = default;

SqlResult LocalSql::exec(const QString &statement, const QString &defaultDir,
                         const QHash<QString, QVariant> &params)
{
    return d->run(statement, defaultDir, params);
}

} // namespace kw::data
