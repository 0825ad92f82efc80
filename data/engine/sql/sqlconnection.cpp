#include "data/engine/sql/sqlconnection.h"

#include "data/engine/engineerror.h"

#include <sqlite3.h>

namespace kw::data::sql {

Stmt::~Stmt() { sqlite3_finalize(s); }

QString resultTooLargeText()
{
    return QStringLiteral("The result of this statement is too large: its rows would take more than %1 MB.")
        .arg(kMaxResultBytes >> 20);
}

SqlConnection::SqlConnection()
{
    // Only local SQL uses SQLite in this program, so its process-wide bound
    // is this engine's.
    static const bool bounded = [] {
        sqlite3_hard_heap_limit64(kMaxSqlMemory);
        return true;
    }();
    Q_UNUSED(bounded);
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        throw EngineError(QStringLiteral("Cannot start local SQL."));
    }
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, int(kMaxValueBytes));
    exec("PRAGMA journal_mode=MEMORY");
    exec("PRAGMA temp_store=MEMORY");
    exec("PRAGMA case_sensitive_like=ON");
}

SqlConnection::~SqlConnection() { sqlite3_close(m_db); }

void SqlConnection::fail(const QString &context) const
{
    QString msg = QString::fromUtf8(sqlite3_errmsg(m_db));
    if (userNames)
        msg = userNames(msg);
    const int code = sqlite3_extended_errcode(m_db);
    if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw KeyViolation();
    if (code == SQLITE_TOOBIG)
        msg = QStringLiteral("A value of this statement would be larger than the %1 MB a value may hold.")
                  .arg(kMaxValueBytes >> 20);
    else if (code == SQLITE_NOMEM)
        msg = QStringLiteral("This statement needs more than the %1 MB of memory a statement may use.")
                  .arg(kMaxSqlMemory >> 20);
    throw EngineError(context.isEmpty() ? msg : context + u'\n' + msg);
}

void SqlConnection::exec(const char *sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

void SqlConnection::prepare(Stmt &st, const QString &sql)
{
    const QByteArray u = sql.toUtf8();
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(m_db, u.constData(), int(u.size()), &st.s, &tail) != SQLITE_OK)
        fail();
    for (; tail && *tail; ++tail)
        if (*tail != ' ' && *tail != '\n' && *tail != '\r' && *tail != '\t' && *tail != ';')
            throw EngineError(QStringLiteral("Only one SQL statement can be run at a time."));
}

bool SqlConnection::tryPrepare(Stmt &st, const QString &sql)
{
    const QByteArray u = sql.toUtf8();
    return sqlite3_prepare_v2(m_db, u.constData(), int(u.size()), &st.s, nullptr) == SQLITE_OK;
}

Savepoint::Savepoint(SqlConnection &db, const char *name) : m_db(db), m_name(name)
{
    m_db.exec(("SAVEPOINT " + m_name).constData());
}

void Savepoint::release()
{
    m_db.exec(("RELEASE " + m_name).constData());
    m_released = true;
}

Savepoint::~Savepoint()
{
    if (m_released)
        return;
    // Runs while an exception unwinds: errors here cannot be reported, and
    // the rollback of an in-memory savepoint does not fail in practice.
    sqlite3_exec(m_db.handle(), ("ROLLBACK TO " + m_name).constData(), nullptr, nullptr, nullptr);
    sqlite3_exec(m_db.handle(), ("RELEASE " + m_name).constData(), nullptr, nullptr, nullptr);
}

} // namespace kw::data::sql
