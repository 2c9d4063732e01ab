#pragma once
// Keys taken from the whole desktop while a recording runs: grabbed on the root window, so they
// reach us whichever program has the focus, and given back when this object goes. A thread of its
// own waits on a connection of its own, so the keys work while the program's windows are hidden.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kaptiv::record {

struct GlobalKey {
    unsigned long keysym = 0; // an X keysym (XK_F12)
    bool shift = false, control = false, alt = false;
};

class X11KeyGrab {
public:
    // `pressed` runs on the grab's own thread with the index of the key in `keys`. A key another
    // program holds already, or that has no key code on this keyboard, is left out: grabbed()
    // says which were taken.
    X11KeyGrab(const std::string &display, std::vector<GlobalKey> keys, std::function<void(int)> pressed);
    ~X11KeyGrab();
    X11KeyGrab(const X11KeyGrab &) = delete;
    X11KeyGrab &operator=(const X11KeyGrab &) = delete;

    bool grabbed(int index) const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// The keysym for a key code of the program's shortcut table (letters, digits, F1 to F24); 0 for
// any other key.
unsigned long keysymOfVirtualKey(int virtualKey);

} // namespace kaptiv::record
