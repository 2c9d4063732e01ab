// "Create GIF Animation" driven as the user drives it: what it lists, where the edits land, the
// order of the frames, and what Save writes.
#include "BuilderFixture.h"

#include "animation/AnimationRecord.h"
#include "gif/GifFrames.h"
#include "platform/ui/Errors.h"
#include "settings/GifOptions.h"
#include "gif/GifAnimation.h"

#include <QFileInfo>
#include <map>

namespace kaptiv::testing {
namespace {

using AnimationBuilder = BuilderFixture;

TEST_F(AnimationBuilder, ListsEveryWindowWithItsGifDataOrTheDefaultsUntilItCloses)
{
    TImagefrm &gif = openGif(QStringLiteral("anim.gif"), solid(30, 20, qRgb(255, 0, 0)), 500, 2);
    TImagefrm &second = capture(solid(40, 30, qRgb(0, 255, 0)));
    TImagefrm &third = capture(solid(50, 40, qRgb(0, 0, 255)));
    struct Row {
        TImagefrm *window;
        const char *width, *height;
        int delay;
        const char *disposal;
    } rows[] = {{&third, "50", "40", 100, "None"}, {&second, "40", "30", 100, "None"},
                {&gif, "30", "20", 500, "Replace Background"}};
    for (int showing = 1; showing <= 2; ++showing) {
        SCOPED_TRACE(showing);
        runBuilder([&] {
            TAnimationfrm &b = builder();
            ASSERT_EQ(entries(), (QStringList{"Untitled3", "Untitled2", "anim.gif"}));
            for (int i = 0; i < 3; ++i) {
                SCOPED_TRACE(i);
                select(i);
                EXPECT_EQ(b.CurrentChild, rows[i].window);
                EXPECT_EQ(b.widthb->text() + 'x' + b.heightb->text(), QStringLiteral("%1x%2").arg(rows[i].width, rows[i].height));
                EXPECT_EQ(b.delayv->value(), rows[i].delay);
                EXPECT_EQ(b.DCombo->currentText(), QLatin1String(rows[i].disposal));
                // The frame's picture is a copy of the window's, and every box writes into the window at once.
                EXPECT_EQ(rows[i].window->FrameDefs.Bitmap->toRgb32(), rows[i].window->Image->picture().toRgb32());
                b.delayv->setValue(700 + i);
                EXPECT_EQ(rows[i].window->FrameDefs.Delay, 700 + i);
            }
        });
        // Closed: every window is back to its GIF data, a capture to an empty record.
        EXPECT_EQ(std::pair(gif.FrameDefs.Delay, int(gif.FrameDefs.Disposal)), std::pair(500, 2));
        EXPECT_EQ(second.FrameDefs.Delay, 0);
        EXPECT_FALSE(third.FrameDefs.Bitmap);
    }
}

TEST_F(AnimationBuilder, EditsReachTheSelectedEntrysOwnWindowAndApplyToAllCopiesAllButTheComment)
{
    // Two pasted pictures are both called "Untitled": each entry still edits its own window.
    TImagefrm &first = capture(solid(30, 20, qRgb(200, 0, 0)));
    TImagefrm &second = capture(solid(10, 5, qRgb(0, 200, 0)));
    first.setCaption(QStringLiteral("Untitled"));
    second.setCaption(QStringLiteral("Untitled"));
    main->mdi->setActiveSubWindow(&first);
    dialogs.inputs = {QStringLiteral("first frame")};
    runBuilder([&] {
        TAnimationfrm &b = builder();
        // Typed values beyond the file's 16-bit fields are refused, never changed on the way.
        for (auto [box, typed, value] : {std::tuple{b.leftb, "65536", 6553}, {b.topb, "-1", 1}, {b.delayv, "655351", 65535}}) {
            box->selectAll();
            QTest::keyClicks(box, QLatin1String(typed));
            EXPECT_EQ(box->value(), value) << typed;
            QTest::keyClick(box, Qt::Key_Return); // ends the typing, not the builder
            ASSERT_TRUE(b.isVisible()) << "Return closed the builder";
        }
        b.leftb->setValue(5);
        b.topb->setValue(6);
        b.delayv->setValue(300);
        b.interlacedcb->click();
        b.transparentcb->click();
        b.DCombo->setCurrentIndex(3);
        b.Commentb->click();
        EXPECT_EQ(dialogs.prompts.back(), QStringLiteral("Edit GIF Comment|Enter GIF comment for current image:|"));

        select(1);
        EXPECT_EQ(b.delayv->value(), 100) << "the second entry shows the first window's settings";
        b.delayv->setValue(400);
        EXPECT_EQ(std::pair(first.FrameDefs.Delay, second.FrameDefs.Delay), std::pair(300, 400));

        select(0);
        picker().PickedColor = 0x123456;
        b.ApplyToAllb->click();
        const TFrameInfo &copied = second.FrameDefs;
        EXPECT_EQ(std::tuple(copied.Left, copied.Top, copied.Delay, copied.Interlaced, copied.Transparent,
                             copied.TransparentColor, int(copied.Disposal), copied.Width, copied.Comment),
                  std::tuple(5, 6, 300, true, true, 0x123456u, 3, 10, QString()));
        EXPECT_EQ(first.FrameDefs.Comment, QStringLiteral("first frame"));
    });
}

TEST_F(AnimationBuilder, TheTransparentColourIsOfferedFromTheGifFirstAndPickedOnTheFramesPicture)
{
    QImage redAndBlue = solid(20, 10, qRgb(255, 0, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 20; ++x)
            redAndBlue.setPixel(x, y, qRgb(0, 0, 255));
    const uint32_t red = 0x0000FF, blue = 0xFF0000;
    TImagefrm &captured = capture(redAndBlue);
    TImagefrm &gif = openGif(QStringLiteral("clear.gif"), redAndBlue, 100, 0, blue);
    struct Step {
        TImagefrm *window;
        bool tick;              // "Transparent" ticked first
        Qt::MouseButton button; // clicked at x = 3 in the picker; NoButton: closed without a click
        uint32_t offered;       // the colour the picker shows clear when it opens
        bool transparent;       // the frame's settings afterwards
        uint32_t color;
    } steps[] = {
        {&gif, false, Qt::NoButton, blue, true, blue},     // the GIF's own colour, kept by closing
        {&captured, true, Qt::LeftButton, 0, true, red},   // the colour under the pointer
        {&captured, false, Qt::RightButton, red, false, red}, // undone: no longer transparent
    };
    runBuilder([&] {
        TAnimationfrm &b = builder();
        for (const Step &s : steps) {
            SCOPED_TRACE(&s - steps);
            select(s.window == &gif ? 0 : 1);
            if (s.tick)
                b.transparentcb->click();
            whilePickerShown = [&] {
                TImage &shown = *picker().Img;
                EXPECT_EQ(shown.picture().toRgb32(), s.window->FrameDefs.Bitmap->toRgb32());
                EXPECT_EQ(std::pair(shown.Transparent(), shown.transparentColor()), std::pair(true, s.offered));
                if (s.button != Qt::NoButton)
                    QTest::mouseClick(&shown, s.button, {}, QPoint(3, 5));
            };
            b.Colorb->click();
            EXPECT_EQ(std::tuple(s.window->FrameDefs.Transparent, b.transparentcb->isChecked(), b.Colorb->isEnabled()),
                      std::tuple(s.transparent, s.transparent, s.transparent));
            EXPECT_EQ(s.window->FrameDefs.TransparentColor, s.color);
        }
    });
}

TEST_F(AnimationBuilder, DraggingPutsAnEntryBeforeTheOneItIsDroppedOnAndRemovingBelowTwoCloses)
{
    for (int i = 0; i < 3; ++i)
        capture(solid(10, 10 + i, qRgb(50 * i, 0, 0)));
    const QList<TImagefrm *> windows = main->imageWindows();
    for (int i = 0; i < 3; ++i)
        windows[i]->setCaption(QString(QLatin1Char('A' + i)));
    struct Case {
        int from, onto; // onto -1: below the last entry
        const char *order, *selected;
    } cases[] = {{0, 2, "BAC", "C"}, {2, 0, "CAB", "C"}, {0, 1, "ABC", "B"}, {1, -1, "ABC", "B"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << " onto " << c.onto);
        runBuilder([&] {
            QListWidget &list = *builder().ImageLB;
            const QRect last = list.visualItemRect(list.item(2));
            const QPoint onto = c.onto < 0 ? last.center() + QPoint(0, 2 * last.height())
                                           : list.visualItemRect(list.item(c.onto)).center();
            QTest::mousePress(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(c.from)).center());
            QTest::mouseMove(list.viewport(), onto);
            QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, onto);
            EXPECT_EQ(entries().join(QString()), QLatin1String(c.order));
            // Each entry still stands for its own window, and the boxes show the selected one.
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(builder().GetChildfrm(i)->caption(), list.item(i)->text());
            EXPECT_EQ(builder().CurrentChild->caption(), QLatin1String(c.selected));
            EXPECT_EQ(list.currentItem()->text(), QLatin1String(c.selected));
        });
    }
    runBuilder([&] {
        TAnimationfrm &b = builder();
        select(1);
        b.Remove->click(); // the middle one: the next one is selected, and shown in the boxes
        EXPECT_EQ(entries(), (QStringList{"A", "C"}));
        EXPECT_EQ(std::pair(b.CurrentChild.data(), b.heightb->text()), std::pair(windows[2], QStringLiteral("10")));
        b.Remove->click(); // the last one: the one before is selected
        EXPECT_EQ(entries(), (QStringList{"A"}));
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("You must have at least two images to create an animated GIF."));
        EXPECT_EQ(std::pair(dialogs.shown[0].caption, dialogs.shown[0].icon), std::pair(QStringLiteral("Error"), MessageIcon::Error));
        EXPECT_EQ(std::pair(b.isVisible(), b.result()), std::pair(false, int(mrAbort)));
    });
    EXPECT_EQ(main->imageWindowCount(), 3) << "Remove leaves the windows themselves alone";
}

