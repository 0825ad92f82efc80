#include "data/shop/dmmain.h"

#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace kw::data {

// ---------------------------------------------------------------- due-date rule

static const QString kEncodeError = QStringLiteral("Invalid argument to date encode");

QDate inspectionDueDate(const QString &inspType, const QVariant &inspFreq, const QDate &completed)
{
    const int freq = inspFreq.isNull() ? 0 : inspFreq.toInt();
    if (inspType == QLatin1String("D")) {
        const QDate due = completed.addDays(freq);
        // Beyond the calendar the dates can hold.
        if (!due.isValid() || due.year() < 1 || due.year() > 9999)
            throw EngineError(kEncodeError);
        return due;
    }
    // "Y" and anything else: the same day, freq years on.
    const int year = completed.year() + freq;
    if (year < 0)
        throw EngineError(QStringLiteral("Range check error"));
    if (year == 0 || year > 9999)
        throw EngineError(kEncodeError);
    const QDate due(year, completed.month(), completed.day());
    if (!due.isValid())
        throw EngineError(kEncodeError);
    return due;
}

// ---------------------------------------------------------------- the module

TdmMain::TdmMain(Session &s, QObject *parent)
    : QObject(parent), session(s), dbMain(s, QStringLiteral("Kitwarden")),
      tblHrdf(dbMain, QStringLiteral("tblHrdf")), tblHr(dbMain, QStringLiteral("tblHr")),
      tblList(dbMain, QStringLiteral("tblList")), tblcbList(dbMain, QStringLiteral("tblcbList")),
      tblKits(dbMain, QStringLiteral("tblKits")), tblKitType(dbMain, QStringLiteral("tblKitType")),
      tblAircraft(dbMain, QStringLiteral("tblAircraft")), tblDrawer(dbMain, QStringLiteral("tblDrawer")),
      tblBin(dbMain, QStringLiteral("tblBin")), tblPartsList(dbMain, QStringLiteral("tblPartsList")),
      tblTechMan(dbMain, QStringLiteral("tblTechMan")), qryInsp(dbMain, QStringLiteral("qryInsp")),
      qryGear(dbMain, QStringLiteral("qryGear")), qryParts(dbMain, QStringLiteral("qryParts"))
{
    setObjectName(QStringLiteral("dmMain"));
    updInsp.setObjectName(QStringLiteral("updInsp"));
    updGear.setObjectName(QStringLiteral("updGear"));
    updParts.setObjectName(QStringLiteral("updParts"));
    const std::pair<DataSource *, Dataset *> sources[] = {
        {&dsHrdf, &tblHrdf}, {&dsHr, &tblHr}, {&dsList, &tblList}, {&dscbList, &tblcbList},
        {&dsKits, &tblKits}, {&dsKitType, &tblKitType}, {&dsAircraft, &tblAircraft},
        {&dsDrawer, &tblDrawer}, {&dsBin, &tblBin}, {&dsPartsList, &tblPartsList},
        {&dsTechMan, &tblTechMan}, {&dsInsp, &qryInsp}, {&dsGear, &qryGear}, {&dsParts, &qryParts}};
    for (auto [src, ds] : sources) {
        src->setDataset(ds);
        src->setObjectName(QStringLiteral("ds") + ds->objectName().mid(3));
    }
    defineFields();
    dmMainCreate();
}

TdmMain::~TdmMain()
{
    try {
        dbMain.close();
    } catch (...) {
        // Index files are rebuilt on the next open.
    }
}

void TdmMain::dmMainCreate()
{
    shop::prepareSession(session);
}

QList<TableDataset *> TdmMain::shopTables()
{
    return {&tblHrdf, &tblHr, &tblDrawer, &tblBin, &tblPartsList, &tblList,
            &tblcbList, &tblKits, &tblAircraft, &tblKitType, &tblTechMan};
}

