#pragma once
// `kaptiv --capture KIND`: the program starts and takes one capture at once (the desktop entry's
// actions start it so). Only the captures that pick from the screen are offered: at start-up the
// active window would be Kaptiv's own.

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

// Takes the capture once the main window is shown, through the menu item as if the user had chosen it.
void takeCaptureOnStart(int item);

} // namespace kaptiv
