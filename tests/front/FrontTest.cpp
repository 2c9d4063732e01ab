// The kaptiv front as a script runs it, against the full program it hands over to: the same bytes
// in the file, the same words on the terminal, the same exit status, nothing left behind.
#include "ProgramRun.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kaptiv::testing {
namespace {

namespace fs = std::filesystem;

using Outcome = ProgramOutcome;

// Runs `program` in `folder`, its output caught beside the folder.
Outcome run(const fs::path &program, const std::vector<std::string> &arguments, const fs::path &folder,
            const std::map<std::string, std::optional<std::string>> &environment = {})
{
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram({argv, folder, environment}, folder);
}

std::set<std::string> entriesOf(const fs::path &folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class Front : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kaptiv-front-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        top_ = pattern;
    }
    void TearDown() override { fs::remove_all(top_); }

    // A new folder under the test's own.
    fs::path folder(const std::string &name) const
    {
        fs::create_directories(top_ / name);
        return top_ / name;
    }

    fs::path top_;
};

// Colours that vary in every channel, so a channel out of place shows at any depth.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / (width - 1), y * 255 / (height - 1), (x * 7 + y * 13) & 255));
    return image;
}

TEST_F(Front, WritesTheFullProgramsBytesAtEveryDisplayDepthByItself)
{
    // The front alone in a folder of its own has no full program to hand over to: what it writes
    // there, it wrote itself.
    const fs::path alone = folder("alone") / "kaptiv";
    fs::copy_file(KAPTIV_EXECUTABLE, alone);
    const std::string name = "shot \xe9\xff.bmp"; // not UTF-8: printed back as given
    const std::vector<std::string> arguments{"grab", "screen", "--output", name};
    // The 30-bit display's pixels are converted through their masks, as the full program does.
    for (const char *variable : {"DISPLAY", "KAPTIV_DISPLAY_DEPTH16", "KAPTIV_DISPLAY_DEPTH15", "KAPTIV_DISPLAY_DEPTH30"}) {
        const QString display = qEnvironmentVariable(variable);
        if (display.isEmpty())
            continue;
        SCOPED_TRACE(variable);
        X11TestWindow window(display, {37, 23}, gradient(301, 157));
        window.settle();
        const std::map<std::string, std::optional<std::string>> environment{{"DISPLAY", display.toStdString()}};
        const fs::path fullDir = folder(std::string(variable) + "-full"), frontDir = folder(std::string(variable) + "-front"),
                       aloneDir = folder(std::string(variable) + "-alone");
        const Outcome full = run(KAPTIV_APP_EXECUTABLE, arguments, fullDir, environment);
        const Outcome front = run(KAPTIV_EXECUTABLE, arguments, frontDir, environment);
        const Outcome byItself = run(alone, arguments, aloneDir, environment);

        ASSERT_EQ(full.status, 0) << full.err;
        const std::string picture = fileContents(fullDir / name);
        ASSERT_GT(picture.size(), 54u);
        EXPECT_TRUE(full.out.starts_with(name + ": ")) << full.out;
        for (const auto &[outcome, where] : {std::pair(&front, frontDir), std::pair(&byItself, aloneDir)}) {
            EXPECT_EQ(outcome->status, 0) << outcome->err;
            EXPECT_EQ(outcome->out, full.out);
            EXPECT_EQ(outcome->err, "");
            EXPECT_TRUE(fileContents(where / name) == picture) << where;
        }
    }
    // What it leaves to the full program, it cannot do alone.
    const fs::path aloneDir = folder("alone-256");
    const Outcome handedOver = run(alone, {"grab", "screen", "--colors", "256", "--output", name}, aloneDir);
    EXPECT_EQ(handedOver.status, 1);
    EXPECT_TRUE(handedOver.err.starts_with("kaptiv: cannot start the program ")) << handedOver.err;
    EXPECT_TRUE(fs::is_empty(aloneDir));
}

// A tmpfs of 1 MiB: the 6 MB picture runs out of space half-way through the front's write.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path &at) : at_(at) { mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=1m") == 0; }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    fs::path at_;
    bool mounted_ = false;
};

