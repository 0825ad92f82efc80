// What is due, for scripts, cron and e-mail: the items and kits that are
// overdue, fall due within a window, or were never inspected, as a table,
// comma-separated values or a calendar. The exit code tells a cron job
// whether anything is overdue.
#include "cli/command.h"
#include "data/shop/dmmain.h"
#include "data/shop/duelist.h"
#include "data/engine/session.h"
#include "data/shop/shopschema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <map>

namespace kw::cli {
namespace {

using namespace kw::data;

// Something may not fly: a cron job can tell without reading the list.
constexpr int kExitOverdue = 3;
// Ten years: any window beyond it lists every dated row anyway.
constexpr int kMaxWithin = 3650;

bool isOverdue(const DueEntry &e)
{
    return e.reason == DueReason::Overdue || e.reason == DueReason::FoodExpired;
}

QString statusText(DueReason r)
{
    switch (r) {
    case DueReason::NeverInspected:
        return QStringLiteral("never inspected");
    case DueReason::Overdue:
        return QStringLiteral("overdue");
    case DueReason::FoodExpired:
        return QStringLiteral("food expired");
    case DueReason::DueSoon:
        break;
    }
    return QStringLiteral("due");
}

QString plural(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// ---------------------------------------------------------------- text and CSV

void printList(const QVector<DueEntry> &entries, int within, bool csv)
{
    const QStringList header{QStringLiteral("Status"), QStringLiteral("Due"), QStringLiteral("What"),
                             QStringLiteral("HR Number"), QStringLiteral("Holder"), QStringLiteral("NSN"),
                             QStringLiteral("Nomenclature"), QStringLiteral("Serial Number")};
    QVector<QStringList> rows;
    for (const DueEntry &e : entries) {
        const bool item = e.kind == DueEntry::Kind::Item;
        rows << QStringList{statusText(e.reason), e.date.toString(Qt::ISODate),
                            item ? QStringLiteral("Item") : QStringLiteral("Kit"),
                            item ? e.hrNumber.toString() : QString(), e.holder, e.nsn, e.nomenclature, e.serial};
    }
    if (csv || !rows.isEmpty())
        printTable(header, rows, csv);
    if (csv)
        return;
    int overdue = 0, soon = 0, food = 0, never = 0;
    for (const DueEntry &e : entries)
        ++(e.reason == DueReason::Overdue ? overdue
           : e.reason == DueReason::DueSoon ? soon
           : e.reason == DueReason::FoodExpired ? food
                                               : never);
    if (rows.isEmpty()) {
        out(QStringLiteral("Nothing is overdue or due within %1.").arg(plural(within, "day", "days")));
        return;
    }
    QStringList parts{QStringLiteral("%1 overdue").arg(overdue),
                      QStringLiteral("%1 due within %2").arg(soon).arg(plural(within, "day", "days"))};
    if (food)
        parts << plural(food, "kit's food expired", "kits' food expired");
    if (never)
        parts << QStringLiteral("%1 never inspected").arg(never);
    out(QString());
    out(parts.join(QStringLiteral(", ")) + QLatin1Char('.'));
}

// ---------------------------------------------------------------- calendar

// A TEXT value: backslash, semicolon, comma and line breaks escaped.
QString icsText(QString s)
{
    s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    s.replace(QLatin1Char(';'), QStringLiteral("\\;"));
    s.replace(QLatin1Char(','), QStringLiteral("\\,"));
    s.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return s;
}

// A content line, folded after at most 75 octets (never inside a UTF-8
// sequence), ended by CRLF.
void icsLine(QByteArray &out, const QString &line)
{
    const QByteArray utf8 = line.toUtf8();
    int at = 0, room = 75;
    while (utf8.size() - at > room) {
        int cut = at + room;
        while (cut > at && (uchar(utf8[cut]) & 0xC0) == 0x80)
            --cut; // a continuation byte: cut before its sequence
        out += utf8.mid(at, cut - at) + "\r\n ";
        at = cut;
        room = 74; // the leading blank of a folded line counts
    }
    out += utf8.mid(at) + "\r\n";
}

QString describe(const DueEntry &e)
{
    if (e.kind == DueEntry::Kind::Kit) {
        QString s = QStringLiteral("Aircraft %1: %2 kit, serial %3").arg(e.holder, e.nomenclature, e.serial);
        return e.reason == DueReason::FoodExpired ? s + QStringLiteral(" (food expired)") : s;
    }
    return QStringLiteral("HR %1 %2: %3 %4, serial %5")
        .arg(e.hrNumber.toString(), e.holder, e.nsn, e.nomenclature, e.serial);
}

// One all-day event per due date: what falls due (or fell due) that day.
// Rows never inspected have no date and stay off the calendar.
void printCalendar(const QVector<DueEntry> &entries, const QString &dataDir, const QDate &today)
{
    std::map<QDate, QVector<const DueEntry *>> byDate;
    for (const DueEntry &e : entries)
        if (e.date.isValid())
            byDate[e.date].append(&e);
    // The same data directory gives the same event identities, so that a
    // calendar importing the file again updates its events.
    const QByteArray where = QCryptographicHash::hash(QFileInfo(dataDir).absoluteFilePath().toUtf8(),
                                                      QCryptographicHash::Sha1)
                                 .toHex()
                                 .left(12);
    const QString stamp = Clock::now().toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QByteArray ics;
    icsLine(ics, QStringLiteral("BEGIN:VCALENDAR"));
    icsLine(ics, QStringLiteral("VERSION:2.0"));
    icsLine(ics, QStringLiteral("PRODID:-//Quillfen//Kitwarden//EN"));
    icsLine(ics, QStringLiteral("CALSCALE:GREGORIAN"));
    for (const auto &[date, due] : byDate) {
        int inspections = 0, food = 0;
        QStringList lines;
        for (const DueEntry *e : due) {
            ++(e->reason == DueReason::FoodExpired ? food : inspections);
            lines << describe(*e);
        }
        QStringList summary;
        if (inspections)
            summary << plural(inspections, "inspection", "inspections")
                           + (date < today ? QStringLiteral(" overdue") : QStringLiteral(" due"));
        if (food)
            summary << plural(food, "kit's food expired", "kits' food expired");
        icsLine(ics, QStringLiteral("BEGIN:VEVENT"));
        icsLine(ics, QStringLiteral("UID:due-%1-%2@kitwarden")
                         .arg(date.toString(QStringLiteral("yyyyMMdd")), QString::fromLatin1(where)));
        icsLine(ics, QStringLiteral("DTSTAMP:") + stamp);
        icsLine(ics, QStringLiteral("DTSTART;VALUE=DATE:") + date.toString(QStringLiteral("yyyyMMdd")));
        icsLine(ics, QStringLiteral("DTEND;VALUE=DATE:") + date.addDays(1).toString(QStringLiteral("yyyyMMdd")));
        icsLine(ics, QStringLiteral("SUMMARY:") + icsText(QStringLiteral("Kitwarden: ") + summary.join(QStringLiteral(", "))));
        icsLine(ics, QStringLiteral("DESCRIPTION:") + icsText(lines.join(QLatin1Char('\n'))));
        icsLine(ics, QStringLiteral("TRANSP:TRANSPARENT"));
        icsLine(ics, QStringLiteral("END:VEVENT"));
    }
    icsLine(ics, QStringLiteral("END:VCALENDAR"));
    std::fwrite(ics.constData(), 1, size_t(ics.size()), stdout);
    std::fflush(stdout);
}

// ---------------------------------------------------------------- the command

int runDue(Context &ctx)
{
    int within = kDueSoonDays;
    if (const QString v = takeOption(ctx.args, QStringLiteral("--within")); !v.isNull()) {
        bool ok = false;
        within = v.toInt(&ok);
        if (!ok || within < 0 || within > kMaxWithin)
            throw UsageError(QStringLiteral("--within needs a whole number of days from 0 to %1, not \"%2\"")
                                 .arg(kMaxWithin)
                                 .arg(v));
    }
    QString format = takeOption(ctx.args, QStringLiteral("--format"));
    if (format.isNull())
        format = QStringLiteral("text");
    if (format != QLatin1String("text") && format != QLatin1String("csv") && format != QLatin1String("ics"))
        throw UsageError(QStringLiteral("--format is text, csv or ics, not \"%1\"").arg(format));
    expectArgs(ctx.args, 0, 0);

    Session session;
    session.openReadOnly = true; // only reads: it may run while the program is open
    shop::prepareSession(session);
    const QDate today = Clock::today();
    const QVector<DueEntry> entries = DueScan(session).entries(ctx.dataDir, today, within);
    if (format == QLatin1String("ics"))
        printCalendar(entries, ctx.dataDir, today);
    else
        printList(entries, within, format == QLatin1String("csv"));
    for (const DueEntry &e : entries)
        if (isOverdue(e))
            return kExitOverdue;
    return 0;
}

Register dueCmd("due", "due [--within DAYS] [--format text|csv|ics]   what is overdue or due; exit 3 when overdue",
                runDue);

} // namespace
} // namespace kw::cli
