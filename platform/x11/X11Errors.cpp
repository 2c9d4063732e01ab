#include "platform/x11/X11Errors.h"

#include <X11/Xlib.h>

namespace kaptiv {

namespace {

// Per thread: the handler runs in the thread whose request failed, and a recording reads the
// screen on a connection of its own in a thread of its own.
thread_local int lastXError = 0;

int recordXError(Display *, XErrorEvent *event)
{
    lastXError = event->error_code;
    return 0;
}

} // namespace

void recordXErrors() { XSetErrorHandler(recordXError); }

XErrorTrap::XErrorTrap(Display *display) : display_(display)
{
    XSync(display_, False);
    lastXError = 0;
}

bool XErrorTrap::failed()
{
    XSync(display_, False);
    return lastXError != 0;
}

} // namespace kaptiv