namespace {

// Declares the stored fields of a shop table with their titles and widths.
void declareTableFields(Dataset &ds, const QString &table, const QStringList &checkBoxes = {},
                        const QHash<QString, QString> &editors = {})
{
    const shop::ShopTable *t = shop::findTable(table);
    for (int i = 0; i < t->def.fields.size(); ++i) {
        Field f;
        f.name = t->def.fields[i].name;
        f.type = t->def.fields[i].type;
        f.size = t->def.fields[i].size;
        f.label = t->display[i].label;
        f.displayWidth = t->display[i].width;
        f.required = t->def.fields[i].required;
        f.checkBox = checkBoxes.contains(f.name);
        f.editorName = editors.value(f.name);
        if (f.type == FieldType::AutoInc) {
            f.readOnly = true;
            f.visible = false;
        }
        ds.addField(f);
    }
}

Field dataField(const char *name, FieldType type, int size, const char *label, int width)
{
    Field f;
    f.name = QString::fromLatin1(name);
    f.type = type;
    f.size = size;
    f.label = QString::fromLatin1(label);
    f.displayWidth = width;
    return f;
}

Field lookupField(const char *name, FieldType type, int size, const char *label, int width,
                  Dataset *source)
{
    Field f = dataField(name, type, size, label, width);
    f.kind = Field::Kind::Lookup;
    f.readOnly = true;
    f.lookupDataset = source;
    f.lookupKeyField = QStringLiteral("NSN");
    f.lookupResultField = f.name;
    f.keyField = QStringLiteral("NSN");
    return f;
}

const QStringList kFlags = {QStringLiteral("Alse"), QStringLiteral("Batt"), QStringLiteral("Pyro"),
                            QStringLiteral("Med"), QStringLiteral("Radio"), QStringLiteral("Flotation")};

QStringList equipmentSelect(bool insp)
{
    QStringList l{QStringLiteral("SELECT E.\"Hr Number\",")};
    for (const char *c : {"H.\"Hr Holder\",", "L.LIN,", "E.NSN,", "L.Nomenclature,", "E.\"Serial Number\",",
                          "L.UI,", "L.Auth,", "E.OH,", "L.\"Insp Freq\",", "L.\"Insp Type\",",
                          "E.\"Insp Completed\",", "E.\"Insp Due\",", "L.Alse,", "L.Batt,", "L.Pyro,",
                          "L.Med,", "L.Radio,", "L.Flotation,", "E.Remarks,", "E.\"Auto\""})
        l << QStringLiteral("       ") + QString::fromLatin1(c);
    l << QString() << QStringLiteral("FROM \"Equipment.DB\" E,")
      << QStringLiteral("     \"Lists.DB\"     L,") << QStringLiteral("     \"Hrdf.DB\"      H")
      << QString() << QStringLiteral("WHERE  (E.NSN = L.NSN)  AND");
    if (insp) {
        l << QStringLiteral("       ((L.\"Insp Type\"='D') OR (L.\"Insp Type\"='Y'))  AND")
          << QStringLiteral("       (E.\"HR Number\" = H.\"HR Number\")") << QString()
          << QStringLiteral("ORDER BY E.'Insp Due'") << QStringLiteral(" ");
    } else {
        l << QStringLiteral("       (E.\"HR Number\" = H.\"HR Number\")") << QString() << QString()
          << QStringLiteral("ORDER BY E.\"HR Number\"");
        for (int i = 0; i < 5; ++i)
            l << QStringLiteral(" ");
    }
    return l;
}

// Insert, modify and delete statements over one table: columns written as
// "File"."Column", parameters as :"Field".
void setUpdateSql(UpdateSql &u, const QString &file, const QStringList &columns, const QString &keyParam)
{
    const QString q = QLatin1Char('"') + file + QLatin1Char('"');
    QStringList cols, params, sets;
    for (const QString &c : columns) {
        cols << q + QStringLiteral(".\"") + c + QLatin1Char('"');
        params << QStringLiteral(":\"") + c + QLatin1Char('"');
        sets << QStringLiteral("  ") + cols.last() + QStringLiteral(" = ") + params.last();
    }
    for (int i = 0; i + 1 < sets.size(); ++i)
        sets[i] += QLatin1Char(',');
    const QString where = QStringLiteral("  ") + q + QStringLiteral(".\"Auto\" = :\"") + keyParam + QLatin1Char('"');
    u.insertSql = {QStringLiteral("insert into ") + q, QStringLiteral("  (") + cols.join(QStringLiteral(", ")) + QLatin1Char(')'),
                   QStringLiteral("values"), QStringLiteral("  (") + params.join(QStringLiteral(", ")) + QLatin1Char(')')};
    u.modifySql = QStringList{QStringLiteral("update ") + q, QStringLiteral("set")} + sets
                  + QStringList{QStringLiteral("where"), where};
    u.deleteSql = {QStringLiteral("delete from ") + q, QStringLiteral("where"), where};
    u.tableFile = file;
    u.columns = columns;
    u.keyColumn = QStringLiteral("Auto");
    u.keyParam = keyParam;
}

// The line of a statement that holds its ORDER BY clause.
int orderByLineOf(const QStringList &lines)
{
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(QLatin1String("ORDER BY")))
            return i;
    return -1;
}

