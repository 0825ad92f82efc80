#pragma once
// The navigation bar: group buttons, each opening a list of icon items
// (icon above caption). Exactly one group's list is open.
#include <QListWidget>
#include <QToolButton>
#include <QWidget>

class QVBoxLayout;

namespace kw::app {

class TOutlookBar : public QWidget {
    Q_OBJECT
public:
    explicit TOutlookBar(QWidget *parent = nullptr);

    // Adds a group: its button and its list, named as given.
    int addGroup(const QString &caption, const QString &buttonName, const QString &listName);
    void addItem(int group, const QString &caption, const QIcon &icon);
    QToolButton *groupButton(int group) const { return m_groups.at(group).button; }
    QListWidget *groupList(int group) const { return m_groups.at(group).list; }
    int groupCount() const { return int(m_groups.size()); }
    int groupOf(const QListWidget *list) const;

    void openGroup(int group);
    int openedGroup() const { return m_open; }

signals:
    void itemClicked(QListWidget *list, int index);

private:
    struct Group {
        QToolButton *button;
        QListWidget *list;
    };
    QVBoxLayout *m_layout;
    QList<Group> m_groups;
    int m_open = -1;
};

} // namespace kw::app
