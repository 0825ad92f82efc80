#include "data/engine/sql/sqldialect.h"

#include "data/engine/engineerror.h"

#include <QHash>
#include <optional>

namespace kw::data::sql {

namespace {

QString quoteIdent(QString s) { return u'"' + s.replace(u'"', QLatin1String("\"\"")) + u'"'; }
QString quoteLiteral(QString s) { return u'\'' + s.replace(u'\'', QLatin1String("''")) + u'\''; }

bool isWord(const Token &t, const char *upper)
{
    return t.kind == Tok::Word && t.text.compare(QLatin1String(upper), Qt::CaseInsensitive) == 0;
}
bool isPunct(const Token &t, const char *p) { return t.kind == Tok::Punct && t.text == QLatin1String(p); }
bool isNameToken(const Token &t)
{
    return t.kind == Tok::Word || t.kind == Tok::DQuote || t.kind == Tok::Bracket;
}

const QSet<QString> &reservedAfterTable()
{
    static const QSet<QString> s = {
        QStringLiteral("WHERE"), QStringLiteral("ORDER"), QStringLiteral("GROUP"), QStringLiteral("HAVING"),
        QStringLiteral("UNION"), QStringLiteral("EXCEPT"), QStringLiteral("INTERSECT"), QStringLiteral("INNER"),
        QStringLiteral("LEFT"), QStringLiteral("RIGHT"), QStringLiteral("FULL"), QStringLiteral("OUTER"),
        QStringLiteral("CROSS"), QStringLiteral("NATURAL"), QStringLiteral("JOIN"), QStringLiteral("ON"),
        QStringLiteral("USING"), QStringLiteral("SET"), QStringLiteral("VALUES"), QStringLiteral("SELECT"),
        QStringLiteral("LIMIT"), QStringLiteral("AS"), QStringLiteral("WITH"), QStringLiteral("DEFAULT")};
    return s;
}

struct Cursor {
    const QVector<Token> &t;
    int next(int i) const
    {
        for (++i; i < t.size(); ++i)
            if (t[i].kind != Tok::Space)
                return i;
        return t.size();
    }
    int prev(int i) const
    {
        for (--i; i >= 0; --i)
            if (t[i].kind != Tok::Space)
                return i;
        return -1;
    }
    bool at(int i) const { return i >= 0 && i < t.size(); }
};

// Reads a statement's tokens once, left to right: the verb, then at each
// keyword that names a table (FROM, JOIN, UPDATE, INTO) the references, and
// the column names of SET and INSERT's list. Each step takes the index of
// the token it starts at and returns the index of the last token it read.
class Parser {
public:
    explicit Parser(Statement &st) : st(st), t(st.toks), cur{st.toks} {}

    void run(const QString &sql)
    {
        const int first = cur.next(-1);
        st.kind = verb(first, sql);
        int depth = 0;
        for (int i = first; i < t.size(); ++i) {
            const Token &k = t[i];
            if (isPunct(k, "("))
                ++depth;
            else if (isPunct(k, ")"))
                --depth;
            if (k.kind != Tok::Word)
                continue;
            if (isWord(k, "FROM") || isWord(k, "JOIN"))
                i = fromOrJoin(i);
            else if (i == first && st.kind == Kind::Update)
                i = target(i, true, "UPDATE");
            else if (st.kind == Kind::Insert && st.target < 0 && isWord(k, "INTO"))
                i = insertColumns(target(i, false, "INTO"));
            else if (st.kind == Kind::Update && depth == 0 && isWord(k, "SET"))
                i = assignments(i);
        }
        if (st.kind != Kind::Select && st.target < 0)
            throw EngineError(QStringLiteral("Invalid SQL statement: no table to change."));
        // A SELECT without FROM (constants) is allowed.
    }

private:
    Kind verb(int first, const QString &sql) const
    {
        if (!cur.at(first) || t[first].kind != Tok::Word)
            throw EngineError(QStringLiteral("Invalid SQL statement: %1").arg(sql.simplified().left(60)));
        const QString verb = t[first].text.toUpper();
        if (verb == QLatin1String("SELECT"))
            return Kind::Select;
        if (verb == QLatin1String("INSERT"))
            return Kind::Insert;
        if (verb == QLatin1String("UPDATE"))
            return Kind::Update;
        if (verb == QLatin1String("DELETE"))
            return Kind::Delete;
        throw EngineError(QStringLiteral("Capability not supported: %1").arg(t[first].text));
    }

