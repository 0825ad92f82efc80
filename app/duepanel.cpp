#include "app/duepanel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>

namespace kw::app {

using kw::data::DueCounts;
using kw::data::DueEntry;
using kw::data::DueReason;

namespace {

// The parts in the order they read; kits after the items of each kind.
struct PartDef {
    const char *name;
    DueEntry::Kind kind;
    DueReason reason;
    int DueCounts::*count;
    const char *one, *many; // "%1" for the count
    const char *explained;  // tooltip
};

constexpr auto Item = DueEntry::Kind::Item, Kit = DueEntry::Kind::Kit;

const PartDef kParts[] = {
    {"stbDueOverdue", Item, DueReason::Overdue, &DueCounts::overdue, "%1 overdue", "%1 overdue",
     "Items whose inspection due date has passed: click to show the first on Inspections."},
    {"stbDueSoon", Item, DueReason::DueSoon, &DueCounts::dueSoon, "%1 due in %2 days", "%1 due in %2 days",
     "Items whose inspection falls due within the next %2 days: click to show the first on Inspections."},
    {"stbDueKitsOverdue", Kit, DueReason::Overdue, &DueCounts::kitsOverdue, "%1 kit overdue", "%1 kits overdue",
     "Survival kits whose inspection due date has passed: click to show the first on Aircraft Equipment."},
    {"stbDueKitsSoon", Kit, DueReason::DueSoon, &DueCounts::kitsDueSoon, "%1 kit due in %2 days",
     "%1 kits due in %2 days",
     "Survival kits whose inspection falls due within the next %2 days: click to show the first on Aircraft "
     "Equipment."},
    {"stbDueKitsFood", Kit, DueReason::FoodExpired, &DueCounts::kitsFoodExpired, "%1 kit food expired",
     "%1 kits food expired", "Survival kits whose food is past its expiry date: click to show the first on Aircraft "
                             "Equipment."},
    {"stbDueNever", Item, DueReason::NeverInspected, &DueCounts::neverInspected, "%1 never inspected",
     "%1 never inspected",
     "Items that need inspecting but have no due date: click to show the first on Inspections."},
    {"stbDueKitsNever", Kit, DueReason::NeverInspected, &DueCounts::kitsNeverInspected, "%1 kit never inspected",
     "%1 kits never inspected",
     "Survival kits that need inspecting but have no due date: click to show the first on Aircraft Equipment."},
};

DueStatus statusOf(DueReason r)
{
    switch (r) {
    case DueReason::Overdue:
    case DueReason::FoodExpired:
        return DueStatus::Overdue;
    case DueReason::DueSoon:
        return DueStatus::Soon;
    case DueReason::NeverInspected:
        break;
    }
    return DueStatus::None;
}

const QString kSeparator = QStringLiteral(" \u00b7 ");

} // namespace

TDuePartLabel::TDuePartLabel(const DuePart &part, const QString &text, QWidget *parent)
    : QLabel(text, parent), m_part(part)
{
    setCursor(Qt::PointingHandCursor);
}

void TDuePartLabel::mousePressEvent(QMouseEvent *e)
{
    // Taken, so that the release comes here too.
    e->accept();
}

void TDuePartLabel::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked(m_part);
}

TDuePanel::TDuePanel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("stbDue"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(4, 0, 4, 0);
    m_layout->setSpacing(0);
    // On a narrow window the panel gives way rather than widening the
    // window: its parts are cut at the right, and its tooltip holds them all.
    setMinimumWidth(1);
    rebuild();
}

void TDuePanel::setCounts(const DueCounts &counts)
{
    if (counts == m_counts && m_layout->count() > 0)
        return;
    m_counts = counts;
    rebuild();
}

QString TDuePanel::text() const
{
    QString s;
    for (int i = 0; i < m_layout->count(); ++i)
        if (auto *l = qobject_cast<QLabel *>(m_layout->itemAt(i)->widget()))
            s += l->text();
    return s;
}

void TDuePanel::changeEvent(QEvent *e)
{
    QFrame::changeEvent(e);
    // The colours derive from the palette: a changed theme draws them anew.
    if (e->type() == QEvent::PaletteChange)
        rebuild();
}

void TDuePanel::rebuild()
{
    while (QLayoutItem *item = m_layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    auto addLabel = [&](QLabel *l) {
        l->setTextFormat(Qt::PlainText);
        m_layout->addWidget(l);
        l->show(); // at once, not only when the event loop next runs
    };
    // "%1" the count, "%2" the days of the window.
    auto fill = [](const char *text, int n) {
        return QString::fromLatin1(text)
            .replace(QLatin1String("%1"), QString::number(n))
            .replace(QLatin1String("%2"), QString::number(kDueSoonDays));
    };
    for (const PartDef &p : kParts) {
        const int n = m_counts.*p.count;
        if (n <= 0)
            continue;
        if (m_layout->count() > 0)
            addLabel(new QLabel(kSeparator, this));
        auto *part = new TDuePartLabel({p.kind, p.reason}, fill(n == 1 ? p.one : p.many, n), this);
        part->setObjectName(QLatin1String(p.name));
        part->setToolTip(fill(p.explained, n));
        const DueStatus status = statusOf(p.reason);
        if (status != DueStatus::None) {
            QPalette pal = part->palette();
            pal.setColor(QPalette::WindowText, dueStatusColor(status, palette()));
            part->setPalette(pal);
        }
        if (status == DueStatus::Overdue) {
            QFont bold = part->font();
            bold.setBold(true);
            part->setFont(bold);
        }
        connect(part, &TDuePartLabel::clicked, this, &TDuePanel::partClicked);
        addLabel(part);
    }
    if (m_layout->count() == 0) {
        auto *none = new QLabel(QStringLiteral("Nothing due in %1 days").arg(kDueSoonDays), this);
        none->setObjectName(QStringLiteral("stbDueNothing"));
        addLabel(none);
    }
    setToolTip(text());
}

} // namespace kw::app