struct QCol {
    const char *name;
    FieldType type;
    int size;
    bool readOnly;
    const char *inspLabel;
    int inspWidth;
    const char *gearLabel;
    int gearWidth;
};

} // namespace

void TdmMain::defineFields()
{
    dbMain.setObjectName(QStringLiteral("dbMain"));
    defineTables();
    defineEquipmentQueries();
    definePartsQuery();
    connectHandlers();
}

void TdmMain::defineTables()
{
    declareTableFields(tblHrdf, QStringLiteral("Hrdf"));
    tblHrdf.setTableName(QStringLiteral("Hrdf.DB"));
    tblHrdf.setIndexName(QStringLiteral("HRNUM"));

    tblHr.setTableName(QStringLiteral("Equipment.DB"));
    tblHr.setIndexName(QStringLiteral("HRNUM"));
    tblHr.setMasterSource(&dsHrdf);
    tblHr.setMasterFields(QStringLiteral("HR Number"));
    tblHr.addField(dataField("HR Number", FieldType::Short, 2, "HR #", 5));
    Field nsn = dataField("NSN", FieldType::Alpha, 16, "", 17);
    nsn.editorName = QStringLiteral("cbNsnHr");
    tblHr.addField(nsn);
    tblHr.addField(lookupField("Nomenclature", FieldType::Alpha, 40, "", 27, &tblList));
    tblHr.addField(dataField("Serial Number", FieldType::Alpha, 20, "", 14));
    tblHr.addField(lookupField("UI", FieldType::Alpha, 2, "", 3, &tblList));
    tblHr.addField(lookupField("Auth", FieldType::Long, 4, "", 4, &tblList));
    tblHr.addField(dataField("OH", FieldType::Short, 2, "", 3));
    tblHr.addField(lookupField("Insp Freq", FieldType::Long, 4, "Insp", 3, &tblList));
    Field hrType = lookupField("Insp Type", FieldType::Alpha, 1, " ", 5, &tblList);
    hrType.editorName = QStringLiteral("cbInspType");
    tblHr.addField(hrType);
    tblHr.addField(dataField("Insp Completed", FieldType::Date, 4, "Completed", 10));
    tblHr.addField(dataField("Insp Due", FieldType::Date, 4, "Due", 10));
    tblHr.addField(dataField("Remarks", FieldType::Alpha, 15, "", 15));

    const QStringList listFlags = kFlags + QStringList{QStringLiteral("List 1"), QStringLiteral("List 2")};
    const QHash<QString, QString> typeEditor{{QStringLiteral("Insp Type"), QStringLiteral("cbInspType")}};
    declareTableFields(tblList, QStringLiteral("Lists"), listFlags, typeEditor);
    tblList.setTableName(QStringLiteral("Lists.DB"));
    tblList.setIndexFieldNames(QStringLiteral("Nomenclature"));

    declareTableFields(tblcbList, QStringLiteral("Lists"), kFlags);
    tblcbList.setTableName(QStringLiteral("Lists.DB"));
    tblcbList.setIndexFieldNames(QStringLiteral("NSN"));

    declareTableFields(tblKits, QStringLiteral("Kits"), {},
                       {{QStringLiteral("Aircraft"), QStringLiteral("cbAircraft")},
                        {QStringLiteral("Kit Type"), QStringLiteral("cbKitType")},
                        {QStringLiteral("Insp Type"), QStringLiteral("cbInspType")}});
    tblKits.setTableName(QStringLiteral("Kits"));
    tblKits.setIndexName(QStringLiteral("INDD"));

    declareTableFields(tblKitType, QStringLiteral("KitType"), {}, typeEditor);
    tblKitType.setTableName(QStringLiteral("KitType.DB"));
    tblKitType.setIndexFieldNames(QStringLiteral("Type"));

    declareTableFields(tblAircraft, QStringLiteral("Aircraft"));
    tblAircraft.setTableName(QStringLiteral("Aircraft.db"));
    tblAircraft.setIndexFieldNames(QStringLiteral("Aircraft"));

    declareTableFields(tblDrawer, QStringLiteral("Drawer"));
    tblDrawer.setTableName(QStringLiteral("Drawer.db"));
    declareTableFields(tblBin, QStringLiteral("Bin"));
    tblBin.setTableName(QStringLiteral("Bin.db"));

    declareTableFields(tblPartsList, QStringLiteral("PartsList"),
                       {QStringLiteral("Bench Stock"), QStringLiteral("Class VIII"),
                        QStringLiteral("Operational Load"), QStringLiteral("PLL"), QStringLiteral("Shop Stock")});
    tblPartsList.setTableName(QStringLiteral("PartsList.DB"));

    declareTableFields(tblTechMan, QStringLiteral("TechManuals"));
    tblTechMan.setTableName(QStringLiteral("TechManuals.db"));
    tblTechMan.setIndexName(QStringLiteral("BinderBook"));
}