    // A table reference after token i: "file", 'file', file or file.DB,
    // then an optional alias. Returns its last token, or -1 when there is
    // none (a subquery).
    int tableRef(int i, bool allowAlias)
    {
        i = cur.next(i);
        if (!cur.at(i))
            return -1;
        TableRef ref;
        ref.first = i;
        const Token &a = t[i];
        if (a.kind == Tok::DQuote || a.kind == Tok::SQuote || a.kind == Tok::Bracket) {
            ref.name = a.text;
        } else if (a.kind == Tok::Word && !reservedAfterTable().contains(a.text.toUpper())) {
            ref.name = a.text;
            const int dot = cur.next(i);
            const int ext = cur.next(dot);
            if (cur.at(ext) && isPunct(t[dot], ".") && (isWord(t[ext], "DB") || isWord(t[ext], "DBF"))) {
                ref.name += u'.' + t[ext].text;
                i = ext;
            }
        } else {
            return -1;
        }
        ref.last = i;
        if (allowAlias)
            ref.last = alias(ref, i);
        st.tables.append(ref);
        return ref.last;
    }

    // [AS] alias after a reference ending at i; returns its last token.
    int alias(TableRef &ref, int i) const
    {
        int j = cur.next(i);
        if (cur.at(j) && isWord(t[j], "AS"))
            j = cur.next(j);
        if (cur.at(j) && ((t[j].kind == Tok::Word && !reservedAfterTable().contains(t[j].text.toUpper()))
                          || t[j].kind == Tok::DQuote || t[j].kind == Tok::Bracket)) {
            ref.alias = t[j].text;
            return j;
        }
        return i;
    }

    // FROM a, b, ... or JOIN a; DELETE's first FROM names its target.
    int fromOrJoin(int i)
    {
        const bool list = isWord(t[i], "FROM");
        const bool deleteTarget = st.kind == Kind::Delete && st.target < 0 && list;
        int j = tableRef(i, true);
        if (j < 0)
            return i;
        if (deleteTarget)
            st.target = st.tables.size() - 1;
        while (list) {
            const int c = cur.next(j);
            if (!cur.at(c) || !isPunct(t[c], ","))
                break;
            const int r = tableRef(c, true);
            if (r < 0)
                break;
            j = r;
        }
        return j;
    }

    // The table UPDATE or INSERT INTO changes.
    int target(int i, bool allowAlias, const char *after)
    {
        const int j = tableRef(i, allowAlias);
        if (j < 0)
            throw EngineError(
                QStringLiteral("Invalid SQL statement: table name expected after %1.").arg(QLatin1String(after)));
        st.target = st.tables.size() - 1;
        return j;
    }

    // INSERT's column list after token i: names may carry the table as a
    // qualifier, which SQLite does not accept there. Returns i: the values
    // that follow are read on as any other tokens.
    int insertColumns(int i)
    {
        int p = cur.next(i);
        if (!cur.at(p) || !isPunct(t[p], "("))
            return i;
        int q = cur.next(p);
        while (cur.at(q) && !isPunct(t[q], ")")) {
            const int dot = cur.next(q);
            if (cur.at(dot) && isPunct(t[dot], ".")) {
                st.dropped << q;
                for (int d = q + 1; d <= dot; ++d)
                    st.dropped << d;
                q = cur.next(dot);
            }
            if (cur.at(q) && (isNameToken(t[q]) || t[q].kind == Tok::SQuote))
                st.setColumns << t[q].text;
            q = cur.next(q);
            if (cur.at(q) && isPunct(t[q], ","))
                q = cur.next(q);
        }
        return i;
    }

