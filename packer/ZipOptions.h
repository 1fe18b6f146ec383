// The zip option record the zip options dialog sends, built from the states of its boxes,
// and the reverse reading of a record into box states.
#pragma once

#include <string>

#include "platform/infozip/infozip_api.h"

namespace tavrin {

// The ten boxes and the level text of the zip options dialog, with their initial states.
struct ZipOptionBoxes {
    bool system = false;
    bool volume = false;
    bool junkDir = true;
    bool recurseDir = false;
    bool latestTime = false;
    bool grow = false;
    bool move = false;
    bool deleteEntries = false;
    bool update = false;
    bool freshen = false;
    std::string levelText = "6";
    bool operator==(const ZipOptionBoxes&) const = default;
};

// TRUE as the zip side sends it: all 32 bits set.
inline constexpr BOOL kZipTrue = -1;

// "6" for an empty text, else the first character of the text, whatever it is.
char LevelCharacter(const std::string& levelText);

// The record of "Save options and close": every field from the boxes, the rest zero.
ZPOPT BuildZipOptions(const ZipOptionBoxes& boxes);

// The record of "Reset to default": zero except fGrow TRUE, fRecurse 1 and level "6".
ZPOPT DefaultZipOptions();

// Box states for a record read back from the engine: a flag box is ticked when its field is
// non-zero, the recurse box only when fRecurse is exactly 1, the level text the one character.
ZipOptionBoxes BoxesFromOptions(const ZPOPT& options);

}  // namespace tavrin
