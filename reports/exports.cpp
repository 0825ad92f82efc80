// Text, CSV and HTML renderings of laid-out pages, and the choice of format
// by file name. Text and CSV read the pages line by line (items whose tops
// are a few units apart form one printed line); HTML keeps every position,
// since a CSS pixel is the layout's unit of 1/96 inch.
#include "reports/exports.h"

#include "core/csv.h"
#include "core/durablefile.h"
#include "core/folders.h"
#include "data/shop/shopschema.h"
#include "reports/fonts.h"
#include "reports/painter.h"

#include <QBuffer>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace kw::reports {

std::optional<ExportFormat> formatForPath(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("pdf")) return ExportFormat::Pdf;
    if (ext == QLatin1String("txt")) return ExportFormat::Text;
    if (ext == QLatin1String("csv")) return ExportFormat::Csv;
    if (ext == QLatin1String("html") || ext == QLatin1String("htm")) return ExportFormat::Html;
    if (ext == QLatin1String("kwr")) return ExportFormat::ReportFile;
    return std::nullopt;
}

QString formatExtension(ExportFormat f)
{
    switch (f) {
    case ExportFormat::Pdf: return QStringLiteral("pdf");
    case ExportFormat::Text: return QStringLiteral("txt");
    case ExportFormat::Csv: return QStringLiteral("csv");
    case ExportFormat::Html: return QStringLiteral("html");
    case ExportFormat::ReportFile: return QStringLiteral("kwr");
    }
    return {};
}

namespace {

// Text columns: one character per 6 units (a 10 pt character is about as
// wide), so the 720-unit band is 120 characters.
constexpr double kUnitsPerChar = 6.0;

struct TextRow {
    int top = 0;
    QVector<const PageItem *> items; // text and rules
};

// Text items by line as textLines() gives them; each rule joins the line
// it underlines (the nearest line starting above its stroke) or stands alone.
QVector<TextRow> rowsOf(const ReportDocument &doc, int page)
{
    QVector<TextRow> rows;
    for (const auto &line : doc.textLines(page))
        rows.append({line.first()->y, line});
    for (const PageItem &it : doc.pages[page].items) {
        if (it.kind != ItemKind::Line)
            continue;
        TextRow *best = nullptr;
        for (TextRow &r : rows)
            if (r.top <= it.lineY() && it.lineY() - r.top < 24 && (!best || r.top > best->top))
                best = &r;
        if (best) {
            best->items.append(&it);
        } else {
            rows.append({it.y, {&it}});
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const TextRow &a, const TextRow &b) { return a.top < b.top; });
    for (TextRow &r : rows)
        std::stable_sort(r.items.begin(), r.items.end(),
                         [](const PageItem *a, const PageItem *b) { return a->textLeft() < b->textLeft(); });
    return rows;
}

QString textRow(const TextRow &row)
{
    QString s;
    for (const PageItem *it : row.items) {
        const int col = int(std::lround(it->textLeft() / kUnitsPerChar));
        const QString piece = it->kind == ItemKind::Line
            ? QString(std::max(1, int(std::lround(it->w / kUnitsPerChar))), QLatin1Char('_'))
            : it->text;
        if (s.size() < col)
            s += QString(col - s.size(), QLatin1Char(' '));
        else if (!s.isEmpty())
            s += QLatin1Char(' '); // never run two texts together
        s += piece;
    }
    return s;
}

QString cssFont(const FontSpec &f)
{
    return QStringLiteral("font-family:'%1','%2',sans-serif;font-size:%3pt;font-weight:%4;text-decoration:%5")
        .arg(f.family, installedFamily(f.family))
        .arg(f.pointSize)
        .arg(f.bold ? QStringLiteral("bold") : QStringLiteral("normal"))
        .arg(f.underline ? QStringLiteral("underline") : QStringLiteral("none"));
}

QByteArray render(const ReportDocument &doc, ExportFormat format)
{
    switch (format) {
    case ExportFormat::Text: return toPlainText(doc).toUtf8();
    case ExportFormat::Csv: return toCsv(doc).toUtf8();
    case ExportFormat::Html: return toHtml(doc).toUtf8();
    case ExportFormat::Pdf: {
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        writePdf(doc, buf);
        return buf.data();
    }
    case ExportFormat::ReportFile: {
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        saveReportFile(doc, buf);
        return buf.data();
    }
    }
    return {};
}

} // namespace