    // UPDATE's assignments from SET up to WHERE, the targets' qualifiers
    // stripped. Returns the token before WHERE (or the end), else i.
    int assignments(int i)
    {
        int q = cur.next(i);
        while (cur.at(q)) {
            const int dot = cur.next(q);
            int col = q;
            if (cur.at(dot) && isPunct(t[dot], ".")) {
                for (int d = q; d <= dot; ++d)
                    st.dropped << d;
                col = cur.next(dot);
            }
            if (!cur.at(col))
                break;
            st.setColumns << t[col].text;
            const int r = endOfValue(col);
            if (!cur.at(r) || isWord(t[r], "WHERE"))
                return r - 1;
            q = cur.next(r);
        }
        return i;
    }

    // The top-level comma or WHERE after an assigned value (or the end).
    int endOfValue(int col) const
    {
        int d = 0;
        int r = cur.next(col);
        for (; cur.at(r); r = cur.next(r)) {
            if (isPunct(t[r], "("))
                ++d;
            else if (isPunct(t[r], ")"))
                --d;
            else if (d == 0 && (isPunct(t[r], ",") || isWord(t[r], "WHERE")))
                break;
        }
        return r;
    }

    Statement &st;
    const QVector<Token> &t;
    Cursor cur;
};

} // namespace

Statement parse(const QString &sql)
{
    Statement st;
    st.toks = tokenize(sql);
    Parser(st).run(sql);
    return st;
}

namespace {

// Where the top-level clauses of a SELECT stand (token indexes).
struct Clauses {
    int from = -1, where = -1, order = -1;
};

// The top-level FROM, WHERE and ORDER of a SELECT without aggregates,
// grouping, joins or the like; nothing when the statement has any of them.
std::optional<Clauses> plainClauses(const QVector<Token> &t, const QVector<int> &startAt, const QVector<int> &depthAt)
{
    static const QSet<QString> aggregates = {QStringLiteral("COUNT"), QStringLiteral("SUM"), QStringLiteral("AVG"),
                                             QStringLiteral("MIN"), QStringLiteral("MAX"), QStringLiteral("TOTAL"),
                                             QStringLiteral("GROUP_CONCAT")};
    static const QSet<QString> unsupported = {
        QStringLiteral("DISTINCT"), QStringLiteral("GROUP"), QStringLiteral("HAVING"), QStringLiteral("LIMIT"),
        QStringLiteral("OFFSET"), QStringLiteral("UNION"), QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT"),
        QStringLiteral("WINDOW"), QStringLiteral("JOIN"), QStringLiteral("COLLATE"), QStringLiteral("NULLS"),
        QStringLiteral("WITH"), QStringLiteral("OVER")};
    const Cursor cur{t};
    Clauses c;
    for (int i = cur.next(-1); cur.at(i); i = cur.next(i)) {
        if (t[i].kind != Tok::Word)
            continue;
        const QString w = t[i].text.toUpper();
        const int n = cur.next(i);
        if (aggregates.contains(w) && cur.at(n) && isPunct(t[n], "("))
            return std::nullopt;
        if (unsupported.contains(w) && (depthAt[i] == 0 || w == QLatin1String("OVER")))
            return std::nullopt;
        if (depthAt[i] != 0 || startAt[i] < 0)
            continue;
        if (w == QLatin1String("FROM") && c.from < 0)
            c.from = i;
        else if (w == QLatin1String("WHERE") && c.from >= 0 && c.where < 0 && c.order < 0)
            c.where = i;
        else if (w == QLatin1String("ORDER") && c.from >= 0 && c.order < 0)
            c.order = i;
    }
    if (c.from < 0 || c.order < 0)
        return std::nullopt;
    return c;
}

// The terms of ORDER BY (from token `order`) into s, each a value with an
// optional ASC or DESC; false when one is not (a result column number,
// something after ASC/DESC, anything but ";" after the last term).
bool readOrderTerms(const QVector<Token> &t, int order, const QVector<int> &startAt, const QVector<int> &endAt,
                    const QVector<int> &depthAt, SelectShape &s)
{
    const Cursor cur{t};
    int i = cur.next(cur.next(order)); // after ORDER BY
    int termFirst = -1, termLast = -1;
    bool desc = false;
    const auto closeTerm = [&]() {
        if (termFirst < 0)
            return false;
        // ORDER BY 2 names a result column, not a value.
        if (termFirst == termLast && t[termFirst].kind == Tok::Number)
            return false;
        s.termStart << startAt[termFirst];
        s.termEnd << endAt[termLast];
        s.termDesc << desc;
        termFirst = termLast = -1;
        desc = false;
        return true;
    };
    for (; cur.at(i); i = cur.next(i)) {
        if (depthAt[i] == 0 && isPunct(t[i], ",")) {
            if (!closeTerm())
                return false;
            continue;
        }
        if (depthAt[i] == 0 && isPunct(t[i], ";"))
            break;
        if (depthAt[i] == 0 && (isWord(t[i], "ASC") || isWord(t[i], "DESC"))) {
            desc = isWord(t[i], "DESC");
            continue;
        }
        if (termFirst < 0)
            termFirst = i;
        else if (desc)
            return false; // something after ASC/DESC
        if (startAt[i] < 0)
            return false;
        termLast = i;
    }
    for (; cur.at(i); i = cur.next(i))
        if (!isPunct(t[i], ";"))
            return false;
    return closeTerm();
}

SelectShape selectShape(const Statement &st, const QVector<int> &startAt, const QVector<int> &endAt,
                        const QVector<int> &depthAt)
{
    const auto &t = st.toks;
    const Cursor cur{t};
    SelectShape s;
    for (const TableRef &r : st.tables) {
        if (depthAt[r.first] != 0)
            return s; // a subquery over a table
        s.tableAliases << quoteIdent(r.sqlAlias());
    }
    const std::optional<Clauses> c = plainClauses(t, startAt, depthAt);
    if (!c)
        return s;
    SelectShape ordered = s;
    if (!readOrderTerms(t, c->order, startAt, endAt, depthAt, ordered))
        return s;
    s = ordered;
    s.listAt = endAt[cur.next(-1)];
    s.fromAt = startAt[c->from];
    s.whereAfter = c->where >= 0 ? endAt[c->where] : -1;
    s.condEnd = startAt[c->order];
    s.plain = true;
    return s;
}

} // namespace

namespace {

// Rewrites a parsed statement for SQLite, token by token, noting the
// parameters, the columns compared with '=' and the shape of the SELECT.
class Translator {
public:
    Translator(const Statement &st, const QStringList &mirrorNames, const QVector<QStringList> &columns)
        : m_st(st), t(st.toks), cur{st.toks}, m_mirrorNames(mirrorNames), m_columns(columns)
    {
    }

