#pragma once
// Keys taken from the whole desktop (the recording's stop and pause keys, the capture hot keys when
// they work in every program): grabbed on the root window, so they reach us whichever program has
// the focus, and given back when this object goes. A thread of its own waits on a connection of its
// own, so the keys work while the program's windows are hidden or busy.
//
// Each key is grabbed with every combination of the lock modifiers the server's modifier map has
// (Caps Lock, Num Lock, Scroll Lock where a modifier carries it): a lock that is on never stops a
// key from working.

#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace kaptiv::record {

struct GlobalKey {
    unsigned long keysym = 0; // an X keysym (XK_F12)
    bool shift = false, control = false, alt = false;
};

class X11KeyGrab {
public:
    // `pressed` runs on the grab's own thread with the index of the key in `keys`. A key another
    // program holds already (with any of the lock combinations), or that has no key code on this
    // keyboard, is left out entirely: grabbed() says which were taken. The keyboard is free again
    // as soon as `pressed` is called, so what it starts can take the keyboard for itself.
    X11KeyGrab(const std::string &display, std::vector<GlobalKey> keys, std::function<void(int)> pressed);
    ~X11KeyGrab();
    X11KeyGrab(const X11KeyGrab &) = delete;
    X11KeyGrab &operator=(const X11KeyGrab &) = delete;

    bool grabbed(int index) const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// The keysym for a key code of the program's shortcut table (platform/ui/ShortcutCodes.h); 0 for a
// code that table does not have.
unsigned long keysymOfVirtualKey(int virtualKey);

// The modifier masks of the locks on this display's modifier map (LockMask, and Num Lock's and
// Scroll Lock's ModN masks where they are modifiers), every combination of them, 0 first.
std::vector<unsigned> lockCombinations(Display *display);

} // namespace kaptiv::record
