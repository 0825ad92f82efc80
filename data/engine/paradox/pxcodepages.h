#pragma once
// Code page tables for Alpha fields (the table header names the code page).

namespace kw::data::px {

extern const char16_t kCp437High[128];
extern const char16_t kCp850High[128];
extern const char16_t kCp1252High[128];

} // namespace kw::data::px
