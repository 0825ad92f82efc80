#include "app/categorytabs.h"

namespace kw::app {

TCategoryTabs::TCategoryTabs(const QString &name, const QStringList &captions, QWidget *parent) : QTabBar(parent)
{
    setObjectName(name);
    setDocumentMode(true);
    setDrawBase(false);
    setExpanding(false);
    setUsesScrollButtons(true);
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::TabFocus);
    // Flat buttons: the selected one looks pressed, the others lie flat on
    // the bar until the pointer is over them.
    setStyleSheet(QStringLiteral(
        "QTabBar::tab { border: 1px solid transparent; border-radius: 2px; padding: 2px 8px; margin: 1px 1px; }"
        "QTabBar::tab:hover:!selected { border-color: palette(mid); }"
        "QTabBar::tab:selected { border-color: palette(dark); background: palette(midlight); }"));
    for (const QString &c : captions)
        addTab(c);
}

void TCategoryTabs::setTabIcons(const QList<QIcon> &icons)
{
    for (int i = 0; i < count() && i < icons.size(); ++i)
        setTabIcon(i, icons[i]);
}

const QStringList &stockCategoryCaptions()
{
    static const QStringList captions = {QStringLiteral("All"), QStringLiteral("Bench Stock"),
                                         QStringLiteral("Class VIII"), QStringLiteral("Operational Load"),
                                         QStringLiteral("PLL"), QStringLiteral("Shop Stock")};
    return captions;
}

const QStringList &equipmentCategoryCaptions()
{
    static const QStringList captions = {QStringLiteral("All"),       QStringLiteral("ALSE"),
                                         QStringLiteral("Radios"),    QStringLiteral("Floatation"),
                                         QStringLiteral("Batteries"), QStringLiteral("Pyro"),
                                         QStringLiteral("Meds"),      QStringLiteral("List 1"),
                                         QStringLiteral("List 2")};
    return captions;
}

} // namespace kw::app
