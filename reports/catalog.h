#pragma once
// The reports by the names the command line uses, and the one place where a
// report gets what its caller gives it: the labels filled from the setup
// texts, and the state of its datasets that the page would have set.
#include "reports/reportmodel.h"
#include "settings/setuptexts.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace kw::data {
class TdmMain;
}

namespace kw::reports {


// Sets the caller-filled labels a report has from the setup texts:
// lblCompany and lblCompanyFrom from Company, lblAlseOfficer from AlseOfficer.
void fillCallerLabels(Report &report, const kw::settings::SetupTexts &texts);

struct ReportOptions {
    std::optional<int> holder; // hand receipt: HR number of the holder
    int tab = 0;               // tab index of the page
    QDate through;             // due-by date
};

// Names in the order the usage lists them, with their options.
struct ReportName {
    QString name;
    QString options; // "--holder HR", "" ...
};
const QList<ReportName> &reportNames();

// For a program without the pages (the command line): opens the datasets
// the named report prints, puts them in the state the page would give them
// and creates the report with its caller-filled labels set. Throws
// kw::core::Error for an unknown name, a missing option or a holder
// that does not exist.
std::unique_ptr<Report> createNamedReport(kw::data::TdmMain &dm, const QString &name, const ReportOptions &options,
                                          const kw::settings::SetupTexts &texts);

} // namespace kw::reports
