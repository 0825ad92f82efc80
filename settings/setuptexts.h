#pragma once
// The five setup texts reports print (company, ALSE officer, prepared,
// authorized, approved): their registry value names and defaults, and a
// read of the stored values for programs other than the main window.
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace kw::settings {

// Value names under the Setup key with their defaults, in registry order.
const QList<QPair<QString, QString>> &setupTextDefaults();

// The stored setup texts by value name; a missing value, or one that is not
// a string, gives its default. Reads only: nothing is created.
QMap<QString, QString> readSetupTexts();

} // namespace kw::settings
