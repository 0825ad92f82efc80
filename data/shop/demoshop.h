#pragma once
#include <QDate>
#include <QString>

namespace kw::data::shop {

struct DemoSize {
    int holders = 40;
    int items = 1500;
    int masterItems = 400;
    int aircraft = 12;
    int kits = 60;
    int drawers = 8;
    int bins = 10;
    int partsList = 150;
    int parts = 300;
    int manuals = 120;
};

// Fills an empty data directory with a fictitious shop. The same size and
// reference date always give the same rows; due dates spread around the
// reference date so that some are overdue.
void createDemoShop(const QString &dir, const DemoSize &size = {},
                    const QDate &reference = QDate(2026, 12, 1));

} // namespace kw::data::shop
