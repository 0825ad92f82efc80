#pragma once
// The main window's status bar, five panels from left to right: the icon of
// the last navigation item, a text panel, the Caps and Num lock indicators,
// and the date and time. The lock panels follow the keys at once, the clock
// every second. After them, the counts of what is due (always shown) and,
// on pages whose rows are coloured by due date, a legend of the colours.
#include "app/duestatus.h"

#include <QStatusBar>
#include <QTimer>

class QLabel;

namespace kw::app {

class TDuePanel;

class TMainStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TMainStatusBar(QWidget *parent = nullptr);
    ~TMainStatusBar() override;

    void setImage(const QIcon &icon);
    void setText(const QString &text);
    // The legend of the row colours of the page shown; hidden for None.
    void setDueLegend(DueColours colours);
    QString text() const;
    // The counts of what is due ("stbDue").
    TDuePanel *duePanel() const { return stbDue; }
    // Refreshes the Caps, Num and clock panels.
    void updatePanels();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    // The legend whole when it fits the room left to it, else the two
    // colours alone (the tooltip says what they mean), never a word cut.
    void fitLegend();

    QLabel *stbImage, *stbText, *stbCaps, *stbNum, *stbLegend, *stbClock;
    TDuePanel *stbDue;
    DueColours m_legend = DueColours::None;
    QTimer m_clock;
};

} // namespace kw::app
