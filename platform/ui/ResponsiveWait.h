#pragma once
// Waiting for something slow without freezing the windows.

#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <optional>
#include <thread>
#include <type_traits>

namespace kaptiv {

// Runs `work` on a thread of its own and returns what it returns (or raises what it raises) once
// it is done. Meanwhile this thread goes on handling events, the user's input excepted, which
// waits until then: the windows repaint and the window manager sees the program alive, but no
// second command starts in the middle of this one.
template <typename Work>
std::invoke_result_t<Work> whileResponsive(Work work)
{
    using Result = std::invoke_result_t<Work>;
    std::optional<Result> result;
    std::exception_ptr error;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            result.emplace(work());
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (error)
        std::rethrow_exception(error);
    return std::move(*result);
}

} // namespace kaptiv
