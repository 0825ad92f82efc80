#pragma once
// The sub hand receipt of the current holder: the items of tblHr (the
// detail of tblHrdf), a title block on page 1, a short page header with
// page and HR number from page 2 on, and the signature lines at the end.
#include "reports/reportmodel.h"

namespace kw::data {
class TdmMain;
}

namespace kw::reports {

class THrReport : public Report {
public:
    explicit THrReport(kw::data::TdmMain &dm);

    Element *lblCompany;
    Element *lblCompanyFrom;
    Element *lblAlseOfficer;
    Element *lblLin; // the item's LIN from the master list

    // Items without an on-hand quantity are left off; 0 is printed.
    bool DetailBand1BeforePrint(Band &band);

private:
    kw::data::TdmMain &m_dm;
};

} // namespace kw::reports
