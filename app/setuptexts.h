#pragma once
// The five setup texts the main window holds for the whole run: read from
// the registry at start-up, edited on the setup page, printed by the
// reports, written back at close.
#include <QList>
#include <QPair>
#include <QString>

namespace kw::app {

struct SetupTexts {
    QString Company, AlseOfficer, Prepared, Authorized, Approved;

    // Registry value names with their defaults, in registry order.
    static const QList<QPair<QString, QString>> &defaults();
    // The text stored under a registry value name; nullptr for other names.
    QString *byName(const QString &name);
};

} // namespace kw::app