// Inspections and View by Type: hand receipt items joined to their holder
// and the master list, the same columns with each page's titles and widths.
void TdmMain::defineEquipmentQueries()
{
    constexpr auto A = FieldType::Alpha, S = FieldType::Short, D = FieldType::Date,
                   L = FieldType::Logical, I = FieldType::Long;
    const QCol cols[] = {
        {"Hr Number", S, 2, false, "HR #", 4, "HR #", 5},
        {"Hr Holder", A, 30, true, "Holder", 14, "HR Holder", 15},
        {"NSN", A, 16, false, "", 18, "", 16},
        {"Nomenclature", A, 40, true, "", 29, "", 34},
        {"Serial Number", A, 20, false, "Serial #", 14, "", 14},
        {"UI", A, 2, true, "", 3, "", 3},
        {"Auth", A, 3, true, "", 3, "", 4},
        {"OH", S, 2, false, "", 4, "", 3},
        {"Insp Freq", S, 2, true, "Insp", 3, "Insp", 4},
        {"Insp Type", A, 1, true, " ", 4, "Type", 5},
        {"Insp Completed", D, 4, false, "Completed", 11, "Completed", 11},
        {"Insp Due", D, 4, false, "Due", 10, "Due", 10},
        {"Alse", L, 1, true, "", 5, "", 5},
        {"Batt", L, 1, true, "", 5, "", 5},
        {"Pyro", L, 1, true, "", 5, "", 5},
        {"Med", L, 1, true, "", 5, "", 5},
        {"Radio", L, 1, true, "", 5, "", 5},
        {"Flotation", L, 1, true, "", 6, "", 6},
        {"Remarks", A, 15, false, "", 15, "", 15},
        {"LIN", A, 6, true, "", 6, "", 6},
        {"Auto", I, 4, true, "", 10, "", 10},
    };
    for (QueryDataset *q : {&qryInsp, &qryGear}) {
        const bool insp = q == &qryInsp;
        for (const QCol &c : cols) {
            Field f = dataField(c.name, c.type, c.size, insp ? c.inspLabel : c.gearLabel,
                                insp ? c.inspWidth : c.gearWidth);
            f.readOnly = c.readOnly;
            f.visible = f.name != QLatin1String("LIN") && f.name != QLatin1String("Auto");
            f.checkBox = kFlags.contains(f.name);
            if (f.name == QLatin1String("NSN"))
                f.editorName = insp ? QStringLiteral("cbNsnInsp") : QStringLiteral("cbNsnGear");
            else if (f.name == QLatin1String("Insp Type"))
                f.editorName = QStringLiteral("cbInspType");
            q->addField(f);
        }
        q->setSql(equipmentSelect(insp));
        q->orderByLine = orderByLineOf(q->sql());
        q->cachedUpdates = true;
        q->keyFields = QStringList{QStringLiteral("Auto")};
    }
    const QStringList equipCols{QStringLiteral("HR Number"), QStringLiteral("NSN"), QStringLiteral("Serial Number"),
                                QStringLiteral("OH"), QStringLiteral("Insp Completed"), QStringLiteral("Insp Due"),
                                QStringLiteral("Remarks")};
    setUpdateSql(updInsp, QStringLiteral("Equipment.DB"), equipCols, QStringLiteral("Auto"));
    setUpdateSql(updGear, QStringLiteral("Equipment.DB"), equipCols, QStringLiteral("Auto"));
    qryInsp.updateObject = &updInsp;
    qryGear.updateObject = &updGear;
}

