#pragma once
// The engine's SQL dialect, read token by token and rewritten for SQLite:
// table references become mirror tables with the written name (or alias) as
// SQLite alias, 'x' after "alias." becomes an identifier, "x" that names no
// column becomes a string literal, :Name / :"Quoted Name" parameters become
// numbered ones. Nothing from the parameters ever enters the SQL text.
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

namespace kw::data::sql {

enum class Tok { Space, Word, DQuote, Bracket, SQuote, Number, Param, Punct };

struct Token {
    Tok kind = Tok::Space;
    QString text; // Word/Number/Punct/Space: as written; quotes: content; Param: name
};

// Throws EngineError on an unterminated quote.
QVector<Token> tokenize(const QString &sql);

enum class Kind { Select, Insert, Update, Delete };

struct TableRef {
    QString name;   // as written, quotes removed ("Equipment.DB", ":Kitwarden:Lists.DB", "ALSE")
    QString alias;  // explicit alias, or empty
    int first = 0;  // token range [first, last] covering name and alias
    int last = 0;
    QString sqlAlias() const { return alias.isEmpty() ? name : alias; }
};

struct Statement {
    Kind kind = Kind::Select;
    QVector<Token> toks;
    QVector<TableRef> tables;
    int target = -1;      // index in tables of the INSERT/UPDATE/DELETE target
    QStringList setColumns; // UPDATE: columns assigned (unqualified); INSERT: listed columns
    QSet<int> dropped;      // tokens left out: qualifiers of SET and INSERT column names
};

// Throws EngineError for statements other than SELECT/INSERT/UPDATE/DELETE.
Statement parse(const QString &sql);

struct ColumnUse {
    int table = -1;  // index in Statement::tables
    QString column;  // as found in that table
    int partnerTable = -1; // the column on the other side of '=', if any
    QString partnerColumn;
};

// Where an ordered SELECT over inner joins written in WHERE can be extended
// with more result columns and conditions. Offsets are into Translation::sql.
// Set (plain = true) only for one SELECT without DISTINCT, grouping,
// aggregates, JOIN, LIMIT, compound parts or subqueries over tables.
struct SelectShape {
    bool plain = false;
    int listAt = -1;      // the select list (after SELECT)
    int fromAt = -1;      // the top-level FROM
    int whereAfter = -1;  // just after the top-level WHERE; -1 without one
    int condEnd = -1;     // end of the WHERE condition or FROM list (the ORDER)
    QVector<int> termStart, termEnd; // ORDER BY terms, without ASC/DESC
    QVector<bool> termDesc;
    QStringList tableAliases; // quoted SQL alias of each table
};

struct Translation {
    QString sql;
    QStringList params;           // name of ?1, ?2, ...
    QVector<ColumnUse> indexHints; // columns compared with '='
    SelectShape shape;
};

// mirrorNames[i] and columns[i] belong to st.tables[i].
Translation translate(const Statement &st, const QStringList &mirrorNames,
                      const QVector<QStringList> &columns);

} // namespace kw::data::sql
