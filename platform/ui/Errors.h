#pragma once
// Errors a command raises for the user. Each kind carries the message the user sees; the
// application's single catch point shows it in the "Kaptiv" error box and the program goes on.

#include <QString>
#include <exception>
#include <string>

namespace kaptiv {

class KaptivError : public std::exception {
public:
    explicit KaptivError(QString message) : message_(std::move(message)), utf8_(message_.toStdString()) {}
    const QString &message() const noexcept { return message_; }
    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

#define KAPTIV_ERROR_KIND(Name)                                                                    \
    class Name : public KaptivError {                                                              \
    public:                                                                                        \
        using KaptivError::KaptivError;                                                            \
    };

KAPTIV_ERROR_KIND(EConvertError)   // text that should have been a number
KAPTIV_ERROR_KIND(ENoWindow)       // no window to capture
KAPTIV_ERROR_KIND(EOpenFile)       // a file could not be read or written
KAPTIV_ERROR_KIND(EIcon)           // an image that cannot become an icon
KAPTIV_ERROR_KIND(EClipboardPaste) // nothing usable on the clipboard
KAPTIV_ERROR_KIND(EGIFError)       // the GIF engine refused a file
KAPTIV_ERROR_KIND(EHotKey)         // hot keys that clash
KAPTIV_ERROR_KIND(ERegistryError)  // the settings store could not be read or written
KAPTIV_ERROR_KIND(EDisplayError)   // the desktop (X display) is not reachable
KAPTIV_ERROR_KIND(EOutOfMemory)    // a picture or a file did not fit in memory
KAPTIV_ERROR_KIND(EOutOfResources) // the system would not give a timer

#undef KAPTIV_ERROR_KIND

// What the user is told when memory ran out anywhere else (a failed allocation, std::bad_alloc).
QString outOfMemoryMessage();

// What the user is told about the error in flight; call it only inside a catch block. An error
// raised for the user gives its own message, running out of memory outOfMemoryMessage(); anything
// else (a fault of ours, whose text means nothing to the user) gives "An unexpected error stopped
// the command.".
QString currentErrorMessage();

// Reads a decimal integer the way the user typed it; anything else raises
// "'<text>' is not a valid integer value".
int StrToInt(const QString &text);

} // namespace kaptiv
