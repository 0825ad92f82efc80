#pragma once
// Filters of datasets: comparisons of one field with a literal, joined by
// AND / OR, AND binding tighter ("Alse = True", "[List 1] = True",
// "Qty > 2 or Name = 'Vest'"). A row passes when any AND-group holds.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace kw::data {

class FilterExpression {
public:
    // The empty filter: every row passes.
    FilterExpression() = default;
    // Throws EngineError "Filter expression incorrectly terminated: %s" when
    // expr is not such a filter. Blank text is the empty filter.
    static FilterExpression parse(const QString &expr);

    bool isEmpty() const { return !m_terms || m_terms->empty(); }
    // The fields the filter names, in order of appearance.
    QStringList fieldNames() const;
    // valueOf answers the value of a named field of the row.
    bool accepts(const std::function<QVariant(const QString &)> &valueOf) const;

private:
    struct Term {
        QString field;
        QString op; // = <> < > <= >=
        QVariant literal; // text, double or bool
        bool orWithNext = false;
    };
    static bool holds(const QVariant &v, const Term &t);
    // Shared: a dataset copies its filter with every rebuild of its rows.
    std::shared_ptr<const std::vector<Term>> m_terms;
};

} // namespace kw::data
