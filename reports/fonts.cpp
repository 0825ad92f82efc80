#include "reports/fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QImage>

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

QString TextMeasurer::cut(const FontSpec &spec, const QString &text, double w)
{
    if (width(spec, text) <= w)
        return text;
    // Binary search on the prefix length; advance grows with length.
    QFontMetricsF &fm = metrics(spec);
    int lo = 0, hi = int(text.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(text.left(mid)) <= w)
            lo = mid;
        else
            hi = mid - 1;
    }
    return text.left(lo);
}

} // namespace kw::reports
