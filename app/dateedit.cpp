#include "app/dateedit.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace kw::app {

TDateEdit::TDateEdit(QWidget *parent) : QDateEdit(parent)
{
    // The shop's date texts are English, as the reports print them.
    setLocale(QLocale::c());
    setDisplayFormat(QStringLiteral("d MMM yyyy"));
    setCalendarPopup(true);
    calendarWidget()->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
    calendarWidget()->setLocale(QLocale::c());
}

int TDateEdit::expandYear(int twoDigits)
{
    return twoDigits < 50 ? 2000 + twoDigits : 1900 + twoDigits;
}

// "d mmm y" or "d mmm yy": a date whose year is still short.
static const QRegularExpression &shortYearText()
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})\\s+([A-Za-z]{3})\\s+(\\d{1,2})\\s*$"));
    return re;
}

QValidator::State TDateEdit::validate(QString &input, int &pos) const
{
    // The spin box's own check would read "02" as the year 2 and rewrite it.
    if (shortYearText().match(input).hasMatch())
        return QValidator::Intermediate;
    return QDateEdit::validate(input, pos);
}

QDate TDateEdit::parseShortYear(const QString &text)
{
    const QRegularExpression &re = shortYearText();
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch() || m.captured(3).size() != 2)
        return {};
    const QLocale c = QLocale::c();
    int month = 0;
    for (int i = 1; i <= 12 && !month; ++i)
        if (c.monthName(i, QLocale::ShortFormat).compare(m.captured(2), Qt::CaseInsensitive) == 0)
            month = i;
    if (!month)
        return {};
    return QDate(expandYear(m.captured(3).toInt()), month, m.captured(1).toInt());
}

void TDateEdit::takeShortYear()
{
    const QDate d = parseShortYear(lineEdit()->text());
    if (d.isValid())
        setDate(d);
}

void TDateEdit::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        takeShortYear();
    QDateEdit::keyPressEvent(e);
}

void TDateEdit::focusOutEvent(QFocusEvent *e)
{
    takeShortYear();
    QDateEdit::focusOutEvent(e);
}

} // namespace kw::app
