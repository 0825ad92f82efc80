#include "app/outlookbar.h"

#include <QVBoxLayout>

namespace kw::app {

TOutlookBar::TOutlookBar(QWidget *parent) : QWidget(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
}

int TOutlookBar::addGroup(const QString &caption, const QString &buttonName, const QString &listName)
{
    const int g = int(m_groups.size());
    auto *btn = new QToolButton(this);
    btn->setObjectName(buttonName);
    btn->setText(caption);
    btn->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    btn->setMinimumHeight(22);
    auto *list = new QListWidget(this);
    list->setObjectName(listName);
    list->setViewMode(QListView::IconMode);
    list->setFlow(QListView::TopToBottom);
    list->setWrapping(false);
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setIconSize(QSize(32, 32));
    list->setSpacing(4);
    list->setWordWrap(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setFrameShape(QFrame::NoFrame);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setStyleSheet(QStringLiteral(
        "QListWidget { background: #5b6f88; color: white; }"
        "QListWidget::item { color: white; border: 1px solid transparent; }"
        "QListWidget::item:hover { border: 1px solid #c8d4e4; }"
        "QListWidget::item:selected { background: #3e5270; border: 1px solid #e8eef6; color: white; }"));
    list->hide();
    m_layout->addWidget(btn);
    m_layout->addWidget(list, 1);
    m_groups << Group{btn, list};
    connect(btn, &QToolButton::clicked, this, [this, g] { openGroup(g); });
    connect(list, &QListWidget::itemClicked, this, [this, list](QListWidgetItem *item) {
        emit itemClicked(list, list->row(item));
    });
    if (m_open < 0)
        openGroup(g);
    return g;
}

void TOutlookBar::addItem(int group, const QString &caption, const QIcon &icon)
{
    QListWidget *list = groupList(group);
    auto *it = new QListWidgetItem(icon, caption, list);
    it->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    it->setSizeHint(QSize(84, 62));
}

int TOutlookBar::groupOf(const QListWidget *list) const
{
    for (int i = 0; i < m_groups.size(); ++i)
        if (m_groups[i].list == list)
            return i;
    return -1;
}

void TOutlookBar::openGroup(int group)
{
    if (group < 0 || group >= m_groups.size())
        return;
    m_open = group;
    for (int i = 0; i < m_groups.size(); ++i) {
        m_groups[i].list->setVisible(i == group);
        m_layout->setStretch(2 * i + 1, i == group ? 1 : 0);
    }
    // With every list closed but one, the buttons after it sit at the bottom.
    if (m_layout->count() >= 2 * m_groups.size()) {
        for (int i = 0; i < m_groups.size(); ++i)
            m_layout->setStretch(2 * i, 0);
    }
}

} // namespace kw::app
