// From captures to an animated GIF on a real display, with the mouse and the keyboard as a user
// works: three captures, the builder, a drag, delays, a disposal and a loop count, the preview, the
// save dialog; then the file as giflib reads it and as `kaptiv play` plays it.
#include "BuilderFixture.h"
#include "GiflibOracle.h"
#include "XdoTool.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QProcess>
#include <QTimer>

namespace kaptiv::testing {
namespace {

// What the user does next, each step once the program shows what it waits for. The steps run
// from the event loop, so they go on inside the modal runs they open.
class UserScript {
public:
    struct Step {
        const char *what;
        std::function<bool()> ready;
        std::function<void()> act;
    };
    explicit UserScript(std::vector<Step> steps) : steps_(std::move(steps))
    {
        poll_.setInterval(50);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            if (done() || acting_ || !steps_[next_].ready())
                return;
            acting_ = true; // an act that opens a modal run comes back here only when it ends
            steps_[next_++].act();
            acting_ = false;
        });
        poll_.start();
    }
    bool done() const { return next_ == steps_.size(); }
    const char *waitingFor() const { return done() ? "nothing" : steps_[next_].what; }

private:
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool acting_ = false;
    QTimer poll_;
};

QString screenPoint(const QWidget &widget, QPoint point, int axis)
{
    const QPoint global = widget.mapToGlobal(point) * widget.devicePixelRatioF();
    return QString::number(axis == 0 ? global.x() : global.y());
}

void moveTo(const QWidget &widget, QPoint point)
{
    xdotool({"mousemove", "--sync", screenPoint(widget, point, 0), screenPoint(widget, point, 1)});
}

void click(const QWidget &widget, QPoint point) { moveTo(widget, point), xdotool({"click", "1"}); }
void click(const QWidget &widget) { click(widget, widget.rect().center()); }

void typeInto(const QWidget &box, const QString &text)
{
    click(box);
    xdotool({"key", "ctrl+a"});
    xdotool({"type", "--delay", "30", text});
    xdotool({"key", "Tab"});
}

QPoint entryCentre(const QListWidget &list, int entry) { return list.visualItemRect(list.item(entry)).center(); }

using AnimationOnX11 = BuilderFixture;

