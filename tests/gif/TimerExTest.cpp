// The timer in both modes, counted and ordered, never timed: a reference clock's ticks stand for
// "a while", and every wait is for a condition with a generous limit.

#include "gif/TimerEx.h"
#include "platform/ui/Errors.h"
#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>

#include <functional>
#include <thread>

namespace kaptiv {
namespace {

bool waitUntil(const std::function<bool()> &done)
{
    QDeadlineTimer deadline(60000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Lets events run until a 1 ms toolkit timer has fired `ticks` times: long enough for a timer of
// interval 1 that should tick to do so many times over.
void letTimePass(int ticks = 30)
{
    int fired = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] { ++fired; });
    clock.start(1);
    ASSERT_TRUE(waitUntil([&] { return fired >= ticks; }));
}

struct Mode {
    const char *name;
    bool threaded;
};
const Mode Modes[] = {{"threaded", true}, {"window timer", false}};

// A timer of interval 1 counting its ticks, made in the given mode with nothing ticking yet.
struct CountingTimer {
    explicit CountingTimer(bool threaded)
    {
        timer.setEnabled(false);
        timer.setThreaded(threaded);
        timer.setInterval(1);
        timer.setOnTimer([this](QObject *sender) {
            EXPECT_EQ(sender, &timer);
            EXPECT_EQ(QThread::currentThread(), qApp->thread()); // ticks run on the user-interface thread
            ++ticks;
            if (onTick)
                onTick();
        });
    }
    TTimerEx timer;
    int ticks = 0;
    std::function<void()> onTick;
};

TEST(TimerEx, NoTickWhileDisabledOrAtIntervalZero)
{
    for (const Mode &mode : Modes) {
        SCOPED_TRACE(mode.name);
        CountingTimer t(mode.threaded);
        letTimePass();
        EXPECT_EQ(t.ticks, 0);

        t.timer.setEnabled(true);
        ASSERT_TRUE(waitUntil([&] { return t.ticks >= 3; }));
        t.timer.setInterval(0);
        const int atZero = t.ticks;
        letTimePass();
        EXPECT_EQ(t.ticks, atZero);

        t.timer.setInterval(2);
        ASSERT_TRUE(waitUntil([&] { return t.ticks >= atZero + 3; }));
        t.timer.setEnabled(false);
        const int disabled = t.ticks;
        letTimePass();
        EXPECT_EQ(t.ticks, disabled);
    }
}

TEST(TimerEx, SwitchingModesWhileEnabledGoesOnTicking)
{
    CountingTimer t(true);
    t.timer.setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return t.ticks >= 3; }));
    ASSERT_NE(t.timer.Thread(), nullptr);

    t.timer.setThreaded(false); // the thread is released for good
    EXPECT_EQ(t.timer.Thread(), nullptr);
    int before = t.ticks;
    ASSERT_TRUE(waitUntil([&] { return t.ticks >= before + 3; }));

    t.timer.setThreaded(true); // a new thread
    EXPECT_NE(t.timer.Thread(), nullptr);
    before = t.ticks;
    ASSERT_TRUE(waitUntil([&] { return t.ticks >= before + 3; }));

    // Switching inside a tick joins the very thread that waits for that tick.
    t.onTick = [&] {
        if (t.timer.Threaded())
            t.timer.setThreaded(false);
    };
    before = t.ticks;
    ASSERT_TRUE(waitUntil([&] { return t.ticks >= before + 3; }));
    EXPECT_FALSE(t.timer.Threaded());
    EXPECT_EQ(t.timer.Thread(), nullptr);
}

TEST(TimerEx, AHandlerChangingTheIntervalGetsTheNextTickAfterTheNewOne)
{
    for (const Mode &mode : Modes) {
        SCOPED_TRACE(mode.name);
        CountingTimer t(mode.threaded);
        // Three quick ticks, then an hour's wait set from inside the third.
        t.onTick = [&] { t.timer.setInterval(t.ticks < 3 ? 1 : 3600000); };
        t.timer.setEnabled(true);
        ASSERT_TRUE(waitUntil([&] { return t.ticks >= 3; }));
        letTimePass(50);
        EXPECT_EQ(t.ticks, 3);
        EXPECT_EQ(t.timer.Interval(), 3600000u);
    }
}

