#pragma once
// A laid-out report: pages of positioned text and lines in 1/96 inch,
// independent of any device. The preview, the printer and every export use
// the same document, so a report is laid out once however it is output.
#include "reports/reportmodel.h"

#include <QDateTime>
#include <QString>
#include <QVector>

namespace kw::reports {

enum class ItemKind : quint8 { Text, Line };

// One thing to draw. Positions are from the top left corner of the page's
// printable area (inside the margins).
struct PageItem {
    QString text;            // Text only
    qint32 x = 0, y = 0;     // rectangle of the element
    qint32 w = 0, h = 0;
    float textWidth = 0;     // measured at 96 dpi; text starts at x for Left
    quint16 font = 0;        // index into ReportDocument::fonts
    ItemKind kind = ItemKind::Text;
    Alignment align = Alignment::Left;

    // Left edge of the text itself (the rectangle is wider for centred and
    // right-aligned text).
    double textLeft() const
    {
        switch (align) {
        case Alignment::Right: return x + w - textWidth;
        case Alignment::BandCenter: return x + (w - textWidth) / 2.0;
        default: return x;
        }
    }
    // Line items: the y of the line and its thickness.
    double lineY() const { return y + h / 2.0; }
};

struct Page {
    QVector<PageItem> items;
};

class ReportDocument {
public:
    QString title;          // print job title
    PageSetup page;
    QVector<FontSpec> fonts; // resolved specs (family and size always set)
    QVector<Page> pages;

    int pageCount() const { return int(pages.size()); }
    // Index of spec in fonts, added when new.
    quint16 fontIndex(const FontSpec &spec);
    const FontSpec &fontOf(const PageItem &item) const { return fonts.at(item.font); }

    // Text items of a page grouped into lines (same top y), each line's
    // items left to right; what the text, CSV and find features read.
    QVector<QVector<const PageItem *>> textLines(int page) const;

    // Bytes held by the pages, shared strings counted in full (an upper
    // bound, for the benchmark).
    qint64 memoryUse() const;

    bool operator==(const ReportDocument &o) const;
};

bool operator==(const PageItem &a, const PageItem &b);

} // namespace kw::reports
