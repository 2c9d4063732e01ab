#pragma once
// `kaptiv --capture KIND`: the program starts and takes one capture at once (the desktop entry's
// actions start it so), or the program already running takes it (app/RunningProgram.h). The
// active window's captures are taken before the main window shows, which would otherwise be the
// active window itself.

#include <QString>

#include <optional>
#include <string>

namespace kaptiv {

// True when the arguments ask for a start with a capture, whether or not they name a known kind.
bool asksForStartCapture(int argc, char **argv);

// The index among TScreenfrm::captureItems() of the capture `kind` names, if it is offered.
std::optional<int> startCaptureItem(const QString &kind);

// What is shown for `--capture` without a kind that is offered.
std::string startCaptureUsage();

// Whether the capture of `item` is taken before the main window shows.
bool takenBeforeMainWindowShows(int item);

// Takes the capture through the menu item as if the user had chosen it: once the main window is
// shown, or, for the active window's captures, with the main window still hidden, showing it after.
void takeCaptureOnStart(int item);

} // namespace kaptiv
