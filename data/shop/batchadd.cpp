#include "data/shop/batchadd.h"

#include "core/error.h"
#include "data/shop/dmmain.h"
#include "data/engine/engineerror.h"

namespace kw::data {

namespace {

// Ends a batch; when its rows cannot be written none of them was kept.
void endBatch(TdmMain &dm, Dataset &ds, BatchAddReport &report)
{
    try {
        dm.endBatch(ds);
    } catch (...) {
        report.added = 0;
        if (report.ok())
            report.error = kw::core::currentMessage();
    }
}

} // namespace

BatchAddReport addListItemsToHolder(TdmMain &dm, bool list1, bool list2)
{
    BatchAddReport report;
    if (!list1 && !list2)
        return report;
    Dataset &holders = dm.tblHrdf;
    Dataset &list = dm.tblList;
    Dataset &items = dm.tblHr;
    try {
        // A holder still being typed in is stored first, so that its items
        // never point at a holder that was not kept.
        holders.checkBrowseMode();
        const QVariant holder = holders.fieldByName(QStringLiteral("HR Number")).value();
        if (holder.isNull())
            throw EngineError(QStringLiteral("There is no hand receipt to add the items to."));
        dm.beginBatch(items);
    } catch (...) {
        report.error = kw::core::currentMessage();
        return report;
    }
    const int number = holders.fieldByName(QStringLiteral("HR Number")).value().toInt();
    list.disableControls();
    try {
        Field &nsn = list.fieldByName(QStringLiteral("NSN"));
        Field &inList1 = list.fieldByName(QStringLiteral("List 1"));
        Field &inList2 = list.fieldByName(QStringLiteral("List 2"));
        for (list.first(); !list.eof(); list.next()) {
            if (!(list1 && inList1.value().toBool()) && !(list2 && inList2.value().toBool()))
                continue;
            items.append();
            items.fieldByName(QStringLiteral("HR Number")).setValue(number);
            // Setting the NSN stores the item and reads the items again.
            items.fieldByName(QStringLiteral("NSN")).setValue(nsn.asString());
            if (items.isEditing())
                items.post();
            ++report.added;
        }
    } catch (...) {
        report.error = kw::core::currentMessage();
        if (items.isEditing())
            items.cancel();
    }
    list.first();
    list.enableControls();
    endBatch(dm, items, report);
    return report;
}

BatchAddReport addAllPartsToBenchStock(TdmMain &dm, const std::function<void()> &rowAdded)
{
    BatchAddReport report;
    Dataset &master = dm.tblPartsList;
    Dataset &parts = dm.qryParts;
    try {
        if (!parts.active())
            parts.open();
        dm.beginBatch(parts);
    } catch (...) {
        report.error = kw::core::currentMessage();
        return report;
    }
    parts.disableControls();
    master.disableControls();
    int begun = 0; // rows appended; each append stores the one before
    try {
        Field &nsn = master.fieldByName(QStringLiteral("NSN"));
        for (master.first(); !master.eof(); master.next()) {
            parts.append();
            report.added = begun++;
            parts.fieldByName(QStringLiteral("NSN")).setValue(nsn.asString());
            if (rowAdded)
                rowAdded();
        }
        master.first();
        master.enableControls();
        parts.enableControls();
        parts.checkBrowseMode();
        report.added = begun;
    } catch (...) {
        report.error = kw::core::currentMessage();
        if (master.controlsDisabled()) {
            master.first();
            master.enableControls();
            parts.enableControls();
        }
    }
    endBatch(dm, parts, report); // shows what was stored, drops a refused row
    return report;
}

} // namespace kw::data
