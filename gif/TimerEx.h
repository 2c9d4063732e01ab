#pragma once
// TTimerEx: a timer whose ticks run on the user-interface thread, driven either by a thread of its
// own (TTimerThread, the default) or by a toolkit timer.

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <sys/types.h>

namespace kaptiv {

using TNotifyEvent = std::function<void(QObject *Sender)>;

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TTimerEx;

// Sleeps for the timer's interval, hands the tick to the user-interface thread and waits until it
// has run; again and again until it is released. "Suspended" is a flag it waits on, never a real
// suspension, and whatever it waits on its release wakes it, so the user-interface thread can
// join it at any moment, even from inside a tick.
class TTimerThread {
public:
    // Starts suspended: it sleeps and ticks only once resumed.
    TTimerThread(TTimerEx &timer, TThreadPriority priority);
    ~TTimerThread(); // sets StopFlag, wakes the thread and joins it

    void Suspend();
    void Resume();
    bool Suspended() const;
    void SetPriority(TThreadPriority priority);
    pid_t NativeId() const; // the kernel's id of the thread

private:
    friend class TTimerEx;
    void RunTimerThread();
    void ApplyPriority(); // with mutex_ held
    // The user-interface thread's side of a tick handed over: false when it was withdrawn.
    bool BeginTick(uint64_t ticket);
    void EndTick(uint64_t ticket);

    TTimerEx &Timer;
    const uint64_t serial_; // tells this thread's ticks from those of a thread released earlier
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    bool StopFlag = false;
    bool suspended_ = true;
    TThreadPriority priority_;
    pid_t nativeId_ = 0;
    int baseNice_ = 0; // the user-interface thread's niceness
    uint64_t lastTicket_ = 0;
    uint64_t pendingTicket_ = 0; // the tick waiting to run or running; 0 when none
    bool tickStarted_ = false;
    std::thread thread_; // last, so that everything above exists when it starts
};

class TTimerEx : public QObject {
    Q_OBJECT
public:
    explicit TTimerEx(QObject *owner = nullptr);
    ~TTimerEx() override;

    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    uint32_t Interval() const { return interval_; } // milliseconds; 0: no ticks
    void setInterval(uint32_t interval);
    const TNotifyEvent &OnTimer() const { return onTimer_; }
    void setOnTimer(TNotifyEvent handler);
    bool Threaded() const { return threaded_; }
    void setThreaded(bool threaded);
    TThreadPriority ThreadPriority() const { return priority_; }
    void setThreadPriority(TThreadPriority priority);

    // The timer thread in threaded mode; none in window-timer mode.
    const TTimerThread *Thread() const { return thread_.get(); }

protected:
    // Runs OnTimer when enabled. An error it raises is shown in the program's error box and the
    // timer goes on, in either mode.
    virtual void Timer();
    void timerEvent(QTimerEvent *event) override;
    void customEvent(QEvent *event) override;

private:
    friend class TTimerThread;
    void RearmTimer();

    bool enabled_ = true;
    std::atomic<uint32_t> interval_{1000};
    TNotifyEvent onTimer_;
    bool threaded_ = true;
    TThreadPriority priority_ = TThreadPriority::tpNormal;
    std::unique_ptr<TTimerThread> thread_;
    int windowTimer_ = 0; // the toolkit timer standing for the hidden window's timer
};

} // namespace kaptiv
