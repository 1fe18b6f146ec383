#include "packer/ZipOptions.h"

namespace tavrin {

namespace {
BOOL Flag(bool ticked) {
    return ticked ? kZipTrue : 0;
}
}  // namespace

char LevelCharacter(const std::string& levelText) {
    return levelText.empty() ? '6' : levelText.front();
}

ZPOPT BuildZipOptions(const ZipOptionBoxes& b) {
    ZPOPT o{};
    o.fSystem = Flag(b.system);
    o.fVolume = Flag(b.volume);
    o.fJunkDir = Flag(b.junkDir);
    o.fGrow = Flag(b.grow);
    o.fMove = Flag(b.move);
    o.fDeleteEntries = Flag(b.deleteEntries);
    o.fUpdate = Flag(b.update);
    o.fFreshen = Flag(b.freshen);
    o.fLatestTime = Flag(b.latestTime);
    o.fRecurse = b.recurseDir ? 1 : 0;
    o.fLevel = LevelCharacter(b.levelText);
    return o;
}

ZPOPT DefaultZipOptions() {
    ZPOPT o{};
    o.fGrow = kZipTrue;
    o.fRecurse = 1;
    o.fLevel = '6';
    return o;
}

ZipOptionBoxes BoxesFromOptions(const ZPOPT& o) {
    ZipOptionBoxes b;
    b.system = o.fSystem != 0;
    b.volume = o.fVolume != 0;
    b.junkDir = o.fJunkDir != 0;
    b.recurseDir = o.fRecurse == 1;
    b.latestTime = o.fLatestTime != 0;
    b.grow = o.fGrow != 0;
    b.move = o.fMove != 0;
    b.deleteEntries = o.fDeleteEntries != 0;
    b.update = o.fUpdate != 0;
    b.freshen = o.fFreshen != 0;
    b.levelText = std::string(1, o.fLevel);
    return b;
}

}  // namespace tavrin
