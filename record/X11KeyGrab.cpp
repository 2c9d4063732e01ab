#include "record/X11KeyGrab.h"

#include "platform/X11Errors.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>

namespace kaptiv::record {

struct X11KeyGrab::State {
    Display *display = nullptr;
    int wake = -1; // an eventfd that ends the thread
    std::vector<GlobalKey> keys;
    std::vector<KeyCode> codes;
    std::vector<unsigned> masks;
    std::vector<bool> taken;
    std::function<void(int)> pressed;
    std::thread thread;
};

namespace {

// Caps Lock and Num Lock must not stop a key from working, so each key is grabbed with every
// combination of them.
const unsigned lockCombinations[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

} // namespace

unsigned long keysymOfVirtualKey(int vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return XK_0 + (vk - '0');
    if (vk >= 0x70 && vk <= 0x87)
        return XK_F1 + (vk - 0x70);
    return 0;
}

X11KeyGrab::X11KeyGrab(const std::string &display, std::vector<GlobalKey> keys, std::function<void(int)> pressed)
    : d(std::make_unique<State>())
{
    d->keys = std::move(keys);
    d->pressed = std::move(pressed);
    d->taken.assign(d->keys.size(), false);
    recordXErrors();
    d->display = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!d->display)
        return;
    Display *x = d->display;
    const Window root = DefaultRootWindow(x);
    for (const GlobalKey &key : d->keys) {
        const KeyCode code = key.keysym ? XKeysymToKeycode(x, key.keysym) : 0;
        const unsigned mask = (key.shift ? ShiftMask : 0) | (key.control ? ControlMask : 0) | (key.alt ? Mod1Mask : 0);
        d->codes.push_back(code);
        d->masks.push_back(mask);
        if (!code)
            continue;
        XErrorTrap trap(x);
        for (unsigned locks : lockCombinations)
            XGrabKey(x, code, mask | locks, root, False, GrabModeAsync, GrabModeAsync);
        d->taken[d->codes.size() - 1] = !trap.failed(); // BadAccess: another program has it
    }
    XFlush(x);
    d->wake = eventfd(0, EFD_CLOEXEC);
    d->thread = std::thread([s = d.get()] {
        pollfd fds[2] = {{ConnectionNumber(s->display), POLLIN, 0}, {s->wake, POLLIN, 0}};
        for (;;) {
            while (XPending(s->display)) {
                XEvent event;
                XNextEvent(s->display, &event);
                if (event.type != KeyPress)
                    continue;
                const unsigned state = event.xkey.state & (ShiftMask | ControlMask | Mod1Mask);
                for (std::size_t i = 0; i < s->codes.size(); ++i)
                    if (s->taken[i] && event.xkey.keycode == s->codes[i] && state == s->masks[i])
                        s->pressed(int(i));
            }
            if (poll(fds, 2, -1) < 0 && errno != EINTR)
                return;
            if (fds[1].revents)
                return;
        }
    });
}

X11KeyGrab::~X11KeyGrab()
{
    if (d->thread.joinable()) {
        const std::uint64_t one = 1;
        if (write(d->wake, &one, sizeof one) != sizeof one) {
        }
        d->thread.join();
    }
    if (d->wake >= 0)
        close(d->wake);
    if (d->display) {
        const Window root = DefaultRootWindow(d->display);
        for (std::size_t i = 0; i < d->codes.size(); ++i)
            if (d->taken[i])
                for (unsigned locks : lockCombinations)
                    XUngrabKey(d->display, d->codes[i], d->masks[i] | locks, root);
        XCloseDisplay(d->display);
    }
}

bool X11KeyGrab::grabbed(int index) const { return index >= 0 && index < int(d->taken.size()) && d->taken[index]; }

} // namespace kaptiv::record
