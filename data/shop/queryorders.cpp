#include "data/shop/queryorders.h"

#include "data/shop/dmmain.h"

#include <QHash>

namespace kw::data {

QString itemOrderByClause(const QString &fieldName)
{
    static const QHash<QString, QString> clauses = {
        {QStringLiteral("Hr Number"), QStringLiteral("ORDER BY E.'Hr Number'")},
        {QStringLiteral("Hr Holder"), QStringLiteral("ORDER BY H.'Hr Holder'")},
        {QStringLiteral("NSN"), QStringLiteral("ORDER BY E.'NSN'")},
        {QStringLiteral("Nomenclature"), QStringLiteral("ORDER BY L.'Nomenclature'")},
        {QStringLiteral("Serial Number"), QStringLiteral("ORDER BY E.'Serial Number'")},
        {QStringLiteral("UI"), QStringLiteral("ORDER BY L.'UI'")},
        {QStringLiteral("Auth"), QStringLiteral("ORDER BY L.'Auth'")},
        {QStringLiteral("OH"), QStringLiteral("ORDER BY E.'OH'")},
        {QStringLiteral("Insp Freq"), QStringLiteral("ORDER BY L.'Insp Freq'")},
        {QStringLiteral("Insp Type"), QStringLiteral("ORDER BY L.'Insp Type'")},
        {QStringLiteral("Insp Due"), kInspDueOrder},
        {QStringLiteral("Insp Completed"), QStringLiteral("ORDER BY E.'Insp Completed'")},
        {QStringLiteral("Alse"), QStringLiteral("ORDER BY L.'Alse'")},
        {QStringLiteral("Batt"), QStringLiteral("ORDER BY L.'Batt'")},
        {QStringLiteral("Pyro"), QStringLiteral("ORDER BY L.'Pyro'")},
        {QStringLiteral("Med"), QStringLiteral("ORDER BY L.'Med'")},
        {QStringLiteral("Radio"), QStringLiteral("ORDER BY L.'Radio'")},
        {QStringLiteral("Flotation"), QStringLiteral("ORDER BY L.'Flotation'")},
        {QStringLiteral("Remarks"), QStringLiteral("ORDER BY E.'Remarks'")},
    };
    return clauses.value(fieldName);
}

QString partsOrderByClause(const QString &fieldName)
{
    // Names with a blank stand in single quotes after the table's alias.
    static const QHash<QString, QString> clauses = {
        {QStringLiteral("Drawer"), QStringLiteral("ORDER BY P.Drawer")},
        {QStringLiteral("Bin"), QStringLiteral("ORDER BY P.Bin")},
        {QStringLiteral("NSN"), QStringLiteral("ORDER BY P.NSN")},
        {QStringLiteral("Nomenclature"), QStringLiteral("ORDER BY L.Nomenclature")},
        {QStringLiteral("On Hand"), QStringLiteral("ORDER BY P.'On Hand'")},
        {QStringLiteral("Part Number"), QStringLiteral("ORDER BY L.'Part Number'")},
        {QStringLiteral("UI"), QStringLiteral("ORDER BY L.UI")},
        {QStringLiteral("Auth"), QStringLiteral("ORDER BY L.Auth")},
        {QStringLiteral("Reorder Point"), QStringLiteral("ORDER BY L.'Reorder Point'")},
        {QStringLiteral("Operational Load"), QStringLiteral("ORDER BY L.'Operational Load'")},
        {QStringLiteral("Bench Stock"), QStringLiteral("ORDER BY L.'Bench Stock'")},
        {QStringLiteral("PLL"), QStringLiteral("ORDER BY L.PLL")},
        {QStringLiteral("Class VIII"), QStringLiteral("ORDER BY L.'Class VIII'")},
        {QStringLiteral("Shop Stock"), QStringLiteral("ORDER BY L.'Shop Stock'")},
    };
    return clauses.value(fieldName);
}

void orderQuery(TdmMain &dm, QueryDataset &qry, const QString &clause)
{
    if (!clause.isEmpty() && clause != qry.orderBy()) {
        dm.applyOnLeave(qry);
        qry.setOrderBy(clause);
    }
    qry.open();
}

void preloadQuery(TdmMain &dm, QueryDataset &qry)
{
    if (qry.active() || !dm.dbMain.connected())
        return;
    // The very text the query runs, so that the engine's kept result serves it.
    dm.session.sql().exec(qry.sql().join(QLatin1Char('\n')), dm.dbMain.directory());
}

} // namespace kw::data
