// The one file reader and the one file writer, on real files, links, devices and FIFOs.
#include "platform/files/FileAccess.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
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

// Runs `work` in a child process, whose exit status is returned; 128 + the signal that ended it.
int InChild(const std::function<int()> &work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(20); // a hang fails the test instead of holding it up
        ::_exit(work());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A write that fails half-way keeps the old file whole; a pipe without a reader and the file-size
// limit, whose signals end a process by default, are errors like any other.
TEST_F(FileAccess, AWriteThatFailsHalfWayKeepsTheOldFileAndBrokenPipesAndSizeLimitsAreErrors)
{
    const fs::path target = dir_ / "keep.bmp";
    Put(target, "old contents");
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    const fs::path pipeName = "/dev/fd/" + std::to_string(pipeEnds[1]);
    const struct {
        fs::path target;
        long sizeLimit; // bytes, or none
        std::string message;
    } cases[] = {
        {target, 16, "Cannot write file \"" + target.string() + "\". File too large"},
        {pipeName, -1, "Cannot write file \"" + pipeName.string() + "\". Broken pipe"},
    };
    for (const auto &c : cases) {
        const int status = InChild([&] {
            if (c.sizeLimit >= 0) {
                const rlimit small{rlim_t(c.sizeLimit), rlim_t(c.sizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &small);
            }
            const std::string error = ErrorOf([&] { WriteFile(c.target, std::vector<std::uint8_t>(100000, 'x')); });
            // The signal the write raised is not left waiting for the process either.
            sigset_t pending;
            ::sigpending(&pending);
            if (::sigismember(&pending, SIGPIPE) || ::sigismember(&pending, SIGXFSZ))
                return 3;
            return error == c.message ? 0 : 2;
        });
        EXPECT_EQ(status, 0) << c.target;
    }
    ::close(pipeEnds[1]);
    EXPECT_EQ(Get(target), "old contents");
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.bmp"});
}

// The writer's system calls, each of which can be made to fail: the `nth` call of a kind.
class FailingCalls : public WriterCalls {
public:
    struct Failure {
        std::string call;
        int nth = 1;
        int error = EIO;
    };
    explicit FailingCalls(std::vector<Failure> failures) : failures_(std::move(failures)) {}

    int OpenAt(int folder, const char *name, int flags, unsigned mode) const override
    {
        return Fails("open") ? -1 : WriterCalls::OpenAt(folder, name, flags, mode);
    }
    long Write(int fd, const void *bytes, std::size_t size) const override
    {
        return Fails("write") ? -1 : WriterCalls::Write(fd, bytes, size);
    }
    int Fsync(int fd) const override { return Fails("fsync") ? -1 : WriterCalls::Fsync(fd); }
    int Fchmod(int fd, unsigned mode) const override { return Fails("fchmod") ? -1 : WriterCalls::Fchmod(fd, mode); }
    int Close(int fd) const override
    {
        if (!Fails("close"))
            return WriterCalls::Close(fd);
        const int error = errno;
        WriterCalls::Close(fd); // as the system does: the descriptor is gone all the same
        errno = error;
        return -1;
    }
    int LinkAt(int fromFolder, const char *from, int toFolder, const char *to, int flags) const override
    {
        return Fails("linkat") ? -1 : WriterCalls::LinkAt(fromFolder, from, toFolder, to, flags);
    }
    int RenameAt(int fromFolder, const char *from, int toFolder, const char *to) const override
    {
        return Fails("rename") ? -1 : WriterCalls::RenameAt(fromFolder, from, toFolder, to);
    }

private:
    bool Fails(const std::string &call) const
    {
        const int count = ++counts_[call];
        for (const Failure &failure : failures_)
            if (failure.call == call && failure.nth == count) {
                errno = failure.error;
                return true;
            }
        return false;
    }

    std::vector<Failure> failures_;
    mutable std::map<std::string, int> counts_;
};

// Every system call of the writer failing in turn, with unnamed files and without: each failure
// is reported, and leaves the old file byte for byte, with its permissions, and nothing beside it.
TEST_F(FileAccess, EachFailingSystemCallIsReportedAndLeavesTheOldFileAndNothingElse)
{
    const fs::path target = dir_ / "old.gif";
    const std::string create = "Cannot create file \"" + target.string() + "\". ",
                      write = "Cannot write file \"" + target.string() + "\". ";
    using F = FailingCalls::Failure;
    const F noUnnamedFiles{"open", 1, EOPNOTSUPP};
    const struct {
        std::vector<F> failures;
        std::string outcome; // the message, or "" for success
    } cases[] = {
        {{}, ""},
        {{noUnnamedFiles}, ""},                           // a named temporary does the job
        {{{"linkat", 1, EEXIST}}, ""},                    // that temporary name is taken: another one
        {{{"open", 1, EACCES}, {"open", 2, EACCES}}, create + "Permission denied"},
        {{{"fchmod", 1, EPERM}}, create + "Operation not permitted"},
        {{{"write", 1, ENOSPC}}, write + "No space left on device"},
        {{{"write", 2, EDQUOT}}, write + "Disk quota exceeded"},
        {{{"fsync", 1, EIO}}, write + "Input/output error"},
        {{{"linkat", 1, ENOSPC}}, create + "No space left on device"},
        {{{"close", 1, EIO}}, write + "Input/output error"},
        {{{"rename", 1, EXDEV}}, create + "Invalid cross-device link"},
        {{noUnnamedFiles, {"write", 1, ENOSPC}}, write + "No space left on device"},
        {{noUnnamedFiles, {"fsync", 1, EIO}}, write + "Input/output error"},
        {{noUnnamedFiles, {"close", 1, EIO}}, write + "Input/output error"},
        {{noUnnamedFiles, {"rename", 1, EIO}}, create + "Input/output error"},
    };
    const std::string bigger(3 << 20, 'n'); // written in two pieces
    const auto pieces = [&](int &at) -> std::span<const std::uint8_t> {
        const std::size_t half = bigger.size() / 2;
        if (at == 2)
            return {};
        return {reinterpret_cast<const std::uint8_t *>(bigger.data()) + half * std::size_t(at++), half};
    };
    for (const auto &c : cases) {
        std::string trace;
        for (const F &failure : c.failures)
            trace += failure.call + " " + std::to_string(failure.nth) + " ";
        SCOPED_TRACE(trace);
        Put(target, "old contents");
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        const FailingCalls calls(c.failures);
        int at = 0;
        EXPECT_EQ(ErrorOf([&] { FileWriter(target, calls).Write([&] { return pieces(at); }); }),
                  c.outcome.empty() ? "(no error)" : c.outcome);
        EXPECT_TRUE(Get(target) == (c.outcome.empty() ? bigger : "old contents"));
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(Entries(), std::vector<std::string>{"old.gif"});
    }

    // Once renamed, the new file is in place, and a folder that cannot be flushed says so.
    Put(target, "old contents");
    const FailingCalls folderFails({{"fsync", 2, EIO}});
    EXPECT_EQ(ErrorOf([&] { FileWriter(target, folderFails).Write(NewBytes); }),
              write + "Input/output error (the new file is in place, but its folder could not be written to the disk)");
    EXPECT_EQ(Get(target), "new");
    EXPECT_EQ(Entries(), std::vector<std::string>{"old.gif"});
}

// A process killed while it writes leaves the old file and nothing else: what it wrote had no name.
TEST_F(FileAccess, AProcessKilledWhileWritingLeavesNothing)
{
    for (const bool existing : {true, false}) {
        const fs::path target = dir_ / "killed.bmp";
        if (existing)
            Put(target, "old contents");
        int started[2], never[2];
        ASSERT_EQ(::pipe(started), 0);
        ASSERT_EQ(::pipe(never), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::alarm(20);
            const std::vector<std::uint8_t> piece(8 << 20, 'x');
            int at = 0;
            FileWriter(target).Write([&]() -> std::span<const std::uint8_t> {
                if (at++ == 1) { // the first piece is in the file: say so, then wait for good
                    char c = 1;
                    if (::write(started[1], &c, 1) != 1 || ::read(never[0], &c, 1) < 0)
                        ::_exit(2);
                }
                return piece;
            });
            ::_exit(1);
        }
        ::close(started[1]);
        char c = 0;
        ASSERT_EQ(::read(started[0], &c, 1), 1);
        // Mid-write: the 8 MiB are in a file of the folder that has no name.
        bool unnamedOpen = false;
        for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(child) + "/fd"))
            unnamedOpen = unnamedOpen || fs::read_symlink(fd.path()).string().starts_with(dir_.string() + "/#");
        EXPECT_TRUE(unnamedOpen);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        for (const int fd : {started[0], never[0], never[1]})
            ::close(fd);
        EXPECT_EQ(Entries(), existing ? std::vector<std::string>{"killed.bmp"} : std::vector<std::string>{});
        if (existing) {
            EXPECT_EQ(Get(target), "old contents");
        }
        fs::remove(target);
    }
}

