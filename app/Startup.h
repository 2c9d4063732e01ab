#pragma once
// The eight application-wide windows, created at start-up in this order and kept until the end.

namespace kaptiv {

class TScreenfrm;
class TCustfrm;
class TImgFormat;
class TConfigfrm;
class TAnimationfrm;
class TAnimfrm;
class TTransparentfrm;
class TAboutfrm;

struct ApplicationWindows {
    TScreenfrm *Screenfrm = nullptr;
    TCustfrm *Custfrm = nullptr;
    TImgFormat *ImgFormat = nullptr;
    TConfigfrm *Configfrm = nullptr;
    TAnimationfrm *Animationfrm = nullptr;
    TAnimfrm *Animfrm = nullptr;
    TTransparentfrm *Transparentfrm = nullptr;
    TAboutfrm *Aboutfrm = nullptr;
};

ApplicationWindows &appWindows();

// Creates the windows (the main window shown unless asked not to), loads the settings. The caller
// runs the loop.
void createApplicationWindows(bool showMainWindow = true);
// Frees them again, last first (tests start each case afresh).
void destroyApplicationWindows();

} // namespace kaptiv
