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

// Measures text of the fonts of one document at 96 dpi.
class TextMeasurer {
public:
    TextMeasurer();
    ~TextMeasurer();
    double width(const FontSpec &spec, const QString &text);
    double lineHeight(const FontSpec &spec);
    // The longest prefix of text no wider than width.
    QString cut(const FontSpec &spec, const QString &text, double width);

private:
    QFontMetricsF &metrics(const FontSpec &spec);
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