// The longest name a folder takes (255 bytes) is written and replaced, with unnamed files and
// without: the temporary's name does not grow with the target's.
TEST_F(FileAccess, TheLongestLegalNameIsWrittenAndReplaced)
{
    const std::string name = std::string(251, 'l') + ".gif";
    const fs::path target = dir_ / name;
    const FailingCalls noUnnamedFiles({{"open", 1, EOPNOTSUPP}, {"open", 3, EOPNOTSUPP}});
    for (const WriterCalls *calls : {&WriterCalls::System(), static_cast<const WriterCalls *>(&noUnnamedFiles)}) {
        for (const std::string contents : {"first", "second"}) {
            FileWriter(target, *calls).Write({reinterpret_cast<const std::uint8_t *>(contents.data()), contents.size()});
            EXPECT_EQ(Get(target), contents);
            EXPECT_EQ(Entries(), std::vector<std::string>{name});
        }
        fs::remove(target);
    }
}

// A name for one of the program's descriptors is written through that descriptor as it stands:
// a pipe gets the bytes, a file opened to append keeps what it had. A descriptor that is not open
// for writing is refused; and no new file is made in /dev.
TEST_F(FileAccess, NamesOfOurDescriptorsAreWrittenThroughThemAndNothingIsMadeInDev)
{
    const fs::path log = dir_ / "log";
    Put(log, "before;");
    const int appending = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    const std::string a = std::to_string(appending), p = std::to_string(pipeEnds[1]);
    fs::create_symlink("/dev/fd/" + p, dir_ / "to-pipe");
    for (const fs::path &name : {fs::path("/dev/fd/" + a), fs::path("/proc/self/fd/" + a),
                                 fs::path("/proc/" + std::to_string(::getpid()) + "/fd/" + a)})
        WriteFile(name, NewBytes);
    for (const fs::path &name : {fs::path("/dev/fd/" + p), fs::path("/proc/self/fd/" + p), dir_ / "to-pipe"})
        WriteFile(name, NewBytes);
    ::close(appending);
    ::close(pipeEnds[1]);
    EXPECT_EQ(Get(log), "before;newnewnew");
    EXPECT_EQ(Get("/dev/fd/" + std::to_string(pipeEnds[0])), "newnewnew");
    ::close(pipeEnds[0]);
    EXPECT_TRUE(fs::is_symlink(dir_ / "to-pipe"));

    const int readOnly = ::open(log.c_str(), O_RDONLY | O_CLOEXEC);
    const std::string r = std::to_string(readOnly);
    EXPECT_EQ(ErrorOf([&] { WriteFile("/proc/self/fd/" + r, NewBytes); }),
              "Cannot create file \"/proc/self/fd/" + r + "\". Bad file descriptor");
    ::close(readOnly);
    EXPECT_EQ(ErrorOf([&] { WriteFile("/dev/fd/" + r, NewBytes); }), "Cannot create file \"/dev/fd/" + r + "\". Bad file descriptor");
    EXPECT_EQ(ErrorOf([] { WriteFile("/dev/stdout.png", NewBytes); }),
              "Cannot create file \"/dev/stdout.png\". Kaptiv makes no new files in /dev, the folder of devices.");
    EXPECT_FALSE(fs::exists("/dev/stdout.png"));
    EXPECT_EQ(Get(log), "before;newnewnew");
}