QString toPlainText(const ReportDocument &doc)
{
    QString out;
    for (int p = 0; p < doc.pageCount(); ++p) {
        if (p > 0)
            out += QLatin1Char('\f');
        int lastTop = 0;
        for (const TextRow &row : rowsOf(doc, p)) {
            // A wide gap (a title block's spacing) shows as one empty line.
            if (row.top - lastTop > 24 && !out.isEmpty() && !out.endsWith(QLatin1Char('\f')))
                out += QLatin1Char('\n');
            out += textRow(row) + QLatin1Char('\n');
            lastTop = row.top;
        }
    }
    return out;
}

QString toCsv(const ReportDocument &doc)
{
    QString out;
    for (int p = 0; p < doc.pageCount(); ++p)
        for (const auto &line : doc.textLines(p)) {
            QStringList cells;
            for (const PageItem *it : line)
                cells << it->text;
            out += kw::core::csvRow(cells) + QStringLiteral("\r\n");
        }
    return out;
}

QString toHtml(const ReportDocument &doc)
{
    const PageSetup &pg = doc.page;
    QString out;
    out += QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n<style>\n")
               .arg(doc.title.toHtmlEscaped());
    out += QStringLiteral("body{background:#ccc;margin:0;padding:8px}\n"
                          ".page{position:relative;background:#fff;margin:8px auto;width:%1px;height:%2px;"
                          "overflow:hidden;color:#000}\n"
                          ".t{position:absolute;white-space:pre;line-height:1}\n"
                          ".r{position:absolute;height:0;border-top:1px solid #000}\n")
               .arg(pg.paperWidth)
               .arg(pg.paperHeight);
    for (int i = 0; i < doc.fonts.size(); ++i)
        out += QStringLiteral(".f%1{%2}\n").arg(i).arg(cssFont(doc.fonts[i]));
    out += QStringLiteral("</style>\n</head>\n<body>\n");
    for (int p = 0; p < doc.pageCount(); ++p) {
        out += QStringLiteral("<div class=\"page\" id=\"page%1\">\n").arg(p + 1);
        for (const PageItem &it : doc.pages[p].items) {
            if (it.kind == ItemKind::Line) {
                out += QStringLiteral("<div class=\"r\" style=\"left:%1px;top:%2px;width:%3px\"></div>\n")
                           .arg(pg.leftMargin + it.x)
                           .arg(pg.topMargin + it.lineY())
                           .arg(it.w);
                continue;
            }
            out += QStringLiteral("<span class=\"t f%1\" style=\"left:%2px;top:%3px\">%4</span>\n")
                       .arg(it.font)
                       .arg(pg.leftMargin + it.textLeft(), 0, 'f', 1)
                       .arg(pg.topMargin + it.y)
                       .arg(it.text.toHtmlEscaped());
        }
        out += QStringLiteral("</div>\n");
    }
    out += QStringLiteral("</body>\n</html>\n");
    return out;
}

void exportDocument(const ReportDocument &doc, const QString &path, std::optional<ExportFormat> format)
{
    if (!format)
        format = formatForPath(path);
    if (!format)
        throw kw::core::Error(
            QStringLiteral("Cannot tell the format of %1: use .pdf, .txt, .csv, .html or .kwr").arg(path));
    // Never through a link over a table, wherever the link leads.
    if (const QString why = kw::core::refusedTarget(path, QStringLiteral("a report"),
                                                    QFileInfo(kw::core::finalTarget(path)).absolutePath(),
                                                    kw::data::shop::tableFamilyFiles());
        !why.isEmpty())
        throw kw::core::Error(why);
    const QByteArray bytes = render(doc, *format);
    QString error;
    if (!kw::core::writeFileDurably(path, bytes, &error))
        throw kw::core::Error(QStringLiteral("Cannot write %1: %2").arg(path, error));
}

} // namespace kw::reports
