#pragma once
// The demo shop the window's benchmarks measure, made the same way by each:
// its item count from the command line (50,000 by default), one holder per
// 40 items (at least 40), and a line saying what was made.
#include "data/shop/demoshop.h"

#include <QString>

#include <algorithm>
#include <cstdio>

namespace kwbench {

// The i-th command-line argument as a number, else def.
inline int argOr(int argc, char **argv, int i, int def)
{
    return argc > i ? QString::fromLocal8Bit(argv[i]).toInt() : def;
}

inline void makeDemoShop(const QString &dir, int items)
{
    kw::data::shop::DemoSize size;
    size.items = items;
    size.holders = std::max(40, items / 40);
    kw::data::shop::createDemoShop(dir, size);
    std::printf("demo shop: %d items, %d holders\n", items, size.holders);
}

} // namespace kwbench
