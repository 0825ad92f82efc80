#pragma once
// The state of the Caps Lock and Num Lock keys as the system keeps it.
#include <functional>

namespace kw::app {

struct KeyLocks {
    bool caps = false;
    bool num = false;
    bool known = false; // false when the platform cannot tell
};

// Asks the windowing system (Windows: key state; X11: keyboard indicators).
KeyLocks systemKeyLocks();

// Tests replace the source; an empty function restores the system's.
void setKeyLocksSource(std::function<KeyLocks()> source);
KeyLocks currentKeyLocks();

} // namespace kw::app
