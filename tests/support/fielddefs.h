#pragma once
// Field definitions written the short way in tests and benchmarks.
#include "data/engine/tabledef.h"

namespace kwtest {

inline kw::data::FieldDef fd(const char *name, kw::data::FieldType type, int size = 0, bool required = false)
{
    kw::data::FieldDef f;
    f.name = QString::fromLatin1(name);
    f.type = type;
    f.size = size;
    f.required = required;
    return f;
}

} // namespace kwtest
