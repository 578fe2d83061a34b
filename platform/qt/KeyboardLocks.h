#pragma once

#include <optional>

struct SKeyboardLocks {
    bool bCaps = false;
    bool bNum = false;
    bool bScroll = false;
};

// The lock states as the platform reports them: the X server's keyboard
// indicators when running on X11, else the keyboard LEDs the kernel shows
// under /sys/class/leds. Nothing when neither can be read (Wayland without
// readable LEDs, offscreen).
std::optional<SKeyboardLocks> ReadKeyboardLocks();
