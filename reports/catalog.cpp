#include "reports/catalog.h"

#include "data/dmmain.h"
#include "reports/hrdfreport.h"
#include "reports/hrreport.h"

#include <functional>
#include <stdexcept>

namespace kw::reports {

void fillCallerLabels(Report &report, const SetupTexts &texts)
{
    static const std::pair<const char *, const char *> labels[] = {
        {"lblCompany", "Company"}, {"lblCompanyFrom", "Company"}, {"lblAlseOfficer", "AlseOfficer"}};
    for (const auto &[label, text] : labels)
        if (Element *e = report.element(QLatin1String(label)); e && texts.contains(QLatin1String(text)))
            e->caption = texts.value(QLatin1String(text));
}

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

using Factory = std::function<std::unique_ptr<Report>(kw::data::TdmMain &, const ReportOptions &)>;

struct Entry {
    ReportName name;
    Factory create;
};

std::unique_ptr<Report> holders(kw::data::TdmMain &dm, const ReportOptions &)
{
    dm.tblHrdf.open();
    return std::make_unique<THrdfReport>(dm);
}

std::unique_ptr<Report> handReceipt(kw::data::TdmMain &dm, const ReportOptions &o)
{
    if (!o.holder)
        fail(QStringLiteral("hand-receipt needs --holder HR"));
    dm.tblHrdf.open();
    dm.tblList.open();
    dm.tblHr.open();
    if (!dm.tblHrdf.findKey({*o.holder}))
        fail(QStringLiteral("There is no holder with HR number %1").arg(*o.holder));
    return std::make_unique<THrReport>(dm);
}

const QList<Entry> &entries()
{
    static const QList<Entry> all = {
        {{QStringLiteral("holders"), QString()}, holders},
        {{QStringLiteral("hand-receipt"), QStringLiteral("--holder HR")}, handReceipt},
    };
    return all;
}

} // namespace

const QList<ReportName> &reportNames()
{
    static const QList<ReportName> names = [] {
        QList<ReportName> n;
        for (const Entry &e : entries())
            n << e.name;
        return n;
    }();
    return names;
}

std::unique_ptr<Report> createNamedReport(kw::data::TdmMain &dm, const QString &name, const ReportOptions &options,
                                          const SetupTexts &texts)
{
    for (const Entry &e : entries())
        if (e.name.name == name) {
            std::unique_ptr<Report> r = e.create(dm, options);
            fillCallerLabels(*r, texts);
            return r;
        }
    QStringList known;
    for (const ReportName &n : reportNames())
        known << n.name;
    fail(QStringLiteral("Unknown report %1; the reports are: %2").arg(name, known.join(QStringLiteral(", "))));
}

} // namespace kw::reports