// A file written long before its name is known (a recording) is copied to a name elsewhere, and
// given a name without a copy in its own folder; a kill before that leaves nothing.
TEST_F(FileAccess, AnUnnamedFileIsCopiedOrNamed)
{
    fs::create_directory(dir_ / "elsewhere");
    UnnamedFile recording(dir_, "the recording");
    const std::string bytes(3 << 20, 'r');
    recording.Append({reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()});
    recording.Append(NewBytes);
    EXPECT_EQ(Entries(), std::vector<std::string>{"elsewhere"});
    FileWriter(dir_ / "elsewhere" / "copy.gif").Write(recording);
    FileWriter(dir_ / "elsewhere" / "kept.gif").Keep(recording); // another folder: a copy too
    Put(dir_ / "named.gif", "old");
    FileWriter(dir_ / "named.gif").Keep(recording);
    EXPECT_EQ(recording.Descriptor(), -1);
    for (const fs::path &file : {dir_ / "elsewhere" / "copy.gif", dir_ / "elsewhere" / "kept.gif", dir_ / "named.gif"})
        EXPECT_TRUE(Get(file) == bytes + "new") << file;
    EXPECT_EQ(fs::hard_link_count(dir_ / "named.gif"), 1u);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"elsewhere", "named.gif"}));
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
