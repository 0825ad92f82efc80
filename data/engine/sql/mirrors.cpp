#include "data/engine/sql/mirrors.h"

#include "core/findfile.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/sql/localsql.h"
#include "data/engine/sql/sqlvalues.h"

#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>

namespace kw::data::sql {

namespace {

// An INSERT of the rowid and every column, for filling a mirror.
QString insertSql(const Mirror *m)
{
    QStringList marks;
    for (int i = 0; i <= m->cols.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO %1 (rowid,%2) VALUES (%3)")
        .arg(quoteIdent(m->sqlName), Mirrors::quotedCols(m), marks.join(u','));
}

// Inserts row as rowid through an insertSql() statement.
void insertRow(const SqlConnection &db, Stmt &ins, const Mirror *m, qint64 rowid, const Row &row)
{
    sqlite3_bind_int64(ins.s, 1, rowid);
    for (int c = 0; c < m->cols.size(); ++c)
        bindValue(ins.s, c + 2, c < row.size() ? row[c] : QVariant());
    if (sqlite3_step(ins.s) != SQLITE_DONE)
        db.fail();
    sqlite3_reset(ins.s);
}

} // namespace

Mirrors::Mirrors(SqlConnection &db, TableProvider &provider) : m_db(db), m_provider(provider)
{
    sqlite3_update_hook(m_db.handle(), &Mirrors::onUpdate, this);
    // Name files, not mirror tables, in messages.
    m_db.userNames = [this](const QString &message) {
        QString msg = message;
        for (auto it = m_bySqlName.cbegin(); it != m_bySqlName.cend(); ++it)
            msg.replace(it.key(), QFileInfo(it.value()->path).fileName());
        return msg;
    };
}

Mirrors::~Mirrors()
{
    sqlite3_update_hook(m_db.handle(), nullptr, nullptr);
    m_db.userNames = nullptr;
    qDeleteAll(m_byKey);
}

// Every row written in a mirror table, whatever wrote it.
void Mirrors::onUpdate(void *ctx, int, const char *dbName, const char *table, long long rowid)
{
    auto *self = static_cast<Mirrors *>(ctx);
    if (!self->m_logging || std::strcmp(dbName, "main") != 0 || table[0] != 'm')
        return;
    const int id = std::atoi(table + 1);
    if (id > 0 && id < self->m_byId.size() && self->m_byId[id])
        self->m_byId[id]->logChange(rowid);
}

// ---- resolving file names --------------------------------------------------

Mirrors::Resolved Mirrors::resolve(const QString &name, const QString &defaultDir) const
{
    QString dir = defaultDir;
    QString file = name.trimmed();
    if (file.startsWith(u':')) {
        const int second = file.indexOf(u':', 1);
        if (second < 0)
            throw EngineError(QStringLiteral("Invalid table name: %1").arg(name));
        dir = m_provider.aliasDirectory(file.mid(1, second - 1));
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
        found = kw::core::findExistingFileNoCase(dir, file);
    } else if (ext == QLatin1String("db")) {
        found = kw::core::findExistingFileNoCase(dir, file);
    } else {
        found = kw::core::findExistingFileNoCase(dir, file + QStringLiteral(".DBF"));
        if (!found.isEmpty()) {
            r.dbase = true;
        } else {
            found = kw::core::findExistingFileNoCase(dir, file + QStringLiteral(".DB"));
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

// ---- keeping mirrors in step -----------------------------------------------

Mirror *Mirrors::mirrorFor(const QString &name, const QString &defaultDir)
{
    const Resolved r = resolve(name, defaultDir);
    Mirror *m = m_byKey.value(r.key);
    if (!m) {
        m = new Mirror;
        m->key = r.key;
        m->sqlName = QStringLiteral("m%1").arg(m_nextId++);
        m->dbase = r.dbase;
        m_byKey.insert(r.key, m);
        m_bySqlName.insert(m->sqlName, m);
        m_byId.resize(m_nextId);
        m_byId[m_nextId - 1] = m;
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
        return m;
    }
    ParadoxTable *px = m_provider.paradoxTable(r.path);
    if (!px)
        throw EngineError(QStringLiteral("Table does not exist.\nFile: %1").arg(QDir::toNativeSeparators(r.path)));
    const QString path = px->path().isEmpty() ? r.path : px->path();
    const FileStamp now = FileStamp::of(path);
    if (!m->loaded || m->px != px || m->pxChanges != px->changeCount() || m->pxRows != px->rowCount()
        || !(now == m->stamp)) {
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
    return m;
}

int Mirrors::sourceRowCount(const Mirror *m) { return m->dbase ? m->dbf->recordCount() : m->px->rowCount(); }

// Creates the mirror table afresh and fills it. A full load starts a new
// epoch: cached results over this table are run afresh, so the rows are not
// logged one by one.
void Mirrors::load(Mirror *m)
{
    m->newEpoch();
    const QScopedValueRollback noLogging(m_logging, false);
    m->loaded = false;
    m_db.exec(QStringLiteral("DROP TABLE IF EXISTS ") + quoteIdent(m->sqlName));
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
    m_db.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteIdent(m->sqlName), decl.join(u',')));
    m->keyCols.clear();
    for (int i = 0; i < m->def.keyFieldCount && i < m->cols.size(); ++i)
        m->keyCols << m->cols[i];

    Stmt ins;
    m_db.prepare(ins, insertSql(m));
    const int n = sourceRowCount(m);
    m->rowidAt.resize(n);
    m->snapshot.clear();
    if (!m->dbase) {
        m->snapshot.reserve(n);
        for (int i = 0; i < n; ++i)
            m->snapshot.append(m->px->row(i));
    }
    m->nextRowid = n + 1;
    {
        Savepoint sp(m_db, "load");
        for (int i = 0; i < n; ++i) {
            if (m->dbase && m->dbf->isDeleted(i)) {
                m->rowidAt[i] = 0;
                continue;
            }
            m->rowidAt[i] = i + 1;
            if (m->dbase)
                insertRow(m_db, ins, m, i + 1, m->dbf->record(i));
            else
                insertRow(m_db, ins, m, i + 1, m->px->row(i));
        }
        sp.release();
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
        if (sqlite3_exec(m_db.handle(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
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
bool Mirrors::syncChanged(Mirror *m)
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
    try {
        Savepoint sp(m_db, "sync");
        Stmt del;
        m_db.prepare(del, QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(quoteIdent(m->sqlName)));
        for (qint64 r : std::as_const(removed)) {
            sqlite3_bind_int64(del.s, 1, r);
            if (sqlite3_step(del.s) != SQLITE_DONE)
                m_db.fail();
            sqlite3_reset(del.s);
        }
        Stmt ins;
        m_db.prepare(ins, insertSql(m));
        for (int j : std::as_const(added)) {
            rowidAt[j] = m->nextRowid++;
            insertRow(m_db, ins, m, rowidAt[j], px->row(j));
        }
        sp.release();
    } catch (const KeyViolation &) {
        // The unique key index met a transient clash (a key moved from one
        // row to another): start afresh.
        return false;
    }
    m->rowidAt = rowidAt;
    QVector<Row> snap;
    snap.reserve(n);
    for (int j = 0; j < n; ++j)
        snap.append(px->row(j));
    m->snapshot = std::move(snap);
    return true;
}

QString Mirrors::quotedCols(const Mirror *m)
{
    QStringList q;
    for (const QString &c : m->cols)
        q << quoteIdent(c);
    return q.join(u',');
}

int Mirrors::columnIndex(const Mirror *m, const QString &name)
{
    for (int i = 0; i < m->cols.size(); ++i)
        if (m->cols[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void Mirrors::ensureIndex(Mirror *m, const QString &column)
{
    const QString key = column.toLower();
    if (m->indexed.contains(key))
        return;
    m->indexed.insert(key);
    m_db.exec(QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                  .arg(quoteIdent(m->sqlName + QStringLiteral("_i") + QString::number(m->indexed.size())),
                       quoteIdent(m->sqlName), quoteIdent(column)));
}

void Mirrors::refreshRow(Mirror *m, qint64 rowid, const Row &row, RowRefresh &r)
{
    Stmt &get = r.get;
    if (!get.s)
        m_db.prepare(get, QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(quotedCols(m), quoteIdent(m->sqlName)));
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
        m_db.prepare(up, QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(quoteIdent(m->sqlName), sets.join(u',')));
    }
    sqlite3_reset(up.s);
    for (int c = 0; c < m->cols.size(); ++c)
        bindValue(up.s, c + 1, c < row.size() ? row[c] : QVariant());
    sqlite3_bind_int64(up.s, m->cols.size() + 1, rowid);
    if (sqlite3_step(up.s) != SQLITE_DONE)
        m_db.fail();
}

} // namespace kw::data::sql
