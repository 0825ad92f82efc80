#pragma once
// The main window's status bar, five panels from left to right: the icon of
// the last navigation item, a text panel, the Caps and Num lock indicators,
// and the date and time. The lock panels follow the keys at once, the clock
// every second.
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
    // Refreshes the Caps, Num and clock panels.
    void updatePanels();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    QLabel *stbImage, *stbText, *stbCaps, *stbNum, *stbClock;
    QTimer m_clock;
};

} // namespace kw::app