TEST_F(AnimationBuilder, SaveWritesTheListedFramesOrSaysWhyItCannot)
{
    struct Case {
        const char *name;
        QImage first, second; // captured in this order: the second is listed first
        int loops;            // 0: "Loop Animation" ticked
        bool saved, localTables;
        bool reduce = false; // "Reduce colors to fit" ticked
    } cases[] = {
        {"for ever", colours(4, 0), colours(4, 9), 0, true, false},
        {"three times", colours(4, 0), colours(4, 9), 3, true, false},
        {"shared table overflows", colours(200, 0), colours(200, 1), 0, true, true},
        {"300 colours", colours(2, 0), colours(300, 0), 0, false, false},
        {"300 colours reduced", colours(2, 0), colours(300, 0), 0, true, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (TImagefrm *window : main->imageWindows())
            window->close();
        settle();
        const TImagefrm &listedLast = capture(c.first), &listedFirst = capture(c.second);
        const QString path = files.filePath(QString::fromLatin1(c.name).replace(' ', '_'));
        dialogs.fileNames = {path};
        dialogs.shown.clear();
        runBuilder([&] {
            TAnimationfrm &b = builder();
            b.delayv->setValue(250); // the first entry
            if (b.LoopAnim->isChecked() != (c.loops == 0))
                b.LoopAnim->click(); // the box keeps its state from one showing to the next
            b.NumLoop->setValue(std::max(c.loops, 1));
            b.ReduceColorscb->setChecked(c.reduce);
            b.SaveAnimb->click();
            EXPECT_TRUE(b.isVisible()) << "the builder stays open";
            EXPECT_EQ(std::pair(b.GIFPB->isVisible(), b.GIFPB->value()), std::pair(false, 0));
        });
        EXPECT_EQ(dialogs.fileDialogs.back().Filter + dialogs.fileDialogs.back().DefaultExt,
                  QStringLiteral("GIF File (*.gif)|*.gifgif"));
        if (!c.saved) {
            ASSERT_EQ(dialogs.shown.size(), 1u);
            EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Could not create the GIF animation.  Make sure the images "
                                                            "are valid, i.e. there are no more than 256 colors per image."));
            EXPECT_FALSE(QFile::exists(path + QStringLiteral(".gif"))) << "no file is left behind";
            continue;
        }
        EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text.toStdString();
        EXPECT_EQ(LoadGifOptions().AnimationReduceColors, c.reduce) << "Save stores the box";
        const gif::GifImage file = loadGif(path + QStringLiteral(".gif"));
        ASSERT_EQ(file.FrameCount(), 2);
        EXPECT_EQ(file.LoopCount, c.loops);
        for (int n = 0; n < 2; ++n) {
            EXPECT_EQ(std::pair(file.Frames[n].Delay, file.Frames[n].HasLocalColors), std::pair(n ? 100 : 250, c.localTables));
            const QImage back = GetFrameInfo(file, n + 1).Bitmap->toRgb32(),
                         listed = (n ? listedLast : listedFirst).Image->picture().toRgb32();
            if (!c.reduce) {
                EXPECT_EQ(back, listed);
                continue;
            }
            // The 300 reds of one row share a table with the others: each within a few levels.
            ASSERT_EQ(back.size(), listed.size());
            for (int x = 0; x < back.width(); ++x)
                EXPECT_LE(std::abs(qRed(back.pixel(x, 0)) - qRed(listed.pixel(x, 0))), 4) << x;
        }
    }
}

