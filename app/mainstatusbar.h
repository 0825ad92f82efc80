#pragma once
// The main window's status bar, five panels from left to right: the icon of
// the last navigation item, a text panel, the Caps and Num lock indicators,
// and the date and time. The lock panels follow the keys at once, the clock
// every second. Beside them, on pages whose rows are coloured by due date,
// a legend says what the colours mean.
#include "app/duestatus.h"

#include <QStatusBar>
#include <QTimer>

class QLabel;

namespace kw::app {

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
    // Refreshes the Caps, Num and clock panels.
    void updatePanels();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    QLabel *stbImage, *stbText, *stbCaps, *stbNum, *stbLegend, *stbClock;
    QTimer m_clock;
};

} // namespace kw::app
