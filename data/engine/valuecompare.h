#pragma once
#include <QVariant>

namespace kw::data {

// Orders two field values the way the engine's indexes do: blanks first,
// then by value; text by character code, or without regard to case.
int compareValues(const QVariant &a, const QVariant &b, bool caseInsensitive);

} // namespace kw::data
