#include "reports/hrdfreport.h"

#include "data/shop/dmmain.h"
#include "reports/reportheaders.h"

#include <algorithm>

namespace kw::reports {

THrdfReport::THrdfReport(kw::data::TdmMain &dm) : m_dm(dm)
{
    title = QStringLiteral("Kitwarden Hand Receipt Numbers");
    dataset = &dm.tblHrdf;

    Band &t = addBand(BandKind::Title, 65);
    t.addSystem(0, 0, SystemData::Date, QStringLiteral("Printed: ")).size(8);
    lblCompany = &addCompanyLine(t, 8);
    t.addLabel(0, 32, QStringLiteral("ALSE Hand Receipt Numbers")).centred().size(12).bold();

    Band &ch = addBand(BandKind::ColumnHeader, 16);
    const char *heads[4] = {"HR #", "Holder", "Section", "Phone"};
    for (int i = 0; i < 4; ++i)
        lblHeadings[i] = &ch.addLabel(0, 0, QLatin1String(heads[i])).size(10).bold().underlined();

    Band &d = addBand(BandKind::Detail, 16);
    const char *fields[4] = {"HR Number", "HR Holder", "Section", "Phone"};
    for (int i = 0; i < 4; ++i)
        dbTexts[i] = &d.addData(0, 0, dm.tblHrdf, QLatin1String(fields[i])).fixed(kWidths[i]).size(10);

    beforePrint = [this](Report &) { qrHrdfBeforePrint(); };
}

void THrdfReport::qrHrdfBeforePrint()
{
    static const int twoColumns[4] = {0, 48, 152, 272};
    static const int oneColumn[4] = {176, 216, 352, 448};
    const bool two = m_dm.tblHrdf.active() && m_dm.tblHrdf.recordCount() > kMaxOneColumn;
    columns = two ? 2 : 1;
    const int *xs = two ? twoColumns : oneColumn;
    for (int i = 0; i < 4; ++i) {
        lblHeadings[i]->x = xs[i];
        dbTexts[i]->x = xs[i];
        // A long section would otherwise run into the phone number in the
        // one-column positions: each value stops 2 units short of the next.
        // The phone, last in the column, may use the room up to the column's
        // end, so that a ten-digit number is not cut.
        const int room = (i < 3 ? xs[i + 1] : columnWidth()) - xs[i] - 2;
        dbTexts[i]->width = i < 3 ? std::min(kWidths[i], room) : std::max(kWidths[i], room);
    }
}

} // namespace kw::reports
