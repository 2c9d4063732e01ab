#include "cli/CommandLine.h"

#include "cli/ClipboardHolder.h"

#include "platform/files/NativeNames.h"
#include "platform/ui/Errors.h"

#include "platform/files/FileAccess.h"

#include <iostream>
#include <ostream>
#include <string>

namespace kaptiv {

namespace {

// `kaptiv --help`: one entry a command, in the order the help lists them.
constexpr const char *commandHelp[] = {
    "  kaptiv                 start Kaptiv on the current display\n",
    "  kaptiv grab screen|active|client [--delay MS] [--cursor]\n"
    "              [--colors mono|16|256|full] [--quality N] [--clipboard]\n"
    "              [--output FILE.bmp|FILE.png|FILE.jpg|-]\n"
    "      Captures the whole screen, the active window (with its frame) or the active\n"
    "      window's client area and writes it to a file, to standard output or to the\n"
    "      clipboard (at least one of them). A Windows bitmap or a PNG file holds it at\n"
    "      the captured depth:\n"
    "      1, 4 or 8 bits for mono, 16 and 256 colours, the display's depth for full\n"
    "      (16 bits on a 15- or 16-bit display, 24 on a 24- or 30-bit one).\n"
    "      --delay MS   wait MS milliseconds first (default 0)\n"
    "      --cursor     draw the mouse cursor into the picture\n"
    "      --colors     colour depth (default full)\n"
    "      --quality N  JPEG: 1 to 100 (default 75)\n"
    "      --clipboard  put the picture on the clipboard as PNG; a process in the\n"
    "                   background holds it until another program takes the clipboard\n"
    "                   or a clipboard manager keeps it, 10 minutes at most\n"
    "      --output     the file: a bitmap, PNG or JPEG (.jpg, .jpeg) file by its\n"
    "                   extension; - writes PNG to standard output\n",
    "  kaptiv gif-info FILE.gif\n"
    "      Prints the file's canvas size, frame count, colour depth, loop count and, for every\n"
    "      frame, its position, size, delay, disposal, interlacing, transparency, local colour\n"
    "      table and comment.\n",
    "  kaptiv gif-frames FILE.gif [--composited [--background RRGGBB]] --output DIR\n"
    "      Writes every frame as DIR/frame-001.bmp, frame-002.bmp, ...: 24-bit bitmaps of the\n"
    "      frame's own pixels, transparent pixels in the transparent colour; with --composited,\n"
    "      the whole picture as the player shows it at that frame, over the background colour\n"
    "      where nothing opaque has been drawn (default FFFFFF, white).\n",
    "  kaptiv gif-make --output OUT.gif [--delay MS] [--loop N] [--interlaced]\n"
    "              [--transparent RRGGBB] [--local-colors] [--optimize]\n"
    "              [--colors as-is|adaptive [--dither|--no-dither]] PICTURE...\n"
    "      Writes the pictures (BMP, PNG, JPEG or GIF files) as the frames of one GIF file, at\n"
    "      most 256 frames. A GIF gives each of its frames as the player shows it, over\n"
    "      white (the --transparent colour if given), with its own delay unless --delay\n"
    "      is given. One shared colour table unless\n"
    "      --local-colors is given or the frames need more than 256 colours together. Every\n"
    "      frame may have at most 256 colours, unless --colors adaptive (default as-is) gives\n"
    "      frames of more an adaptive table: one for all frames, or one each with\n"
    "      --local-colors; dithered unless --no-dither. A frame whose colours fit the table in\n"
    "      use keeps them. --loop 0 (the default) repeats for ever.\n"
    "      --optimize stores each frame as the part of the picture it changes, for a smaller\n"
    "      file showing the same pictures.\n",
    "  kaptiv convert IN OUT [--colors mono|16|256|as-is|adaptive] [--dither|--no-dither]\n"
    "              [--quality N] [--grayscale]\n"
    "              [--progressive] [--interlaced] [--transparent RRGGBB] [--frame N]\n"
    "      Reads one picture from IN and writes it to OUT, each a .bmp, .gif, .jpg (.jpeg),\n"
    "      .ico or .png file by its extension, as Open and Save As would. Icons are read\n"
    "      at 32 x 32 in 16 colours; a GIF gives its first frame.\n"
    "      --colors     BMP, PNG, GIF, ICO: mono, 16, 256 colours or the picture's own\n"
    "                   depth (default as-is); an icon must be 32 x 32 at 16 colours;\n"
    "                   BMP, PNG, GIF: adaptive, at most 256 colours chosen for the picture\n"
    "      --dither, --no-dither  with --colors adaptive: dithering (default on)\n"
    "      --quality N  JPEG: 1 to 100 (default 75)\n"
    "      --grayscale  JPEG: one grey channel\n"
    "      --progressive  JPEG: progressive encoding\n"
    "      --interlaced GIF: interlaced rows\n"
    "      --transparent  GIF: that colour transparent; ICO: the clear colour (default\n"
    "                   the bottom-left pixel's)\n"
    "      --frame N    a GIF input's frame N (from 1)\n",
    "  kaptiv play FILE.gif [--speed N] [--once] [--stretch|--ratio|--tile|--center]\n"
    "              [--background RRGGBB]\n"
    "      Shows the file in a window and plays it with its delays and loop count; Esc\n"
    "      closes it. Without a placement option a picture larger than 90 % of the screen\n"
    "      is shown whole, made smaller to fit there.\n"
    "      --speed N    play at N per cent of the file's speed (default 100)\n"
    "      --once       play one pass, then close the window\n"
    "      --stretch, --ratio, --tile, --center   stretch the picture over the window, fit it\n"
    "                   keeping its proportions, repeat it, or centre it\n"
    "      --background the window's colour, seen through transparent pixels\n",
    "  kaptiv record screen|active|area X,Y,W,H [--fps N] [--duration MS] [--cursor]\n"
    "              [--colors as-is|adaptive] [--no-dither] --output OUT.gif\n"
    "      Records the whole screen, the active window or an area into an animated GIF until\n"
    "      the duration ends or Ctrl+C (SIGINT) or SIGTERM arrives, then finishes the file and\n"
    "      prints the frames written and dropped, the duration and the size. Identical frames\n"
    "      lengthen the frame shown instead of adding one.\n"
    "      --fps N      frames a second, 1 to 50 (default 15)\n"
    "      --duration MS  stop after MS milliseconds (default: only on a signal)\n"
    "      --cursor     draw the mouse cursor into the frames\n"
    "      --colors     as-is (default): a frame of more than 256 colours ends the recording;\n"
    "                   adaptive: such frames are reduced to 256 colours\n"
    "      --no-dither  with adaptive: no dithering\n",
    "  kaptiv --capture screen|rectangle|window|active|active-client|custom-region|client-area\n"
    "      Takes that capture at once, as the Capture Image menu would: in the Kaptiv\n"
    "      running on this display if it answers within 2 s (exit 1 with \"Kaptiv is\n"
    "      busy.\" while it shows a dialog or captures), else in a new Kaptiv.\n",
    "  kaptiv --version       show the version and the commit it was built from\n",
    "  kaptiv --help          show this text\n",
};

} // namespace

const char *usageText()
{
    static const std::string text = [] {
        std::string usage = "Usage:\n";
        for (const char *help : commandHelp)
            usage += help;
        return usage + "\nExit status: 0 on success, 1 when the command failed, 2 for bad arguments.\n";
    }();
    return text.c_str();
}

bool wantsCommandLine(int argc, char **) { return argc > 1; }

QStringList commandLineArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(decodeNativeName(argv[i]));
    return arguments;
}

