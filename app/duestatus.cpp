#include "app/duestatus.h"

#include <QPalette>
#include <QTextDocument>

namespace kw::app {

QColor dueStatusColor(DueStatus status, const QPalette &palette)
{
    if (status == DueStatus::None)
        return {};
    // Dark text on a light base gets deep tones; light text on a dark base
    // gets light ones. The hue carries the meaning, the text's lightness the
    // contrast.
    const bool darkText = palette.color(QPalette::Text).lightness() < 128;
    if (status == DueStatus::Overdue)
        return darkText ? QColor(0xA0, 0x00, 0x00) : QColor(0xFF, 0x8A, 0x80);
    return darkText ? QColor(0x9A, 0x5B, 0x00) : QColor(0xFF, 0xC8, 0x57);
}

QString dueLegend(DueColours colours, const QPalette &palette)
{
    if (colours == DueColours::None)
        return {};
    auto in = [&](DueStatus st, const QString &text) {
        return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(dueStatusColor(st, palette).name(), text);
    };
    const QString overdue = colours == DueColours::InspectionsAndFood ? QStringLiteral("Overdue or food expired")
                                                                      : QStringLiteral("Overdue");
    return in(DueStatus::Overdue, overdue) + QStringLiteral(" &middot; ")
        + in(DueStatus::Soon, QStringLiteral("Due within %1 days").arg(kDueSoonDays));
}

QString dueLegendPlain(DueColours colours)
{
    QTextDocument doc;
    doc.setHtml(dueLegend(colours, QPalette()));
    return doc.toPlainText();
}

QString dueLegendSwatches(DueColours colours, const QPalette &palette)
{
    if (colours == DueColours::None)
        return {};
    auto swatch = [&](DueStatus st) {
        return QStringLiteral("<span style=\"color:%1\">\u25A0</span>").arg(dueStatusColor(st, palette).name());
    };
    return swatch(DueStatus::Overdue) + QLatin1Char(' ') + swatch(DueStatus::Soon);
}

QString dueLegendExplained(DueColours colours)
{
    if (colours == DueColours::None)
        return {};
    QString s = QStringLiteral("Red: the inspection due date has passed.\nAmber: the inspection falls due within "
                               "the next %1 days.")
                    .arg(kDueSoonDays);
    if (colours == DueColours::InspectionsAndFood)
        s.replace(QStringLiteral("has passed."), QStringLiteral("has passed, or the kit's food has expired."));
    return s;
}

} // namespace kw::app
