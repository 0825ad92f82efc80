// repair: rebuilds a table whose block chain is damaged from the blocks it
// can still read, keeping the damaged file beside it.
#include "cli/command.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"

#include <QDir>
#include <QFileInfo>

namespace kw::cli {
namespace {

using namespace kw::data;

constexpr const char *kUsage = "repair TABLE               rebuild a damaged table from the rows it still holds";

int repair(Context &ctx)
{
    expectArgs(ctx.args, 1, 1);
    const QString arg = ctx.args.first();
    // A bare table name is looked up in the data directory, like dump's.
    const QString path = arg.contains(QLatin1Char('/')) || QDir::isAbsolutePath(arg) ? arg : QDir(ctx.dataDir).filePath(arg);
    const TableRepairReport r = ParadoxTable::repair(path, {shop::kTablePassword});
    const QString name = QFileInfo(r.path).fileName();
    if (!r.damaged) {
        out(QStringLiteral("%1 is not damaged; nothing was changed.").arg(name));
        return 0;
    }
    out(QStringLiteral("%1 repaired: %2 rows recovered (its header counted %3).")
            .arg(name)
            .arg(r.rowsRecovered)
            .arg(r.headerRows));
    out(QStringLiteral("Data blocks read: %1; blocks that could not be read: %2; rows dropped for a repeated key: %3.")
            .arg(r.blocksRead)
            .arg(r.blocksUnreadable)
            .arg(r.duplicatesDropped));
    if (r.rowsCutOff > 0)
        out(QStringLiteral("Rows dropped because the file ends inside them: %1.").arg(r.rowsCutOff));
    if (!r.indexesDropped.isEmpty())
        out(QStringLiteral("Index files dropped (they could not be read): %1").arg(r.indexesDropped.join(QStringLiteral(", "))));
    out(QStringLiteral("The damaged file is kept as %1").arg(QDir::toNativeSeparators(r.keptCopy)));
    return 0;
}

Register repairCmd("repair", kUsage, repair);

} // namespace
} // namespace kw::cli