    Translation run()
    {
        indexTables();
        collectAsNames();
        if (m_st.kind == Kind::Select)
            nameSelectListColumns();
        m_out.reserve(t.size() * 8);
        m_startAt.fill(-1, t.size() + 1);
        m_endAt.fill(-1, t.size() + 1);
        m_depthAt.fill(0, t.size() + 1);
        for (int i = 0; i < t.size(); ++i) {
            m_startAt[i] = int(m_out.size());
            m_depthAt[i] = m_depth;
            const int last = emitToken(i);
            m_endAt[last] = int(m_out.size());
            i = last;
        }
        m_tr.sql = m_out;
        m_startAt[t.size()] = m_endAt[t.size()] = int(m_out.size());
        if (m_st.kind == Kind::Select)
            m_tr.shape = selectShape(m_st, m_startAt, m_endAt, m_depthAt);
        return m_tr;
    }

private:
    // Tables by SQL alias and (when written without one) by base name; the
    // column names of every table; where each table reference starts.
    void indexTables()
    {
        for (int i = 0; i < m_st.tables.size(); ++i) {
            const TableRef &r = m_st.tables[i];
            m_aliasTable.insert(r.sqlAlias().toLower(), i);
            if (r.alias.isEmpty()) {
                QString base = r.name.section(u':', -1).section(u'/', -1).section(u'\\', -1);
                const int dot = base.lastIndexOf(u'.');
                if (dot > 0)
                    base.truncate(dot);
                m_baseTable.insert(base.toLower(), i);
            }
            for (const QString &c : m_columns[i])
                m_colNames.insert(c.toLower());
            m_refAt.insert(r.first, i);
        }
    }

