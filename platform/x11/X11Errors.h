#pragma once
// Xlib's default error handler ends the process; a window that vanished between two requests is
// an ordinary event here, so errors are recorded and looked at by the request that caused them.
// Plain Xlib, shared by the program's desktop and the command-line front.

typedef struct _XDisplay Display;

namespace kaptiv {

// Makes X errors on every connection of this process recorded instead of fatal.
void recordXErrors();

// Errors raised by the requests made while it is in scope.
class XErrorTrap {
public:
    explicit XErrorTrap(Display *display);
    // Waits for the server to have handled every request so far; true when one of them failed.
    bool failed();

private:
    Display *display_;
};

} // namespace kaptiv
