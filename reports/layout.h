#pragma once
// Lays a report out: runs its before-print handlers, walks its dataset from
// the first record in the dataset's current order and filter, and places the
// bands on pages. The dataset is left on its last record.
#include "reports/document.h"
#include "reports/reportmodel.h"

#include <functional>

namespace kw::reports {

// Called after each finished page with the number of pages so far; the
// preview shows the first page from here. Returning false stops the layout
// (the document then holds the pages finished so far).
using PageDone = std::function<bool(int pages)>;

// Lays report out into doc (cleared first). Returns false when pageDone
// stopped it.
bool layoutReport(Report &report, ReportDocument &doc, const PageDone &pageDone = {});
ReportDocument layoutReport(Report &report);

} // namespace kw::reports
