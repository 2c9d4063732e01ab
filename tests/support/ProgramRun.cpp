#include "ProgramRun.h"

#include <fstream>
#include <iterator>

#include <algorithm>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kaptiv::testing {

ProgramOutcome runProgram(const ProgramRun &run, const std::filesystem::path &capture)
{
    std::vector<std::string> environment;
    for (char **variable = environ; *variable; ++variable) {
        const std::string entry = *variable;
        if (!run.environment.contains(entry.substr(0, entry.find('='))))
            environment.push_back(entry);
    }
    for (const auto &[name, value] : run.environment)
        if (value)
            environment.push_back(name + "=" + *value);
    std::vector<std::string> words = run.argv;
    std::vector<char *> argv, envp;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    const std::string outFile = capture.string() + ".out", errFile = capture.string() + ".err";
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(120);
        const int out = run.standardOutput >= 0 ? run.standardOutput : ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            (!run.folder.empty() && ::chdir(run.folder.c_str()) != 0))
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ProgramOutcome outcome;
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child)
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.out = run.standardOutput >= 0 ? std::string() : fileContents(outFile);
    outcome.err = fileContents(errFile);
    return outcome;
}

std::future<long> takeFromFifoAndLeave(const std::filesystem::path &fifo, std::size_t count)
{
    const int readEnd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (readEnd < 0)
        return std::async(std::launch::deferred, [] { return -1L; });
    return std::async(std::launch::async, [readEnd, count] {
        std::vector<char> bytes(count);
        std::size_t got = 0;
        pollfd ready{readEnd, POLLIN, 0};
        while (got < count && ::poll(&ready, 1, 60000) == 1) {
            const ssize_t n = ::read(readEnd, bytes.data() + got, count - got);
            if (n <= 0 && !(n < 0 && errno == EAGAIN))
                break;
            got += std::size_t(std::max<ssize_t>(n, 0));
        }
        ::close(readEnd);
        return long(got);
    });
}

std::string fileContents(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace kaptiv::testing
