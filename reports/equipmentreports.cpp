#include "reports/equipmentreports.h"

#include "data/engine/dataset.h"
#include "data/shop/dmmain.h"
#include "reports/reportheaders.h"

#include <QLocale>
#include <iterator>

namespace kw::reports {

namespace {

const char *const kGearTitles[] = {
    "ALSE Gear Listing of All Items",       "ALSE Gear Listing of ALSE Items",
    "ALSE Gear Listing of Radios",          "ALSE Gear Listing of Flotation Devices",
    "ALSE Gear Listing of Batteries",       "ALSE Gear Listing of Pyrotechnic Items",
    "ALSE Gear Listing of Medical Items",
};
const char *const kGearMasterTitles[] = {
    "ALSE Gear Master List of All Items",       "ALSE Gear Master List of ALSE Items",
    "ALSE Gear Master List of Radios",          "ALSE Gear Master List of Flotation Devices",
    "ALSE Gear Master List of Batteries",       "ALSE Gear Master List of Pyrotechnic Items",
    "ALSE Gear Master List of Medical Items",   "ALSE Gear Master Add from List 1 Items",
    "ALSE Gear Master Add from List 2 Items",
};
const QString kGearListing = QStringLiteral("ALSE Gear Listing");

template <std::size_t N>
QString titleByTab(const char *const (&titles)[N], int tab, const QString &design)
{
    return tab >= 0 && tab < int(N) ? QLatin1String(titles[tab]) : design;
}

QString inspTypeOf(const kw::data::Dataset &ds)
{
    return inspTypeCaption(ds.fieldByName(QStringLiteral("Insp Type")).asString());
}

} // namespace

QString gearListingTitle(int tab)
{
    return titleByTab(kGearTitles, tab, kGearListing);
}

QString gearMasterTitle(int tab)
{
    return titleByTab(kGearMasterTitles, tab, kGearListing);
}

QString inspDueThrough(const QDate &dueBy)
{
    return QStringLiteral("Through ") + QLocale().toString(dueBy, QStringLiteral("d MMM yyyy"));
}

// ---- the three item listings

TItemListing::TItemListing(kw::data::Dataset &ds, const QString &jobTitle, const QString &titleCaption,
                           const Columns &c, int titleHeight)
    : m_ds(ds)
{
    title = jobTitle;
    dataset = &ds;

    m_title = &addBand(BandKind::Title, titleHeight);
    lblTitle = &addListingHeader(*m_title, titleCaption);
    lblCompany = m_title->element(QStringLiteral("lblCompany"));

    Band &ch = addBand(BandKind::ColumnHeader, 16);
    const std::pair<int, const char *> heads[] = {{0, "HR #"},         {c.holder, "HR Holder"},
                                                  {c.nomenclature, "Nomenclature"}, {c.serial, "Ser #"},
                                                  {c.inspection, "Inspection"}, {648, "Due"}};
    for (const auto &[x, text] : heads)
        ch.addLabel(x, 0, QLatin1String(text)).underlined();

    Band &d = addBand(BandKind::Detail, 16);
    d.addData(0, 0, ds, QStringLiteral("HR Number")).fixed(c.hrWidth);
    d.addData(c.holder, 0, ds, QStringLiteral("HR Holder"));
    d.addData(c.nomenclature, 0, ds, QStringLiteral("Nomenclature"));
    d.addData(c.serial, 0, ds, QStringLiteral("Serial Number"));
    d.addData(c.inspection, 0, ds, QStringLiteral("Insp Freq")).fixed(c.freqWidth);
    lblInspType = &d.addLabel(c.typeX, 0, QString()).named(QStringLiteral("lblInspType")).fixed(33);
    d.addData(648, 0, ds, QStringLiteral("Insp Due"));
    d.beforePrint = [this](Band &) {
        setInspType();
        return true;
    };
}

void TItemListing::setInspType()
{
    lblInspType->caption = inspTypeOf(m_ds);
}

TInspReport::TInspReport(kw::data::TdmMain &dm)
    : TItemListing(dm.qryInsp, QStringLiteral("Kitwarden Inspections"), QStringLiteral("ALSE Gear Inspections"),
                   {48, 224, 448, 576, 33, 27, 607}, 81)
{
}

TInspDueReport::TInspDueReport(kw::data::TdmMain &dm, const QDate &dueBy)
    : TItemListing(dm.qryInsp, QStringLiteral("Inspections Due"), QStringLiteral("ALSE Gear Inspections Due"),
                   {40, 248, 440, 568, 33, 32, 599}, 97),
      m_dueBy(dueBy)
{
    // A fixed title: not a caller-filled label.
    lblTitle->name.clear();
    lblInspDate = &m_title->addLabel(0, 64, inspDueThrough(dueBy))
                       .named(QStringLiteral("lblInspDate"))
                       .centred()
                       .face(kArial)
                       .size(10);
    band(BandKind::Detail)->beforePrint = [this](Band &b) { return DetailBand1BeforePrint(b); };
}

bool TInspDueReport::DetailBand1BeforePrint(Band &)
{
    // No due date reads as the earliest date: always due.
    const QVariant due = m_ds.fieldByName(QStringLiteral("Insp Due")).value();
    if (!due.isNull() && due.toDate() > m_dueBy)
        return false;
    setInspType();
    return true;
}

TGearReport::TGearReport(kw::data::TdmMain &dm, int tab)
    : TItemListing(dm.qryGear, QStringLiteral("Kitwarden Inspections"), kGearListing,
                   {48, 168, 432, 576, 41, 27, 607}, 81)
{
    lblTitle->caption = gearListingTitle(tab);
}

// ---- aircraft survival kits

TSurvivalReport::TSurvivalReport(kw::data::TdmMain &dm) : m_dm(dm)
{
    title = QStringLiteral("Aircraft Equipment Listing");
    dataset = &dm.tblKits;

    Band &t = addBand(BandKind::Title, 81);
    addListingHeader(t, QStringLiteral("Aircraft Equipment Listing"));
    lblCompany = t.element(QStringLiteral("lblCompany"));

    Band &ch = addBand(BandKind::ColumnHeader, 16);
    const std::pair<int, const char *> heads[] = {{0, "Aircraft"},      {64, "Kit Type"},  {160, "Serial #"},
                                                  {288, "Flare Lot #"}, {432, "Food Exp"}, {560, "Inspection"},
                                                  {648, "Due"}};
    for (const auto &[x, text] : heads)
        ch.addLabel(x, 0, QLatin1String(text)).underlined();

    Band &d = addBand(BandKind::Detail, 16);
    kw::data::Dataset &k = dm.tblKits;
    d.addData(0, 0, k, QStringLiteral("Aircraft")).fixed(57);
    d.addData(64, 0, k, QStringLiteral("Kit Type")).fixed(89);
    d.addData(160, 0, k, QStringLiteral("Serial Number")).fixed(121);
    d.addData(288, 0, k, QStringLiteral("Flare Lot")).fixed(138);
    d.addData(432, 0, k, QStringLiteral("Food Exp"));
    d.addData(560, 0, k, QStringLiteral("Insp Freq")).fixed(27);
    lblInspType = &d.addLabel(591, 0, QString()).named(QStringLiteral("lblInspType")).fixed(33);
    d.addData(648, 0, k, QStringLiteral("Insp Due"));
    d.beforePrint = [this](Band &) {
        lblInspType->caption = inspTypeOf(m_dm.tblKits);
        return true;
    };
}

// ---- master gear list

TfrmGearMasterReport::TfrmGearMasterReport(kw::data::TdmMain &dm, int tab) : m_dm(dm)
{
    title = QStringLiteral("Kitwarden Master Gear List");
    dataset = &dm.tblList;
    font = FontSpec{kTahoma, 10};

    Band &t = addBand(BandKind::Title, 81);
    lblTitle = &addMasterGearHeader(t, kGearListing);
    lblTitle->caption = gearMasterTitle(tab);
    lblCompany = t.element(QStringLiteral("lblCompany"));

    Band &ch = addBand(BandKind::ColumnHeader, 16);
    const std::tuple<int, int, const char *> heads[] = {
        {0, 0, "NSN"}, {96, -2, "Part Number"}, {288, 0, "Nomenclature"}, {624, 0, "UI"}, {656, 0, "Inspection"}};
    for (const auto &[x, y, text] : heads)
        ch.addLabel(x, y, QLatin1String(text)).face(kTahoma).size(10).underlined();

    Band &d = addBand(BandKind::Detail, 16);
    kw::data::Dataset &l = dm.tblList;
    for (const auto &[x, field] : {std::pair{0, "NSN"}, {96, "Part Number"}, {288, "Nomenclature"}, {624, "UI"}})
        d.addData(x, 0, l, QLatin1String(field)).size(8);
    d.addData(664, 0, l, QStringLiteral("Insp Freq")).fixed(19).size(8);
    lblInspType = &d.addLabel(687, 0, QString()).named(QStringLiteral("lblInspType")).fixed(33).size(8);
    d.beforePrint = [this](Band &) {
        lblInspType->caption = inspTypeOf(m_dm.tblList);
        return true;
    };
}

} // namespace kw::reports
