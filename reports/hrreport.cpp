#include "reports/hrreport.h"

#include "data/shop/dmmain.h"
#include "reports/reportheaders.h"

namespace kw::reports {

namespace {

void addHeadings(Band &b, int y)
{
    const std::pair<int, const char *> heads[] = {{8, "LIN"}, {64, "NSN"}, {208, "Nomenclature"}, {488, "Ser #"},
                                                  {616, "UI"}, {648, "Auth"}, {696, "OH"}};
    for (const auto &[x, text] : heads)
        b.addLabel(x, y, QLatin1String(text)).size(10).underlined();
}

} // namespace

THrReport::THrReport(kw::data::TdmMain &dm) : m_dm(dm)
{
    title = QStringLiteral("Kitwarden Hand Receipt");
    dataset = &dm.tblHr;
    firstPageHeader = false; // page 1 carries the title block instead

    // The HR number comes from the holder, not from the item rows, so a
    // receipt without items still names its holder's number.
    Band &ph = addBand(BandKind::PageHeader, 65);
    ph.addSystem(8, 8, SystemData::PageNumber, QStringLiteral("Page: ")).size(8);
    ph.addLabel(640, 8, QStringLiteral("HR #"));
    ph.addData(672, 8, dm.tblHrdf, QStringLiteral("HR Number")).fixed(43);
    ph.addSystem(8, 24, SystemData::Date, QStringLiteral("Printed: ")).size(8);
    addHeadings(ph, 48);

    Band &t = addBand(BandKind::Title, 144);
    t.addSystem(8, 16, SystemData::PageNumber, QStringLiteral("Page: ")).size(8);
    lblCompany = &addCompanyLine(t, 16);
    t.addLabel(640, 16, QStringLiteral("HR #"));
    t.addData(672, 16, dm.tblHrdf, QStringLiteral("HR Number")).fixed(43);
    t.addSystem(8, 32, SystemData::Date, QStringLiteral("Printed: ")).size(8);
    t.addLabel(0, 40, QStringLiteral("Sub Hand Receipt")).centred();
    t.addLabel(8, 64, QStringLiteral("From: ALSE Officer"));
    lblCompanyFrom = &t.addLabel(45, 80, kDefaultCompany).named(QStringLiteral("lblCompanyFrom"));
    lblAlseOfficer = &t.addLabel(45, 96, QStringLiteral("ALSE Officer")).named(QStringLiteral("lblAlseOfficer"));
    t.addLabel(536, 64, QStringLiteral("To: "));
    t.addData(560, 64, dm.tblHrdf, QStringLiteral("HR Holder"));
    t.addData(560, 80, dm.tblHrdf, QStringLiteral("Section"));
    t.addData(560, 96, dm.tblHrdf, QStringLiteral("Phone"));
    addHeadings(t, 128);

    Band &d = addBand(BandKind::Detail, 16);
    // The items carry no LIN of their own: it is looked up in the master
    // list by NSN for each printed item, as the other looked-up columns are.
    lblLin = &d.addLabel(8, 0, QString()).named(QStringLiteral("lblLin")).size(10);
    const std::pair<int, const char *> cols[] = {{64, "NSN"}, {208, "Nomenclature"}, {488, "Serial Number"},
                                                 {616, "UI"}, {648, "Auth"}, {696, "OH"}};
    for (const auto &[x, field] : cols)
        d.addData(x, 0, dm.tblHr, QLatin1String(field)).size(10);
    d.beforePrint = [this](Band &b) { return DetailBand1BeforePrint(b); };

    Band &s = addBand(BandKind::Summary, 37);
    s.addLabel(40, 16, QStringLiteral("Signature"));
    s.addRule(96, 16, 129, 35);
    s.addLabel(240, 16, QStringLiteral("Rank"));
    s.addRule(272, 16, 65, 35);
    s.addLabel(352, 16, QStringLiteral("Date"));
    s.addRule(384, 16, 65, 35);
}

bool THrReport::DetailBand1BeforePrint(Band &)
{
    if (m_dm.tblHr.fieldByName(QStringLiteral("OH")).isNull())
        return false;
    const QVariant nsn = m_dm.tblHr.fieldByName(QStringLiteral("NSN")).value();
    lblLin->caption = m_dm.tblList.active() && !nsn.isNull()
        ? m_dm.tblList.lookup(QStringLiteral("NSN"), nsn, QStringLiteral("LIN")).toString()
        : QString();
    return true;
}

} // namespace kw::reports