TEST_F(AnimationOnX11, CapturesBecomeAnAnimatedGifOfTheChosenOrderTimingAndLoops)
{
    dialogs.onModal = [](QDialog &dialog) { return realDialogs().execModal(dialog); };
    dialogs.realFileDialogs = true;
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 160, 0), qRgb(0, 0, 255)};
    for (int i = 0; i < 3; ++i) {
        fake.screen = solid(60, 40, colours[i]);
        xdotool({"windowactivate", "--sync", QString::number(main->winId())});
        ASSERT_TRUE(waitUntil([&] { return main->isActiveWindow(); }));
        xdotool({"key", "alt+i"});
        ASSERT_TRUE(waitUntil([&] { return main->menu("CaptureImage1")->isVisible(); }));
        xdotool({"key", "s"}); // Grab Screen
        ASSERT_TRUE(waitUntil([&] { return main->imageWindowCount() == i + 1; })) << "capture " << i + 1;
    }
    // The builder lists the active window first: the blue capture, then green, then red.
    TAnimationfrm &b = builder();
    QListWidget &list = *b.ImageLB;
    const QString path = files.filePath(QStringLiteral("made.gif"));
    const QString shot = files.filePath(QStringLiteral("preview.png"));
    QImage previewSeen;
    auto activeDialog = [](QWidget &w) { return w.isVisible() && w.isActiveWindow(); };
    UserScript user({
        {"the builder", [&] { return activeDialog(b) && list.count() == 3; },
         [&] { // blue dragged onto red: green, blue, red
             moveTo(*list.viewport(), entryCentre(list, 0));
             xdotool({"mousedown", "1"});
             moveTo(*list.viewport(), entryCentre(list, 1));
             moveTo(*list.viewport(), entryCentre(list, 2));
             xdotool({"mouseup", "1"});
         }},
        {"the drop", [&] { return list.item(0)->text() == QLatin1String("Untitled2"); },
         [&] {
             for (int entry = 0; entry < 3; ++entry) {
                 click(*list.viewport(), entryCentre(list, entry));
                 typeInto(*b.delayv, QString::number(300 + 200 * entry));
             }
             click(*list.viewport(), entryCentre(list, 0));
             click(*b.DCombo);
         }},
        {"the disposal list", [&] { return b.DCombo->view()->isVisible() && b.CurrentChild == b.GetChildfrm(0); },
         [&] {
             const QAbstractItemView &items = *b.DCombo->view();
             click(*items.viewport(), items.visualRect(items.model()->index(2, 0)).center()); // Replace Background
         }},
        {"the disposal chosen", [&] { return !b.DCombo->view()->isVisible() && b.DCombo->currentIndex() == 2; },
         [&] {
             click(*b.LoopAnim);
             typeInto(*b.NumLoop, QStringLiteral("3"));
             typeInto(*b.Speedv, QStringLiteral("10")); // the first frame stays 3 s for the screenshot
             click(*b.ViewAnimb);
         }},
        {"the preview playing", [&] { return activeDialog(preview()) && preview().aGif->Animate(); },
         [&] {
             QProcess::execute(QStringLiteral("import"), {"-window", "root", shot});
             previewSeen = QImage(shot);
             xdotool({"key", "Escape"});
         }},
        {"the builder again", [&] { return !preview().isVisible() && activeDialog(b); }, [&] { click(*b.SaveAnimb); }},
        {"the save dialog", [&] {
             auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
             return box && activeDialog(*box);
         },
         [&] {
             xdotool({"key", "ctrl+a"});
             xdotool({"type", "--delay", "30", path});
             xdotool({"key", "Return"});
         }},
        {"the saved file", [&] { return QFile::exists(path) && activeDialog(b); }, [&] { click(*b.Close); }},
        {"the builder closed", [&] { return !b.isVisible(); }, [] {}},
    });
    xdotool({"windowactivate", "--sync", QString::number(main->winId())});
    xdotool({"key", "alt+o"});
    ASSERT_TRUE(waitUntil([&] { return main->menu("Options2")->isVisible(); }));
    xdotool({"key", "c"}); // Create Animated GIF...
    ASSERT_TRUE(waitUntil([&] { return user.done(); }, 120000)) << "waiting for " << user.waitingFor();
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text.toStdString();

    // The preview showed the first frame, green, in a window titled as the builder said.
    ASSERT_FALSE(previewSeen.isNull());
    EXPECT_EQ(previewSeen.pixel(preview().geometry().center() * preview().devicePixelRatioF()), colours[1]);
    EXPECT_EQ(preview().windowTitle(), QStringLiteral("[3 Frames] [10 Speed]"));

    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    const std::optional<gif::oracle::Image> file =
        gif::oracle::Read({reinterpret_cast<const uint8_t *>(bytes.data()), size_t(bytes.size())});
    ASSERT_TRUE(file);
    EXPECT_EQ(file->loopCount, 3);
    ASSERT_EQ(file->frames.size(), 3u);
    const QRgb order[] = {colours[1], colours[2], colours[0]};
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        const gif::oracle::Frame &frame = file->frames[size_t(n)];
        EXPECT_EQ(frame.delay, 30 + 20 * n);
        EXPECT_EQ(frame.disposal, n == 0 ? 2 : 0);
        const uint8_t *rgb = &frame.colors[3 * size_t(frame.pixels.at(0))];
        EXPECT_EQ(qRgb(rgb[0], rgb[1], rgb[2]), order[n]);
    }
    QProcess player;
    player.start(QStringLiteral(KAPTIV_EXECUTABLE), {"play", path, "--once", "--speed", "1000"});
    ASSERT_TRUE(player.waitForFinished(60000)) << "kaptiv play did not finish its three passes";
    EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
}

} // namespace
} // namespace kaptiv::testing
