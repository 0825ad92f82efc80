// Band placement. Pages fill top to bottom: page header (from page 2 on, or
// from page 1 with the first-page-header option), title (page 1), column
// header at the top of each column, then detail and sub-detail bands down the
// first column, the second, and on to the next page; the summary follows
// the last detail band below the longest column. A band that does not fit
// in what is left of a column moves to the next column or page, whole; a
// band taller than an empty column is placed anyway so the layout ends.
// Every text has a room: a fixed-width text its width, a centred one the
// band, an auto-sized one what lies before the next text element on its
// line (or the band's edge). A value that does not fit its room first
// shrinks, down to a legible floor, and only then is cut with an ellipsis:
// a count sheet whose bins all read "BIN 0" is worse than small print.
// A shrunk text keeps the baseline of its line.
#include "reports/layout.h"

#include "data/shop/clock.h"
#include "data/engine/dataset.h"
#include "data/engine/fieldvalue.h"
#include "reports/fonts.h"

#include <QDateTime>
#include <cmath>
#include <unordered_map>

namespace kw::reports {

namespace {

class Layouter {
public:
    Layouter(Report &r, ReportDocument &doc, const PageDone &done) : r(r), doc(doc), done(done) {}

    bool run()
    {
        if (r.beforePrint)
            r.beforePrint(r);
        doc = ReportDocument();
        doc.title = r.title;
        doc.page = r.page;
        printedAt = kw::data::Clock::now();
        columns = std::max(1, r.columns);
        colWidth = r.page.contentWidth() / columns;
        const Band *footer = r.band(BandKind::PageFooter);
        bottom = r.page.contentHeight() - (footer ? footer->height : 0);

        startPage();
        walkDataset();
        if (stopped)
            return false; // the page begun last is not finished
        placeSummary();
        finishPage(true);
        return !stopped;
    }

private:
    void walkDataset()
    {
        kw::data::Dataset *ds = r.dataset;
        Band *detail = r.band(BandKind::Detail);
        Band *sub = r.band(BandKind::SubDetail);
        if (!ds || !ds->active())
            return;
        for (ds->first(); !ds->eof() && !stopped; ds->next()) {
            if (detail)
                placeColumnBand(*detail);
            if (sub && sub->dataset && sub->dataset->active())
                for (sub->dataset->first(); !sub->dataset->eof() && !stopped; sub->dataset->next())
                    placeColumnBand(*sub);
        }
    }

    void startPage()
    {
        ++pageNo;
        page = Page();
        bodyOnPage = false;
        y = 0;
        column = 0;
        if (Band *ph = r.band(BandKind::PageHeader); ph && (pageNo > 1 || r.firstPageHeader))
            placeFixed(*ph);
        if (Band *t = r.band(BandKind::Title); t && pageNo == 1)
            placeFixed(*t);
        colTop = y;
        colMaxY = y;
        columnHeader();
    }

    void columnHeader()
    {
        y = colTop;
        bandsInColumn = 0;
        if (Band *ch = r.band(BandKind::ColumnHeader))
            placeFixed(*ch, column);
        colMaxY = std::max(colMaxY, y);
    }

    void finishPage(bool last)
    {
        if (Band *pf = r.band(BandKind::PageFooter); pf && (!last || r.lastPageFooter)) {
            y = bottom;
            placeFixed(*pf);
        }
        doc.pages.append(std::move(page));
        if (done && !done(doc.pageCount()))
            stopped = true;
    }

    void nextColumn()
    {
        if (column + 1 < columns) {
            ++column;
            columnHeader();
        } else {
            finishPage(false);
            startPage();
        }
    }

    // Detail and sub-detail bands: refused bands take no space.
    void placeColumnBand(Band &b)
    {
        if (b.beforePrint && !b.beforePrint(b))
            return;
        if (y + b.height > bottom && bandsInColumn > 0)
            nextColumn();
        emitBand(b, column);
        ++bandsInColumn;
        bodyOnPage = true;
    }

    void placeSummary()
    {
        Band *s = r.band(BandKind::Summary);
        if (!s || (s->beforePrint && !s->beforePrint(*s)))
            return;
        column = 0;
        y = colMaxY;
        if (y + s->height > bottom && bodyOnPage) {
            finishPage(false);
            startPage();
        }
        emitBand(*s, -1);
    }

    // Title, headers and footer: printed where they stand, no fit test.
    void placeFixed(Band &b, int col = -1)
    {
        if (b.beforePrint && !b.beforePrint(b))
            return;
        emitBand(b, col);
    }