std::string terminalText(const QString &text) { return encodeNativeName(text); }

std::ostream &reportStream(const QString &output, std::ostream &out)
{
    try {
        if (files::FileWriter(nativePath(output)).Descriptor() == 1)
            return std::cerr;
    } catch (const files::FileError &) {
    }
    return out;
}

int runCommandLine(const QStringList &arguments, std::ostream &out, std::ostream &err)
{
    const QString command = arguments.value(0);
    try {
        if (command == QLatin1String("--help") || command == QLatin1String("-h")
            || command == QLatin1String("help")) {
            out << usageText();
            return 0;
        }
        if (command == QLatin1String("--version")) {
            out << versionText();
            return 0;
        }
        // The background process of `grab --clipboard`, started by the command itself.
        if (command == QLatin1String("--hold-clipboard"))
            return runClipboardHolder(arguments.mid(1));
        if (command == QLatin1String("grab"))
            return runGrabCommand(arguments.mid(1), out);
        if (command == QLatin1String("gif-info"))
            return runGifInfo(arguments.mid(1), out);
        if (command == QLatin1String("gif-frames"))
            return runGifFrames(arguments.mid(1), out);
        if (command == QLatin1String("gif-make"))
            return runGifMake(arguments.mid(1), out);
        if (command == QLatin1String("convert"))
            return runConvert(arguments.mid(1), out);
        if (command == QLatin1String("record"))
            return runRecordCommand(arguments.mid(1), out);
        if (command == QLatin1String("play"))
            return runPlayCommand(arguments.mid(1));
        throw UsageError{QStringLiteral("unknown command '%1'").arg(command)};
    } catch (const UsageError &e) {
        err << "kaptiv: " << terminalText(e.message) << "\nTry 'kaptiv --help'.\n";
        return 2;
    } catch (...) {
        err << "kaptiv: " << terminalText(currentErrorMessage()) << "\n";
        return 1;
    }
}

} // namespace kaptiv
