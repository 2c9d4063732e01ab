// The rules of a grab's arguments, which the full program and the command-line front share.
#include "cli/GrabPlan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kaptiv::grab {
namespace {

Planned planned(const std::vector<std::string_view> &arguments) { return planGrab(arguments); }

TEST(GrabPlan, EveryArgumentIsReadOrRefusedWithWhatWasWrong)
{
    const struct {
        std::vector<std::string_view> arguments;
        const char *refusal; // null: planned
    } refused[] = {
        {{}, "grab needs screen, active or client"},
        {{"Screen", "-o", "a.bmp"}, "cannot grab 'Screen': use screen, active or client"},
        {{"screen"}, "grab needs --output FILE.bmp, FILE.png or FILE.jpg, --output - or --clipboard"},
        {{"screen", "--output", ""}, "grab needs --output FILE.bmp, FILE.png or FILE.jpg, --output - or --clipboard"},
        {{"screen", "--output"}, "--output needs a value"},
        {{"screen", "-o", "a.bmp", "--delay", "1234567890"}, "--delay takes milliseconds as a whole number, not '1234567890'"},
        {{"screen", "-o", "a.bmp", "--delay", "+5"}, "--delay takes milliseconds as a whole number, not '+5'"},
        {{"screen", "-o", "a.bmp", "--colors", "8"}, "--colors must be mono, 16, 256 or full, not '8'"},
        {{"screen", "-o", "a.bmp", "--wobble"}, "unknown option '--wobble'"},
        {{"screen", "-o", "a.gif"}, "grab writes .bmp, .png, .jpg or .jpeg files, or PNG to standard output with --output -, not 'a.gif'"},
        {{"screen", "-o", "a.bmp/"}, "grab writes .bmp, .png, .jpg or .jpeg files, or PNG to standard output with --output -, not 'a.bmp/'"},
        {{"screen", "-o", "a.jpg", "--quality", "101"}, "--quality takes a whole number from 0 to 100, not '101'"},
        {{"screen", "-o", "a.jpg", "--quality", "0"}, "--quality takes 1 to 100, not 0"},
        {{"screen", "-o", "a.png", "--quality", "50"}, "--quality applies to a JPEG output (.jpg or .jpeg)"},
        {{"screen", "--clipboard", "--quality", "50"}, "--quality applies to a JPEG output (.jpg or .jpeg)"},
    };
    for (const auto &c : refused) {
        const Planned p = planned(c.arguments);
        EXPECT_FALSE(p.plan) << c.refusal;
        EXPECT_EQ(p.refusal, c.refusal);
    }

    const struct {
        std::vector<std::string_view> arguments;
        Target target;
        int delay;
        bool cursor;
        Colors colors;
        std::string output;
        ImageFileType format;
        std::optional<int> quality;
        bool clipboard;
    } planned_[] = {
        {{"screen", "-o", "a.bmp"}, Target::Screen, 0, false, Colors::Full, "a.bmp", ImageFileType::Bitmap, {}, false},
        {{"active", "--delay", "007", "--cursor", "--colors", "mono", "--output", "x", "-o", "Shot.BMPX"},
         Target::ActiveWindow, 7, true, Colors::Monochrome, "Shot.BMPX", ImageFileType::Bitmap, {}, false},
        {{"client", "--colors", "256", "-o", "dir.bmp/a.JPEG", "--quality", "85"}, Target::ActiveClient, 0, false,
         Colors::Colors256, "dir.bmp/a.JPEG", ImageFileType::Jpeg, 85, false},
        {{"screen", "--colors", "16", "--output", "-", "--clipboard"}, Target::Screen, 0, false, Colors::Colors16, "-",
         ImageFileType::Png, {}, true},
        {{"screen", "--clipboard", "--delay", "999999999"}, Target::Screen, 999999999, false, Colors::Full, "",
         ImageFileType::Png, {}, true},
        {{"screen", "-o", "caf\xe9.png"}, Target::Screen, 0, false, Colors::Full, "caf\xe9.png", ImageFileType::Png, {}, false},
    };
    for (const auto &c : planned_) {
        const Planned p = planned(c.arguments);
        ASSERT_TRUE(p.plan) << p.refusal;
        SCOPED_TRACE(c.output);
        EXPECT_EQ(p.plan->target, c.target);
        EXPECT_EQ(p.plan->delayMilliseconds, c.delay);
        EXPECT_EQ(p.plan->cursor, c.cursor);
        EXPECT_EQ(p.plan->colors, c.colors);
        EXPECT_EQ(p.plan->output, c.output);
        EXPECT_EQ(p.plan->format, c.format);
        EXPECT_EQ(p.plan->jpegQuality, c.quality);
        EXPECT_EQ(p.plan->clipboard, c.clipboard);
        EXPECT_EQ(p.plan->toStandardOutput(), c.output == "-");
    }
}

} // namespace
} // namespace kaptiv::grab
