#include "reports/officereports.h"

#include "data/engine/dataset.h"
#include "data/shop/dmmain.h"
#include "data/engine/fieldvalue.h"
#include "reports/reportheaders.h"

#include <tuple>

namespace kw::reports {

namespace {

const char *const kPartsTitles[] = {"All Office Supplies", "Bench Stock Listing", "Class VIII Listing",
                                    "Operational Load Listing", "PLL Listing", "Shop Stock Listing"};
const char *const kPartsMasterTitles[] = {
    "Master List of All Office Supplies", "Master List of Bench Stock Items",      "Master List of Class VIII Items",
    "Master List of Operational Load Items", "Master List of PLL Items", "Master List of Shop Stock Items"};

template <std::size_t N>
QString titleByTab(const char *const (&titles)[N], int tab, const char *design)
{
    return QLatin1String(tab >= 0 && tab < int(N) ? titles[tab] : design);
}

// The office reports' shared start: Tahoma, the office header with its
// title line, and the company label.
Element &officeStart(Report &r, const QString &jobTitle, const QString &titleCaption, Element *&company)
{
    r.title = jobTitle;
    r.font = FontSpec{kTahoma, 10};
    Band &t = r.addBand(BandKind::Title, 65);
    Element &title = addOfficeHeader(t, titleCaption);
    company = t.element(QStringLiteral("lblCompany"));
    return title;
}

using Heading = std::tuple<int, int, const char *>; // x, y, caption

void addHeadings(Band &b, std::initializer_list<Heading> heads, bool underline)
{
    for (const auto &[x, y, text] : heads) {
        Element &e = b.addLabel(x, y, QLatin1String(text)).face(kTahoma).size(10);
        if (underline)
            e.underlined();
    }
}

QString textOf(const kw::data::Dataset &ds, int row, int field)
{
    return kw::data::fieldvalue::displayText(ds.rowValue(row, field));
}

} // namespace

QString partsListTitle(int tab)
{
    return titleByTab(kPartsTitles, tab, "Parts List");
}

QString partsMasterTitle(int tab)
{
    return titleByTab(kPartsMasterTitles, tab, "Master Parts List");
}

// ---- inventory sheet

TfrmInventory::TfrmInventory(kw::data::TdmMain &dm) : m_dm(dm)
{
    dataset = &dm.tblDrawer;
    officeStart(*this, QStringLiteral("Inventory Sheet"), QStringLiteral("Inventory Sheet"), lblCompany).name.clear();

    addHeadings(addBand(BandKind::ColumnHeader, 16),
                {{1, 0, "Drawer"}, {57, 0, "Bin"}, {89, 0, "NSN"}, {192, 0, "Part Number"}, {353, 0, "Nomenclature"},
                 {577, 0, "On Hand"}, {641, 0, "Reorder Point"}},
                false);

    addBand(BandKind::Detail, 16).addData(0, 0, dm.tblDrawer, QStringLiteral("Drawer")).face(kTahoma).size(10);

    Band &sub = addBand(BandKind::SubDetail, 20);
    sub.dataset = &dm.tblBin;
    sub.addData(56, 0, dm.tblBin, QStringLiteral("Bin")).size(8);
    lblNsn = &sub.addLabel(90, 0, QString()).named(QStringLiteral("lblNsn")).fixed(103).size(8);
    lblPartNumber = &sub.addLabel(194, 0, QString()).named(QStringLiteral("lblPartNumber")).fixed(153).size(8);
    lblNomen = &sub.addLabel(354, 0, QString()).named(QStringLiteral("lblNomen")).fixed(201).size(8);
    lblReorder = &sub.addLabel(674, 0, QString()).named(QStringLiteral("lblReorder")).size(8);
    sub.addRule(578, 14, 50, 3); // the counted quantity is written on it
    sub.beforePrint = [this](Band &b) { return QRSubDetail1BeforePrint(b); };

    beforePrint = [this](Report &) { repInventoryBeforePrint(); };
}

void TfrmInventory::repInventoryBeforePrint()
{
    m_parts.clear();
    const kw::data::Dataset &parts = m_dm.qryParts;
    if (!parts.active())
        return;
    auto col = [&](const char *name) { return parts.fieldByName(QLatin1String(name)).index(); };
    const int drawer = col("Drawer"), bin = col("Bin"), nsn = col("NSN"), number = col("Part Number"),
              nomen = col("Nomenclature"), reorder = col("Reorder Point");
    for (int row = 0, n = parts.recordCount(); row < n; ++row) {
        const QPair<QString, QString> place{parts.rowValue(row, drawer).toString(), parts.rowValue(row, bin).toString()};
        if (!m_parts.contains(place)) // the first in the page's order wins
            m_parts.insert(place, Part{textOf(parts, row, nsn), textOf(parts, row, number), textOf(parts, row, nomen),
                                       textOf(parts, row, reorder)});
    }
}

bool TfrmInventory::QRSubDetail1BeforePrint(Band &)
{
    const QPair<QString, QString> place{m_dm.tblDrawer.fieldByName(QStringLiteral("Drawer")).asString(),
                                        m_dm.tblBin.fieldByName(QStringLiteral("Bin")).asString()};
    const Part part = m_parts.value(place); // empty texts where nothing is stored
    lblNsn->caption = part.nsn;
    lblPartNumber->caption = part.partNumber;
    lblNomen->caption = part.nomenclature;
    lblReorder->caption = part.reorder;
    return true; // every place gets its counting line
}

// ---- parts on hand

TfrmPartsList::TfrmPartsList(kw::data::TdmMain &dm, int tab, const kw::settings::SetupTexts &texts)
    : m_dm(dm), m_tab(tab), m_texts(texts)
{
    dataset = &dm.qryParts;
    lblTitle = &officeStart(*this, QStringLiteral("Inventory Sheet"), QStringLiteral("Parts List"), lblCompany);

    addHeadings(addBand(BandKind::ColumnHeader, 16),
                {{1, 0, "Drawer"}, {57, 0, "Bin"}, {89, 0, "NSN"}, {192, 0, "Part Number"}, {345, 0, "Nomenclature"},
                 {577, 0, "UI"}, {606, 0, "Auth"}, {648, 0, "OH"}, {672, 0, "Reorder"}},
                true);

    Band &d = addBand(BandKind::Detail, 16);
    kw::data::Dataset &p = dm.qryParts;
    const std::tuple<int, int, const char *> cols[] = {{1, 48, "Drawer"},           {57, 29, "Bin"},
                                                       {89, 96, "NSN"},             {192, 145, "Part Number"},
                                                       {345, 224, "Nomenclature"}, {577, 24, "UI"}};
    for (const auto &[x, w, field] : cols)
        d.addData(x, 0, p, QLatin1String(field)).fixed(w).size(8);
    d.addData(604, 0, p, QStringLiteral("Auth")).rightAligned(29).size(8);
    d.addData(638, 0, p, QStringLiteral("On Hand")).rightAligned(28).size(8);
    d.addData(672, 0, p, QStringLiteral("Reorder Point")).rightAligned(46).size(8);
    d.beforePrint = [this](Band &b) { return DetailBand1BeforePrint(b); };

    Band &s = addBand(BandKind::Summary, 64);
    Element **names[] = {&lblPrepared, &lblApproved, &lblAuthorized};
    const std::tuple<int, int, const char *, const char *> sigs[] = {
        {0, 77, "Prepared By:", "lblPrepared"},
        {265, 344, "Approved By:", "lblApproved"},
        {506, 592, "Authorized By:", "lblAuthorized"}};
    for (int i = 0; i < 3; ++i) {
        const auto &[captionX, lineX, caption, name] = sigs[i];
        s.addLabel(captionX, 24, QLatin1String(caption));
        s.addRule(lineX, 38, 120, 3);
        *names[i] = &s.addLabel(lineX, 42, QString()).named(QLatin1String(name)).size(8);
    }

    beforePrint = [this](Report &) { repPartsListBeforePrint(); };
}

void TfrmPartsList::repPartsListBeforePrint()
{
    lblTitle->caption = partsListTitle(m_tab);
    lblPrepared->caption = m_texts.Prepared;
    lblApproved->caption = m_texts.Approved;
    lblAuthorized->caption = m_texts.Authorized;
}

bool TfrmPartsList::DetailBand1BeforePrint(Band &)
{
    // A part without an on-hand quantity is left off; 0 is printed.
    return !m_dm.qryParts.fieldByName(QStringLiteral("On Hand")).isNull();
}

// ---- master office parts

TfrmPartsMstrList::TfrmPartsMstrList(kw::data::TdmMain &dm, int tab) : m_tab(tab)
{
    dataset = &dm.tblPartsList;
    lblTitle = &officeStart(*this, QStringLiteral("Parts List"), QStringLiteral("Master Parts List"), lblCompany);

    addHeadings(addBand(BandKind::ColumnHeader, 16),
                {{1, 0, "NSN"}, {120, 0, "Part Number"}, {313, 0, "Nomenclature"}, {585, 0, "UI"}, {618, 0, "Auth"},
                 {665, 0, "Reorder"}},
                true);

    Band &d = addBand(BandKind::Detail, 16);
    kw::data::Dataset &l = dm.tblPartsList;
    for (const auto &[x, field] :
         {std::pair{1, "NSN"}, {120, "Part Number"}, {313, "Nomenclature"}, {585, "UI"}, {623, "Auth"}})
        d.addData(x, 0, l, QLatin1String(field)).size(8);
    d.addData(677, 0, l, QStringLiteral("Reorder Point")).fixed(44).size(8);

    beforePrint = [this](Report &) { repPartsMstrListBeforePrint(); };
}

void TfrmPartsMstrList::repPartsMstrListBeforePrint()
{
    lblTitle->caption = partsMasterTitle(m_tab);
}

// ---- technical manuals

TfrmTechMan::TfrmTechMan(kw::data::TdmMain &dm) : m_dm(dm)
{
    dataset = &dm.tblTechMan;
    lblTitle = &officeStart(*this, QStringLiteral("Technical Manual Listing"), QStringLiteral("Technical Manual Listing"),
                            lblCompany);

    Band &ch = addBand(BandKind::ColumnHeader, 32);
    addHeadings(ch, {{0, 0, "Binder/"}, {560, 0, "On"}, {609, 0, "Change"}, {664, 0, "Change"}}, false);
    addHeadings(ch,
                {{0, 16, "Book"}, {56, 16, "Publication"}, {224, 16, "Title"}, {480, 16, "Date"}, {554, 16, "Hand"},
                 {608, 16, "Number"}, {673, 16, "Date"}},
                true);

    Band &d = addBand(BandKind::Detail, 16);
    kw::data::Dataset &t = dm.tblTechMan;
    lblBinder = &d.addLabel(0, 0, QString()).named(QStringLiteral("lblBinder")).size(8);
    d.addData(56, 0, t, QStringLiteral("TM")).fixed(33).size(8);
    d.addData(99, 0, t, QStringLiteral("Number")).fixed(121).size(8);
    d.addData(224, 0, t, QStringLiteral("Title")).fixed(249).size(8);
    d.addData(480, 0, t, QStringLiteral("Date")).size(8);
    d.addData(560, 0, t, QStringLiteral("On Hand")).fixed(46).size(8);
    d.addData(624, 0, t, QStringLiteral("Change")).fixed(38).size(8);
    d.addData(664, 0, t, QStringLiteral("CH Date")).size(8);
    d.beforePrint = [this](Band &b) { return DetailBand1BeforePrint(b); };
}

bool TfrmTechMan::DetailBand1BeforePrint(Band &)
{
    const QString binder = m_dm.tblTechMan.fieldByName(QStringLiteral("Binder")).asString();
    lblBinder->caption = binder.isEmpty()
        ? QString()
        : binder + QStringLiteral(" / ") + m_dm.tblTechMan.fieldByName(QStringLiteral("Book")).asString();
    return true;
}

} // namespace kw::reports