// An X server of the test's own, started with `arguments` (-screen 0 WxHxD, ...).
class OwnXServer {
public:
    explicit OwnXServer(const std::vector<std::string> &arguments)
    {
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> words{"Xvfb", "-displayfd", "3", "-nolisten", "tcp"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char *> argv;
        for (std::string &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        server_ = ::fork();
        if (server_ == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(ready[1], 3);
            ::dup2(quiet, 2);
            ::execvp("Xvfb", argv.data());
            ::_exit(127);
        }
        ::close(ready[1]);
        char c = 0;
        std::string number;
        while (::read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(ready[0]);
        if (!number.empty())
            name_ = ":" + number;
    }
    ~OwnXServer()
    {
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            ::waitpid(server_, nullptr, 0);
        }
    }
    const std::string &name() const { return name_; }

private:
    pid_t server_ = -1;
    std::string name_;
};

// An X server that lets in only clients with a cookie none of ours has: Xlib says why on stderr.
class RefusingDisplay : public OwnXServer {
public:
    explicit RefusingDisplay(const fs::path &folder)
        : OwnXServer({"-auth", cookiesIn(folder).string(), "-screen", "0", "64x64x24"})
    {
    }

private:
    static fs::path cookiesIn(const fs::path &folder)
    {
        const fs::path cookies = folder / "cookies";
        std::ofstream(cookies, std::ios::binary) << std::string("\xff\xff\0\0\0\0\0\x12", 8) << "MIT-MAGIC-COOKIE-1"
                                                 << std::string("\0\x10", 2) << std::string(16, 'Z');
        return cookies;
    }
};

TEST_F(Front, FailuresGiveTheFullProgramsWordsAndStatusAndLeaveNothingBehind)
{
    const RefusingDisplay refusing(top_);
    ASSERT_FALSE(refusing.name().empty()) << "Xvfb did not start";
    const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
    ASSERT_FALSE(display.empty());
    // Each program runs in a folder of its own laid out alike, so the names in the messages agree.
    const fs::path places[] = {folder("full"), folder("front")};
    std::vector<std::unique_ptr<SmallDisk>> disks;
    for (const fs::path &place : places) {
        fs::create_symlink("/dev/full", place / "full.bmp");
        fs::create_directory(place / "folder.bmp");
        std::ofstream(place / "keep.bmp") << "the old picture";
        fs::create_directory(place / "small");
        disks.push_back(std::make_unique<SmallDisk>(place / "small"));
        std::ofstream(place / "small" / "keep.bmp") << "the old picture";
    }
    const std::set<std::string> before = entriesOf(places[0]);
    using Environment = std::map<std::string, std::optional<std::string>>;
    const struct {
        std::string output;
        Environment environment;
    } cases[] = {
        {"full.bmp", {}},                         // a device that takes nothing: written in place
        {"folder.bmp", {}},
        {"missing/shot.bmp", {}},
        {"keep.bmp", {{"DISPLAY", std::nullopt}}},
        {"keep.bmp", {{"DISPLAY", ":4097"}}},
        {"keep.bmp", {{"DISPLAY", refusing.name()}, {"XAUTHORITY", "/nonexistent"}}}, // Xlib's words too
        {"caf\xe9 \xff.bmp", {{"DISPLAY", std::nullopt}}}, // a name that is not UTF-8 comes back as given
        {"small/keep.bmp", {}},                   // no space left half-way
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.output);
        if (c.output.starts_with("small/") && !(disks[0]->mounted() && disks[1]->mounted())) {
            std::cout << "no small disk could be mounted: the full disk is not tried\n";
            continue;
        }
        Environment environment = c.environment;
        environment.try_emplace("DISPLAY", display);
        const std::vector<std::string> arguments{"grab", "screen", "--output", c.output};
        const Outcome full = run(KAPTIV_APP_EXECUTABLE, arguments, places[0], environment);
        const Outcome front = run(KAPTIV_EXECUTABLE, arguments, places[1], environment);
        EXPECT_EQ(full.status, 1) << full.err;
        EXPECT_EQ(front.status, full.status);
        EXPECT_EQ(front.out, full.out);
        EXPECT_EQ(front.err, full.err);
        EXPECT_NE(full.err.find("kaptiv: "), std::string::npos) << full.err;
        for (const fs::path &place : places) {
            EXPECT_EQ(entriesOf(place), before) << place;
            EXPECT_EQ(fileContents(place / "keep.bmp"), "the old picture");
            EXPECT_EQ(entriesOf(place / "small"), std::set<std::string>{"keep.bmp"});
            EXPECT_EQ(fileContents(place / "small" / "keep.bmp"), "the old picture");
        }
    }
}

// Both programs, stopped half-way by a FIFO whose reader goes away or by the file-size limit:
// a write error in the same words, never a death by signal, and the old file kept whole.
TEST_F(Front, ABrokenPipeAndTheFileSizeLimitAreWriteErrorsInBothPrograms)
{
    const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
    ASSERT_FALSE(display.empty());
    for (const fs::path &program : {fs::path(KAPTIV_APP_EXECUTABLE), fs::path(KAPTIV_EXECUTABLE)}) {
        SCOPED_TRACE(program);
        const fs::path place = folder(program.filename().string());
        std::ofstream(place / "keep.bmp") << "the old picture";
        ASSERT_EQ(::mkfifo((place / "pipe.bmp").c_str(), 0600), 0);

        // The screen's bitmap is more than the size limit (4 KiB) and more than a pipe holds.
        const Outcome limited = runProgram({{"/bin/sh", "-c", "ulimit -f 8 && exec \"$0\" \"$@\"", program.string(), "grab",
                                             "screen", "--output", "keep.bmp"},
                                            place, {{"DISPLAY", display}}},
                                           top_ / "limited");
        EXPECT_EQ(limited.status, 1);
        EXPECT_EQ(limited.err, "kaptiv: Cannot write file \"keep.bmp\". File too large\n");

        auto reader = takeFromFifoAndLeave(place / "pipe.bmp", 100); // as `head -c 100` does
        const Outcome piped = run(program, {"grab", "screen", "--output", "pipe.bmp"}, place, {{"DISPLAY", display}});
        EXPECT_EQ(reader.get(), 100);
        EXPECT_EQ(piped.status, 1);
        EXPECT_EQ(piped.err, "kaptiv: Cannot write file \"pipe.bmp\". Broken pipe\n");

        EXPECT_EQ(fileContents(place / "keep.bmp"), "the old picture");
        EXPECT_EQ(entriesOf(place), (std::set<std::string>{"keep.bmp", "pipe.bmp"}));
    }
}

// A grab killed while it writes its file leaves the old file and nothing else: the new one has
// no name until it is complete. The grab is held half-way by keeping the X server to ourselves.
TEST_F(Front, AGrabKilledWhileWritingLeavesTheOldFileAndNothingElse)
{
    const OwnXServer server({"-screen", "0", "4096x4096x24"}); // a 48 MiB bitmap
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
    Display *display = XOpenDisplay(server.name().c_str());
    ASSERT_NE(display, nullptr);
    const fs::path place = folder("killed");
    std::ofstream(place / "keep.bmp") << "the old picture";
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, place.c_str(), IN_MODIFY), 0);

    // Made before the fork: the child only changes folder and runs the program.
    std::string displayVariable = "DISPLAY=" + server.name();
    char *environment[] = {displayVariable.data(), nullptr};
    const pid_t grab = ::fork();
    ASSERT_GE(grab, 0);
    if (grab == 0) {
        ::alarm(60);
        if (::chdir(place.c_str()) == 0)
            ::execle(KAPTIV_EXECUTABLE, KAPTIV_EXECUTABLE, "grab", "screen", "--output", "keep.bmp", nullptr, environment);
        ::_exit(127);
    }
    // The first bytes written to a file of the folder (not the old one): the grab is under way.
    std::string written;
    alignas(inotify_event) char events[4096];
    for (pollfd ready{watch, POLLIN, 0}; written.empty() && ::poll(&ready, 1, 60000) == 1;) {
        const ssize_t size = ::read(watch, events, sizeof events);
        for (ssize_t at = 0; at < size;) {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            if (event->len > 0 && std::string(event->name) != "keep.bmp")
                written = event->name;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    ASSERT_FALSE(written.empty()) << "the grab wrote nothing";
    // Nobody else is served now: the grab cannot read the rest of the screen.
    XGrabServer(display);
    XSync(display, False);
    ::kill(grab, SIGKILL);
    int status = 0;
    ::waitpid(grab, &status, 0);
    XUngrabServer(display);
    XCloseDisplay(display);
    ::close(watch);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "it finished before it was killed: " << status;
    EXPECT_EQ(entriesOf(place), std::set<std::string>{"keep.bmp"}) << "it was writing " << written;
    EXPECT_EQ(fileContents(place / "keep.bmp"), "the old picture");
}

} // namespace
} // namespace kaptiv::testing
