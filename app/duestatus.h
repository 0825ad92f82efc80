#pragma once
// Due status at a glance: rows of items and kits whose inspection is overdue
// or due soon are drawn in their own text colour. Which rows those are is
// the rule of data/shop/duerules.h; this file only colours and explains it.
#include "data/shop/duerules.h"

#include <QColor>

class QPalette;

namespace kw::app {

using kw::data::DueStatus;
using kw::data::kDueSoonDays;

// What the colours of a page's rows mean: nothing coloured, items by their
// inspection, or kits by their inspection and their food's expiry.
enum class DueColours { None, Inspections, InspectionsAndFood };

// Dark red for overdue, dark amber for soon, derived from the palette's text
// colour so that both stay readable on light and dark themes; invalid for
// None (the normal text colour applies).
QColor dueStatusColor(DueStatus status, const QPalette &palette);

// The legend of the colours, as rich text in those colours ("Overdue · Due
// within 30 days"); empty for DueColours::None.
QString dueLegend(DueColours colours, const QPalette &palette);
// The same in words, for the legend's tooltip.
QString dueLegendExplained(DueColours colours);
// The legend as it reads, without its colours (to measure it).
QString dueLegendPlain(DueColours colours);
// The legend's two colours alone, for a status bar without room for words.
QString dueLegendSwatches(DueColours colours, const QPalette &palette);

} // namespace kw::app
