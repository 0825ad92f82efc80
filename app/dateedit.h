#pragma once
// A date picker: a date only, shown as "d mmm yyyy" ("5 Mar 2002") with a
// drop-down calendar that shows week numbers. A year typed with two digits
// is read as 1950 to 2049.
#include <QDateEdit>

namespace kw::app {

class TDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit TDateEdit(QWidget *parent = nullptr);

    // The year a two-digit year stands for: 50..99 -> 1950..1999,
    // 00..49 -> 2000..2049.
    static int expandYear(int twoDigits);
    // Reads "d mmm yy" ("5 Mar 02"); invalid for any other text.
    static QDate parseShortYear(const QString &text);

    // A year of one or two digits is let through while typing; it is
    // read when the editing ends.
    QValidator::State validate(QString &input, int &pos) const override;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    // Takes a typed two-digit year before the editor reads the text.
    void takeShortYear();
};

} // namespace kw::app
