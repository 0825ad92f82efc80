#pragma once
// Draws laid-out pages on any QPainter device: the preview, a printer, a
// PDF. Fonts are sized for the device so that one painter unit is 1/96 inch
// whatever the device's resolution.
#include "reports/document.h"

#include <QString>
#include <QVector>

class QIODevice;
class QPainter;
class QPrinter;

namespace kw::reports {

// A found piece of text: characters [start, start + length) of an item.
struct TextHit {
    int page = 0;
    int item = 0;
    int start = 0;
    int length = 0;
    bool operator==(const TextHit &o) const
    {
        return page == o.page && item == o.item && start == o.start && length == o.length;
    }
};

// Every case-insensitive occurrence of needle, page by page, top to bottom.
QVector<TextHit> findText(const ReportDocument &doc, const QString &needle);

// Paints one page. The painter's transform must map one unit to 1/96 inch
// with the origin at the paper's top left corner; the margins are added
// here. Hits on this page are marked, the current one stronger.
void paintPage(QPainter &p, const ReportDocument &doc, int page, const QVector<TextHit> &hits = {},
               int currentHit = -1);

// Writes the whole document as PDF (one PDF page per page).
void writePdf(const ReportDocument &doc, QIODevice &out);

// Prints pages [fromPage, toPage] (1-based, 0 = all) on printer, which keeps
// the user's choices (printer, copies); the paper is the document's.
void printDocument(const ReportDocument &doc, QPrinter &printer, int fromPage = 0, int toPage = 0);

} // namespace kw::reports
