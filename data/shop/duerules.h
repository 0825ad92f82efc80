#pragma once
// What is due: the status of an inspection due date (overdue, due within a
// window, neither) and of a survival kit, whose expired food grounds it as
// an overdue inspection does. The page colours, the status bar's counts,
// find and the command line's due list all ask these functions, so that a
// row red on a page is a row the counts and the list call overdue.
#include <QDate>
#include <QString>

namespace kw::data {

enum class DueStatus { None, Soon, Overdue };

// How far ahead "due soon" looks, in days, unless a caller asks for another
// window (the command line's --within).
constexpr int kDueSoonDays = 30;

// Overdue: before today. Soon: today or within the next withinDays days.
// None: later, or no date (or no today).
DueStatus dueStatus(const QDate &due, const QDate &today, int withinDays = kDueSoonDays);

// The more urgent of two statuses.
DueStatus worseOf(DueStatus a, DueStatus b);

// Food is good through its expiry date: it has expired from the day after.
bool foodExpired(const QDate &foodExp, const QDate &today);

// A kit: the status of its inspection, or overdue when its food expired.
DueStatus kitDueStatus(const QDate &inspDue, const QDate &foodExp, const QDate &today,
                       int withinDays = kDueSoonDays);

// Whether an item needs inspecting, by its master-list Insp Type: exactly
// "D" or "Y", the items the inspections page lists.
bool itemNeedsInspection(const QString &inspType);
// Whether a kit needs inspecting, by its own Insp Type: every kit but one of
// type "N" (the due-date rule moves the due date of every other type on).
bool kitNeedsInspection(const QString &inspType);

} // namespace kw::data
