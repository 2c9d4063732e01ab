#pragma once
// The program's windows reach the display over the toolkit's connection and the desktop services
// over their own: a window the toolkit has just hidden can still be on view for the other one.

namespace kaptiv {

// Returns once the display has carried out every request the program's windows have sent (a hide,
// a show). Does nothing where the windows are on no X display.
void waitForWindowRequests();

} // namespace kaptiv
