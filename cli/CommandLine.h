#pragma once
// The command-line front end of the kaptiv executable: scripted captures and GIF tools that run
// the same code as the menu commands, without a window.

#include "platform/pixels/Bitmap.h"

#include <QStringList>

#include <iosfwd>
#include <string>

namespace kaptiv {

// True when the arguments ask for the command line rather than the program's window.
bool wantsCommandLine(int argc, char **argv);

// argv[1..] as the commands take them: file names keep their bytes exactly (platform/files/NativeNames.h).
QStringList commandLineArguments(int argc, char **argv);

// Runs one command; returns the process exit status. Messages go to `out` and `err`.
int runCommandLine(const QStringList &arguments, std::ostream &out, std::ostream &err);

// The text of `kaptiv --help`.
const char *usageText();

// The text of `kaptiv --version`: the name, the version and the commit the build was made from.
std::string versionText();

// A name or message as the terminal should get it: file names in it give back their own bytes.
std::string terminalText(const QString &text);

// Where a command's report on the file it wrote goes: `out`, or standard error when the file itself
// went to standard output (`--output /dev/stdout`), so that a pipe gets the file's bytes alone.
std::ostream &reportStream(const QString &output, std::ostream &out);

// Raised by a command for arguments it cannot use; the message is shown with the usage hint.
struct UsageError {
    QString message;
};

int runGrabCommand(const QStringList &arguments, std::ostream &out);
int runGifInfo(const QStringList &arguments, std::ostream &out);
int runGifFrames(const QStringList &arguments, std::ostream &out);
int runGifMake(const QStringList &arguments, std::ostream &out);
int runConvert(const QStringList &arguments, std::ostream &out);
int runRecordCommand(const QStringList &arguments, std::ostream &out);

int runPlayCommand(const QStringList &arguments); // shows a window until it is closed

} // namespace kaptiv
