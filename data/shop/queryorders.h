#pragma once
// The orders of the three joined queries. A click on a column title picks
// the ORDER BY clause for the column's field (compared exactly); the clause
// goes into the query's ORDER BY slot (QueryDataset::orderByLine), and
// every order is ascending.
#include <QString>

namespace kw::data {

class TdmMain;
class QueryDataset;

// The due-date order qryInsp starts with.
inline const QString kInspDueOrder = QStringLiteral("ORDER BY E.'Insp Due'");

// qryInsp and qryGear; empty for a field that has none.
QString itemOrderByClause(const QString &fieldName);
// qryParts; empty for a field that has none.
QString partsOrderByClause(const QString &fieldName);

// Puts clause into the query's ORDER BY slot and opens the query. Changing
// the text closes the query, which would drop cached changes: a pending
// edit is posted and cached changes (deletions not yet followed by a post)
// are applied first, so deleted rows do not come back. An empty clause, or
// the one in place, only opens the query.
void orderQuery(TdmMain &dm, QueryDataset &qry, const QString &clause);

// Runs a closed query's statement without opening the query, so that the
// engine has its table copies and the result ready when a page opens it.
// Nothing happens while the query is open or the tables are closed.
void preloadQuery(TdmMain &dm, QueryDataset &qry);

} // namespace kw::data
