// The one file reader and the one file writer, on real files, links, devices and FIFOs.
#include "platform/FileAccess.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kaptiv::files {
namespace {

namespace fs = std::filesystem;

class FileAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kaptiv-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    static void Put(const fs::path &file, const std::string &text) { std::ofstream(file, std::ios::binary) << text; }
    static std::string Get(const fs::path &file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string ErrorOf(const std::function<void()> &operation)
    {
        try {
            operation();
        } catch (const FileError &error) {
            return error.what();
        }
        return "(no error)";
    }

    fs::path dir_;
};

const std::vector<std::uint8_t> NewBytes = {'n', 'e', 'w'};
constexpr std::string_view GifSignature[] = {"GIF"};

TEST_F(FileAccess, ARegularFileIsReplacedWholeKeepingItsPermissionsAndLinksAreFollowed)
{
    const fs::path target = dir_ / "a.gif", linked = dir_ / "linked.gif", dangling = dir_ / "dangling.gif";
    Put(target, "old contents");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("a.gif", linked);
    fs::create_symlink("made-through-link.gif", dangling);

    WriteFile(linked, NewBytes);
    EXPECT_TRUE(fs::is_symlink(linked)) << "the link stays a link";
    EXPECT_EQ(Get(target), "new");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteFile(dangling, NewBytes);
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(Get(dir_ / "made-through-link.gif"), "new");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.gif", "dangling.gif", "linked.gif", "made-through-link.gif"}));
}

TEST_F(FileAccess, DevicesAndFifosAreWrittenInPlaceAndTheirErrorsAreFailures)
{
    WriteFile("/dev/null", NewBytes);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(ErrorOf([] { WriteFile("/dev/full", NewBytes); }),
              "Cannot write file \"/dev/full\". No space left on device");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));

    const fs::path fifo = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reader = std::async(std::launch::async, [&] { return Get(fifo); });
    WriteFile(fifo, NewBytes);
    EXPECT_EQ(reader.get(), "new");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(Entries(), std::vector<std::string>{"pipe"});
}

TEST_F(FileAccess, APlaceThatCannotTakeTheFileIsRefusedBeforeAnyWorkAndNothingIsLeft)
{
    fs::create_directory(dir_ / "folder");
    const struct {
        fs::path target;
        std::string message;
    } cases[] = {
        {dir_ / "missing" / "a.gif", "Cannot create file \"" + (dir_ / "missing" / "a.gif").string() + "\". No such file or directory"},
        {dir_ / "folder", "Cannot create file \"" + (dir_ / "folder").string() + "\". It is a folder."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ErrorOf([&] { FileWriter writer(c.target); }), c.message);
    EXPECT_EQ(Entries(), std::vector<std::string>{"folder"});
}

// A write that fails half-way (here the file-size limit of the process) keeps the old file whole.
TEST_F(FileAccess, AWriteThatFailsHalfWayKeepsTheOldFileAndLeavesNothing)
{
    const fs::path target = dir_ / "keep.bmp";
    Put(target, "old contents");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &small);
        try {
            WriteFile(target, std::vector<std::uint8_t>(100, 'x'));
        } catch (const FileError &error) {
            ::_exit(std::string(error.what()).starts_with("Cannot write file \"" + target.string() + "\". ") ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Get(target), "old contents");
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.bmp"});
}

// Bytes made piece by piece land as one file; a maker that gives up half-way (its exception comes
// out as it is) leaves the old file whole and nothing beside it.
TEST_F(FileAccess, PiecesMakeOneFileAndAMakerThatGivesUpLeavesTheOldOne)
{
    const fs::path target = dir_ / "pieces.bmp";
    Put(target, "old contents");
    const std::vector<std::string> pieces{"BM", std::string(300000, 'x'), "end"};
    struct GaveUp {};
    constexpr std::size_t Never = 99;
    for (const std::size_t giveUpAt : {std::size_t(0), std::size_t(2), Never}) {
        std::size_t at = 0;
        const FileWriter::NextPiece next = [&]() -> std::span<const std::uint8_t> {
            if (at == giveUpAt)
                throw GaveUp{};
            if (at == pieces.size())
                return {};
            const std::string &piece = pieces[at++];
            return {reinterpret_cast<const std::uint8_t *>(piece.data()), piece.size()};
        };
        if (giveUpAt == Never) {
            FileWriter(target).Write(next);
            EXPECT_EQ(Get(target), pieces[0] + pieces[1] + pieces[2]);
        } else {
            EXPECT_THROW(FileWriter(target).Write(next), GaveUp) << giveUpAt;
            EXPECT_EQ(Get(target), "old contents") << giveUpAt;
        }
        EXPECT_EQ(Entries(), std::vector<std::string>{"pieces.bmp"}) << giveUpAt;
    }
}

TEST_F(FileAccess, OnlyRegularFilesAreReadAndNeverMoreThanTheLimit)
{
    const fs::path fifo = dir_ / "pipe", sparseGif = dir_ / "sparse.gif", sparseZeros = dir_ / "zeros.gif";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0); // no writer: opening it must not wait for one
    for (const fs::path &sparse : {sparseGif, sparseZeros}) {
        Put(sparse, sparse == sparseGif ? "GIF89a" : "");
        fs::resize_file(sparse, std::uint64_t(3) << 30);
    }
    Put(dir_ / "limit.gif", "GIF89a1234"); // 10 bytes
    const struct {
        fs::path file;
        std::uint64_t limit;
        std::string outcome; // the bytes read, "(not a GIF)" or the message
    } cases[] = {
        {"/dev/zero", MaxReadSize, "Cannot open file \"/dev/zero\". It is not a regular file."},
        {"/dev/urandom", MaxReadSize, "Cannot open file \"/dev/urandom\". It is not a regular file."},
        {fifo, MaxReadSize, "Cannot open file \"" + fifo.string() + "\". It is not a regular file."},
        {dir_, MaxReadSize, "Cannot open file \"" + dir_.string() + "\". It is a folder."},
        {dir_ / "none.gif", MaxReadSize, "Cannot open file \"" + (dir_ / "none.gif").string() + "\". No such file or directory"},
        {sparseZeros, MaxReadSize, "(not a GIF)"},
        {sparseGif, MaxReadSize, "Cannot open file \"" + sparseGif.string() + "\". It is larger than 1 GiB, the most Kaptiv reads."},
        {dir_ / "limit.gif", 9, "Cannot open file \"" + (dir_ / "limit.gif").string() + "\". It is larger than 9 bytes, the most Kaptiv reads."},
        {dir_ / "limit.gif", 10, "GIF89a1234"},
    };
    for (const auto &c : cases) {
        std::string outcome;
        try {
            const auto bytes = ReadFileWithSignature(c.file, GifSignature, c.limit);
            outcome = bytes ? std::string(bytes->begin(), bytes->end()) : "(not a GIF)";
        } catch (const FileError &error) {
            outcome = error.what();
        }
        EXPECT_EQ(outcome, c.outcome) << c.file;
    }
}

} // namespace
} // namespace kaptiv::files
