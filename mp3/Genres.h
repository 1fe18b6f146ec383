// The list of 148 genre names, index 0 to 147, that both genre boxes show after their empty
// first entry (box entry n + 1 is genre n).
#pragma once

#include <array>

namespace tavrin {

inline constexpr int kGenreCount = 148;
const std::array<const char*, kGenreCount>& GenreList();

}  // namespace tavrin