// "Optimize file size" makes a smaller file that shows the same pictures for the same time, and
// Save remembers the box.
TEST_F(AnimationBuilder, OptimizeFileSizeShowsTheSamePicturesInFewerBytes)
{
    QImage moved = solid(64, 48, qRgb(20, 60, 140));
    for (int y = 10; y < 20; ++y)
        for (int x = 30; x < 42; ++x)
            moved.setPixel(x, y, qRgb(250, 250, 250));
    capture(moved);
    capture(moved); // the same picture again: no change to store
    capture(solid(64, 48, qRgb(20, 60, 140)));
    // Each composited picture of a file, with how long it shows; a picture repeated is one.
    auto pictures = [](const QString &path) {
        GifAnimation animation = loadGifAnimation(path);
        std::vector<std::pair<QImage, int>> shown;
        for (int i = 1; i <= animation.FrameCount(); ++i) {
            animation.DisposeFrame(i - 1);
            animation.DrawFrame(i);
            const QImage picture = animation.CanvasOver(qRgb(255, 0, 255));
            const int delay = animation.Facts(i).Delay;
            if (!shown.empty() && shown.back().first == picture)
                shown.back().second += delay;
            else
                shown.emplace_back(picture, delay);
        }
        return std::pair(animation.FrameCount(), shown);
    };
    std::map<bool, std::pair<int, std::vector<std::pair<QImage, int>>>> made;
    std::map<bool, qint64> bytes;
    for (const bool optimize : {true, false}) {
        const QString path = files.filePath(optimize ? QStringLiteral("optimized.gif") : QStringLiteral("whole.gif"));
        dialogs.fileNames = {path};
        runBuilder([&] {
            TAnimationfrm &b = builder();
            EXPECT_EQ(b.Optimizecb->text(), QStringLiteral("Optimize file size"));
            b.Optimizecb->setChecked(optimize);
            b.SaveAnimb->click();
        });
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(LoadGifOptions().AnimationOptimize, optimize) << "Save stores the box";
        made[optimize] = pictures(path);
        bytes[optimize] = QFileInfo(path).size();
    }
    EXPECT_EQ(made[false].first, 3);
    EXPECT_EQ(made[true].first, 2) << "the unchanged frame lengthens the one before";
    ASSERT_EQ(made[true].second.size(), 2u);
    EXPECT_TRUE(made[true].second == made[false].second);
    EXPECT_LT(bytes[true], bytes[false]);
}

