#include "reports/painter.h"

#include "core/error.h"
#include "reports/fonts.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <stdexcept>

namespace kw::reports {

QVector<TextHit> findText(const ReportDocument &doc, const QString &needle)
{
    QVector<TextHit> hits;
    if (needle.isEmpty())
        return hits;
    for (int p = 0; p < doc.pageCount(); ++p) {
        const auto &items = doc.pages[p].items;
        for (const auto &line : doc.textLines(p))
            for (const PageItem *it : line) {
                const int index = int(it - items.constData());
                for (int at = int(it->text.indexOf(needle, 0, Qt::CaseInsensitive)); at >= 0;
                     at = int(it->text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive)))
                    hits.append({p, index, at, int(needle.size())});
            }
    }
    return hits;
}

namespace {

void markHits(QPainter &p, const ReportDocument &doc, int page, const QVector<TextHit> &hits, int current)
{
    TextMeasurer measure;
    for (int i = 0; i < hits.size(); ++i) {
        const TextHit &h = hits[i];
        if (h.page != page)
            continue;
        const PageItem &it = doc.pages[page].items.at(h.item);
        const FontSpec &spec = doc.fontOf(it);
        const double left = it.textLeft() + measure.width(spec, it.text.left(h.start));
        const double width = measure.width(spec, it.text.mid(h.start, h.length));
        p.fillRect(QRectF(left, it.y, width, it.h),
                   i == current ? QColor(255, 150, 0) : QColor(255, 235, 120));
    }
}

} // namespace

void paintPage(QPainter &p, const ReportDocument &doc, int page, const QVector<TextHit> &hits, int currentHit)
{
    if (page < 0 || page >= doc.pageCount())
        return;
    p.save();
    p.translate(doc.page.leftMargin, doc.page.topMargin);
    if (!hits.isEmpty())
        markHits(p, doc, page, hits, currentHit);

    const double dpi = p.device() ? p.device()->logicalDpiY() : kUnitsPerInch;
    QVector<QFont> fonts;
    QVector<double> ascents;
    for (const FontSpec &spec : doc.fonts) {
        fonts.append(qfontFor(spec, dpi));
        ascents.append(QFontMetricsF(fonts.last(), p.device()).ascent());
    }
    p.setPen(QPen(Qt::black, 1.0));
    int lastFont = -1;
    for (const PageItem &it : doc.pages[page].items) {
        if (it.kind == ItemKind::Line) {
            p.drawLine(QPointF(it.x, it.lineY()), QPointF(it.x + it.w, it.lineY()));
            continue;
        }
        if (it.font != lastFont) {
            p.setFont(fonts.at(it.font));
            lastFont = it.font;
        }
        p.drawText(QPointF(it.textLeft(), it.y + ascents.at(it.font)), it.text);
    }
    p.restore();
}

void writePdf(const ReportDocument &doc, QIODevice &out)
{
    QPdfWriter pdf(&out);
    pdf.setResolution(kUnitsPerInch); // one device unit is one layout unit
    pdf.setTitle(doc.title);
    pdf.setCreator(QStringLiteral("Kitwarden"));
    pdf.setPageSize(QPageSize(QSizeF(doc.page.paperWidth / double(kUnitsPerInch),
                                     doc.page.paperHeight / double(kUnitsPerInch)),
                              QPageSize::Inch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p;
    if (!p.begin(&pdf))
        throw kw::core::Error(QStringLiteral("cannot write the PDF"));
    const int n = std::max(1, doc.pageCount());
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            pdf.newPage();
        paintPage(p, doc, i);
    }
    p.end();
}

void printDocument(const ReportDocument &doc, QPrinter &printer, int fromPage, int toPage)
{
    const int first = fromPage > 0 ? fromPage : 1;
    const int last = toPage > 0 ? std::min(toPage, doc.pageCount()) : doc.pageCount();
    if (first > last)
        return;
    printer.setDocName(doc.title);
    printer.setFullPage(true); // the document carries its own margins
    QPainter p;
    if (!p.begin(&printer))
        throw kw::core::Error(QStringLiteral("The printer could not be started."));
    const double scale = printer.resolution() / double(kUnitsPerInch);
    for (int i = first; i <= last; ++i) {
        if (i > first)
            printer.newPage();
        p.save();
        p.scale(scale, scale);
        paintPage(p, doc, i - 1);
        p.restore();
    }
    p.end();
}

} // namespace kw::reports
