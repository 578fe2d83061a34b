#include "platform/qt/KeyboardLocks.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <dlfcn.h>

namespace {

// XkbGetIndicatorState, found at run time so that the program does not link
// against X11 and still runs where there is none.
using XkbGetIndicatorStateFn = int (*)(void* display, unsigned deviceSpec, unsigned* state);
constexpr unsigned XKB_USE_CORE_KBD = 0x0100;

XkbGetIndicatorStateFn FindXkbGetIndicatorState() {
    static XkbGetIndicatorStateFn fn = [] {
        void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        return lib == nullptr
                   ? nullptr
                   : reinterpret_cast<XkbGetIndicatorStateFn>(dlsym(lib, "XkbGetIndicatorState"));
    }();
    return fn;
}

std::optional<SKeyboardLocks> ReadX11Locks() {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    XkbGetIndicatorStateFn getState = FindXkbGetIndicatorState();
    if (x11 == nullptr || x11->display() == nullptr || getState == nullptr)
        return std::nullopt;
    unsigned state = 0;
    if (getState(x11->display(), XKB_USE_CORE_KBD, &state) != 0)
        return std::nullopt;
    // The core keyboard's first three indicators: Caps, Num, Scroll Lock.
    return SKeyboardLocks{(state & 1) != 0, (state & 2) != 0, (state & 4) != 0};
#else
    return std::nullopt;
#endif
}

// True when any LED whose name ends in suffix is lit; nullopt when none exists.
std::optional<bool> ReadLed(const QStringList& leds, const QString& suffix) {
    std::optional<bool> lit;
    for (const QString& led : leds) {
        if (!led.endsWith(suffix))
            continue;
        QFile file("/sys/class/leds/" + led + "/brightness");
        if (!file.open(QIODevice::ReadOnly))
            continue;
        lit = lit.value_or(false) || file.readAll().trimmed() != "0";
    }
    return lit;
}

std::optional<SKeyboardLocks> ReadLedLocks() {
    // The keyboards' LEDs are listed once; their states are read each time.
    static const QStringList leds =
        QDir("/sys/class/leds").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const std::optional<bool> caps = ReadLed(leds, "::capslock");
    if (!caps)
        return std::nullopt;
    return SKeyboardLocks{*caps, ReadLed(leds, "::numlock").value_or(false),
                          ReadLed(leds, "::scrolllock").value_or(false)};
}

} // namespace

std::optional<SKeyboardLocks> ReadKeyboardLocks() {
    if (QGuiApplication::platformName() == "offscreen")
        return std::nullopt;
    if (auto locks = ReadX11Locks())
        return locks;
    return ReadLedLocks();
}