// A list the file cannot hold is refused when Save is pressed, before the user picks a file name.
TEST_F(AnimationBuilder, SaveRefusesAFrameBeyondTheFileBeforeAskingForAName)
{
    capture(colours(4, 0));
    capture(colours(4, 9));
    dialogs.fileNames = {files.filePath(QStringLiteral("never"))};
    const std::size_t asked = dialogs.fileDialogs.size();
    runBuilder([&] {
        TAnimationfrm &b = builder();
        b.leftb->setValue(65535); // the first entry
        b.SaveAnimb->click();
    });
    EXPECT_EQ(dialogs.fileDialogs.size(), asked);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Image 1 reaches 65539 x 1 pixels from the top left, beyond the "
                                                    "65535 x 65535 a GIF file can hold.  Move it or make it smaller."));
    EXPECT_TRUE(QDir(files.path()).isEmpty());
}

TEST_F(AnimationBuilder, WhatAFileCannotHoldIsRefusedSayingWhatToChange)
{
    TFrameInfo frame;
    frame.Width = 100;
    frame.Height = 10;
    EXPECT_EQ(AnimationRecord(std::vector<TFrameInfo>(256, frame), 70000).Count(), 256);
    EXPECT_EQ(AnimationRecord(std::vector<TFrameInfo>(2, frame), 70000).Loop, 65535);
    TFrameInfo atTheEdge = frame;
    atTheEdge.Left = 65435;
    atTheEdge.Top = 65525;
    EXPECT_EQ(AnimationRecord({frame, atTheEdge}, 0).Count(), 2);
    TFrameInfo beyond = atTheEdge;
    beyond.Left += 1;
    const struct {
        std::vector<TFrameInfo> frames;
        const char *message;
    } refused[] = {
        {std::vector<TFrameInfo>(300, frame),
         "An animated GIF can hold at most 256 images, and the list has 300.  Remove 44 of them and try again."},
        {{frame, beyond},
         "Image 2 reaches 65536 x 65535 pixels from the top left, beyond the 65535 x 65535 a GIF file can hold.  "
         "Move it or make it smaller."},
    };
    for (const auto &c : refused) {
        try {
            AnimationRecord(c.frames, 0);
            ADD_FAILURE() << c.message;
        } catch (const EGIFError &error) {
            EXPECT_EQ(error.message(), QString::fromUtf8(c.message));
        }
    }
}

} // namespace
} // namespace kaptiv::testing
