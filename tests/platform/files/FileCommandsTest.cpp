// The kaptiv executable run as a script runs it, with the inputs a hostile or unlucky user gives
// it: names that are not UTF-8, devices, a full disk, too little memory.
#include "HostileFiles.h"
#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using kaptiv::testing::fileContents;
using Outcome = kaptiv::testing::ProgramOutcome;

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kaptiv-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::create_directory(dir_ / "work");
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path work(const std::string &name) const { return dir_ / "work" / name; }

    // Runs kaptiv with the arguments exactly as bytes; under a limit when given (`ulimit -v 1000`),
    // with its standard output on `standardOutput` when given.
    Outcome kaptiv(const std::vector<std::string> &arguments, const std::string &limit = {}, int standardOutput = -1) const
    {
        std::vector<std::string> argv;
        if (!limit.empty())
            argv = {"/bin/sh", "-c", limit + " && exec \"$0\" \"$@\"", KAPTIV_EXECUTABLE};
        else
            argv = {KAPTIV_EXECUTABLE};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return kaptiv::testing::runProgram({argv, {}, {}, standardOutput}, dir_ / "output");
    }

    std::vector<std::string> workEntries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir_ / "work"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

// A bitmap file of `side` x `side` pixels at 1 bit, every pixel black: 2 bytes per 16 pixels.
void writeMonochromeBitmap(const fs::path &file, std::uint32_t side)
{
    const std::uint32_t stride = (side + 31) / 32 * 4, offset = 14 + 40 + 8, size = offset + stride * side;
    std::string header;
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            header += char((value >> (8 * i)) & 0xFF);
    };
    header += "BM";
    put(size, 4), put(0, 4), put(offset, 4);
    put(40, 4), put(side, 4), put(side, 4), put(1, 2), put(1, 2), put(0, 4), put(stride * side, 4);
    put(3780, 4), put(3780, 4), put(2, 4), put(0, 4);
    put(0, 4), put(0xFFFFFF, 4); // black, white
    std::ofstream bmp(file, std::ios::binary);
    bmp << header;
    const std::string row(stride, '\0');
    for (std::uint32_t y = 0; y < side; ++y)
        bmp << row;
}

TEST_F(FileCommands, NamesThatAreNotUtf8ReachTheFileSystemByteForByte)
{
    const std::string input = work("in\xe9.bmp"), output = work("out\xff\xfe.gif");
    writeMonochromeBitmap(input, 8);
    const Outcome made = kaptiv({"gif-make", "--output", output, input});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, output + ": 1 frame\n");
    EXPECT_EQ(fileContents(output).substr(0, 6), "GIF89a");

    // Two folders whose names differ only in bytes that are not UTF-8 stay two folders.
    for (const char *folder : {"frames\xff", "frames\xfe"}) {
        const Outcome frames = kaptiv({"gif-frames", output, "--output", work(folder)});
        ASSERT_EQ(frames.status, 0) << frames.err;
        EXPECT_NE(frames.out.find(work(folder).string() + "\n"), std::string::npos) << frames.out;
    }
    EXPECT_EQ(workEntries(), (std::vector<std::string>{"frames\xfe", "frames\xff", "in\xe9.bmp", "out\xff\xfe.gif"}));

    const Outcome missing = kaptiv({"gif-info", work("gone\xff.gif")});
    EXPECT_EQ(missing.err, "kaptiv: Cannot open file \"" + work("gone\xff.gif").string() + "\". No such file or directory\n");
}

