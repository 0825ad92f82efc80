#pragma once
// The equipment reports: the inspections listing, the inspections due
// through a date, the listing of the equipment-by-type page, the aircraft
// survival kit listing and the master gear list. Each prints its dataset as
// the page holds it; each line shows its inspection interval with the
// inspection type as a word.
#include "reports/reportmodel.h"

#include <QDate>

namespace kw::data {
class Dataset;
class TdmMain;
} // namespace kw::data

namespace kw::reports {

// Titles by the tab of the page that starts the report; a tab without a
// title of its own keeps the design caption.
QString gearListingTitle(int tab);
QString gearMasterTitle(int tab);
// "Through " and the due-by date as day, abbreviated month and year.
QString inspDueThrough(const QDate &dueBy);

// The layout the inspections listing, the due listing and the equipment
// listing share; they differ in column positions and title.
class TItemListing : public Report {
public:
    Element *lblCompany;
    Element *lblTitle;
    Element *lblInspType;

protected:
    struct Columns {
        int holder, nomenclature, serial, inspection; // a, b, c, d
        int hrWidth, freqWidth, typeX;                // w, f, t
    };
    TItemListing(kw::data::Dataset &ds, const QString &jobTitle, const QString &titleCaption, const Columns &cols,
                 int titleHeight);
    // The inspection type of the current record as a word.
    void setInspType();

    kw::data::Dataset &m_ds;
    Band *m_title;
};

class TInspReport : public TItemListing {
public:
    explicit TInspReport(kw::data::TdmMain &dm);
};

// Only the items due on or before the due-by date; an item without a due
// date is always due.
class TInspDueReport : public TItemListing {
public:
    TInspDueReport(kw::data::TdmMain &dm, const QDate &dueBy);

    Element *lblInspDate;
    bool DetailBand1BeforePrint(Band &band);

private:
    QDate m_dueBy;
};

class TGearReport : public TItemListing {
public:
    // tab: the selected tab of the equipment-by-type page.
    TGearReport(kw::data::TdmMain &dm, int tab);
};

class TSurvivalReport : public Report {
public:
    explicit TSurvivalReport(kw::data::TdmMain &dm);

    Element *lblCompany;
    Element *lblInspType;

private:
    kw::data::TdmMain &m_dm;
};

class TfrmGearMasterReport : public Report {
public:
    // tab: the selected tab of the master gear list page.
    TfrmGearMasterReport(kw::data::TdmMain &dm, int tab);

    Element *lblCompany;
    Element *lblTitle;
    Element *lblInspType;

private:
    kw::data::TdmMain &m_dm;
};

} // namespace kw::reports
