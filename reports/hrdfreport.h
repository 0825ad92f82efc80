#pragma once
// The holders list: every holder of tblHrdf in the table's current order,
// in one column, or in two when there are more than 55.
#include "reports/reportmodel.h"

namespace kw::data {
class TdmMain;
}

namespace kw::reports {

class THrdfReport : public Report {
public:
    explicit THrdfReport(kw::data::TdmMain &dm);

    Element *lblCompany;
    Element *lblHeadings[4]; // "HR #", "Holder", "Section", "Phone"
    Element *dbTexts[4];     // HR Number, HR Holder, Section, Phone

    // Counts the holders and chooses the columns and x positions.
    void qrHrdfBeforePrint();

    static constexpr int kMaxOneColumn = 55;
    static constexpr int kWidths[4] = {40, 105, 113, 72}; // design widths of the values

private:
    kw::data::TdmMain &m_dm;
};

} // namespace kw::reports
