#pragma once
// The status bar's panel of what is due, always in sight: "3 overdue · 12
// due in 30 days · 1 kit food expired". Each count is its own part, drawn
// in its due colour and clickable: the window then opens the page that
// shows those rows on the first of them. Only counts above zero show;
// with none, the panel says that nothing is due.
#include "app/duestatus.h"
#include "data/shop/duelist.h"

#include <QLabel>
#include <QWidget>

class QHBoxLayout;

namespace kw::app {

// What a part counts: items (on Inspections) or kits (on Aircraft
// Equipment), and why.
struct DuePart {
    kw::data::DueEntry::Kind kind;
    kw::data::DueReason reason;
};

class TDuePanel : public QFrame {
    Q_OBJECT
public:
    explicit TDuePanel(QWidget *parent = nullptr);

    void setCounts(const kw::data::DueCounts &counts);
    const kw::data::DueCounts &counts() const { return m_counts; }
    // The panel's text as shown, parts joined by " · ".
    QString text() const;

signals:
    void partClicked(kw::app::DuePart part);

protected:
    void changeEvent(QEvent *e) override;

private:
    void rebuild();
    QHBoxLayout *m_layout;
    kw::data::DueCounts m_counts;
};

// One clickable count of the panel ("stbDueOverdue", "stbDueKitsFood", ...).
class TDuePartLabel : public QLabel {
    Q_OBJECT
public:
    TDuePartLabel(const DuePart &part, const QString &text, QWidget *parent);
    DuePart part() const { return m_part; }
signals:
    void clicked(kw::app::DuePart part);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    DuePart m_part;
};

} // namespace kw::app
