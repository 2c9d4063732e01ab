#pragma once

#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::testing {

// How a program run ended: its exit status (128 + the signal when one ended it) and what it wrote.
struct ProgramOutcome {
    int status = -1;
    std::string out, err;
};

// A program run as a script runs it: the arguments as bytes (a file name need not be UTF-8), in a
// working folder, with the test's environment changed by `environment` (a variable without a value
// is removed).
struct ProgramRun {
    std::vector<std::string> argv;  // the first is the program's path
    std::filesystem::path folder;   // empty keeps the test's own
    std::map<std::string, std::optional<std::string>> environment;
    int standardOutput = -1; // a descriptor of ours as the program's standard output, instead of the capture
};

// Runs it to the end, its output caught in `<capture>.out` (unless given) and `<capture>.err`. A program still
// running after two minutes is ended, so that a hang fails the test instead of holding it up.
ProgramOutcome runProgram(const ProgramRun &run, const std::filesystem::path &capture);

std::string fileContents(const std::filesystem::path &file);

// A reader of the FIFO that takes its first `count` bytes and goes away, as `head -c` does. The
// FIFO is open for reading before this returns, so a writer's open does not wait; the bytes are
// waited for at most 60 s. The future gives how many it took (-1: the FIFO could not be opened).
std::future<long> takeFromFifoAndLeave(const std::filesystem::path &fifo, std::size_t count);

} // namespace kaptiv::testing
