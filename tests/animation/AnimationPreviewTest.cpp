// "Animation Preview": what it plays, how large it opens, what it tells the builder's bar, and
// that it leaves no file anywhere.
#include "BuilderFixture.h"

#include <QScreen>
#include <QTemporaryDir>

namespace kaptiv::testing {
namespace {

using AnimationPreview = BuilderFixture;

TEST_F(AnimationPreview, PlaysTheBuildersStateInAWindowThatHoldsEveryFrameAndLeavesNoFile)
{
    capture(solid(100, 20, qRgb(0, 0, 255)));
    capture(solid(40, 30, qRgb(255, 0, 0)));
    struct Case {
        const char *name;
        int left, top, speed, delay; // left and top of the second entry, the delay of the first
        bool refused;                // a 300-colour capture comes first
        const char *caption;
        QSize size; // width -1: as wide as the screen has room for
    } cases[] = {
        {"inside the smallest size", 0, 0, 100, 100, false, "[2 Frames] [100 Speed]", {200, 165}},
        {"at left 150, 100 wide", 150, 0, 100, 700, false, "[2 Frames] [100 Speed]", {250, 165}},
        {"at top 160, 20 high", 0, 160, 250, 100, false, "[2 Frames] [250 Speed]", {200, 180}},
        {"at left 5000, beyond the screen", 5000, 0, 100, 100, false, "[2 Frames] [100 Speed]", {-1, 165}},
        {"300 colours", 0, 0, 100, 100, true, "[3 Frames] [100 Speed]", {200, 165}},
    };
    // A folder of the test's own: other programs (and tests running beside this one) use /tmp too.
    QTemporaryDir ownTemp;
    ASSERT_TRUE(ownTemp.isValid());
    qputenv("TMPDIR", QFile::encodeName(ownTemp.path()));
    const QStringList currentFiles = filesIn(QDir::currentPath());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.refused)
            capture(colours(300, 0));
        std::vector<int> progress;
        dialogs.shown.clear();
        runBuilder([&] {
            TAnimationfrm &b = builder();
            QObject::connect(b.GIFPB, &QProgressBar::valueChanged, &b, [&](int value) { progress.push_back(value); });
            b.delayv->setValue(c.delay);
            select(1);
            b.leftb->setValue(c.left);
            b.topb->setValue(c.top);
            b.Speedv->setValue(c.speed);
            whilePreviewShown = [&] {
                TAnimfrm &p = preview();
                EXPECT_EQ(p.windowTitle(), QLatin1String(c.caption));
                // Wider only where the title bar needs it for the whole caption.
                const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
                const int borders = p.frameGeometry().width() - p.width();
                const QSize size = c.size.width() < 0 ? QSize(screen.width() - borders, c.size.height()) : c.size;
                EXPECT_EQ(p.size(), size.expandedTo(QSize(p.captionRoom(), 0)));
                EXPECT_TRUE(screen.contains(p.frameGeometry())) << "the close button stays in reach";
                EXPECT_EQ(p.aGif->geometry(), p.rect()) << "the player fills the window";
                EXPECT_EQ(p.aGif->Animate(), !c.refused);
                if (c.refused)
                    return;
                EXPECT_EQ(p.aGif->Speed(), c.speed);
                const gif::FrameFacts &first = p.aGif->Animation().Facts(1), &second = p.aGif->Animation().Facts(2);
                EXPECT_EQ(first.Delay, c.delay);
                EXPECT_EQ(QRect(second.Left, second.Top, second.Width, second.Height), QRect(c.left, c.top, 100, 20));
            };
            b.ViewAnimb->click();
            whilePreviewShown = nullptr;
            b.GIFPB->disconnect(&b);
            EXPECT_FALSE(preview().aGif->Animate()) << "closing the preview stops it";
            EXPECT_FALSE(b.GIFPB->isVisible());
        });
        if (c.refused) {
            ASSERT_EQ(dialogs.shown.size(), 1u);
            EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Could not create the GIF animation.  Make sure the images "
                                                            "are valid, i.e. there are no more than 256 colors per image."));
            EXPECT_TRUE(preview().aGif->Empty()) << "an earlier animation is not shown in its place";
            continue;
        }
        EXPECT_TRUE(dialogs.shown.empty());
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(*std::max_element(progress.begin(), progress.end()), 100) << "the load's progress reached the bar";
        EXPECT_EQ(progress.back(), 0) << "the bar is put back";
    }
    EXPECT_EQ(QDir::tempPath(), ownTemp.path());
    EXPECT_EQ(filesIn(QDir::tempPath()), QStringList());
    EXPECT_EQ(filesIn(QDir::currentPath()), currentFiles);
}

} // namespace
} // namespace kaptiv::testing
