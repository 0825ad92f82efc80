#pragma once
// The five setup texts reports print (company, ALSE officer, prepared,
// authorized, approved): held by the main window for the whole run, edited
// on the setup page, read by the reports and by programs other than the
// main window from the registry, under the Setup key.
#include <QList>
#include <QPair>
#include <QString>

namespace kw::settings {

struct SetupTexts {
    QString Company, AlseOfficer, Prepared, Authorized, Approved;

    // Registry value names with their defaults, in registry order.
    static const QList<QPair<QString, QString>> &defaults();
    // Every text at its default.
    static SetupTexts withDefaults();
    // The text stored under a registry value name; nullptr for other names.
    QString *byName(const QString &name);
    QString value(const QString &name) const;
};

// The stored setup texts; a missing value, or one that is not a string,
// gives its default. Reads only: nothing is created.
SetupTexts readSetupTexts();

} // namespace kw::settings
