// Helpers shared by the zip and unzip libraries: wildcard matching, entry-name cleaning,
// DOS time conversion and name encodings.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/TextCodec.h"

namespace izcommon {

inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
std::string AsciiFold(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when `text` contains '*', '?' or a '[' that opens a set.
bool HasWildcards(std::string_view text);

// The name a pattern stands for when it holds no real wildcard: "*", "?" and "[" may each
// be written as a one-character set ("[*]", "[?]", "[[]"), as the unzip dialog sends stored
// names. False when the pattern matches more than one name.
bool LiteralFromPattern(std::string_view pattern, std::string* literal);

// Matches a whole name against a pattern: '*' any run of characters (including '/'),
// '?' one character, "[abc]", "[a-z]", "[!abc]" / "[^abc]" sets. An unclosed '[' is
// literal. Runs in O(pattern * name) at worst, never backtracks exponentially.
bool WildMatch(std::string_view pattern, std::string_view name, bool ignoreCase);

// Zip side: the entry name for a path as the caller gave it. Separators become '/', the
// result is relative: leading '/', a drive prefix ("C:"), "." and ".." components go.
// With junkDir only the last component stays. Empty when nothing usable is left.
std::string EntryNameFromPath(std::string_view path, bool junkDir);

// Unzip side: splits a stored name into components that are safe to create under the
// target folder. Backslashes count as separators; a leading drive prefix, empty, "." and
// ".." components are dropped. `isDir` tells whether the name ends with a separator.
void SplitStoredName(std::string_view stored, bool spaceToUnderscore,
                     std::vector<std::string>* parts, bool* isDir);

// DOS date/time (date in the high 16 bits), local time, 2-second resolution. Times before
// 1980 clamp to 1980-01-01, times after 2107 to the last representable second.
uint32_t UnixToDos(time_t t);
time_t DosToUnix(uint32_t dos);

// "mmddyyyy", "mmddyy" or "yyyy-mm-dd" to local midnight of that day.
bool ParseDateOption(const char* text, time_t* out);

using tavrin::IsValidUtf8;
void Cp437ToUtf8(std::string_view in, std::string* out);

// Reads the process umask without changing it.
unsigned CurrentUmask();

// Random letters and digits for temporary file names.
std::string RandomToken(size_t length);

}  // namespace izcommon