    // Names given with AS: a double-quoted one stays a name.
    void collectAsNames()
    {
        for (int i = 0; i < t.size(); ++i)
            if (isWord(t[i], "AS")) {
                const int j = cur.next(i);
                if (cur.at(j) && isNameToken(t[j]))
                    m_asNames.insert(t[j].text.toLower());
            }
    }

    int tableOfQualifier(const Token &q) const
    {
        const QString k = q.text.toLower();
        if (m_aliasTable.contains(k))
            return m_aliasTable.value(k);
        return m_baseTable.value(k, -1);
    }

    QString findColumn(int table, const QString &name) const
    {
        for (const QString &c : m_columns[table])
            if (c.compare(name, Qt::CaseInsensitive) == 0)
                return c;
        return {};
    }

    // Column reference ending at token i (qualified or not).
    ColumnUse columnEndingAt(int i) const
    {
        ColumnUse u;
        if (!cur.at(i) || !(isNameToken(t[i]) || t[i].kind == Tok::SQuote))
            return u;
        const int dot = cur.prev(i);
        if (cur.at(dot) && isPunct(t[dot], ".")) {
            const int q = cur.prev(dot);
            if (!cur.at(q))
                return u;
            const int tb = tableOfQualifier(t[q]);
            if (tb >= 0 && !findColumn(tb, t[i].text).isEmpty())
                u.table = tb, u.column = findColumn(tb, t[i].text);
            return u;
        }
        if (t[i].kind == Tok::SQuote)
            return u;
        for (int tb = 0; tb < m_st.tables.size(); ++tb) {
            const QString c = findColumn(tb, t[i].text);
            if (!c.isEmpty()) {
                u.table = tb, u.column = c;
                return u;
            }
        }
        return u;
    }

    ColumnUse columnStartingAt(int i) const
    {
        const int dot = cur.next(i);
        if (cur.at(dot) && isPunct(t[dot], "."))
            return columnEndingAt(cur.next(dot));
        return columnEndingAt(i);
    }

    // Unaliased plain columns of the outer select list keep the name as
    // written ("Hr Number", not the stored "HR Number").
    void nameSelectListColumns()
    {
        int i = cur.next(-1);
        i = cur.next(i);
        if (cur.at(i) && (isWord(t[i], "DISTINCT") || isWord(t[i], "ALL")))
            i = cur.next(i);
        QVector<int> item;
        int depth = 0;
        for (; cur.at(i) || i == t.size(); i = cur.next(i)) {
            const bool end = i >= t.size() || (depth == 0 && (isWord(t[i], "FROM") || isPunct(t[i], ",")));
            if (end) {
                const int n = item.size();
                const bool single = n == 1 && isNameToken(t[item[0]]);
                const bool qualified = n == 3 && isPunct(t[item[1]], ".")
                    && (isNameToken(t[item[2]]) || t[item[2]].kind == Tok::SQuote);
                const bool constant = single && t[item[0]].kind == Tok::Word
                    && (isWord(t[item[0]], "NULL") || isWord(t[item[0]], "TRUE") || isWord(t[item[0]], "FALSE"));
                if ((single && !constant) || qualified)
                    m_appendAfter.insert(item.last(), QStringLiteral(" AS ") + quoteIdent(t[item.last()].text));
                item.clear();
                if (i >= t.size() || isWord(t[i], "FROM"))
                    break;
                continue;
            }
            if (isPunct(t[i], "("))
                ++depth;
            else if (isPunct(t[i], ")"))
                --depth;
            item.append(i);
        }
    }

