// The real program on the test display: a second `kaptiv --capture screen` hands the capture to
// the running program, is refused while that program shows a dialog, and starts a program of its
// own when the running one is stopped or has died leaving its socket behind.
#include "../settings/ScopedConfigHome.h"
#include "ProgramRun.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

namespace kaptiv::testing {
namespace {

QString xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(15))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QThread::msleep(20); // each look runs xdotool, which takes a few milliseconds itself
    }
    return true;
}

class RunningProgramOnX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "DISPLAY is not set";
        // Captures at once, and the main window stays up for them.
        home.writeStore("[General]\nHideprog=0\nConfirm=0\nCoords=1\nTime=0\n"
                        "[Hot%20Keys]\nScreen=24659\nRectangle=24658\nWindow=24663\nActive%20Window=24647\n"
                        "AW%20Client=24660\nCustom%20Region=24643\nClient%20Area=24641\n");
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    }
    void TearDown() override
    {
        for (QProcess *program : programs) {
            ::kill(pid_t(program->processId()), SIGCONT);
            program->kill();
            program->waitForFinished(5000);
            delete program;
        }
    }
    // Starts the program with these arguments and waits for its main window; its process.
    QProcess *start(const QStringList &arguments = {})
    {
        auto *program = new QProcess;
        programs.push_back(program);
        program->setProcessEnvironment(environment);
        program->start(QStringLiteral(KAPTIV_EXECUTABLE), arguments);
        waitUntil([&] { return !mainWindowOf(program).isEmpty(); });
        return program;
    }
    QString mainWindowOf(QProcess *program) const
    {
        return xdotool({"search", "--all", "--onlyvisible", "--pid", QString::number(program->processId()), "--name",
                        "^Kaptiv v1.0 BETA$"});
    }
    int mainWindows() const
    {
        const QString found = xdotool({"search", "--onlyvisible", "--name", "^Kaptiv v1.0 BETA$"});
        return found.isEmpty() ? 0 : int(found.split(QLatin1Char('\n')).size());
    }
    // The second command, run to its end.
    ProgramOutcome secondCommand()
    {
        std::map<std::string, std::optional<std::string>> changed{
            {"XDG_RUNTIME_DIR", runtime.path().toStdString()}, {"XDG_CONFIG_HOME", home.path().toStdString()}};
        return runProgram({{KAPTIV_EXECUTABLE, "--capture", "screen"}, {}, changed},
                          std::filesystem::path(runtime.path().toStdString()) / "second");
    }
    QString socket() const { return runtime.filePath(QStringLiteral("kaptiv-%1.socket")).arg(qEnvironmentVariable("DISPLAY").section(QLatin1Char('.'), 0, 0)); }

    ScopedConfigHome home;
    QTemporaryDir runtime;
    QProcessEnvironment environment;
    std::vector<QProcess *> programs;
};

TEST_F(RunningProgramOnX11, SecondCommandHandsOverIsRefusedWhileBusyAndStartsItsOwnWhenNobodyAnswers)
{
    QProcess *first = start();
    ASSERT_FALSE(mainWindowOf(first).isEmpty());
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(socket()); }))
        << socket().toStdString() << " in " << QDir(runtime.path()).entryList(QDir::System | QDir::Files).join(QLatin1Char(' ')).toStdString();

    // Handed over: the command ends at once, the running program shows its image window.
    const ProgramOutcome handed = secondCommand();
    EXPECT_EQ(handed.status, 0) << handed.err;
    EXPECT_EQ(mainWindows(), 1);
    EXPECT_TRUE(waitUntil([&] {
        return !xdotool({"search", "--onlyvisible", "--name", "^Kaptiv v1.0 BETA$"}).isEmpty()
            && xdotool({"getactivewindow"}) == mainWindowOf(first);
    })) << "the main window did not come forward: " << xdotool({"getactivewindow"}).toStdString() << " "
        << mainWindowOf(first).toStdString();

    // Busy with Program Configuration open: refused.
    xdotool({"windowactivate", "--sync", mainWindowOf(first)});
    xdotool({"key", "--delay", "60", "alt+o", "f"});
    ASSERT_TRUE(waitUntil([&] { return !xdotool({"search", "--onlyvisible", "--name", "^Program Configuration$"}).isEmpty(); }));
    const ProgramOutcome busy = secondCommand();
    EXPECT_EQ(busy.status, 1);
    EXPECT_EQ(busy.err, "Kaptiv is busy.\n");
    EXPECT_EQ(mainWindows(), 1);

    // Stopped: after the wait a program of its own starts, which then answers in its place.
    ::kill(pid_t(first->processId()), SIGSTOP);
    QProcess *second = start({"--capture", "screen"});
    EXPECT_FALSE(mainWindowOf(second).isEmpty()) << "no program started while the first was stopped";
    ::kill(pid_t(first->processId()), SIGCONT);

    // Died, its socket left behind: a program of its own starts at once.
    ::kill(pid_t(second->processId()), SIGKILL);
    second->waitForFinished(5000);
    ASSERT_TRUE(QFile::exists(socket()));
    QProcess *third = start({"--capture", "screen"});
    EXPECT_FALSE(mainWindowOf(third).isEmpty()) << "no program started after the last one died";
}

} // namespace
} // namespace kaptiv::testing
