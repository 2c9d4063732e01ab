#pragma once

namespace kaptiv {

// A flag of the main window (a mode the overlay reads, ClosingAll), set for one command and
// cleared however the command ends.
class FlagDuringCommand {
public:
    FlagDuringCommand(bool &flag, bool value) : flag_(flag) { flag_ = value; }
    ~FlagDuringCommand() { flag_ = false; }
    FlagDuringCommand(const FlagDuringCommand &) = delete;
    FlagDuringCommand &operator=(const FlagDuringCommand &) = delete;

private:
    bool &flag_;
};

} // namespace kaptiv
