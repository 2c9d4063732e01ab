#pragma once
// One running program per user and display: `kaptiv --capture KIND` hands the capture to the
// program already running there instead of starting a second one. The program listens on a local
// socket named from the user and the display; the newest program to start takes it over, so a
// hung program stands in nobody's way for long.
//
// The command sends "capture KIND\n"; the program answers "taken\n" and then takes the capture and
// brings its main window forward, or "busy\n" with a beep while a dialog, a menu or a command
// (a capture among them) is under way.

#include <QObject>

#include <chrono>
#include <string>
#include <sys/types.h>

namespace kaptiv {

class TScreenfrm;

// The socket of this user's program on this display: in $XDG_RUNTIME_DIR where the user has one,
// else in /tmp with the user's number in its name. Empty without a display.
std::string runningProgramSocket();

enum class HandOver {
    Taken,    // the running program takes the capture
    Busy,     // it refused: it is busy
    NoAnswer, // nobody listens, the socket is not the user's own, or no answer came in time
};

// Asks the running program to take the capture `kind` (as `--capture` names it). Needs no
// toolkit: it runs before the program would start.
HandOver handCaptureOver(const std::string &kind, std::chrono::milliseconds limit = std::chrono::seconds(2));

// The listening end, in the running program; it lives as long as `main` (its parent) and removes
// the socket when it goes, unless a newer program has taken the name over.
class CaptureRequests : public QObject {
    Q_OBJECT
public:
    explicit CaptureRequests(TScreenfrm &main);
    ~CaptureRequests() override;
    bool listening() const { return listener_ >= 0; }

private:
    void accept();

    TScreenfrm &main_;
    std::string path_;
    int listener_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

} // namespace kaptiv
