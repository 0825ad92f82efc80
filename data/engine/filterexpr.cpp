#include "data/engine/filterexpr.h"

#include "data/engine/engineerror.h"

#include <QDate>
#include <QRegularExpression>

namespace kw::data {

FilterExpression FilterExpression::parse(const QString &expr)
{
    FilterExpression f;
    if (expr.trimmed().isEmpty())
        return f;
    static const QRegularExpression term(QStringLiteral(
        R"(^\s*(\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_]*)\s*(<>|<=|>=|=|<|>)\s*('(?:[^']|'')*'|"[^"]*"|[^\s]+)\s*)"));
    static const QRegularExpression conj(QStringLiteral(R"(^\s*(and|or)\b)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto bad = [&] {
        return EngineError(QStringLiteral("Filter expression incorrectly terminated: %1").arg(expr));
    };
    auto terms = std::make_shared<std::vector<Term>>();
    QString rest = expr;
    while (true) {
        const auto m = term.match(rest);
        if (!m.hasMatch())
            throw bad();
        Term t;
        t.field = m.captured(1);
        if (t.field.startsWith(QLatin1Char('[')))
            t.field = t.field.mid(1, t.field.size() - 2);
        t.op = m.captured(2);
        QString lit = m.captured(3);
        if (lit.startsWith(QLatin1Char('\'')) || lit.startsWith(QLatin1Char('"'))) {
            t.literal = lit.mid(1, lit.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
        } else if (lit.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
            t.literal = true;
        } else if (lit.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
            t.literal = false;
        } else {
            bool ok = false;
            const double d = lit.toDouble(&ok);
            if (!ok)
                throw bad();
            t.literal = d;
        }
        rest = rest.mid(m.capturedLength());
        if (rest.trimmed().isEmpty()) {
            terms->push_back(t);
            break;
        }
        const auto c = conj.match(rest);
        if (!c.hasMatch())
            throw bad();
        t.orWithNext = c.captured(1).compare(QLatin1String("or"), Qt::CaseInsensitive) == 0;
        terms->push_back(t);
        rest = rest.mid(c.capturedLength());
    }
    f.m_terms = std::move(terms);
    return f;
}

QStringList FilterExpression::fieldNames() const
{
    QStringList names;
    if (m_terms)
        for (const Term &t : *m_terms)
            names << t.field;
    return names;
}

// A blank field equals no literal; it is below any number or text, and
// neither above nor below True and False.
bool FilterExpression::holds(const QVariant &v, const Term &t)
{
    int c;
    if (t.literal.typeId() == QMetaType::Bool) {
        if (v.isNull())
            return t.op == QLatin1String("<>");
        c = int(v.toBool()) - int(t.literal.toBool());
    } else if (v.isNull()) {
        return t.op == QLatin1String("<>") || t.op == QLatin1String("<") || t.op == QLatin1String("<=");
    } else if (t.literal.typeId() == QMetaType::Double) {
        const double d = v.toDouble() - t.literal.toDouble();
        c = d < 0 ? -1 : d > 0 ? 1 : 0;
    } else {
        const QString s = v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString();
        c = s.compare(t.literal.toString());
    }
    if (t.op == QLatin1String("="))
        return c == 0;
    if (t.op == QLatin1String("<>"))
        return c != 0;
    if (t.op == QLatin1String("<"))
        return c < 0;
    if (t.op == QLatin1String(">"))
        return c > 0;
    if (t.op == QLatin1String("<="))
        return c <= 0;
    return c >= 0;
}

bool FilterExpression::accepts(const std::function<QVariant(const QString &)> &valueOf) const
{
    if (isEmpty())
        return true;
    bool group = true;
    for (const Term &t : *m_terms) {
        group = group && holds(valueOf(t.field), t);
        if (t.orWithNext) {
            if (group)
                return true;
            group = true;
        }
    }
    return group;
}

} // namespace kw::data
