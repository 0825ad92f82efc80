#include "reports/document.h"

#include <algorithm>

namespace kw::reports {

bool operator==(const PageItem &a, const PageItem &b)
{
    return a.kind == b.kind && a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h && a.font == b.font
        && a.align == b.align && a.textWidth == b.textWidth && a.text == b.text;
}

quint16 ReportDocument::fontIndex(const FontSpec &spec)
{
    for (int i = int(fonts.size()) - 1; i >= 0; --i)
        if (fonts[i] == spec)
            return quint16(i);
    fonts.append(spec);
    return quint16(fonts.size() - 1);
}

QVector<QVector<const PageItem *>> ReportDocument::textLines(int pageIndex) const
{
    QVector<const PageItem *> items;
    for (const PageItem &it : pages.at(pageIndex).items)
        if (it.kind == ItemKind::Text)
            items.append(&it);
    std::stable_sort(items.begin(), items.end(),
                     [](const PageItem *a, const PageItem *b) { return a->y < b->y; });
    // Items a few units apart in height belong to one printed line (a
    // heading nudged up by two units, a value shrunk to fit and set on the
    // row's baseline). Distinct lines of the reports lie 8 or more apart.
    constexpr int kSameLine = 6;
    QVector<QVector<const PageItem *>> lines;
    int top = 0;
    for (const PageItem *it : items) {
        if (lines.isEmpty() || it->y - top > kSameLine) {
            lines.append(QVector<const PageItem *>());
            top = it->y;
        }
        lines.last().append(it);
    }
    for (auto &line : lines)
        std::stable_sort(line.begin(), line.end(),
                         [](const PageItem *a, const PageItem *b) { return a->textLeft() < b->textLeft(); });
    return lines;
}

qint64 ReportDocument::memoryUse() const
{
    qint64 bytes = sizeof(*this) + qint64(fonts.capacity()) * qint64(sizeof(FontSpec));
    for (const Page &p : pages) {
        bytes += sizeof(Page) + qint64(p.items.capacity()) * qint64(sizeof(PageItem));
        for (const PageItem &it : p.items)
            if (!it.text.isEmpty())
                bytes += qint64(it.text.capacity()) * 2 + 16; // counted even when shared
    }
    return bytes;
}

bool ReportDocument::operator==(const ReportDocument &o) const
{
    if (title != o.title || fonts != o.fonts || pages.size() != o.pages.size())
        return false;
    const PageSetup &a = page, &b = o.page;
    if (a.paperWidth != b.paperWidth || a.paperHeight != b.paperHeight || a.leftMargin != b.leftMargin
        || a.topMargin != b.topMargin || a.rightMargin != b.rightMargin || a.bottomMargin != b.bottomMargin)
        return false;
    for (int i = 0; i < pages.size(); ++i)
        if (pages[i].items != o.pages[i].items)
            return false;
    return true;
}

} // namespace kw::reports
