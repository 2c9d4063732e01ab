// The capture hot keys in every program, on a real display with a window manager: the keys sent
// through the X server while another program has the focus, and that program's own grabs.
#include "AppFixture.h"
#include "X11TestWindow.h"
#include "XdoTool.h"
#include "app/GlobalHotKeys.h"
#include "capture/CaptureOverlay.h"
#include "platform/x11/X11Errors.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace kaptiv::testing {
namespace {

// Another program on the display: a connection of its own that tries the grabs programs make.
class OtherProgram {
public:
    OtherProgram() : display_(XOpenDisplay(nullptr)) { recordXErrors(); }
    ~OtherProgram() { XCloseDisplay(display_); } // gives back whatever it holds

    // Takes the key with exactly these modifiers, as a program with its own hot key does.
    bool grabKey(KeySym key, unsigned modifiers)
    {
        XErrorTrap trap(display_);
        XGrabKey(display_, XKeysymToKeycode(display_, key), modifiers, root(), False, GrabModeAsync, GrabModeAsync);
        return !trap.failed();
    }
    void ungrabKey(KeySym key, unsigned modifiers)
    {
        XUngrabKey(display_, XKeysymToKeycode(display_, key), modifiers, root());
        XSync(display_, False);
    }
    bool canTakeKeyboard()
    {
        const bool taken = XGrabKeyboard(display_, root(), False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        XUngrabKeyboard(display_, CurrentTime);
        XSync(display_, False);
        return taken;
    }
    bool canTakePointer()
    {
        const bool taken = XGrabPointer(display_, root(), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                                        None, CurrentTime) == GrabSuccess;
        XUngrabPointer(display_, CurrentTime);
        XSync(display_, False);
        return taken;
    }

private:
    Window root() const { return DefaultRootWindow(display_); }
    Display *display_;
};

class EveryProgramHotKeys : public AppFixture {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "DISPLAY is not set";
        hotKeys = main->findChild<GlobalHotKeys *>();
        ASSERT_NE(hotKeys, nullptr);
    }
    // OK in the dialog with the box ticked or not; true once the keys are taken or given back.
    bool applyWithOk(bool everyProgram)
    {
        config().everyProgram->setChecked(everyProgram);
        config().Button1Click();
        return waitUntil([&] { return hotKeys->holds(0) == everyProgram; });
    }
    void activateOtherProgram()
    {
        window.activate();
        ASSERT_TRUE(waitUntil([] { return QGuiApplication::applicationState() != Qt::ApplicationActive; }));
    }
    bool waitForImageWindows(int count)
    {
        waitUntil([&] { return main->imageWindowCount() >= count; });
        return main->imageWindowCount() == count;
    }

    GlobalHotKeys *hotKeys = nullptr;
    OtherProgram other;
    X11TestWindow window{QString(), QPoint(900, 120), quarteredPattern(160, 120), QStringLiteral("another program")};
};

TEST_F(EveryProgramHotKeys, CaptureOnceWhateverLocksAreOnAndAKeyAnotherProgramHoldsIsNamedOnce)
{
    ASSERT_TRUE(other.grabKey(XK_c, ControlMask | ShiftMask)); // the Custom Region key
    ASSERT_TRUE(applyWithOk(true));
    ASSERT_TRUE(waitUntil([&] { return !dialogs.shown.empty(); }));
    settle();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Another program already uses these hot keys, so they work "
                                                    "only while Kaptiv is the active program:\n"
                                                    "Ctrl+Shift+C (Custom Region)"));
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(hotKeys->holds(row), row != 5) << row;

    activateOtherProgram();
    // Each step toggles locks, then presses the key the other program holds and the screen key:
    // one capture each time, none from the other key, with the locks of this display's map on.
    const char *toggles[] = {nullptr, "Caps_Lock", "Caps_Lock Num_Lock", "Caps_Lock"};
    int captures = 0;
    for (const char *toggle : toggles) {
        SCOPED_TRACE(toggle ? toggle : "no lock");
        if (toggle)
            xdotool(QStringList{QStringLiteral("key")} + QString::fromLatin1(toggle).split(QLatin1Char(' ')));
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+c"), QStringLiteral("ctrl+shift+s")});
        EXPECT_TRUE(waitForImageWindows(++captures)) << main->imageWindowCount();
    }
    xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock"), QStringLiteral("Num_Lock")}); // as before
    // One more: a second capture from any press before it would have come first.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+s")});
    EXPECT_TRUE(waitForImageWindows(++captures)) << main->imageWindowCount();
    EXPECT_EQ(dialogs.shown.size(), 1u) << "the held key is named once per OK, not per press";
}

TEST_F(EveryProgramHotKeys, TurningItOffOrChangingAKeyGivesTheOldKeysBackAtOnce)
{
    ASSERT_TRUE(applyWithOk(true));
    EXPECT_FALSE(other.grabKey(XK_s, ControlMask | ShiftMask));
    EXPECT_FALSE(other.grabKey(XK_s, ControlMask | ShiftMask | LockMask)) << "not held with Caps Lock on";

    config().Scrn->setValue(scCtrl | scShift | '1');
    config().Button1Click();
    EXPECT_TRUE(waitUntil([&] { return other.grabKey(XK_s, ControlMask | ShiftMask); })) << "the old key is still held";
    other.ungrabKey(XK_s, ControlMask | ShiftMask);
    EXPECT_FALSE(other.grabKey(XK_1, ControlMask | ShiftMask)) << "the new key is not held";

    ASSERT_TRUE(applyWithOk(false));
    EXPECT_TRUE(other.grabKey(XK_1, ControlMask | ShiftMask));
    EXPECT_TRUE(other.grabKey(XK_r, ControlMask | ShiftMask | LockMask));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(EveryProgramHotKeys, AnOverlayStartedWhileAnotherProgramIsActiveTakesTheKeyboardAndPointer)
{
    ASSERT_TRUE(applyWithOk(true));
    activateOtherProgram();
    bool keyboardTaken = false, pointerTaken = false;
    dialogs.onModal = [&](QDialog &dialog) {
        auto *overlay = dynamic_cast<TCapturefrm *>(&dialog);
        if (!overlay)
            return int(mrCancel);
        overlay->show();
        if (waitUntil([&] { return QWidget::keyboardGrabber() == overlay; })) {
            keyboardTaken = !other.canTakeKeyboard();
            pointerTaken = !other.canTakePointer();
        }
        overlay->done(mrCancel);
        return int(mrCancel);
    };
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+r")});
    ASSERT_TRUE(waitUntil([&] { return dialogs.modalRuns == 1; }));
    EXPECT_TRUE(keyboardTaken);
    EXPECT_TRUE(pointerTaken);
    EXPECT_TRUE(other.canTakeKeyboard()) << "kept after the overlay closed";
    EXPECT_TRUE(other.canTakePointer()) << "kept after the overlay closed";
}

} // namespace
} // namespace kaptiv::testing
