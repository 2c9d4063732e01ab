// The kaptiv executable run as a script runs it, with the inputs a hostile or unlucky user gives
// it: names that are not UTF-8, devices, a full disk, too little memory.
#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

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

    // Runs kaptiv with the arguments exactly as bytes; with a limit (KiB), under `ulimit -v`.
    Outcome kaptiv(const std::vector<std::string> &arguments, std::optional<long> addressLimitKiB = {}) const
    {
        std::vector<std::string> argv;
        if (addressLimitKiB)
            argv = {"/bin/sh", "-c", "ulimit -v " + std::to_string(*addressLimitKiB) + " && exec \"$0\" \"$@\"",
                    KAPTIV_EXECUTABLE};
        else
            argv = {KAPTIV_EXECUTABLE};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return kaptiv::testing::runProgram({argv, {}, {}}, dir_ / "output");
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

// A 16384 x 16384 bitmap needs 1 GiB as 32-bit pixels: under an 880 MiB limit gif-make runs out of
// memory. It must say so and fail, not write an empty GIF over the old file and report success.
TEST_F(FileCommands, RunningOutOfMemoryFailsAndKeepsTheOldFile)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit cannot be used under the address sanitizer";
#endif
    const fs::path big = work("big.bmp"), keep = work("keep.gif");
    writeMonochromeBitmap(big, 16384);
    std::ofstream(keep, std::ios::binary) << "previous";
    const Outcome run = kaptiv({"gif-make", "--output", keep.string(), big.string()}, 900000);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.ends_with("\nkaptiv: Not enough memory for a picture of 16384 x 16384 pixels.\n")) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(fileContents(keep), "previous");
    EXPECT_EQ(workEntries(), (std::vector<std::string>{"big.bmp", "keep.gif"}));
}

} // namespace
