#pragma once
// The commands the program without Qt (front/, run as `kaptiv`) does itself, whole: the same
// rules, files and words as the windowed program, which runs them through the same code.

#include <iosfwd>
#include <optional>
#include <span>
#include <string_view>

namespace kaptiv::cli {

// Runs the command line `arguments` (argv[1] on) when it is one of those commands: the exit status,
// having written its report on `out` or why it failed on `err` as the windowed program words it.
// Nothing, having done nothing, when the windowed program must take it.
std::optional<int> runWithoutQt(std::span<const std::string_view> arguments, std::ostream &out, std::ostream &err);

} // namespace kaptiv::cli