// Bench Stock: the stock joined to the master parts list.
void TdmMain::definePartsQuery()
{
    constexpr auto A = FieldType::Alpha, S = FieldType::Short, L = FieldType::Logical, I = FieldType::Long;
    struct PCol {
        const char *name;
        FieldType type;
        int size;
        bool readOnly;
        const char *label;
        int width;
    };
    const PCol pcols[] = {
        {"Drawer", A, 10, false, "", 6},          {"Bin", A, 10, false, "", 4},
        {"NSN", A, 16, false, "", 17},            {"Nomenclature", A, 40, true, "", 26},
        {"Part Number", A, 30, true, "", 18},     {"UI", A, 2, true, "", 3},
        {"Auth", S, 2, true, "", 4},              {"On Hand", S, 2, false, "OH", 4},
        {"Reorder Point", S, 2, true, "", 10},    {"Operational Load", L, 1, true, "", 13},
        {"Bench Stock", L, 1, true, "", 10},      {"PLL", L, 1, true, "", 5},
        {"Class VIII", L, 1, true, "", 7},        {"Shop Stock", L, 1, true, "", 9},
        {"LIN", A, 6, true, "", 6},               {"Auto", I, 4, true, "", 10},
    };
    for (const PCol &c : pcols) {
        Field f = dataField(c.name, c.type, c.size, c.label, c.width);
        f.readOnly = c.readOnly;
        f.visible = f.name != QLatin1String("LIN") && f.name != QLatin1String("Auto");
        f.checkBox = c.type == L;
        if (f.name == QLatin1String("NSN"))
            f.editorName = QStringLiteral("cbPartsNsn");
        else if (f.name == QLatin1String("Drawer"))
            f.editorName = QStringLiteral("cbDrawer");
        else if (f.name == QLatin1String("Bin"))
            f.editorName = QStringLiteral("cbBin");
        qryParts.addField(f);
    }
    QStringList parts{QStringLiteral("SELECT P.\"Auto\",")};
    for (const char *c : {"P.Drawer,", "P.Bin,", "L.LIN,", "P.NSN,", "L.Nomenclature,", "P.\"On Hand\",",
                          "L.\"Part Number\",", "L.UI,", "L.Auth,", "L.\"Reorder Point\",",
                          "L.\"Operational Load\",", "L.\"Bench Stock\",", "L.PLL,", "L.\"Class VIII\",",
                          "L.\"Shop Stock\""})
        parts << QStringLiteral("       ") + QString::fromLatin1(c);
    parts << QString() << QStringLiteral("FROM \"Parts.DB\" P,") << QStringLiteral("     \"PartsList.DB\" L")
          << QString() << QStringLiteral("WHERE  P.NSN = L.NSN ") << QStringLiteral(" ")
          << QStringLiteral("ORDER BY P.Drawer ");
    qryParts.setSql(parts);
    qryParts.orderByLine = orderByLineOf(parts);
    qryParts.cachedUpdates = true;
    qryParts.keyFields = QStringList{QStringLiteral("Auto")};
    setUpdateSql(updParts, QStringLiteral("Parts.DB"),
                 {QStringLiteral("NSN"), QStringLiteral("Drawer"), QStringLiteral("Bin"), QStringLiteral("On Hand")},
                 QStringLiteral("OLD_Auto"));
    qryParts.updateObject = &updParts;
}

