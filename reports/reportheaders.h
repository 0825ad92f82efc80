#pragma once
// What the eleven reports share: the company line every caller fills, the
// header variants (date, company, title line), the inspection type caption
// and the captions callers and tests look for.
#include "reports/reportmodel.h"

namespace kw::reports {

inline const QString kArial = QStringLiteral("Arial");
inline const QString kTahoma = QStringLiteral("Tahoma");
inline const QString kDefaultCompany = QStringLiteral("Your Company Name Here");

// `lblCompany`: Tahoma 14 pt, centred across the band, at y.
Element &addCompanyLine(Band &title, int y);

// The header of the four item and kit listings: the date alone (Arial 8 pt
// at 8, 8), the company line at y 24 and the title line (Arial 10 pt,
// centred, y 48), which is returned.
Element &addListingHeader(Band &title, const QString &titleCaption);
// The master gear list: "Printed: " with date and time (Arial 6 pt at 8, 8),
// company at y 24, title Arial 10 pt centred at y 48.
Element &addMasterGearHeader(Band &title, const QString &titleCaption);
// The office reports: "Printed: " with date and time (Tahoma 6 pt at 9, 8),
// company at y 8, title Tahoma 10 pt centred at y 32.
Element &addOfficeHeader(Band &title, const QString &titleCaption);

// The inspection type as a word: "N" None, "D" Day, "Y" Year; anything
// else, empty included, prints nothing.
QString inspTypeCaption(const QString &inspType);

} // namespace kw::reports
