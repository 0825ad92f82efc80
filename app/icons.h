#pragma once
// The program's icons, drawn in code so they stay sharp at 16 and 32 pixels.
// Numbers follow the two image lists: the navigation bar and status bar
// share one, the menu has its own.
#include <QIcon>

namespace kw::app::icons {

// Navigation/status image list: 0 hand receipts, 1 bench stock, 6 manuals,
// 9 program setup, 10 inspections, 11 aircraft, 12 equipment.
QIcon nav(int index);
// Menu image list: 0 backup, 1 import, 2 print setup, 3 exit, 4 web page,
// 5 e-mail, 6 update, 8 about.
QIcon menu(int index);

// Stock categories, by the tab of the bench stock pages: 0 all, 1 bench
// stock, 2 Class VIII, 3 operational load, 4 PLL, 5 shop stock.
QIcon stock(int tabIndex);

enum class Tool { Insert, Delete, Post, Print };
QIcon tool(Tool t);

} // namespace kw::app::icons