    // Places b's elements at the current y, in column col (-1: full width).
    void emitBand(Band &b, int col)
    {
        const int x0 = col < 0 ? 0 : col * colWidth;
        const int bandWidth = col < 0 || !b.perColumn() ? r.page.contentWidth() : colWidth;
        for (const auto &ep : b.elements()) {
            const Element &e = *ep;
            if (!e.visible)
                continue;
            if (e.kind == ElementKind::Rule) {
                PageItem it;
                it.kind = ItemKind::Line;
                it.x = x0 + e.x;
                it.y = y + e.y;
                it.w = e.width;
                it.h = e.height;
                page.items.append(std::move(it));
                continue;
            }
            const QString value = textOf(e);
            if (value.isEmpty())
                continue;
            const FontSpec designed = resolve(e.font);
            FittedText fitted = measure.fit(designed, value, roomOf(b, e, bandWidth));
            if (fitted.text.isEmpty())
                continue;
            const FontSpec &spec = fitted.spec;
            PageItem it;
            it.kind = ItemKind::Text;
            it.font = doc.fontIndex(spec);
            it.y = y + e.y;
            if (fitted.shrunk) // on the baseline of the designed size
                it.y += int(std::lround(measure.ascent(designed) - measure.ascent(spec)));
            it.h = e.height > 0 ? e.height : int(std::ceil(measure.lineHeight(spec)));
            it.align = e.alignment;
            QString text = std::move(fitted.text);
            it.textWidth = float(measure.width(spec, text));
            if (e.alignment == Alignment::BandCenter) {
                it.x = x0;
                it.w = bandWidth;
            } else {
                it.x = x0 + e.x;
                it.w = e.autoSize ? int(std::ceil(it.textWidth)) : e.width;
            }
            it.text = std::move(text);
            page.items.append(std::move(it));
        }
        y += b.height;
        colMaxY = std::max(colMaxY, y);
    }

    // The width a text element may fill: a fixed width, the band for a
    // centred text, and for an auto-sized one the room before the next text
    // element to its right whose line overlaps its own, or else before the
    // band's edge.
    int roomOf(const Band &b, const Element &e, int bandWidth)
    {
        if (e.alignment == Alignment::BandCenter)
            return centredRoom(b, e, bandWidth);
        if (!e.autoSize)
            return std::max(1, e.width);
        if (auto it = rooms.find(&e); it != rooms.end())
            return it->second;
        int next = 0;
        for (const auto &op : b.elements()) {
            const Element &o = *op;
            if (&o == &e || !o.visible || o.kind == ElementKind::Rule || o.alignment == Alignment::BandCenter)
                continue;
            if (o.x <= e.x || !sameLine(e, o))
                continue;
            if (next == 0 || o.x < next)
                next = o.x;
        }
        const int room = std::max(1, next == 0 ? bandWidth - e.x : next - e.x - 2);
        rooms.emplace(&e, room);
        return room;
    }

    // A centred text (the company line) keeps clear of the texts beside it
    // on its line, on both sides alike.
    int centredRoom(const Band &b, const Element &e, int bandWidth)
    {
        int room = bandWidth;
        for (const auto &op : b.elements()) {
            const Element &o = *op;
            if (&o == &e || !o.visible || o.kind == ElementKind::Rule || o.alignment == Alignment::BandCenter
                || !sameLine(e, o))
                continue;
            const QString text = textOf(o);
            if (text.isEmpty())
                continue;
            const double w = std::min<double>(measure.width(resolve(o.font), text), roomOf(b, o, bandWidth));
            const bool right = o.alignment == Alignment::Right;
            const double left = right ? o.x + o.width - w : o.x;
            const int clear = o.x < bandWidth / 2 ? bandWidth - 2 * (int(std::ceil(left + w)) + 2)
                                                  : 2 * (int(std::floor(left)) - 2) - bandWidth;
            room = std::min(room, clear);
        }
        return std::max(1, room);
    }

    static bool sameLine(const Element &a, const Element &b)
    {
        auto lineOf = [](const Element &x) { return x.height > 0 ? x.height : 16; };
        return a.y < b.y + lineOf(b) && b.y < a.y + lineOf(a);
    }

    QString textOf(const Element &e)
    {
        switch (e.kind) {
        case ElementKind::Label:
            return e.caption;
        case ElementKind::DataText: {
            if (!e.dataset || !e.dataset->active())
                return {};
            auto it = fields.find(&e);
            if (it == fields.end())
                it = fields.emplace(&e, &e.dataset->fieldByName(e.fieldName)).first;
            return kw::data::fieldvalue::displayText(it->second->value());
        }
        case ElementKind::SystemText:
            switch (e.system) {
            case SystemData::Date:
                return e.caption + kw::data::fieldvalue::displayText(printedAt.date());
            case SystemData::DateTime:
                return e.caption + kw::data::fieldvalue::displayText(printedAt);
            case SystemData::PageNumber:
                return e.caption + QString::number(pageNo);
            }
            return e.caption;
        case ElementKind::Rule:
            break;
        }
        return {};
    }

    FontSpec resolve(const FontSpec &f) const
    {
        FontSpec s = f;
        if (s.family.isEmpty())
            s.family = r.font.family;
        if (s.pointSize <= 0)
            s.pointSize = r.font.pointSize;
        return s;
    }

    Report &r;
    ReportDocument &doc;
    const PageDone &done;
    TextMeasurer measure;
    std::unordered_map<const Element *, kw::data::Field *> fields;
    std::unordered_map<const Element *, int> rooms;
    QDateTime printedAt;
    Page page;
    int pageNo = 0, y = 0, column = 0, columns = 1, colWidth = 0;
    int colTop = 0, colMaxY = 0, bottom = 0;
    int bandsInColumn = 0; // detail bands already in the current column
    bool bodyOnPage = false; // any detail band on the current page
    bool stopped = false;
};

} // namespace

bool layoutReport(Report &report, ReportDocument &doc, const PageDone &pageDone)
{
    return Layouter(report, doc, pageDone).run();
}

ReportDocument layoutReport(Report &report)
{
    ReportDocument doc;
    layoutReport(report, doc);
    return doc;
}

} // namespace kw::reports
