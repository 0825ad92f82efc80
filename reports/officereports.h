#pragma once
// The office reports: the inventory sheet counted drawer by drawer and bin
// by bin, the parts on hand with its signature lines, the master office
// parts list and the technical manual listing. All four use the office
// header and the Tahoma report font.
#include "reports/reportmodel.h"
#include "settings/setuptexts.h"

#include <QHash>

namespace kw::data {
class TdmMain;
}

namespace kw::reports {

// Titles by the tab of the page that starts the report; other indexes keep
// the design caption ("Parts List", "Master Parts List").
QString partsListTitle(int tab);
QString partsMasterTitle(int tab);

// One line per drawer (tblDrawer), under it one line per bin (tblBin) with
// the first part of qryParts stored at that drawer and bin, and a rule for
// the counted quantity. Drawer and bin match exactly, case included.
class TfrmInventory : public Report {
public:
    explicit TfrmInventory(kw::data::TdmMain &dm);

    Element *lblCompany, *lblNsn, *lblPartNumber, *lblNomen, *lblReorder;

    // Reads qryParts once, as the page holds it, into a look-up by drawer
    // and bin: the sheet does not search the parts again for every bin.
    void repInventoryBeforePrint();
    bool QRSubDetail1BeforePrint(Band &band);

private:
    struct Part {
        QString nsn, partNumber, nomenclature, reorder;
    };
    kw::data::TdmMain &m_dm;
    QHash<QPair<QString, QString>, Part> m_parts; // the first part per place
};

// The parts on hand; parts without an on-hand quantity are left off.
class TfrmPartsList : public Report {
public:
    // tab: the selected tab of the office supplies page; texts: the setup
    // texts that name who prepared, approved and authorized the list.
    TfrmPartsList(kw::data::TdmMain &dm, int tab, const kw::settings::SetupTexts &texts);

    Element *lblCompany, *lblTitle, *lblPrepared, *lblApproved, *lblAuthorized;

    void repPartsListBeforePrint();
    bool DetailBand1BeforePrint(Band &band);

private:
    kw::data::TdmMain &m_dm;
    int m_tab;
    kw::settings::SetupTexts m_texts;
};

class TfrmPartsMstrList : public Report {
public:
    // tab: the selected tab of the master office parts page.
    TfrmPartsMstrList(kw::data::TdmMain &dm, int tab);

    Element *lblCompany, *lblTitle;

    void repPartsMstrListBeforePrint();

private:
    int m_tab;
};

// The manuals in binder and book order; the first column shows
// "binder / book", or nothing for a manual without a binder.
class TfrmTechMan : public Report {
public:
    explicit TfrmTechMan(kw::data::TdmMain &dm);

    Element *lblCompany, *lblTitle, *lblBinder;

    bool DetailBand1BeforePrint(Band &band);

private:
    kw::data::TdmMain &m_dm;
};

} // namespace kw::reports
