// kaptiv convert and gif-info as a script runs them: the front does them itself, without Qt and
// without starting the full program, and writes the full program's bytes and words.
#include "ProgramRun.h"
#include "formats/BmpCodec.h"
#include "formats/core/CodecError.h"
#include "platform/pixels/PixelFormats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include <unistd.h>

namespace kaptiv::testing {
namespace {

namespace fs = std::filesystem;

fs::path temporaryFolder()
{
    char pattern[] = "/tmp/kaptiv-convert-XXXXXX";
    return ::mkdtemp(pattern);
}

// Colours that vary in every channel; an odd width, so rows are padded.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / (width - 1), y * 255 / (height - 1), (x * 7 + y * 13) & 255));
    return image;
}

std::set<std::string> entriesOf(const fs::path &folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::string commandOutput(const std::string &command)
{
    std::string text;
    const std::unique_ptr<FILE, int (*)(FILE *)> pipe(::popen(command.c_str(), "r"), ::pclose);
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        text += buffer;
    return text;
}

TEST(FrontConvert, WritesTheFullProgramsBytesAndWordsWithoutQtOrTheFullProgram)
{
    const fs::path top = temporaryFolder();
    // The front alone in a folder: were it to hand a command over, there would be no program to
    // take it and it would say so.
    const fs::path alone = top / "alone";
    fs::create_directories(alone);
    fs::copy_file(KAPTIV_EXECUTABLE, alone / "kaptiv");
    const fs::path places[] = {top / "full", top / "front"};
    const QImage picture = gradient(61, 37);
    for (const fs::path &place : places) {
        fs::create_directories(place);
        saveBmp(Bitmap(picture, 24), QString::fromStdString((place / "in24.bmp").string()));
        saveBmp(convertToColors(picture, 24, CaptureColors::Colors256), QString::fromStdString((place / "in8.bmp").string()));
        saveBmp(convertToColors(picture, 24, CaptureColors::Monochrome), QString::fromStdString((place / "in1.bmp").string()));
        saveBmp(Bitmap(picture.convertToFormat(QImage::Format_RGB16), 16), QString::fromStdString((place / "in565.bmp").string()));
        saveBmp(Bitmap(picture.convertToFormat(QImage::Format_RGB555), 16), QString::fromStdString((place / "in555.bmp").string()));
        std::ofstream(place / "text.bmp") << "BM but no picture";
        std::ofstream(place / "not.png") << "\x89PNG\r\n\x1A\n but no picture";
        std::ofstream(place / "keep.jpg") << "the old picture";
        fs::create_directory(place / "folder.jpg");
        fs::create_symlink("/dev/stdout", place / "stdout.jpg");
    }
    ASSERT_EQ(runProgram({{KAPTIV_APP_EXECUTABLE, "convert", "in24.bmp", "in.jpg"}, places[0], {}}, top / "made").status, 0);
    fs::copy_file(places[0] / "in.jpg", places[1] / "in.jpg");
    ASSERT_EQ(runProgram({{KAPTIV_APP_EXECUTABLE, "convert", "in24.bmp", "in.png"}, places[0], {}}, top / "made").status, 0);
    fs::copy_file(places[0] / "in.png", places[1] / "in.png");
    const std::set<std::string> before = entriesOf(places[0]);

    const struct {
        std::vector<std::string> arguments;
        int status;
    } cases[] = {
        {{"in24.bmp", "a.jpg"}, 0},
        {{"in8.bmp", "b.JPG", "--quality", "90", "--grayscale"}, 0},
        {{"in1.bmp", "c.jpeg", "--progressive", "--quality", "1"}, 0},
        {{"in565.bmp", "d.jpg", "--quality", "100"}, 0},
        {{"in555.bmp", "e.jpg"}, 0},
        {{"in.jpg", "f.bmp"}, 0},
        {{"in565.bmp", "g.bmp"}, 0},
        {{"in24.bmp", "i.png"}, 0},
        {{"in.jpg", "j.png", "--colors", "mono"}, 0},
        {{"in555.bmp", "k.bmp", "--colors", "16"}, 0},
        {{"in8.bmp", "l.png"}, 0},
        {{"in.png", "n.bmp", "--colors", "16"}, 0},
        {{"in.png", "o.jpg"}, 0},
        {{"in24.bmp", "q.png", "--colors", "adaptive"}, 0},
        {{"in.jpg", "r.bmp", "--colors", "adaptive", "--no-dither"}, 0},
        {{"in8.bmp", "s.bmp", "--colors", "adaptive", "--dither"}, 0},
        {{"text.bmp", "text.png"}, 1},
        {{"not.png", "p.bmp"}, 1},
        {{"in1.bmp", "m.bmp", "--colors", "256"}, 0},
        {{"in8.bmp", "caf\xe9 \xff.jpg"}, 0}, // a name that is not UTF-8 comes back as given
        {{"in24.bmp", "/dev/stdout"}, 2},     // no format by that name
        {{"in24.bmp", "stdout.jpg"}, 0},      // the file on standard output, the report on standard error
        {{"missing.bmp", "h.jpg"}, 1},
        {{"text.bmp", "keep.jpg"}, 1},
        {{"in.jpg", "keep.jpg", "--quality", "0"}, 2},
        {{"in24.bmp", "folder.jpg"}, 1},
        {{"in24.bmp", "missing/h.jpg"}, 1},
        {{"in24.bmp", "h.jpg", "--colors", "16"}, 2},
        {{"in24.bmp", "h.jpg", "--frame", "1"}, 2},
        {{"in24.bmp", "h.jpg", "--sharpen"}, 2},
        {{"in24.bmp"}, 2},
        {{"in24.bmp", "h.jpg", "--quality"}, 2},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const std::string &a : c.arguments)
            shown += a + " ";
        SCOPED_TRACE(shown);
        std::vector<std::string> full{KAPTIV_APP_EXECUTABLE, "convert"}, front{(alone / "kaptiv").string(), "convert"};
        full.insert(full.end(), c.arguments.begin(), c.arguments.end());
        front.insert(front.end(), c.arguments.begin(), c.arguments.end());
        const ProgramOutcome a = runProgram({full, places[0], {}}, top / "full-run");
        const ProgramOutcome b = runProgram({front, places[1], {}}, top / "front-run");
        EXPECT_EQ(a.status, c.status) << a.err;
        EXPECT_EQ(b.status, a.status);
        EXPECT_EQ(b.out, a.out);
        EXPECT_EQ(b.err, a.err);
        EXPECT_EQ(entriesOf(places[1]), entriesOf(places[0]));
        if (c.status == 0 && c.arguments[1] != "stdout.jpg") {
            EXPECT_TRUE(fileContents(places[1] / c.arguments[1]) == fileContents(places[0] / c.arguments[1]));
        }
    }
    EXPECT_EQ(fileContents(places[1] / "keep.jpg"), "the old picture");
    std::set<std::string> after = before;
    after.insert({"a.jpg", "b.JPG", "c.jpeg", "d.jpg", "e.jpg", "f.bmp", "g.bmp", "i.png", "j.png", "k.bmp", "l.png", "m.bmp", "n.bmp", "o.jpg", "q.png", "r.bmp", "s.bmp",
                  "caf\xe9 \xff.jpg"});
    EXPECT_EQ(entriesOf(places[1]), after);
    // What the front cannot do yet goes to the full program, which is not there.
    const ProgramOutcome png = runProgram({{(alone / "kaptiv").string(), "convert", "i.png", "x.ico"}, places[1], {}}, top / "png");
    EXPECT_EQ(png.status, 1);
    EXPECT_NE(png.err.find("cannot start the program"), std::string::npos) << png.err;

    // The front loads no Qt library.
    const std::string libraries = commandOutput("ldd '" + std::string(KAPTIV_EXECUTABLE) + "'");
    EXPECT_NE(libraries.find("libjpeg"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("libQt"), std::string::npos) << libraries;
    fs::remove_all(top);
}

TEST(FrontGifInfo, ListsEveryFileAsTheFullProgramDoesWithoutIt)
{
    const fs::path top = temporaryFolder();
    const fs::path alone = top / "alone";
    fs::create_directories(alone);
    fs::copy_file(KAPTIV_EXECUTABLE, alone / "kaptiv");
    std::ofstream(top / "not.gif") << "GIF but nothing more";
    std::ofstream(top / "text.gif") << "no GIF at all";
    const std::string corpus = KAPTIV_GIF_CORPUS;
    const std::vector<std::vector<std::string>> cases = {
        {corpus + "/real/anim_sprites_20f.gif"},
        {corpus + "/real/hippopotamus.interlaced.gif"},
        {corpus + "/composite/im_transparent_dispose.gif"},
        {corpus + "/hostile/gen/bomb_4096sq_one_colour.gif"},
        {(top / "not.gif").string()},
        {(top / "text.gif").string()},
        {(top / "missing.gif").string()},
        {corpus + "/real/harvesters.gif", "extra", "words"},
        {},
    };
    for (const std::vector<std::string> &arguments : cases) {
        SCOPED_TRACE(arguments.empty() ? std::string("no file") : arguments[0]);
        std::vector<std::string> full{KAPTIV_APP_EXECUTABLE, "gif-info"}, front{(alone / "kaptiv").string(), "gif-info"};
        full.insert(full.end(), arguments.begin(), arguments.end());
        front.insert(front.end(), arguments.begin(), arguments.end());
        const ProgramOutcome a = runProgram({full, top, {}}, top / "full-run");
        const ProgramOutcome b = runProgram({front, top, {}}, top / "front-run");
        EXPECT_EQ(b.status, a.status);
        EXPECT_EQ(b.out, a.out);
        EXPECT_EQ(b.err, a.err);
        EXPECT_EQ(b.err.find("cannot start the program"), std::string::npos) << b.err;
        if (arguments.size() == 1 && arguments[0].starts_with(corpus)) {
            EXPECT_EQ(a.status, 0) << a.err;
            EXPECT_NE(b.out.find("\nFrame 1: position "), std::string::npos) << b.out;
        }
    }
    fs::remove_all(top);
}

} // namespace
} // namespace kaptiv::testing
