// The real program on the test display, driven with xdotool as a user would: the default screen
// hot key, a new one chosen in the configuration dialog, and that choice after a restart.
#include "ScopedConfigHome.h"
#include "platform/desktop/Desktop.h"

#include <QProcess>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>

using namespace kaptiv;
using namespace kaptiv::testing;

namespace {

// Runs xdotool and gives its output; a command that does not finish in time is stopped.
QString xdotool(const QStringList &arguments, bool *ok = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    const bool finished = process.waitForFinished(5000);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    if (ok)
        *ok = finished && process.exitCode() == 0;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// Asks until the answer is yes or the limit has passed: each question (an xdotool run, a grab of
// the screen) takes a few milliseconds, so the pause between them is short.
template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        QThread::msleep(20);
    }
    return done();
}

// One run of the program with the test's configuration directory.
class RunningKaptiv {
public:
    explicit RunningKaptiv(const QString &configHome)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        process_.setProcessEnvironment(environment);
        process_.start(QStringLiteral(KAPTIV_EXECUTABLE), {});
        waitUntil([&] { return !(mainWindow_ = findWindow(QStringLiteral("^Kaptiv v1.0 BETA$"))).isEmpty(); },
                  std::chrono::seconds(10));
        // A window is mapped before it is drawn, black until then: a look taken before its tool
        // bar shows is no picture of it to compare with later.
        drawn_ = started() && waitUntil([&] { return toolBarDrawn(mainWindowPixels()); }, std::chrono::seconds(10));
    }
    ~RunningKaptiv()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    bool started() const { return !mainWindow_.isEmpty(); }
    bool drawn() const { return drawn_; }
    // A visible window of this program whose title matches the pattern, or an empty string.
    QString findWindow(const QString &title) const
    {
        return xdotool({"search", "--all", "--onlyvisible", "--pid", QString::number(process_.processId()),
                        "--name", title})
            .section(QLatin1Char('\n'), 0, 0);
    }
    // Gives the window the keyboard: through the window manager when there is one, directly
    // otherwise. A window just mapped may not be managed yet, so this asks again until it has it.
    void focus(const QString &window) const
    {
        waitUntil(
            [&] {
                xdotool({"windowactivate", "--sync", window});
                xdotool({"windowfocus", "--sync", window});
                return xdotool({"getwindowfocus"}) == window;
            },
            std::chrono::seconds(10));
    }
    void keys(const QStringList &keys) const { xdotool(QStringList{"key", "--delay", "60"} + keys); }
    void focusMain() const { focus(mainWindow_); }
    // The window of that title once it shows, or an empty string when it does not come.
    QString waitForWindow(const QString &title) const
    {
        QString window;
        waitUntil([&] { return !(window = findWindow(title)).isEmpty(); }, std::chrono::seconds(10));
        return window;
    }
    bool waitUntilGone(const QString &title) const
    {
        return waitUntil([&] { return findWindow(title).isEmpty(); }, std::chrono::seconds(10));
    }
    // Options, Configuration... from the main window; the dialog, focused, or an empty string.
    QString openConfiguration() const
    {
        focusMain();
        keys({"alt+o", "f"});
        const QString dialog = waitForWindow(QStringLiteral("^Program Configuration$"));
        if (!dialog.isEmpty())
            focus(dialog);
        return dialog;
    }

    // What the main window shows now.
    QImage mainWindowPixels() const
    {
        bool ok = false;
        const QString shell = xdotool({"getwindowgeometry", "--shell", mainWindow_}, &ok);
        if (!ok)
            return {};
        QMap<QString, int> geometry;
        for (const QString &line : shell.split(QLatin1Char('\n')))
            geometry[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1).toInt();
        const ScreenRect rect{geometry["X"], geometry["Y"], geometry["X"] + geometry["WIDTH"],
                              geometry["Y"] + geometry["HEIGHT"]};
        return desktop().grabScreen(rect).convertToFormat(QImage::Format_RGB32);
    }
    bool mainWindowVisible() const { return !findWindow(QStringLiteral("^Kaptiv v1.0 BETA$")).isEmpty(); }
    // The main window's document area: the tool bar keeps Print enabled once a window has been
    // open, and the status bar the last capture's description.
    static QImage documentArea(const QImage &all) { return all.copy(0, 40, all.width(), all.height() - 80); }
    QImage mainWindowAbove() const { return documentArea(mainWindowPixels()); }
    // What the main window shows once two looks in a row agree.
    QImage settledMainWindowPixels() const
    {
        QImage last = mainWindowPixels(), now;
        waitUntil([&] { return std::exchange(last, now = mainWindowPixels()) == now; }, std::chrono::seconds(3));
        return now;
    }
    // Presses the keys in the main window, which shows no image window, and tells whether they
    // ran exactly one screen capture: the window hides for it (hide program is on) and comes back
    // showing an image window; once that closes (nothing asks, confirm is off) the window is as it
    // was. A key that must not capture goes before one that must, so that no wait has to run out.
    // What went wrong, or an empty string when they did.
    std::string capturesOnce(const QStringList &pressed) const
    {
        focusMain();
        // Settled: a window's first drawing can reach the screen in more than one piece.
        const QImage before = documentArea(settledMainWindowPixels());
        keys(pressed);
        if (!waitUntil([&] { return !mainWindowVisible(); }, std::chrono::seconds(10)))
            return "the main window did not hide";
        if (!waitUntil([&] { return mainWindowVisible(); }, std::chrono::seconds(10)))
            return "the main window did not come back";
        if (!waitUntil([&] { return mainWindowAbove() != before; }, std::chrono::seconds(10)))
            return "no image window";
        focusMain();
        // The main window's key for the active image window: the image window's own Ctrl+W needs
        // the keyboard focus inside it, which it may not have yet when the main window comes back.
        keys({"ctrl+F4"});
        if (!waitUntil([&] { return mainWindowAbove() == before; }, std::chrono::seconds(10)))
            return "the main window is not as it was";
        return {};
    }
    void exit()
    {
        focusMain();
        keys({"ctrl+x"});
        process_.waitForFinished(5000);
    }

