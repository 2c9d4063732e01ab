// The GIF options' own settings group: absent means the defaults, without an error, and what is
// saved lands in its own section, beside the other settings, which stay as they were.
#include "ScopedConfigHome.h"
#include "settings/GifOptions.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kaptiv;
using kaptiv::testing::ScopedConfigHome;

namespace {

QByteArray storeBytes(const ScopedConfigHome &home)
{
    QFile file(home.storeFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(GifOptions, AbsentGroupOrValuesGiveTheDefaultsAndWritingAddsOnlyTheGroup)
{
    ScopedConfigHome home;
    GifOptions none = LoadGifOptions(); // no file at all
    EXPECT_FALSE(none.ReduceColors);
    EXPECT_FALSE(none.AnimationReduceColors);
    EXPECT_FALSE(none.AnimationOptimize);

    // A file from before the group, and one whose group lacks a value or holds a word.
    const QByteArray before = "[General]\nHideprog=1\nConfirm=0\nCoords=1\nTime=1500\n";
    for (const QByteArray &group : {QByteArray(), QByteArray("[GIF Options]\nAnimation Reduce Colors=1\n"),
                                     QByteArray("[GIF Options]\nReduce Colors=yes\nAnimation Reduce Colors=1\n")}) {
        home.writeStore(before + group);
        const GifOptions read = LoadGifOptions();
        EXPECT_FALSE(read.ReduceColors) << group.constData();
        EXPECT_EQ(read.AnimationReduceColors, !group.isEmpty()) << group.constData();
        EXPECT_EQ(storeBytes(home), before + group) << "reading writes nothing";
    }

    home.writeStore(before);
    GifOptions chosen;
    chosen.ReduceColors = true;
    SaveGifOptions(chosen);
    const QByteArray written = storeBytes(home);
    EXPECT_TRUE(written.startsWith(before)) << written.constData();
    EXPECT_TRUE(written.contains("[GIF%20Options]\nReduce%20Colors=1\nAnimation%20Reduce%20Colors=0\n")) << written.constData();
    const GifOptions back = LoadGifOptions();
    EXPECT_TRUE(back.ReduceColors);
    EXPECT_FALSE(back.AnimationReduceColors);
    EXPECT_FALSE(back.AnimationOptimize);
    home.writeStore(before + "[GIF Options]\nAnimation Optimize=1\n");
    EXPECT_TRUE(LoadGifOptions().AnimationOptimize);
}
