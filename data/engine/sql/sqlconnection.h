#pragma once
// The in-memory SQLite database behind local SQL: statements, its errors in
// the engine's terms, and savepoints that undo what a failed step wrote.
#include <QByteArray>
#include <QString>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

namespace kw::data::sql {

// What one statement may take: a value (a text or a blob) at most
// kMaxValueBytes, SQLite's own memory (the tables mirrored, sorting) at
// most kMaxSqlMemory, the rows of a result at most kMaxResultBytes. Beyond
// them the statement fails with a message that says so, where it would
// otherwise run the machine out of memory.
constexpr qint64 kMaxValueBytes = qint64(64) << 20;
constexpr qint64 kMaxSqlMemory = qint64(1) << 30;
constexpr qint64 kMaxResultBytes = qint64(512) << 20;
// The message of a statement whose result grew past kMaxResultBytes.
QString resultTooLargeText();

// Owns one prepared statement.
struct Stmt {
    sqlite3_stmt *s = nullptr;
    Stmt() = default;
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    ~Stmt();
};

class SqlConnection {
public:
    // Throws EngineError when SQLite cannot start.
    SqlConnection();
    ~SqlConnection();
    SqlConnection(const SqlConnection &) = delete;
    SqlConnection &operator=(const SqlConnection &) = delete;

    sqlite3 *handle() const { return m_db; }
    void exec(const char *sql);
    void exec(const QString &sql) { exec(sql.toUtf8().constData()); }
    // Prepares exactly one statement: text after it is refused, not ignored.
    void prepare(Stmt &st, const QString &sql);
    // Prepares a statement SQLite may refuse: false then, nothing thrown.
    bool tryPrepare(Stmt &st, const QString &sql);

    // Throws SQLite's last error: KeyViolation for a unique or key
    // constraint, else an EngineError (after context, when given).
    [[noreturn]] void fail(const QString &context = {}) const;

    // Rewrites SQLite's messages for the user (mirror tables by their files).
    std::function<QString(const QString &)> userNames;

private:
    sqlite3 *m_db = nullptr;
};

// A savepoint for one step: release() keeps what the step wrote; leaving
// the scope without it (an exception) rolls it back.
class Savepoint {
public:
    Savepoint(SqlConnection &db, const char *name);
    ~Savepoint();
    Savepoint(const Savepoint &) = delete;
    Savepoint &operator=(const Savepoint &) = delete;
    void release();

private:
    SqlConnection &m_db;
    QByteArray m_name;
    bool m_released = false;
};

} // namespace kw::data::sql
