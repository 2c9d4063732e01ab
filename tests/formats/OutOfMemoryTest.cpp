// Every allocation of a large picture is checked: when memory runs out the command raises
// EOutOfMemory and writes nothing, where it used to write into a null picture (a crash) or carry a
// null picture on into an empty file.
#include "capture/Capture.h"
#include "formats/BmpCodec.h"
#include "formats/PngCodec.h"
#include "gif/GifFrames.h"
#include "gif/GifSave.h"
#include "gif/core/GifReader.h"
#include "platform/ui/Errors.h"
#include "platform/pixels/PixelFormats.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <string>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define KAPTIV_MEMORY_LIMIT_WORKS 0 // the sanitizer maps far more memory than any limit allows
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAPTIV_MEMORY_LIMIT_WORKS 0
#endif
#endif
#ifndef KAPTIV_MEMORY_LIMIT_WORKS
#define KAPTIV_MEMORY_LIMIT_WORKS 1
#endif

namespace kaptiv {
namespace {

// The writable private memory the process holds now, in bytes ("VmData:" of /proc/self/status).
rlim_t dataBytes()
{
    std::ifstream status("/proc/self/status");
    std::string name;
    rlim_t kib = 0;
    while (status >> name) {
        if (name == "VmData:" && status >> kib)
            return kib << 10;
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return 0;
}

// Runs `operation` in a child process that may take at most 8 MiB more writable memory than it
// has now; succeeds when the operation raised EOutOfMemory and then `afterwards` holds. The data
// limit, not the address-space one, is what fences memory that earlier work left behind: the heaps
// of threads that have run hold address space in reserve, and the allocator makes it writable
// without taking any new. What the heap freed but kept is handed back first.
::testing::AssertionResult RunsOutOfMemoryCleanly(const std::function<void()> &operation,
                                                 const std::function<bool()> &afterwards = [] { return true; })
{
    const pid_t child = ::fork();
    if (child < 0)
        return ::testing::AssertionFailure() << "fork failed";
    if (child == 0) {
        ::malloc_trim(0);
        const rlim_t limit = dataBytes() + (rlim_t(8) << 20);
        const rlimit data{limit, limit};
        ::setrlimit(RLIMIT_DATA, &data);
        try {
            operation();
        } catch (const EOutOfMemory &error) {
            ::_exit(error.message().contains(QLatin1String("Not enough memory for a picture of")) && afterwards() ? 0 : 3);
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status))
        return ::testing::AssertionFailure() << "crashed with signal " << WTERMSIG(status);
    switch (WEXITSTATUS(status)) {
    case 0: return ::testing::AssertionSuccess();
    case 1: return ::testing::AssertionFailure() << "went on as if the picture had been made";
    case 2: return ::testing::AssertionFailure() << "raised something else";
    default: return ::testing::AssertionFailure() << "wrong message, or something was left behind";
    }
}

TEST(OutOfMemory, EveryLargePictureAllocationIsCheckedAndNothingIsWritten)
{
    if (!KAPTIV_MEMORY_LIMIT_WORKS)
        GTEST_SKIP() << "a memory limit cannot be used under the address sanitizer";
    // Each case needs 16 MiB or more of new memory for a 4096 x 4096 picture, twice the limit.
    const int side = 4096;
    QImage rgb(side, side, QImage::Format_RGB32);
    rgb.fill(qRgb(10, 200, 30));
    const Bitmap indexed = Bitmap::create(side, side, 8, halftoneColors());
    const QByteArray bmpFile = encodeBmp(Bitmap(rgb, 24));
    const QByteArray pngFile = encodePng(indexed);
    QFile gifFile(QStringLiteral(KAPTIV_GIF_CORPUS "/hostile/gen/bomb_4096sq_one_colour.gif"));
    ASSERT_TRUE(gifFile.open(QIODevice::ReadOnly));
    const QByteArray gifBytes = gifFile.readAll();
    gif::GifImage gif;
    ASSERT_TRUE(gif::ParseGIF({reinterpret_cast<const std::uint8_t *>(gifBytes.constData()), std::size_t(gifBytes.size())}, gif));
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("out.gif"));

    const struct {
        const char *what;
        std::function<void()> operation;
        std::function<bool()> afterwards;
    } cases[] = {
        {"bitmap reader", [&] { decodeBmp(bmpFile); }, [] { return true; }},
        {"PNG reader", [&] { decodePng(pngFile); }, [] { return true; }},
        {"frame of a GIF", [&] { GetFrameInfo(gif, 1); }, [] { return true; }},
        {"capture at 256 colours", [&] { convertToColors(rgb, 24, CaptureColors::Colors256); }, [] { return true; }},
        {"area cut from the frozen screen",
         [&] { cropFrozenScreen(Bitmap::create(16, 16, 24), {-side / 2, -side / 2, side / 2, side / 2}); },
         [] { return true; }},
        {"32-bit copy of a frame", [&] { indexed.toRgb32(); }, [] { return true; }},
        {"GIF of a bitmap",
         [&] {
             TGIFSaveInfo info;
             TFrameInfo frame;
             frame.Bitmap = std::make_shared<Bitmap>(indexed);
             info.Frames.push_back(frame);
             SaveGIF(output, info);
         },
         [&] { return QDir(dir.path()).isEmpty(); }},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(RunsOutOfMemoryCleanly(c.operation, c.afterwards)) << c.what;
}

} // namespace
} // namespace kaptiv
