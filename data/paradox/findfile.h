#pragma once
// Table file names are matched without regard to case: the tables of a shop
// may have been copied from a file system that does not keep it.
#include <QString>

namespace kw::data {

// The path of the file in dir whose name equals fileName ignoring case (the
// exact name wins when both exist); dir/fileName when there is none.
QString findFileNoCase(const QString &dir, const QString &fileName);

} // namespace kw::data