private:
    // The tool bar's strip holds its glyphs, in more than one colour.
    static bool toolBarDrawn(const QImage &window)
    {
        const QImage strip = window.copy(0, 0, window.width(), 40);
        for (int y = 0; y < strip.height(); ++y)
            for (int x = 0; x < strip.width(); ++x)
                if (strip.pixel(x, y) != strip.pixel(0, 0))
                    return true;
        return false;
    }

    QProcess process_;
    QString mainWindow_;
    bool drawn_ = false;
};

class HotKeysEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "DISPLAY is not set";
    }
    int storedScreenHotKey() const
    {
        return QSettings(home.storeFile(), QSettings::IniFormat).value(QStringLiteral("Hot Keys/Screen")).toInt();
    }

    ScopedConfigHome home;
};

} // namespace

TEST_F(HotKeysEndToEnd, TheDefaultScreenHotKeyCapturesTheScreen)
{
    RunningKaptiv kaptiv(home.path());
    ASSERT_TRUE(kaptiv.drawn());
    // The main window shows before the settings are loaded and the first start's defaults written.
    EXPECT_TRUE(waitUntil([&] { return storedScreenHotKey() == 24659; }, std::chrono::seconds(10)));
    EXPECT_EQ(kaptiv.capturesOnce({"ctrl+shift+s"}), "");
    kaptiv.exit();
}

