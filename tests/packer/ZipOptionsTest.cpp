#include <gtest/gtest.h>

#include <cstring>

#include "packer/ZipOptions.h"

namespace tavrin {
namespace {

// Reads the 32-bit field at a byte offset of the record as the 32-bit layout places it.
std::int32_t FlagAt(const ZPOPT& o, int offset32) {
    // Map the 32-bit offsets onto this build's fields.
    switch (offset32) {
        case 24:
            return o.fSystem;
        case 28:
            return o.fVolume;
        case 32:
            return o.fExtra;
        case 64:
            return o.fJunkDir;
        case 68:
            return o.fGrow;
        case 76:
            return o.fMove;
        case 80:
            return o.fDeleteEntries;
        case 84:
            return o.fUpdate;
        case 88:
            return o.fFreshen;
        case 96:
            return o.fLatestTime;
        case 116:
            return o.fRecurse;
    }
    ADD_FAILURE() << "no field at " << offset32;
    return 0;
}

TEST(ZipOptions, InitialBoxesSendJunkPathsAndLevelSixOnly) {
    ZPOPT o = BuildZipOptions(ZipOptionBoxes{});
    ZPOPT expected{};
    expected.fJunkDir = -1;
    expected.fLevel = '6';
    EXPECT_EQ(std::memcmp(&o, &expected, sizeof o), 0);
}

TEST(ZipOptions, EveryTickedBoxSendsAllBitsSetAndRecurseSendsOne) {
    ZipOptionBoxes all;
    all.system = all.volume = all.junkDir = all.recurseDir = all.latestTime = all.grow = all.move =
        all.deleteEntries = all.update = all.freshen = true;
    ZPOPT o = BuildZipOptions(all);
    for (int offset : {24, 28, 64, 68, 76, 80, 84, 88, 96})
        EXPECT_EQ(FlagAt(o, offset), -1) << offset;
    EXPECT_EQ(FlagAt(o, 116), 1);
    EXPECT_EQ(FlagAt(o, 32), 0);  // fExtra is never sent by the dialog
    EXPECT_EQ(o.Date, nullptr);
    EXPECT_EQ(
        o.fTemp | o.fSuffix | o.fEncrypt | o.fNoDirEntries | o.fForce | o.fComment | o.fRepair, 0);
}

TEST(ZipOptions, LevelIsTheFirstCharacterWhateverItIs) {
    EXPECT_EQ(LevelCharacter(""), '6');
    EXPECT_EQ(LevelCharacter("9"), '9');
    EXPECT_EQ(LevelCharacter("12"), '1');
    EXPECT_EQ(LevelCharacter("x"), 'x');
}

TEST(ZipOptions, DefaultRecordAndReadingBack) {
    ZPOPT d = DefaultZipOptions();
    EXPECT_EQ(d.fGrow, -1);
    EXPECT_EQ(d.fRecurse, 1);
    EXPECT_EQ(d.fLevel, '6');
    EXPECT_EQ(d.fJunkDir, 0);
    ZipOptionBoxes b = BoxesFromOptions(d);
    EXPECT_TRUE(b.grow);
    EXPECT_TRUE(b.recurseDir);
    EXPECT_FALSE(b.junkDir);
    EXPECT_EQ(b.levelText, "6");

    ZPOPT odd{};
    odd.fRecurse = 2;  // only exactly 1 ticks the recurse box
    odd.fMove = 1;     // any non-zero flag ticks its box
    odd.fLevel = '3';
    b = BoxesFromOptions(odd);
    EXPECT_FALSE(b.recurseDir);
    EXPECT_TRUE(b.move);
    EXPECT_EQ(b.levelText, "3");
    // Round trip of a whole set of boxes.
    ZipOptionBoxes some;
    some.update = some.system = true;
    some.levelText = "2";
    EXPECT_EQ(BoxesFromOptions(BuildZipOptions(some)), some);
}

}  // namespace
}  // namespace tavrin
