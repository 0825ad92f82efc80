// The statement cut into tokens: the one pass over the text that the
// dialect's reader and rewriter work on. Spaces and comments stay as space
// tokens so that the rewritten statement keeps the written layout.
#include "data/engine/sql/sqldialect.h"

#include "data/engine/engineerror.h"

namespace kw::data::sql {

namespace {

bool isWordStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#'; }

// Cuts a statement into tokens, one kind at a time: each step starts at
// position i, appends its token and moves i past it.
class Lexer {
public:
    explicit Lexer(const QString &s) : s(s), n(int(s.size())) {}

    QVector<Token> run()
    {
        while (i < n) {
            const QChar c = s[i];
            const QChar c1 = i + 1 < n ? s[i + 1] : QChar();
            if (c.isSpace())
                space();
            else if (c == u'-' && c1 == u'-')
                lineComment();
            else if (c == u'/' && c1 == u'*')
                blockComment();
            else if (isWordStart(c))
                out.append({Tok::Word, run(i, isWordChar)});
            else if (c.isDigit())
                number();
            else if (c == u'\'')
                out.append({Tok::SQuote, quoted(u'\'', i)});
            else if (c == u'"')
                out.append({Tok::DQuote, quoted(u'"', i)});
            else if (c == u'[')
                out.append({Tok::Bracket, quoted(u']', i)});
            else if (c == u':' && c1 == u'"')
                out.append({Tok::Param, quoted(u'"', i + 1)});
            else if (c == u':' && isWordStart(c1))
                out.append({Tok::Param, run(i + 1, isWordChar)});
            else
                punct(c, c1);
        }
        return out;
    }

private:
    // The characters from `from` that `keep` accepts; i moves past them.
    QString run(int from, bool (*keep)(QChar))
    {
        int j = from;
        while (j < n && keep(s[j]))
            ++j;
        i = j;
        return s.mid(from, j - from);
    }

    void space() { out.append({Tok::Space, run(i, [](QChar c) { return c.isSpace(); })}); }

    void lineComment()
    {
        while (i < n && s[i] != u'\n')
            ++i;
        out.append({Tok::Space, QStringLiteral(" ")});
    }

    void blockComment()
    {
        const int end = int(s.indexOf(QLatin1String("*/"), i + 2));
        i = end < 0 ? n : end + 2;
        out.append({Tok::Space, QStringLiteral(" ")});
    }

    // Digits and points, then an exponent when digits follow it.
    void number()
    {
        int j = i;
        while (j < n && (s[j].isDigit() || s[j] == u'.'))
            ++j;
        if (j < n && (s[j] == u'e' || s[j] == u'E')) {
            int k = j + 1;
            if (k < n && (s[k] == u'+' || s[k] == u'-'))
                ++k;
            if (k < n && s[k].isDigit()) {
                j = k;
                while (j < n && s[j].isDigit())
                    ++j;
            }
        }
        out.append({Tok::Number, s.mid(i, j - i)});
        i = j;
    }

    // The content of a quote opened at start, closed by q; doubled quotes
    // stand for one (not in brackets). i moves past the closing quote.
    QString quoted(QChar q, int start)
    {
        QString content;
        int j = start + 1;
        for (;;) {
            if (j >= n)
                throw EngineError(
                    QStringLiteral("Unterminated string or name in the statement: %1").arg(s.mid(start, 40)));
            if (s[j] == q) {
                if (q != u']' && j + 1 < n && s[j + 1] == q) {
                    content += q;
                    j += 2;
                    continue;
                }
                break;
            }
            content += s[j++];
        }
        i = j + 1;
        return content;
    }

    void punct(QChar c, QChar c1)
    {
        static const char *const two[] = {"<=", ">=", "<>", "!=", "||", "=="};
        QString p(c);
        for (const char *t : two)
            if (c == QLatin1Char(t[0]) && c1 == QLatin1Char(t[1]))
                p = QLatin1String(t);
        out.append({Tok::Punct, p});
        i += int(p.size());
    }

    const QString &s;
    const int n;
    int i = 0;
    QVector<Token> out;
};

} // namespace

QVector<Token> tokenize(const QString &s)
{
    return Lexer(s).run();
}

} // namespace kw::data::sql
