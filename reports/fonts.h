#pragma once
// Report fonts: the faces reports ask for mapped to installed, metric-
// compatible ones, and text measured at one fixed resolution (96 dpi) so a
// layout does not change with the screen's scaling. Needs a QGuiApplication
// (the offscreen platform is enough).
#include "reports/reportmodel.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <memory>
#include <vector>

namespace kw::reports {

// Loads faces the system's font path lacks (Tahoma from fonts-wine). Safe to
// call more than once.
void loadApplicationFonts();

// The installed family used for a requested one: Arial -> Liberation Sans,
// Tahoma -> Tahoma when loaded, else the closest sans face.
QString installedFamily(const QString &requested);

// A QFont for spec whose glyphs are pt * 96 / 72 units high when painted on
// a device of logical resolution deviceDpi with the painter scaled to units.
QFont qfontFor(const FontSpec &spec, double deviceDpi = kUnitsPerInch);

// The smallest size a value is shrunk to before it is cut: still legible
// on paper. A text designed smaller than this is never shrunk.
constexpr double kLegibleFloorPt = 6.0;
// Marks a value cut short, so that a reader knows something is missing.
inline const QString kEllipsis = QStringLiteral("\u2026");

// A text fitted into a given width.
struct FittedText {
    QString text;
    FontSpec spec;       // the size it prints at
    bool shrunk = false; // printed smaller than asked
    bool cut = false;    // cut short, ending in kEllipsis (or empty)
};

// Measures text of the fonts of one document at 96 dpi.
class TextMeasurer {
public:
    TextMeasurer();
    ~TextMeasurer();
    double width(const FontSpec &spec, const QString &text);
    double lineHeight(const FontSpec &spec);
    double ascent(const FontSpec &spec);
    // Fits text into room units. A text that fits (trailing blanks do not
    // count, they print nothing) is kept as it is. Otherwise it takes the
    // largest size, in half points, at which it fits, down to
    // kLegibleFloorPt (or its own size when that is smaller). Past that floor
    // it keeps the longest prefix that fits with kEllipsis after it; when not
    // even the ellipsis fits, nothing. room <= 0 means no limit.
    FittedText fit(const FontSpec &spec, const QString &text, double room);

private:
    QFontMetricsF &metrics(const FontSpec &spec);
    double visibleWidth(const FontSpec &spec, const QString &text);
    // The longest prefix of text that fits in w with the ellipsis after it.
    QString cutWithEllipsis(const FontSpec &spec, const QString &text, double w);
    struct Entry {
        FontSpec spec;
        std::unique_ptr<QFontMetricsF> fm;
        QHash<QString, double> widths; // values repeat a lot (dates, units)
    };
    Entry &entry(const FontSpec &spec);
    std::vector<Entry> m_entries;
    int m_last = -1;
};

} // namespace kw::reports