TEST_F(HotKeysEndToEnd, ANewScreenHotKeyWorksAfterOkAndAfterARestartAndTheOldOneDoesNot)
{
    {
        RunningKaptiv kaptiv(home.path());
        ASSERT_TRUE(kaptiv.drawn());
        const QString dialog = kaptiv.openConfiguration();
        ASSERT_FALSE(dialog.isEmpty());
        // From OK past Cancel and Defaults to the pages, to "Hot Keys", into the Screen field.
        kaptiv.keys({"Tab", "Tab", "Tab", "Right", "alt+s"});

        // The Rectangle hot key again: OK refuses, the error box comes, the dialog stays.
        kaptiv.keys({"ctrl+shift+r", "Return"});
        const QString errorBox = kaptiv.waitForWindow(QStringLiteral("^Kaptiv$"));
        ASSERT_FALSE(errorBox.isEmpty());
        kaptiv.focus(errorBox);
        kaptiv.keys({"Return"});
        ASSERT_TRUE(kaptiv.waitUntilGone(QStringLiteral("^Kaptiv$")));
        ASSERT_FALSE(kaptiv.findWindow(QStringLiteral("^Program Configuration$")).isEmpty());
        EXPECT_EQ(storedScreenHotKey(), 24659);

        kaptiv.focus(dialog);
        kaptiv.keys({"ctrl+shift+1", "Return"}); // arrives as Ctrl+Shift+"!"
        ASSERT_TRUE(kaptiv.waitUntilGone(QStringLiteral("^Program Configuration$")));
        EXPECT_EQ(storedScreenHotKey(), 0x6031);

        EXPECT_EQ(kaptiv.capturesOnce({"ctrl+shift+s", "ctrl+shift+1"}), "") << "the old key captures, or the new one does not";
        kaptiv.exit();
    }
    RunningKaptiv restarted(home.path());
    ASSERT_TRUE(restarted.drawn());
    EXPECT_EQ(restarted.capturesOnce({"ctrl+shift+s", "ctrl+shift+1"}), "") << "after a restart";
    restarted.exit();
}

TEST_F(HotKeysEndToEnd, HideProgramOffNoDelayAndConfirmOnTakeEffectAtOnce)
{
    RunningKaptiv kaptiv(home.path());
    ASSERT_TRUE(kaptiv.drawn());
    ASSERT_FALSE(kaptiv.openConfiguration().isEmpty());
    // From OK past Cancel, Defaults and the page tabs: hide program (off), confirm (on), coordinates
    // (left), the delay (typing replaces what Tab selected; it takes no Return); round to OK.
    kaptiv.keys({"Tab", "Tab", "Tab", "Tab", "space", "Tab", "space", "Tab", "Tab", "0", "Tab", "Return"});
    ASSERT_TRUE(kaptiv.waitUntilGone(QStringLiteral("^Program Configuration$")));
    const QSettings stored(home.storeFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Hideprog")).toInt(), 0);
    EXPECT_EQ(stored.value(QStringLiteral("Confirm")).toInt(), 1);
    EXPECT_EQ(stored.value(QStringLiteral("Time")).toInt(), 0);

    // The next capture leaves the main window up and, with no delay, is there at once.
    kaptiv.focusMain();
    const QImage before = kaptiv.mainWindowPixels();
    kaptiv.keys({"ctrl+shift+s"});
    bool stayedUp = true;
    const bool captured = waitUntil(
        [&] {
            stayedUp = stayedUp && kaptiv.mainWindowVisible();
            return kaptiv.mainWindowPixels() != before;
        },
        std::chrono::seconds(2));
    EXPECT_TRUE(captured);
    EXPECT_TRUE(stayedUp);

    // Closing the unsaved image asks; No keeps it, Yes lets it go.
    const QImage withImage = kaptiv.settledMainWindowPixels();
    for (const char *answer : {"Escape", "Return"}) {
        kaptiv.focusMain();
        kaptiv.keys({"ctrl+F4"});
        const QString question = kaptiv.waitForWindow(QStringLiteral("^Confirmation$"));
        ASSERT_FALSE(question.isEmpty()) << "no question before " << answer;
        kaptiv.focus(question);
        kaptiv.keys({answer});
        ASSERT_TRUE(kaptiv.waitUntilGone(QStringLiteral("^Confirmation$")));
    }
    EXPECT_TRUE(waitUntil([&] { return kaptiv.mainWindowPixels() != withImage; }, std::chrono::seconds(3)))
        << "the image window did not close after Yes";
    kaptiv.exit();
}
