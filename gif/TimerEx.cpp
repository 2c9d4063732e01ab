#include "gif/TimerEx.h"

#include "platform/ui/Dialogs.h"
#include "platform/ui/Errors.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <climits>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kaptiv {

namespace {

std::atomic<uint64_t> nextThreadSerial{1};

const QEvent::Type TickEventType = QEvent::Type(QEvent::registerEventType());

// A tick handed from a timer thread to the user-interface thread.
class TickEvent : public QEvent {
public:
    TickEvent(uint64_t serial, uint64_t ticket) : QEvent(TickEventType), serial(serial), ticket(ticket) {}
    const uint64_t serial;
    const uint64_t ticket;
};

// Niceness added to the user-interface thread's for each priority; the idle priority is the
// kernel's idle scheduling class. Raising a priority needs the right to; without it the thread
// keeps the priority it has.
int niceOffset(TThreadPriority priority)
{
    switch (priority) {
    case TThreadPriority::tpIdle:
    case TThreadPriority::tpLowest: return 10;
    case TThreadPriority::tpLower: return 5;
    case TThreadPriority::tpNormal: return 0;
    case TThreadPriority::tpHigher: return -5;
    case TThreadPriority::tpHighest: return -10;
    case TThreadPriority::tpTimeCritical: return -20;
    }
    return 0;
}

} // namespace

// --- TTimerThread ---

TTimerThread::TTimerThread(TTimerEx &timer, TThreadPriority priority)
    : Timer(timer), serial_(nextThreadSerial++), priority_(priority),
      thread_([this, baseNice = getpriority(PRIO_PROCESS, 0)] {
          {
              std::lock_guard lock(mutex_);
              nativeId_ = gettid();
              baseNice_ = baseNice;
              ApplyPriority();
          }
          wake_.notify_all();
          RunTimerThread();
      })
{
}

TTimerThread::~TTimerThread()
{
    {
        std::lock_guard lock(mutex_);
        StopFlag = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TTimerThread::RunTimerThread()
{
    std::unique_lock lock(mutex_);
    auto resumedOrStopped = [this] { return StopFlag || !suspended_; };
    while (!StopFlag) {
        wake_.wait(lock, resumedOrStopped);
        if (StopFlag)
            break;
        // A sleep that has begun keeps its length; only the release cuts it short. A thread
        // suspended meanwhile stays put when it ends and ticks once resumed.
        const std::chrono::milliseconds interval(Timer.interval_.load());
        if (wake_.wait_for(lock, interval, [this] { return StopFlag; }))
            break;
        wake_.wait(lock, resumedOrStopped);
        if (StopFlag)
            break;
        const uint64_t ticket = ++lastTicket_;
        pendingTicket_ = ticket;
        tickStarted_ = false;
        QCoreApplication::postEvent(&Timer, new TickEvent(serial_, ticket));
        wake_.wait(lock, [&] { return StopFlag || pendingTicket_ != ticket; });
    }
}

void TTimerThread::Suspend()
{
    std::lock_guard lock(mutex_);
    suspended_ = true;
    // A tick handed over but not begun is withdrawn: nothing ticks once the timer is re-armed.
    if (pendingTicket_ != 0 && !tickStarted_) {
        pendingTicket_ = 0;
        wake_.notify_all();
    }
}

void TTimerThread::Resume()
{
    {
        std::lock_guard lock(mutex_);
        suspended_ = false;
    }
    wake_.notify_all();
}

bool TTimerThread::Suspended() const
{
    std::lock_guard lock(mutex_);
    return suspended_;
}

void TTimerThread::SetPriority(TThreadPriority priority)
{
    std::lock_guard lock(mutex_);
    priority_ = priority;
    if (nativeId_ != 0)
        ApplyPriority();
}

void TTimerThread::ApplyPriority()
{
    sched_param param{};
    const bool idle = priority_ == TThreadPriority::tpIdle;
    sched_setscheduler(nativeId_, idle ? SCHED_IDLE : SCHED_OTHER, &param);
    setpriority(PRIO_PROCESS, id_t(nativeId_), std::clamp(baseNice_ + niceOffset(priority_), -20, 19));
}

pid_t TTimerThread::NativeId() const
{
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return nativeId_ != 0; });
    return nativeId_;
}

bool TTimerThread::BeginTick(uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    if (pendingTicket_ != ticket)
        return false;
    tickStarted_ = true;
    return true;
}

void TTimerThread::EndTick(uint64_t ticket)
{
    {
        std::lock_guard lock(mutex_);
        if (pendingTicket_ != ticket)
            return;
        pendingTicket_ = 0;
    }
    wake_.notify_all();
}

// --- TTimerEx ---

TTimerEx::TTimerEx(QObject *owner) : QObject(owner), thread_(std::make_unique<TTimerThread>(*this, priority_)) {}

TTimerEx::~TTimerEx()
{
    enabled_ = false;
    RearmTimer();
    thread_.reset();
}

void TTimerEx::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    RearmTimer();
}

void TTimerEx::setInterval(uint32_t interval)
{
    if (interval == interval_)
        return;
    interval_ = interval;
    RearmTimer();
}

void TTimerEx::setOnTimer(TNotifyEvent handler)
{
    onTimer_ = std::move(handler);
    RearmTimer();
}

void TTimerEx::setThreaded(bool threaded)
{
    if (threaded == threaded_)
        return;
    threaded_ = threaded;
    RearmTimer();
}

void TTimerEx::setThreadPriority(TThreadPriority priority)
{
    if (priority == priority_)
        return;
    priority_ = priority;
    if (threaded_)
        RearmTimer();
}

void TTimerEx::RearmTimer()
{
    if (thread_ && !thread_->Suspended())
        thread_->Suspend();
    if (windowTimer_ != 0) {
        killTimer(windowTimer_);
        windowTimer_ = 0;
    }
    if (threaded_) {
        if (!thread_)
            thread_ = std::make_unique<TTimerThread>(*this, priority_);
    } else {
        thread_.reset();
    }
    if (interval_ == 0 || !enabled_ || !onTimer_)
        return;
    if (threaded_) {
        thread_->SetPriority(priority_);
        thread_->Resume();
    } else {
        const uint32_t interval = interval_;
        windowTimer_ = interval > uint32_t(INT_MAX) ? 0 : startTimer(int(interval), Qt::PreciseTimer);
        if (windowTimer_ == 0)
            throw EOutOfResources(QStringLiteral("No More Timers Available"));
    }
}

void TTimerEx::Timer()
{
    if (!enabled_ || !onTimer_)
        return;
    const TNotifyEvent handler = onTimer_; // the handler may replace itself
    runCommand([&] { handler(this); });
}

void TTimerEx::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == windowTimer_)
        Timer();
}

void TTimerEx::customEvent(QEvent *event)
{
    if (event->type() != TickEventType)
        return;
    const auto *tick = static_cast<TickEvent *>(event);
    if (!thread_ || thread_->serial_ != tick->serial || !thread_->BeginTick(tick->ticket))
        return;
    Timer();
    // The tick may have released the thread (a switch to window-timer mode); a new one has another serial.
    if (thread_ && thread_->serial_ == tick->serial)
        thread_->EndTick(tick->ticket);
}

} // namespace kaptiv
