// A program that takes the clipboard, lists twelve picture types and never sends any of them:
// the owner a paste must not wait for. With "--silent" it does not even list them.
// Prints "owner" once it holds the clipboard, then the name of every type it is asked for, one a
// line; ends when another program takes the clipboard.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char **argv)
{
    const bool silent = argc > 1 && std::strcmp(argv[1], "--silent") == 0;
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const char *const pictures[] = {"image/png",    "image/bmp",     "image/x-bmp",     "image/x-ms-bmp",
                                    "image/jpeg",   "image/jpg",     "image/pjpeg",     "image/x-icon",
                                    "image/gif",    "image/tiff",    "image/x-portable-pixmap",
                                    "image/vnd.microsoft.icon"};
    std::vector<Atom> offered{targets};
    for (const char *name : pictures)
        offered.push_back(XInternAtom(display, name, False));
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    if (XGetSelectionOwner(display, clipboard) != window)
        return 3;
    std::printf("owner\n");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionClear)
            break;
        if (event.type != SelectionRequest)
            continue;
        const XSelectionRequestEvent &request = event.xselectionrequest;
        if (char *name = XGetAtomName(display, request.target)) {
            std::printf("%s\n", name);
            std::fflush(stdout);
            XFree(name);
        }
        if (silent || request.target != targets)
            continue; // every picture is promised, none is ever sent
        XChangeProperty(display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(offered.data()), int(offered.size()));
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.property = request.property;
        reply.xselection.time = request.time;
        XSendEvent(display, request.requestor, False, 0, &reply);
        XFlush(display);
    }
    XCloseDisplay(display);
    return 0;
}