void TdmMain::connectHandlers()
{
    tblHr.fieldByName(QStringLiteral("Insp Completed")).onChange = [this](Field &f) { tblHrInspCompletedChange(f); };
    qryInsp.fieldByName(QStringLiteral("Insp Completed")).onChange = [this](Field &f) { qryInspInspCompletedChange(f); };
    qryGear.fieldByName(QStringLiteral("Insp Completed")).onChange = [this](Field &f) { qryGearInspCompletedChange(f); };
    tblKits.fieldByName(QStringLiteral("Insp Completed")).onChange = [this](Field &f) { tblKitsInspCompletedChange(f); };
    tblHr.fieldByName(QStringLiteral("NSN")).onChange = [this](Field &f) { tblHrNSNChange(f); };
    tblHrdf.beforeDelete = [this](Dataset &ds) { tblHrdfBeforeDelete(ds); };
    tblHrdf.beforePost = [this](Dataset &ds) { tblHrdfBeforePost(ds); };
    for (Dataset *items : {static_cast<Dataset *>(&tblHr), static_cast<Dataset *>(&qryInsp),
                           static_cast<Dataset *>(&qryGear)})
        items->beforePost = [this](Dataset &ds) { checkItemHolder(ds); };
    qryInsp.afterPost = [this](Dataset &ds) { qryInspAfterPost(ds); };
    qryGear.afterPost = [this](Dataset &ds) { qryGearAfterPost(ds); };
    qryParts.afterPost = [this](Dataset &ds) { qryPartsAfterPost(ds); };
}

void TdmMain::applyDueDateRule(Dataset &ds, Field &completed)
{
    if (completed.isNull())
        return;
    const QString type = ds.fieldByName(QStringLiteral("Insp Type")).asString();
    if (type == QLatin1String("N"))
        return;
    if (ds.state() == DatasetState::Browse)
        ds.edit();
    // Computed before anything changes, so a date that cannot be encoded
    // leaves both fields as they are.
    const QDate due = inspectionDueDate(type, ds.fieldByName(QStringLiteral("Insp Freq")).value(),
                                        completed.value().toDate());
    ds.fieldByName(QStringLiteral("Insp Due")).setValue(due);
    completed.clear();
}

void TdmMain::tblHrInspCompletedChange(Field &f) { applyDueDateRule(tblHr, f); }
void TdmMain::qryInspInspCompletedChange(Field &f) { applyDueDateRule(qryInsp, f); }
void TdmMain::qryGearInspCompletedChange(Field &f) { applyDueDateRule(qryGear, f); }
void TdmMain::tblKitsInspCompletedChange(Field &f) { applyDueDateRule(tblKits, f); }

