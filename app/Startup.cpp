#include "app/Startup.h"

#include "animation/AnimSnap.h"
#include "animation/GIFSnap.h"
#include "app/AboutSnap.h"
#include "app/GlobalHotKeys.h"
#include "app/mainSnap.h"
#include "capture/CustSnap.h"
#include "document/ImgFrmtSnap.h"
#include "document/TranspSnap.h"
#include "settings/CaptureHotKeys.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Errors.h"
#include "settings/ConfigSnap.h"
#include "settings/RegSnap.h"

namespace kaptiv {

ApplicationWindows &appWindows()
{
    static ApplicationWindows windows;
    return windows;
}

void createApplicationWindows(bool showMainWindow)
{
    ApplicationWindows &w = appWindows();
    w.Screenfrm = new TScreenfrm;
    if (showMainWindow)
        w.Screenfrm->show();
    w.Custfrm = new TCustfrm;
    w.ImgFormat = new TImgFormat([] { return appWindows().Screenfrm->imageWindows().value(0); },
                                 []() -> TTransparentfrm & { return *appWindows().Transparentfrm; });
    w.Configfrm = new TConfigfrm;
    w.Animationfrm = new TAnimationfrm({[] { return appWindows().Screenfrm->imageWindows(); },
                                        []() -> TTransparentfrm & { return *appWindows().Transparentfrm; },
                                        []() -> TAnimfrm & { return *appWindows().Animfrm; }});
    w.Animfrm = new TAnimfrm([]() -> TAnimationfrm & { return *appWindows().Animationfrm; });
    w.Transparentfrm = new TTransparentfrm;
    w.Aboutfrm = new TAboutfrm;
    w.Configfrm->attachCaptureItems(*w.Screenfrm, w.Screenfrm->captureItems());
    w.Configfrm->captureHotKeys()->addYielding(w.Screenfrm->item("Save1"));
    // The loop is not running yet, so its catch point cannot show a damaged store's error. The
    // program goes on with what was loaded; the dialog's OK or Defaults writes the store afresh.
    try {
        LoadSettings(*w.Configfrm);
    } catch (const KaptivError &error) {
        showErrorBox(error.message());
    }
    (new GlobalHotKeys(*w.Screenfrm, *w.Configfrm))->apply(true);
}

void destroyApplicationWindows()
{
    ApplicationWindows &w = appWindows();
    delete w.Aboutfrm;
    delete w.Transparentfrm;
    delete w.Animfrm;
    delete w.Animationfrm;
    delete w.ImgFormat;
    delete w.Custfrm;
    delete w.Screenfrm; // before the configuration: closing image windows may still read it
    delete w.Configfrm;
    w = {};
}

} // namespace kaptiv
