#pragma once
// Ordering the two joined item queries (qryInsp, qryGear) by a clicked
// column title: the title's field picks the text of the query's ORDER BY
// line.
#include "data/dmmain.h"

namespace kw::app {

// The line of qryInsp's and qryGear's SQL that holds the ORDER BY clause.
inline constexpr int kOrderByLine = 30;
// The due-date order qryInsp starts with.
inline const QString kInspDueOrder = QStringLiteral("ORDER BY E.'Insp Due'");

// The ORDER BY line for a clicked title's field name (compared exactly);
// empty for a field that has none.
QString itemOrderByLine(const QString &fieldName);

// Puts line into the query's ORDER BY line and opens the query. Replacing
// the line closes the query, which would drop cached changes: a pending
// edit is posted and cached changes (deletions not yet followed by a post)
// are applied first, so deleted rows do not come back. An empty line only
// opens the query.
void orderItemQuery(kw::data::TdmMain &dm, kw::data::QueryDataset &qry, const QString &line);

// Runs a closed item query's statement without opening the query, so that
// the engine has its table copies and the result ready when the page opens
// it. Nothing happens while the query is open or the tables are closed.
void preloadItemQuery(kw::data::TdmMain &dm, kw::data::QueryDataset &qry);

} // namespace kw::app
