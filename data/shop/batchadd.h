#pragma once
// Adding whole lists in one go, for the two add-all dialogs, the command
// line and the tests: every item of the master equipment list marked for
// the chosen standard lists goes to the current holder's hand receipt, and
// every part of the master parts list to bench stock. Each row is stored
// before the next is begun, and the table is synced once at the end
// (TdmMain::beginBatch). When the engine refuses a row the adding stops
// there: the rows stored before it stay, and the report says why it stopped.
#include <QString>
#include <functional>

namespace kw::data {

class TdmMain;

struct BatchAddReport {
    int added = 0;  // rows stored
    QString error;  // why the adding stopped early; empty when it did not
    bool ok() const { return error.isEmpty(); }
};

// The items of the lists asked for (an item on both lists once) to the
// holder tblHrdf stands on; a holder still being typed in is stored first.
// Nothing is added when neither list is asked for.
BatchAddReport addListItemsToHolder(TdmMain &dm, bool list1, bool list2);

// Every part of tblPartsList to qryParts, in the list's order; rowAdded runs
// after each row is begun (a progress bar's step).
BatchAddReport addAllPartsToBenchStock(TdmMain &dm, const std::function<void()> &rowAdded = {});

} // namespace kw::data
