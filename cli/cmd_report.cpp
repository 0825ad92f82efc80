// Reports: lay a report out from the tables and write it to a file, or
// convert a saved report file into another format.
#include "cli/command.h"
#include "data/shop/dmmain.h"
#include "data/engine/engineerror.h"
#include "reports/catalog.h"
#include "reports/exports.h"
#include "reports/layout.h"
#include "settings/setuptexts.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <stdexcept>

namespace kw::cli {
namespace {

using namespace kw::reports;

[[noreturn]] void fail(const QString &message)
{
    throw kw::core::Error(message);
}

int intOption(QStringList &args, const QString &name, std::optional<int> *out)
{
    const QString v = takeOption(args, name);
    if (v.isNull())
        return 0;
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok)
        fail(QStringLiteral("%1 needs a number, not \"%2\"").arg(name, v));
    *out = n;
    return n;
}

int runReport(Context &ctx)
{
    ReportOptions options;
    intOption(ctx.args, QStringLiteral("--holder"), &options.holder);
    std::optional<int> tab;
    intOption(ctx.args, QStringLiteral("--tab"), &tab);
    options.tab = tab.value_or(0);
    const QString through = takeOption(ctx.args, QStringLiteral("--through"));
    if (!through.isNull()) {
        options.through = QDate::fromString(through, Qt::ISODate);
        if (!options.through.isValid())
            fail(QStringLiteral("--through needs a date as YYYY-MM-DD, not \"%1\"").arg(through));
    }
    const QString outPath = takeOption(ctx.args, QStringLiteral("--out"));
    expectArgs(ctx.args, 1, 1);
    if (outPath.isEmpty())
        fail(QStringLiteral("report needs --out FILE (.pdf, .txt, .csv, .html or .kwr)"));
    if (!formatForPath(outPath))
        fail(QStringLiteral("Cannot tell the format of %1: use .pdf, .txt, .csv, .html or .kwr").arg(outPath));
    const QString what = ctx.args.first();

    ReportDocument doc;
    if (what.endsWith(QLatin1String(".kwr"), Qt::CaseInsensitive)) {
        doc = loadReportFile(what);
    } else {
        kw::data::Session session;
        session.openReadOnly = true; // a report only reads
        kw::data::TdmMain dm(session);
        dm.dbMain.setParam(QStringLiteral("PATH"), ctx.dataDir);
        std::unique_ptr<Report> report = createNamedReport(dm, what, options, kw::settings::readSetupTexts());
        layoutReport(*report, doc);
    }
    exportDocument(doc, outPath);
    out(QStringLiteral("%1: %2 page(s) written to %3")
            .arg(doc.title)
            .arg(doc.pageCount())
            .arg(QDir::toNativeSeparators(outPath)));
    return 0;
}

std::string usageText()
{
    QString u = QStringLiteral("report NAME [OPTIONS] --out FILE   lay a report out as .pdf .txt .csv .html or .kwr\n"
                               "  report FILE.kwr --out FILE        convert a saved report file\n"
                               "    NAME:");
    for (const ReportName &n : reportNames())
        u += QStringLiteral("\n      ") + (n.options.isEmpty() ? n.name : n.name + QLatin1Char(' ') + n.options);
    return u.toStdString();
}

const std::string kUsage = usageText();
Register reportCmd("report", kUsage.c_str(), runReport, Needs::Gui);

} // namespace
} // namespace kw::cli
