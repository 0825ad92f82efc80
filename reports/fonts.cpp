#include "reports/fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <algorithm>
#include <cmath>

namespace kw::reports {

namespace {

// The device text is measured against: a 96-dpi image, whatever the screen.
const QPaintDevice &measureDevice()
{
    static QImage img = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(3780); // 96 dpi
        i.setDotsPerMeterY(3780);
        return i;
    }();
    return img;
}

bool familyInstalled(const QString &family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

} // namespace

void loadApplicationFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // fonts-wine ships Tahoma-compatible faces outside the system font path.
    for (const char *dir : {"/usr/share/wine/fonts/", "/usr/share/fonts/truetype/wine/"})
        for (const char *file : {"tahoma.ttf", "tahomabd.ttf"}) {
            const QString path = QLatin1String(dir) + QLatin1String(file);
            if (QFile::exists(path))
                QFontDatabase::addApplicationFont(path);
        }
}

QString installedFamily(const QString &requested)
{
    loadApplicationFonts();
    static QHash<QString, QString> chosen;
    const QString key = requested.toLower();
    auto it = chosen.constFind(key);
    if (it != chosen.constEnd())
        return *it;

    QStringList candidates;
    if (key == QLatin1String("arial"))
        candidates = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial")};
    else if (key == QLatin1String("tahoma"))
        candidates = {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")};
    candidates << requested << QStringLiteral("Liberation Sans") << QStringLiteral("DejaVu Sans");
    QString family = requested;
    for (const QString &c : candidates)
        if (familyInstalled(c)) {
            family = c;
            break;
        }
    chosen.insert(key, family);
    return family;
}

QFont qfontFor(const FontSpec &spec, double deviceDpi)
{
    QFont f(installedFamily(spec.family));
    f.setPointSizeF(spec.pointSize * kUnitsPerInch / deviceDpi);
    f.setBold(spec.bold);
    f.setUnderline(spec.underline);
    // Unhinted outlines: the same advances on screen, paper and PDF.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferOutline);
    f.setKerning(false);
    return f;
}

TextMeasurer::TextMeasurer() = default;
TextMeasurer::~TextMeasurer() = default;

TextMeasurer::Entry &TextMeasurer::entry(const FontSpec &spec)
{
    if (m_last >= 0 && m_entries[m_last].spec == spec)
        return m_entries[m_last];
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].spec == spec) {
            m_last = int(i);
            return m_entries[i];
        }
    Entry e;
    e.spec = spec;
    e.fm = std::make_unique<QFontMetricsF>(qfontFor(spec), &measureDevice());
    m_entries.push_back(std::move(e));
    m_last = int(m_entries.size() - 1);
    return m_entries.back();
}

QFontMetricsF &TextMeasurer::metrics(const FontSpec &spec)
{
    return *entry(spec).fm;
}

double TextMeasurer::width(const FontSpec &spec, const QString &text)
{
    if (text.isEmpty())
        return 0;
    Entry &e = entry(spec);
    auto it = e.widths.constFind(text);
    if (it != e.widths.constEnd())
        return *it;
    const double w = e.fm->horizontalAdvance(text);
    if (e.widths.size() > 8192)
        e.widths.clear();
    e.widths.insert(text, w);
    return w;
}

double TextMeasurer::lineHeight(const FontSpec &spec)
{
    return metrics(spec).height();
}

double TextMeasurer::ascent(const FontSpec &spec)
{
    return metrics(spec).ascent();
}

double TextMeasurer::visibleWidth(const FontSpec &spec, const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1).isSpace())
        --n;
    return width(spec, n == text.size() ? text : text.left(n));
}

QString TextMeasurer::cutWithEllipsis(const FontSpec &spec, const QString &text, double w)
{
    // Binary search on the prefix length; advance grows with length.
    QFontMetricsF &fm = metrics(spec);
    auto withMark = [&](int n) {
        QString s = text.left(n);
        while (!s.isEmpty() && s.back().isSpace()) // "BIN …" would read as a value
            s.chop(1);
        return s + kEllipsis;
    };
    if (fm.horizontalAdvance(kEllipsis) > w)
        return {};
    int lo = 0, hi = int(text.size()) - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(withMark(mid)) <= w)
            lo = mid;
        else
            hi = mid - 1;
    }
    return withMark(lo);
}

FittedText TextMeasurer::fit(const FontSpec &spec, const QString &text, double room)
{
    FittedText out{text, spec};
    if (room <= 0 || text.isEmpty())
        return out;
    const double full = visibleWidth(spec, text);
    if (full <= room)
        return out;
    const double floorPt = std::min(kLegibleFloorPt, spec.pointSize);
    FontSpec s = spec;
    auto fitsAt = [&](double pt) {
        s.pointSize = pt;
        return visibleWidth(s, text) <= room;
    };
    // Advances scale with the size (unhinted outlines), so the estimate is
    // close; the steps around it settle the rounding.
    double pt = floorPt;
    if (spec.pointSize > floorPt) {
        pt = std::floor(spec.pointSize * room / full * 2) / 2;
        pt = std::clamp(pt, floorPt, std::max(floorPt, spec.pointSize - 0.5));
        while (pt > floorPt && !fitsAt(pt))
            pt = std::max(floorPt, pt - 0.5);
        while (pt + 0.5 < spec.pointSize && fitsAt(pt + 0.5))
            pt += 0.5;
    }
    if (spec.pointSize > floorPt && fitsAt(pt)) {
        out.spec.pointSize = pt;
        out.shrunk = true;
        return out;
    }
    out.spec.pointSize = floorPt;
    out.shrunk = floorPt < spec.pointSize;
    out.cut = true;
    out.text = cutWithEllipsis(out.spec, text, room);
    return out;
}

} // namespace kw::reports