void TdmMain::tblHrNSNChange(Field &)
{
    // Posts the item and reads the rows again so the looked-up columns
    // follow the new master-list row.
    tblHr.refresh();
}

void TdmMain::writeBack(QueryDataset &qry)
{
    if (!qry.updatesPending())
        return;
    try {
        qry.applyUpdates();
    } catch (const RowChangedError &) {
        // The stale change is dropped: what the table holds is shown again.
        qry.commitUpdates();
        if (!m_batches.contains(&qry))
            qry.refresh();
        throw;
    }
    qry.commitUpdates();
    if (m_batches.contains(&qry))
        return; // read again once, when the batch ends
    // Read again, staying on the record just stored.
    qry.refresh();
}

ParadoxTable *TdmMain::writtenTable(Dataset &ds)
{
    QString file;
    if (auto *t = qobject_cast<TableDataset *>(&ds))
        file = t->tableName();
    else if (&ds == &qryParts)
        file = QStringLiteral("Parts.DB");
    else if (&ds == &qryInsp || &ds == &qryGear)
        file = QStringLiteral("Equipment.DB");
    else
        throw EngineError(QStringLiteral("%1: no table to write in a batch").arg(ds.objectName()));
    if (!dbMain.connected())
        dbMain.open();
    return session.table(dbMain.directory(), file);
}

void TdmMain::beginBatch(Dataset &ds)
{
    if (m_batches.contains(&ds))
        throw EngineError(QStringLiteral("%1: a batch is already open").arg(ds.objectName()));
    ParadoxTable *table = writtenTable(ds);
    if (auto *q = qobject_cast<QueryDataset *>(&ds); q && q->active()) {
        // What the user left pending is stored on its own, before the batch.
        q->checkBrowseMode();
        writeBack(*q);
    }
    table->beginBatch();
    m_batches.insert(&ds);
}

void TdmMain::endBatch(Dataset &ds)
{
    if (!m_batches.remove(&ds))
        return;
    ParadoxTable *table = writtenTable(ds);
    auto show = [&] {
        auto *q = qobject_cast<QueryDataset *>(&ds);
        if (!q) {
            session.notifyTableChanged(table);
            return;
        }
        if (!q->active())
            return;
        if (q->isEditing())
            q->cancel();
        if (q->updatesPending())
            q->cancelUpdates(); // a row the batch could not store; re-reads
        else
            q->refresh();
    };
    try {
        table->endBatch();
    } catch (...) {
        show();
        throw;
    }
    show();
}

// ---------------------------------------------------------------- holders and their items

QVector<TdmMain::HolderItems> TdmMain::itemsByHolder()
{
    QVector<HolderItems> counts;
    if (!dbMain.connected())
        return counts;
    const ParadoxTable *items = session.table(dbMain.directory(), QStringLiteral("Equipment.DB"));
    const int hrField = items->def().fieldIndex(QStringLiteral("HR Number"));
    QHash<int, int> byNumber;
    for (int i = 0, n = items->rowCount(); i < n; ++i)
        if (const QVariant hr = items->row(i).value(hrField); !hr.isNull())
            ++byNumber[hr.toInt()];
    for (auto it = byNumber.cbegin(); it != byNumber.cend(); ++it)
        counts.append({it.key(), it.value()});
    std::sort(counts.begin(), counts.end(), [](const HolderItems &a, const HolderItems &b) { return a.hrNumber < b.hrNumber; });
    return counts;
}

QVector<TdmMain::HolderItems> TdmMain::itemsWithoutHolder()
{
    QVector<HolderItems> orphans;
    if (!dbMain.connected())
        return orphans;
    const ParadoxTable *holders = session.table(dbMain.directory(), QStringLiteral("Hrdf.DB"));
    const int hrField = holders->def().fieldIndex(QStringLiteral("HR Number"));
    QSet<int> known;
    for (int i = 0, n = holders->rowCount(); i < n; ++i)
        if (const QVariant hr = holders->row(i).value(hrField); !hr.isNull())
            known.insert(hr.toInt());
    for (const HolderItems &h : itemsByHolder())
        if (!known.contains(h.hrNumber))
            orphans.append(h);
    return orphans;
}

