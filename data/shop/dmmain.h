#pragma once
// The shop's data module: the connection, every dataset and data source the
// pages, dialogs and reports use, and the rules that run when data changes.
#include "data/shop/clock.h"
#include "data/engine/dataset.h"
#include "data/engine/querydataset.h"
#include "data/engine/session.h"
#include "data/engine/tabledataset.h"

#include <QDate>
#include <QObject>
#include <QSet>
#include <functional>

namespace kw::data {

// Moves Insp Due forward from an entered Insp Completed. Throws EngineError
// "Invalid argument to date encode" / "Range check error" and changes nothing
// when the target date cannot be encoded.
QDate inspectionDueDate(const QString &inspType, const QVariant &inspFreq, const QDate &completed);

class TdmMain : public QObject {
    Q_OBJECT
public:
    explicit TdmMain(Session &session = Session::defaultSession(), QObject *parent = nullptr);
    ~TdmMain() override;

    Session &session;
    Database dbMain;

    TableDataset tblHrdf, tblHr, tblList, tblcbList, tblKits, tblKitType,
        tblAircraft, tblDrawer, tblBin, tblPartsList, tblTechMan;
    QueryDataset qryInsp, qryGear, qryParts;
    UpdateSql updInsp, updGear, updParts;
    DataSource dsHrdf, dsHr, dsList, dscbList, dsKits, dsKitType, dsAircraft,
        dsDrawer, dsBin, dsPartsList, dsTechMan, dsInsp, dsGear, dsParts;

    // Leaving a query's page: apply and commit pending cached updates, then
    // close the query; with nothing pending the query stays open.
    void applyOnLeave(QueryDataset &qry);

    // Adding many rows in one go (the add-all dialogs). Between beginBatch
    // and endBatch every posted row is still written to its table before
    // the next one is begun, but the table file is synced once, when the
    // batch ends, and a joined query is read again only then: the cost per
    // row stays small instead of growing with the list. A crash in between
    // leaves the table as it was before the batch. beginBatch first stores
    // what a query holds pending. endBatch shows the stored rows (a query
    // is read again and drops a cached row that could not be stored); when
    // the rows cannot be written it throws, and none of the batch is kept.
    void beginBatch(Dataset &ds);
    void endBatch(Dataset &ds);
    bool inBatch(const Dataset &ds) const { return m_batches.contains(&ds); }

    // Handlers (connected at creation).
    void dmMainCreate();
    void tblHrInspCompletedChange(Field &f);
    void qryInspInspCompletedChange(Field &f);
    void qryGearInspCompletedChange(Field &f);
    void tblKitsInspCompletedChange(Field &f);
    void tblHrNSNChange(Field &f);
    void qryInspAfterPost(Dataset &ds);
    void qryGearAfterPost(Dataset &ds);
    void qryPartsAfterPost(Dataset &ds);

    // The eleven tables in the order the main window opens them.
    QList<TableDataset *> shopTables();

    // Hand receipt items counted by the HR number they stand under, and
    // those whose number no holder has (older data): no page joins them to
    // a holder, so the window tells the clerk about them. Empty while the
    // connection is closed.
    struct HolderItems {
        int hrNumber = 0;
        int items = 0;
    };
    QVector<HolderItems> itemsByHolder();
    QVector<HolderItems> itemsWithoutHolder();
    int itemCountOfHolder(const QVariant &hrNumber);
    // A holder who still signs for items is neither deleted nor renumbered.
    void tblHrdfBeforeDelete(Dataset &ds);
    void tblHrdfBeforePost(Dataset &ds);
    // An item's HR number must be a holder's (checked when it is set).
    void checkItemHolder(Dataset &items);

private:
    void applyDueDateRule(Dataset &ds, Field &completed);
    void writeBack(QueryDataset &qry);
    ParadoxTable *writtenTable(Dataset &ds);
    void defineFields();
    void defineTables();
    void defineEquipmentQueries();
    void definePartsQuery();
    void connectHandlers();
    bool m_inRule = false;
    QSet<const Dataset *> m_batches;
};

} // namespace kw::data
