#include "app/duestatus.h"

#include <QPalette>

namespace kw::app {

// How far ahead "due soon" looks.
static constexpr int kSoonDays = 30;

DueStatus dueStatus(const QDate &due, const QDate &today)
{
    if (!due.isValid() || !today.isValid())
        return DueStatus::None;
    if (due < today)
        return DueStatus::Overdue;
    if (today.daysTo(due) <= kSoonDays)
        return DueStatus::Soon;
    return DueStatus::None;
}

DueStatus worseOf(DueStatus a, DueStatus b)
{
    return int(a) > int(b) ? a : b;
}

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

} // namespace kw::app