TEST_F(FileCommands, DevicesAreNeitherReadWholeNorReplaced)
{
    const std::string bitmap = work("a.bmp");
    writeMonochromeBitmap(bitmap, 8);
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    } cases[] = {
        {{"gif-info", "/dev/zero"}, 1, "kaptiv: Cannot open file \"/dev/zero\". It is not a regular file.\n"},
        {{"gif-frames", "/dev/urandom", "--output", work("f")}, 1,
         "kaptiv: Cannot open file \"/dev/urandom\". It is not a regular file.\n"},
        {{"gif-make", "--output", work("z.gif"), "/dev/zero"}, 1,
         "kaptiv: Cannot open file \"/dev/zero\". It is not a regular file.\n"},
        {{"gif-make", "--output", "/dev/full", bitmap}, 1, "kaptiv: Cannot write file \"/dev/full\". No space left on device\n"},
        {{"gif-make", "--output", "/dev/null", bitmap}, 0, ""},
    };
    for (const auto &c : cases) {
        const Outcome run = kaptiv(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments[0] << " " << c.arguments[1];
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(workEntries(), std::vector<std::string>{"a.bmp"});
}

// A 16384 x 16384 bitmap at 1 bit, a frame at the limit, takes 256 MiB read and as many again for
// its colour indices: gif-make fits in 2 bytes a pixel and the files (it once took 6, 1.5 GiB).
// Under a 490 MiB limit it runs out of memory: it must say so and fail, not write an empty GIF
// over the old file and report success.
TEST_F(FileCommands, AFrameAtTheLimitTakesTwoBytesAPixelAndRunningOutFailsKeepingTheOldFile)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit cannot be used under the address sanitizer";
#endif
    const fs::path big = work("big.bmp"), keep = work("keep.gif");
    writeMonochromeBitmap(big, 16384);
    const struct {
        long limitKiB;
        int status;
        std::string err;
    } cases[] = {
        {500000, 1, "kaptiv: Not enough memory for a picture of 16384 x 16384 pixels.\n"},
        {750000, 0, ""}, // 512 MiB, the 32 MiB file and the program's own
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.limitKiB);
        std::ofstream(keep, std::ios::binary) << "previous";
        const Outcome run = kaptiv({"gif-make", "--output", keep.string(), big.string()}, "ulimit -v " + std::to_string(c.limitKiB));
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(run.err.ends_with(c.err)) << run.err; // a smaller limit stops the reading, naming the file
        EXPECT_EQ(run.out, c.status ? "" : keep.string() + ": 1 frame\n");
        const std::string kept = fileContents(keep);
        EXPECT_EQ(c.status ? kept : kept.substr(0, 6), c.status ? "previous" : "GIF89a");
        EXPECT_EQ(workEntries(), (std::vector<std::string>{"big.bmp", "keep.gif"}));
    }
}

// A FIFO whose reader goes away and the file-size limit stop a write half-way: each is a write
// error (a message, exit 1), never a death by signal, and leaves the old file and nothing else.
TEST_F(FileCommands, ABrokenPipeAndTheFileSizeLimitAreWriteErrors)
{
    const fs::path big = work("big.bmp"), fifo = work("p.bmp"), keep = work("keep.bmp");
    writeMonochromeBitmap(big, 2048); // 512 KiB, more than a pipe holds
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(keep, std::ios::binary) << "the old picture";

    auto reader = kaptiv::testing::takeFromFifoAndLeave(fifo, 100); // as `head -c 100` does
    const Outcome piped = kaptiv({"convert", big.string(), fifo.string()});
    EXPECT_EQ(reader.get(), 100);
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(piped.err, "kaptiv: Cannot write file \"" + fifo.string() + "\". Broken pipe\n");

    const Outcome limited = kaptiv({"convert", big.string(), keep.string()}, "ulimit -f 8"); // 4 KiB
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "kaptiv: Cannot write file \"" + keep.string() + "\". File too large\n");
    EXPECT_EQ(fileContents(keep), "the old picture");
    EXPECT_EQ(workEntries(), (std::vector<std::string>{"big.bmp", "keep.bmp", "p.bmp"}));
}

