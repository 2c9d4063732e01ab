// Which command lines the front takes itself: only those whose outcome it can match byte for byte.
#include "front/ScreenGrabRequest.h"

#include <cstring>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kaptiv::front {
namespace {

// argv as main gets it, for as long as the request points into it.
struct CommandLine {
    explicit CommandLine(const std::vector<std::string> &arguments) : words{"kaptiv"}
    {
        words.insert(words.end(), arguments.begin(), arguments.end());
        for (std::string &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
    }
    std::optional<ScreenGrabRequest> request() { return screenGrabRequest(int(words.size()), argv.data()); }

    std::vector<std::string> words;
    std::vector<char *> argv;
};

TEST(ScreenGrabRequest, TakesTheScreenToABitmapOrPngAndLeavesEverythingElse)
{
    const struct {
        std::vector<std::string> arguments;
        const char *output; // null: left to the full program
        int delay;
    } cases[] = {
        {{"grab", "screen", "--output", "x.bmp"}, "x.bmp", 0},
        {{"grab", "screen", "-o", "dir.png/Shot.BMP"}, "dir.png/Shot.BMP", 0},
        {{"grab", "screen", "--delay", "250", "--colors", "full", "-o", "a.bmp", "--output", "b.Bmp"}, "b.Bmp", 250},
        {{"grab", "screen", "--delay", "999999999", "--output", ".bmp"}, ".bmp", 999999999},
        {{"grab", "screen", "--output", "caf\xe9\xff.bmp"}, "caf\xe9\xff.bmp", 0},
        {{"grab", "screen", "--output", "x.PNG", "--delay", "5"}, "x.PNG", 5},
        {{"grab", "screen", "--output", "x.pngx"}, nullptr, 0},
        {{"grab", "screen", "--output", "x.jpg"}, nullptr, 0},
        {{"grab", "screen", "--colors", "16", "--output", "x.png"}, nullptr, 0},
        {{"grab", "screen", "--output", "x.bmpx"}, nullptr, 0}, // a bitmap too, but the full program's call
        {{"grab", "screen", "--output", "x.bmp/"}, nullptr, 0},
        {{"grab", "screen", "--output", "x"}, nullptr, 0},
        {{"grab", "screen", "--output", ""}, nullptr, 0},
        {{"grab", "screen"}, nullptr, 0},
        {{"grab", "screen", "--output"}, nullptr, 0},
        {{"grab", "screen", "--output", "x.bmp", "--delay"}, nullptr, 0},
        {{"grab", "screen", "--output", "x.bmp", "--cursor"}, nullptr, 0},
        {{"grab", "screen", "--colors", "256", "--output", "x.bmp"}, nullptr, 0},
        {{"grab", "screen", "--colors", "full", "--colors", "mono", "--output", "x.bmp"}, nullptr, 0},
        {{"grab", "screen", "--delay", "soon", "--output", "x.bmp"}, nullptr, 0},
        {{"grab", "screen", "--delay", "1234567890", "--output", "x.bmp"}, nullptr, 0},
        {{"grab", "screen", "--delay", "+5", "--output", "x.bmp"}, nullptr, 0},
        {{"grab", "screen", "--delay", "", "--output", "x.bmp"}, nullptr, 0},
        {{"grab", "screen", "--wobble", "1", "--output", "x.bmp"}, nullptr, 0},
        {{"grab", "active", "--output", "x.bmp"}, nullptr, 0},
        {{"grab", "Screen", "--output", "x.bmp"}, nullptr, 0},
        {{"--version"}, nullptr, 0},
        {{}, nullptr, 0},
    };
    for (const auto &c : cases) {
        std::string line;
        for (const std::string &argument : c.arguments)
            line += " '" + argument + "'";
        CommandLine commandLine(c.arguments);
        const std::optional<ScreenGrabRequest> request = commandLine.request();
        ASSERT_EQ(request.has_value(), c.output != nullptr) << line;
        if (request) {
            EXPECT_EQ(request->output, c.output) << line;
            EXPECT_EQ(request->delayMilliseconds, c.delay) << line;
            EXPECT_EQ(request->png, c.output[std::strlen(c.output) - 2] == 'N') << line;
        }
    }
}

} // namespace
} // namespace kaptiv::front