int TdmMain::itemCountOfHolder(const QVariant &hrNumber)
{
    if (hrNumber.isNull() || !dbMain.connected())
        return 0;
    const ParadoxTable *items = session.table(dbMain.directory(), QStringLiteral("Equipment.DB"));
    const int hrField = items->def().fieldIndex(QStringLiteral("HR Number"));
    int count = 0;
    for (int i = 0, n = items->rowCount(); i < n; ++i)
        if (items->row(i).value(hrField) == hrNumber)
            ++count;
    return count;
}

namespace {
QString holderName(Dataset &holders, const QVariant &hrNumber)
{
    const QString name = holders.fieldByName(QStringLiteral("HR Holder")).asString().trimmed();
    return name.isEmpty() ? QStringLiteral("HR %1").arg(hrNumber.toInt())
                          : QStringLiteral("HR %1 (%2)").arg(hrNumber.toInt()).arg(name);
}
QString itemsText(int n)
{
    return n == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(n);
}
} // namespace

// Items are joined to their holder by the HR number alone: deleting the
// holder would hide them from every page and report.
void TdmMain::tblHrdfBeforeDelete(Dataset &ds)
{
    const QVariant hr = ds.fieldByName(QStringLiteral("HR Number")).value();
    if (const int n = itemCountOfHolder(hr); n > 0)
        throw EngineError(QStringLiteral("%1 still signs for %2: move or delete them first.")
                              .arg(holderName(ds, hr), itemsText(n)));
}

// A new number would leave the items under the old one. Carrying them along
// would change two table files, which no single write keeps together across
// a crash, so the change is refused while the holder has items.
void TdmMain::tblHrdfBeforePost(Dataset &ds)
{
    if (ds.state() != DatasetState::Edit)
        return;
    const Field &number = ds.fieldByName(QStringLiteral("HR Number"));
    const QVariant was = ds.oldValue(number);
    if (was.isNull() || was == number.value())
        return;
    if (const int n = itemCountOfHolder(was); n > 0)
        throw EngineError(QStringLiteral("%1 still signs for %2, so its number cannot change. Move the items to "
                                         "another holder first (their HR # on Hand Receipts), or add a new holder "
                                         "with the new number and move them there.")
                              .arg(holderName(ds, was), itemsText(n)));
}

// An item stored under a number that no holder has would show on no page.
void TdmMain::checkItemHolder(Dataset &items)
{
    const Field &number = items.fieldByName(QStringLiteral("HR Number"));
    const QVariant hr = number.value();
    if (hr.isNull() || (items.state() == DatasetState::Edit && items.oldValue(number) == hr))
        return;
    const ParadoxTable *holders = session.table(dbMain.directory(), QStringLiteral("Hrdf.DB"));
    if (holders->findKey(Row{hr}) < 0)
        throw EngineError(QStringLiteral("No holder has HR # %1: add the holder first, or give the item the number "
                                         "of an existing holder.")
                              .arg(hr.toInt()));
}

void TdmMain::qryInspAfterPost(Dataset &) { writeBack(qryInsp); }
void TdmMain::qryGearAfterPost(Dataset &) { writeBack(qryGear); }
void TdmMain::qryPartsAfterPost(Dataset &) { writeBack(qryParts); }

void TdmMain::applyOnLeave(QueryDataset &qry)
{
    if (!qry.active())
        return;
    qry.checkBrowseMode();
    if (!qry.updatesPending())
        return;
    try {
        qry.applyUpdates();
    } catch (const RowChangedError &) {
        // The page stays, showing what the table holds now.
        qry.commitUpdates();
        qry.refresh();
        throw;
    }
    qry.commitUpdates();
    qry.close();
}

} // namespace kw::data
