#pragma once
// The report model: a report is bands, a band is a strip of fixed height
// holding printed elements at positions in 1/96 inch. Report definitions
// build one of these in their constructor; the layout (layout.h) walks the
// report's dataset and turns it into pages. Nothing here paints.
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace kw::data {
class Dataset;
class Field;
}

namespace kw::reports {

// Units of the model and of laid-out pages: 1/96 inch.
constexpr int kUnitsPerInch = 96;

// A font as a report asks for it ("Arial", "Tahoma"); mapped to an installed
// face when measured or painted (fonts.h). An empty family or a size of 0
// means "the report's font".
struct FontSpec {
    QString family;
    double pointSize = 0;
    bool bold = false;
    bool underline = false;

    bool operator==(const FontSpec &o) const
    {
        return family == o.family && pointSize == o.pointSize && bold == o.bold && underline == o.underline;
    }
};

enum class ElementKind { Label, DataText, SystemText, Rule };
enum class SystemData { Date, DateTime, PageNumber };
enum class Alignment {
    Left,
    Right,       // within the element's own width
    BandCenter,  // centred across the band (or the column, in a column band)
};

class Element {
public:
    ElementKind kind = ElementKind::Label;
    QString name;          // "lblCompany"; callers find labels by it
    int x = 0, y = 0;      // from the band's left edge and top
    int width = 0;         // fixed width; ignored by auto-sized text
    int height = 0;        // rules: the line lies at half of it; text: 0 = the font's line
    bool autoSize = true;  // text widens to its content; otherwise width is its room
                           // (a text too long for its room shrinks, then is cut; layout.cpp)
    Alignment alignment = Alignment::Left;
    FontSpec font;         // unset parts come from the report font
    bool visible = true;

    QString caption;                  // label text; prefix of a system text
    kw::data::Dataset *dataset = nullptr; // data text: field of the current record
    QString fieldName;
    SystemData system = SystemData::Date;

    // Chainable setters for definitions.
    Element &fixed(int w) { autoSize = false; width = w; return *this; }
    Element &centred() { alignment = Alignment::BandCenter; return *this; }
    Element &rightAligned(int w) { alignment = Alignment::Right; return fixed(w); }
    Element &withFont(const FontSpec &f) { font = f; return *this; }
    Element &size(double pt) { font.pointSize = pt; return *this; }
    Element &bold() { font.bold = true; return *this; }
    Element &underlined() { font.underline = true; return *this; }
    Element &face(const QString &family) { font.family = family; return *this; }
    Element &named(const QString &n) { name = n; return *this; }
};

enum class BandKind { Title, PageHeader, ColumnHeader, Detail, SubDetail, Summary, PageFooter };

class Band {
public:
    Band(BandKind kind, int height) : kind(kind), height(height) {}

    BandKind kind;
    int height;
    // Sub-detail bands: printed once per record of this dataset, for each
    // record of the report's dataset.
    kw::data::Dataset *dataset = nullptr;
    // Runs before each printing of the band; false refuses the band for the
    // current record, which then takes no space.
    std::function<bool(Band &)> beforePrint;

    Element &addLabel(int x, int y, const QString &caption);
    Element &addData(int x, int y, kw::data::Dataset &ds, const QString &field);
    Element &addSystem(int x, int y, SystemData what, const QString &prefix = {});
    Element &addRule(int x, int y, int width, int height);

    const std::vector<std::unique_ptr<Element>> &elements() const { return m_elements; }
    Element *element(const QString &name) const;

    // Column bands (column header, detail, sub-detail) repeat per column;
    // the others span the whole band width.
    bool perColumn() const
    {
        return kind == BandKind::ColumnHeader || kind == BandKind::Detail || kind == BandKind::SubDetail;
    }

private:
    Element &add(ElementKind k, int x, int y);
    std::vector<std::unique_ptr<Element>> m_elements;
};

// Paper and margins in 1/96 inch; US Letter with half-inch margins unless a
// page set-up says otherwise.
struct PageSetup {
    int paperWidth = 816, paperHeight = 1056;
    int leftMargin = 48, topMargin = 48, rightMargin = 48, bottomMargin = 48;

    int contentWidth() const { return paperWidth - leftMargin - rightMargin; }
    int contentHeight() const { return paperHeight - topMargin - bottomMargin; }
};

class Report {
public:
    Report() = default;
    Report(const Report &) = delete;
    Report &operator=(const Report &) = delete;
    virtual ~Report();

    QString title;                        // print job title; caption of the preview
    FontSpec font{QStringLiteral("Arial"), 10};
    int columns = 1;                      // fixed before layout
    bool firstPageHeader = true;          // page header on page 1 too
    bool lastPageFooter = true;           // page footer on the last page too
    PageSetup page;
    kw::data::Dataset *dataset = nullptr; // one detail band per record
    // Runs once, before the report is laid out.
    std::function<void(Report &)> beforePrint;

    Band &addBand(BandKind kind, int height);
    Band *band(BandKind kind) const;      // first band of that kind
    const std::vector<std::unique_ptr<Band>> &bands() const { return m_bands; }

    // A named element of any band; nullptr when there is none.
    Element *element(const QString &name) const;
    // As element(), but a missing name is a programming error (throws).
    Element &elementByName(const QString &name) const;
    // Sets a label's caption (the caller-filled labels).
    void setCaption(const QString &name, const QString &caption) { elementByName(name).caption = caption; }

    int columnWidth() const { return page.contentWidth() / (columns < 1 ? 1 : columns); }

private:
    std::vector<std::unique_ptr<Band>> m_bands;
};

} // namespace kw::reports
