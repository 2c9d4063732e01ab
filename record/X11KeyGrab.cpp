#include "record/X11KeyGrab.h"

#include "platform/x11/X11Errors.h"

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
    std::vector<unsigned> locks;
    std::function<void(int)> pressed;
    std::thread thread;
};

namespace {

constexpr unsigned keyModifiers = ShiftMask | ControlMask | Mod1Mask;

struct KeysymOf {
    int vk;
    unsigned long keysym;
};

// The keys of the shortcut table that are not letters, digits or function keys.
constexpr KeysymOf namedKeysyms[] = {
    {0x21, XK_Prior},     {0x22, XK_Next},         {0x23, XK_End},        {0x24, XK_Home},
    {0x25, XK_Left},      {0x26, XK_Up},           {0x27, XK_Right},      {0x28, XK_Down},
    {0x2C, XK_Print},     {0x2D, XK_Insert},       {0x2E, XK_Delete},     {0x6A, XK_KP_Multiply},
    {0x6B, XK_KP_Add},    {0x6D, XK_KP_Subtract},  {0x6E, XK_KP_Decimal}, {0x6F, XK_KP_Divide},
    {0xBA, XK_semicolon}, {0xBB, XK_equal},        {0xBC, XK_comma},      {0xBD, XK_minus},
    {0xBE, XK_period},    {0xBF, XK_slash},        {0xC0, XK_grave},      {0xDB, XK_bracketleft},
    {0xDC, XK_backslash}, {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},
};

// Grabs the key with every lock combination; a refusal of any of them gives back the others, so
// the key is either ours whatever the locks or not ours at all.
bool grabWithLocks(Display *x, KeyCode code, unsigned mask, const std::vector<unsigned> &locks)
{
    const Window root = DefaultRootWindow(x);
    XErrorTrap trap(x);
    for (unsigned lock : locks)
        XGrabKey(x, code, mask | lock, root, False, GrabModeAsync, GrabModeAsync);
    if (!trap.failed()) // BadAccess: another program has it
        return true;
    XErrorTrap ungrab(x);
    for (unsigned lock : locks)
        XUngrabKey(x, code, mask | lock, root); // only what this connection holds goes
    ungrab.failed();
    return false;
}

} // namespace

unsigned long keysymOfVirtualKey(int vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return XK_0 + (vk - '0');
    if (vk >= 0x60 && vk <= 0x69)
        return XK_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87)
        return XK_F1 + (vk - 0x70);
    for (const KeysymOf &entry : namedKeysyms)
        if (entry.vk == vk)
            return entry.keysym;
    return 0;
}

std::vector<unsigned> lockCombinations(Display *x)
{
    unsigned locks = 0;
    if (XModifierKeymap *map = XGetModifierMapping(x)) {
        for (int modifier = 0; modifier < 8; ++modifier)
            for (int i = 0; i < map->max_keypermod; ++i) {
                const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
                if (!code)
                    continue;
                const KeySym sym = XkbKeycodeToKeysym(x, code, 0, 0);
                if (modifier == LockMapIndex || sym == XK_Num_Lock || sym == XK_Scroll_Lock)
                    locks |= 1u << modifier;
            }
        XFreeModifiermap(map);
    }
    locks &= ~keyModifiers; // a lock on Shift, Control or Alt would change the key itself
    std::vector<unsigned> combinations{0};
    for (unsigned bit = 1; bit < 0x100; bit <<= 1)
        if (locks & bit)
            for (std::size_t i = 0, n = combinations.size(); i < n; ++i)
                combinations.push_back(combinations[i] | bit);
    return combinations;
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
    d->locks = lockCombinations(x);
    for (const GlobalKey &key : d->keys) {
        const KeyCode code = key.keysym ? XKeysymToKeycode(x, key.keysym) : 0;
        const unsigned mask = (key.shift ? ShiftMask : 0) | (key.control ? ControlMask : 0) | (key.alt ? Mod1Mask : 0);
        d->codes.push_back(code);
        d->masks.push_back(mask);
        d->taken[d->codes.size() - 1] = code && grabWithLocks(x, code, mask, d->locks);
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
                // The press made the keyboard ours until the key goes up: give it back at once.
                XUngrabKeyboard(s->display, event.xkey.time);
                XFlush(s->display);
                const unsigned state = event.xkey.state & keyModifiers;
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
                for (unsigned lock : d->locks)
                    XUngrabKey(d->display, d->codes[i], d->masks[i] | lock, root);
        XCloseDisplay(d->display);
    }
}

bool X11KeyGrab::grabbed(int index) const { return index >= 0 && index < int(d->taken.size()) && d->taken[index]; }

} // namespace kaptiv::record