// --output naming standard output (or any descriptor of the program's) writes through it as it
// stands: a pipe gets the file and nothing else, a log opened to append keeps what it had; the
// line saying what was written goes to standard error then.
TEST_F(FileCommands, StandardOutputIsWrittenThroughWhateverItIs)
{
    const fs::path bitmap = work("a.bmp"), reference = work("ref.gif"), log = work("log");
    writeMonochromeBitmap(bitmap, 64);
    ASSERT_EQ(kaptiv({"gif-make", "--output", reference.string(), bitmap.string()}).status, 0);
    const std::string gif = fileContents(reference);
    ASSERT_GT(gif.size(), 20u);
    std::ofstream(log, std::ios::binary) << "log;";
    for (const std::string name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
        SCOPED_TRACE(name);
        int pipeEnds[2];
        ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
        const Outcome piped = kaptiv({"gif-make", "--output", name, bitmap.string()}, {}, pipeEnds[1]);
        ::close(pipeEnds[1]);
        EXPECT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.err, name + ": 1 frame\n");
        EXPECT_TRUE(fileContents("/proc/self/fd/" + std::to_string(pipeEnds[0])) == gif);
        ::close(pipeEnds[0]);

        const int appending = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        EXPECT_EQ(kaptiv({"gif-make", "--output", name, bitmap.string()}, {}, appending).status, 0);
        ::close(appending);
    }
    EXPECT_TRUE(fileContents(log) == "log;" + gif + gif + gif);

    // A name beside the devices is no descriptor: it would be a new file in /dev (root may make one).
    const Outcome mistyped = kaptiv({"convert", bitmap.string(), "/dev/stdout.png"});
    EXPECT_EQ(mistyped.status, 1);
    EXPECT_EQ(mistyped.err,
              "kaptiv: Cannot create file \"/dev/stdout.png\". Kaptiv makes no new files in /dev, the folder of devices.\n");
    EXPECT_FALSE(fs::exists("/dev/stdout.png"));
    EXPECT_EQ(workEntries(), (std::vector<std::string>{"a.bmp", "log", "ref.gif"}));
}

// A name of 255 bytes, the most a folder takes, is written and replaced like any other.
TEST_F(FileCommands, TheLongestLegalNameIsWrittenAndReplaced)
{
    const std::string name = std::string(251, 'n') + ".bmp";
    const fs::path bitmap = work("a.bmp");
    writeMonochromeBitmap(bitmap, 8);
    for (int time = 0; time < 2; ++time) {
        const Outcome run = kaptiv({"convert", bitmap.string(), work(name).string()});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(workEntries(), (std::vector<std::string>{"a.bmp", name}));
    }
    EXPECT_TRUE(fileContents(work(name)) == fileContents(bitmap));
}

// Files made to hurt the reader, at full size: each is read as far as it is sound (exit 0) or
// refused with a message naming it (exit 1), within 10 s and 1 GiB of address space.
TEST_F(FileCommands, HostileFilesAreReadAsFarAsSoundOrRefusedWithinTimeAndMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit cannot be used under the address sanitizer";
#endif
    using namespace kaptiv::testing::hostile;
    const struct {
        const char *name;
        std::string bytes;
        int status;
        std::string said; // the end of what it wrote: to standard output on success, else the message
    } cases[] = {
        {"runs8.bmp", runsPastTheColumnCounter(8), 0, ": 4 x 2, 8 bits per pixel\n"},
        {"runs4.bmp", runsPastTheColumnCounter(4), 0, ": 4 x 2, 4 bits per pixel\n"},
        {"png-16384.ico", iconFile({blackPng(16384, 16384), blueIconImage()}), 0, ": 32 x 32, 4 bits per pixel\n"},
        {"only-png-16384.ico", iconFile({blackPng(16384, 16384)}), 1, ": Icon image is not valid.\n"},
        {"scans.jpg", greyJpeg(8192, 16384, 990), 1,
         ": JPEG image is not valid (its scans would decode the picture more than 64 times over).\n"},
        {"no-scan.jpg", greyJpeg(16384, 16384, 0, 0), 1,
         ": JPEG image is not valid (the file ends before its picture data).\n"},
        {"thin-scan.jpg", greyJpeg(16384, 16384, 0, 4096), 1,
         ": JPEG image is not valid (16384 x 16384 pixels cannot come from 4096 bytes of picture data).\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = work(c.name), output = work("out.bmp");
        std::ofstream(file, std::ios::binary) << c.bytes;
        const auto start = std::chrono::steady_clock::now();
        const Outcome run = kaptiv({"convert", file.string(), output.string()}, "ulimit -v 1048576");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(run.status, c.status) << run.err;
        const std::string &said = c.status == 0 ? run.out : run.err;
        const std::string whole = c.status == 0 ? output.string() + c.said : "kaptiv: " + file.string() + c.said;
        EXPECT_EQ(said.substr(said.size() - std::min(said.size(), whole.size())), whole) << said;
        EXPECT_EQ(fs::exists(output), c.status == 0);
        fs::remove(output);
        fs::remove(file);
    }
}

} // namespace
