#include "app/keylocks.h"

#include <QGuiApplication>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kw::app {

namespace {
std::function<KeyLocks()> g_source;
}

#ifdef Q_OS_WIN
KeyLocks systemKeyLocks()
{
    KeyLocks k;
    k.caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
    k.num = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    k.known = true;
    return k;
}
#else
KeyLocks systemKeyLocks()
{
    // On X11 the keyboard's lock indicators are read through Xkb. libX11 is
    // loaded at run time so the program does not depend on it elsewhere.
    KeyLocks k;
#if QT_CONFIG(xcb)
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return k;
    using GetState = int (*)(void *, unsigned, unsigned *);
    static GetState getState = [] {
        void *lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        return lib ? reinterpret_cast<GetState>(dlsym(lib, "XkbGetIndicatorState")) : nullptr;
    }();
    if (!getState)
        return k;
    unsigned state = 0;
    constexpr unsigned kUseCoreKbd = 0x0100;
    if (getState(x11->display(), kUseCoreKbd, &state) != 0)
        return k;
    // Default keyboard maps: indicator 1 "Caps Lock", 2 "Num Lock".
    k.caps = (state & 1u) != 0;
    k.num = (state & 2u) != 0;
    k.known = true;
#endif
    return k;
}
#endif

void setKeyLocksSource(std::function<KeyLocks()> source)
{
    g_source = std::move(source);
}

KeyLocks currentKeyLocks()
{
    return g_source ? g_source() : systemKeyLocks();
}

} // namespace kw::app