TEST(TimerEx, DestroyedWhileEnabledNeverTicksAgainNorHangs)
{
    for (const Mode &mode : Modes) {
        SCOPED_TRACE(mode.name);
        for (int round = 0; round < 20; ++round) {
            int ticks = 0;
            auto timer = std::make_unique<TTimerEx>();
            timer->setThreaded(mode.threaded);
            timer->setInterval(1);
            timer->setOnTimer([&](QObject *) { ++ticks; });
            ASSERT_TRUE(waitUntil([&] { return ticks >= 1; }));
            // Give the thread time to hand a tick over, without letting it run, then destroy.
            std::this_thread::sleep_for(std::chrono::milliseconds(round % 4));
            timer.reset();
            const int atDestruction = ticks;
            letTimePass(5);
            EXPECT_EQ(ticks, atDestruction);
        }
    }
}

TEST(TimerEx, AnErrorInTheHandlerIsShownAndTheTimerGoesOn)
{
    for (const Mode &mode : Modes) {
        SCOPED_TRACE(mode.name);
        testing::ScriptedDialogs dialogs;
        CountingTimer t(mode.threaded);
        t.onTick = [] { throw EGIFError(QStringLiteral("Frame could not be drawn.")); };
        t.timer.setEnabled(true);
        ASSERT_TRUE(waitUntil([&] { return t.ticks >= 3; }));
        t.timer.setEnabled(false);
        ASSERT_GE(dialogs.shown.size(), 3u);
        EXPECT_EQ(dialogs.shown.size(), size_t(t.ticks));
        EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Frame could not be drawn."));
        EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
    }
}

TEST(TimerEx, NoMoreTimersAvailableInWindowTimerMode)
{
    CountingTimer t(false);
    t.timer.setInterval(0x80000000u); // more than the toolkit's timers take
    try {
        t.timer.setEnabled(true);
        FAIL() << "no error raised";
    } catch (const EOutOfResources &e) {
        EXPECT_EQ(e.message(), QStringLiteral("No More Timers Available"));
    }
    EXPECT_TRUE(t.timer.Enabled()); // the value written stays
    letTimePass();
    EXPECT_EQ(t.ticks, 0);
}

TEST(TimerEx, PrioritiesSetTheThreadsNicenessAndClass)
{
    // Only lowering: that needs no privilege. Each row lowers the last one.
    struct Row {
        TThreadPriority priority;
        int niceAdded;
        int policy;
    };
    const Row rows[] = {{TThreadPriority::tpNormal, 0, SCHED_OTHER},
                        {TThreadPriority::tpLower, 5, SCHED_OTHER},
                        {TThreadPriority::tpLowest, 10, SCHED_OTHER},
                        {TThreadPriority::tpIdle, 10, SCHED_IDLE}};
    const int base = getpriority(PRIO_PROCESS, 0);
    CountingTimer t(true);
    t.timer.setEnabled(true);
    for (const Row &row : rows) {
        t.timer.setThreadPriority(row.priority);
        const pid_t id = t.timer.Thread()->NativeId();
        EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(id)), std::min(base + row.niceAdded, 19)) << int(row.priority);
        EXPECT_EQ(sched_getscheduler(id), row.policy) << int(row.priority);
    }
    // Chosen in window-timer mode, it takes effect with the next thread.
    CountingTimer w(false);
    w.timer.setEnabled(true);
    w.timer.setThreadPriority(TThreadPriority::tpLower);
    EXPECT_EQ(w.timer.Thread(), nullptr);
    w.timer.setThreaded(true);
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(w.timer.Thread()->NativeId())), std::min(base + 5, 19));
}

} // namespace
} // namespace kaptiv
