#pragma once
// `grab --clipboard`: the picture stays on the clipboard after the command has returned. A process
// of the program's own, started in the background in a session of its own, takes the clipboard and
// answers the programs that paste, until another program takes the clipboard over, a clipboard
// manager has kept a copy, or the holding time (ten minutes) passes; then it ends.

#include <QByteArray>
#include <QStringList>

#include <chrono>
#include <sys/types.h>

namespace kaptiv {

struct ClipboardHolder {
    pid_t process = 0;
    std::chrono::milliseconds longest{0}; // after which it lets go
};

// Starts the background process with the bytes of a PNG file and returns once it holds the
// clipboard. Raises EDisplayError saying why when it cannot take it.
ClipboardHolder holdOnClipboard(const QByteArray &png);

// The background process itself (the command line `--hold-clipboard MS`): reads the PNG file's
// bytes from standard input, says "+" on standard output once the clipboard is its own, or "-"
// and why it could not, then holds it for at most MS milliseconds. Returns the exit status.
int runClipboardHolder(const QStringList &arguments);

} // namespace kaptiv