    // Writes token i; returns the last token it covered (a table reference
    // spans its name and alias).
    int emitToken(int i)
    {
        const Token &k = t[i];
        if (m_refAt.contains(i)) {
            const int tb = m_refAt.value(i);
            const TableRef &r = m_st.tables[tb];
            m_out += quoteIdent(m_mirrorNames[tb]) + QStringLiteral(" AS ") + quoteIdent(r.sqlAlias());
            return r.last;
        }
        if (m_st.dropped.contains(i))
            return i;
        const int p = cur.prev(i);
        const int n = cur.next(i);
        const bool afterDot = cur.at(p) && isPunct(t[p], ".");
        const bool beforeDot = cur.at(n) && isPunct(t[n], ".");
        switch (k.kind) {
        case Tok::Param:
            m_out += u'?' + QString::number(paramNumber(k.text));
            break;
        case Tok::SQuote:
            m_out += afterDot ? quoteIdent(k.text) : quoteLiteral(k.text);
            break;
        case Tok::DQuote:
        case Tok::Bracket:
        case Tok::Word:
            emitName(k, p, afterDot, beforeDot);
            break;
        case Tok::Punct:
            if (k.text == QLatin1String("("))
                ++m_depth;
            else if (k.text == QLatin1String(")"))
                --m_depth;
            if (k.text == QLatin1String("=") || k.text == QLatin1String("=="))
                noteEquality(p, n);
            m_out += k.text;
            break;
        default:
            m_out += k.text;
        }
        if (m_appendAfter.contains(i))
            m_out += m_appendAfter.value(i);
        return i;
    }

    // ?N for a named parameter; the same name (any case) gets the same N.
    int paramNumber(const QString &name)
    {
        const QString key = name.toLower();
        int idx = m_paramIndex.value(key, 0);
        if (!idx) {
            m_tr.params << name;
            idx = m_tr.params.size();
            m_paramIndex.insert(key, idx);
        }
        return idx;
    }

    void emitName(const Token &k, int p, bool afterDot, bool beforeDot)
    {
        if (beforeDot && !afterDot) {
            // A qualifier: the alias, or a table written without alias
            // named by its base name.
            const int tb = tableOfQualifier(k);
            if (tb >= 0) {
                m_out += quoteIdent(m_st.tables[tb].sqlAlias());
                return;
            }
        }
        const QString lower = k.text.toLower();
        if (k.kind == Tok::Word)
            m_out += k.text;
        else if (k.kind == Tok::Bracket || afterDot || beforeDot || m_colNames.contains(lower)
                 || m_aliasTable.contains(lower) || m_asNames.contains(lower) || (cur.at(p) && isWord(t[p], "AS")))
            m_out += quoteIdent(k.text);
        else
            m_out += quoteLiteral(k.text); // a double-quoted text that names nothing is a string
    }

    // Both sides of '=' that are columns are worth an index.
    void noteEquality(int p, int n)
    {
        ColumnUse a = columnEndingAt(p), b = columnStartingAt(n);
        a.partnerTable = b.table, a.partnerColumn = b.column;
        b.partnerTable = a.table, b.partnerColumn = a.column;
        for (const ColumnUse &u : {a, b})
            if (u.table >= 0)
                m_tr.indexHints.append(u);
    }

    const Statement &m_st;
    const QVector<Token> &t;
    const Cursor cur;
    const QStringList &m_mirrorNames;
    const QVector<QStringList> &m_columns;
    Translation m_tr;

    QHash<QString, int> m_aliasTable; // lower-case SQL alias -> table
    QHash<QString, int> m_baseTable;  // lower-case name without extension -> table
    QSet<QString> m_colNames;
    QHash<int, int> m_refAt;          // first token -> table
    QSet<QString> m_asNames;
    QHash<int, QString> m_appendAfter;
    QHash<QString, int> m_paramIndex;

    QString m_out;
    int m_depth = 0;
    QVector<int> m_startAt, m_endAt, m_depthAt;
};

} // namespace

Translation translate(const Statement &st, const QStringList &mirrorNames, const QVector<QStringList> &columns)
{
    return Translator(st, mirrorNames, columns).run();
}

} // namespace kw::data::sql
