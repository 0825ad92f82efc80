#include "app/pages/itemorder.h"

#include <QHash>

namespace kw::app {

QString itemOrderByLine(const QString &fieldName)
{
    static const QHash<QString, QString> lines = {
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
    return lines.value(fieldName);
}

void orderItemQuery(kw::data::TdmMain &dm, kw::data::QueryDataset &qry, const QString &line)
{
    if (!line.isEmpty()) {
        dm.applyOnLeave(qry);
        qry.setSqlLine(kOrderByLine, line);
    }
    qry.open();
}

void preloadItemQuery(kw::data::TdmMain &dm, kw::data::QueryDataset &qry)
{
    if (qry.active() || !dm.dbMain.connected())
        return;
    // The very text the query runs, so that the engine's kept result serves it.
    dm.session.sql().exec(qry.sql().join(QLatin1Char('\n')), dm.dbMain.directory());
}

} // namespace kw::app
