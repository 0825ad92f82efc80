#pragma once
// Comma-separated values as every part of the program writes them (the
// command line's tables and query results, the report export): a field is
// quoted when it holds a comma, a quote, a line feed or a carriage return
// (a reader would split the row at either), or starts or ends with a blank
// (a reader would trim it); quotes inside are doubled.
#include <QString>
#include <QStringList>

namespace kw::core {

QString csvField(const QString &value);
// The fields of one row joined by commas, without a line end.
QString csvRow(const QStringList &values);

} // namespace kw::core
