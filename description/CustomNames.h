// The user's custom description names and their file tavrin.ext: one name per line, CR LF
// line ends, no header.
#pragma once

#include <string>
#include <vector>

namespace tavrin {

inline constexpr const char* kCustomNamesFileName = "tavrin.ext";

// The non-empty lines of the file, whole (not trimmed); a missing file gives no names.
std::vector<std::string> ReadCustoms(const std::string& path);
// Writes every non-empty name, one per line; the file is replaced safely (a link's target is
// written, owner, group, mode and links stay; see fileio::SafeReplace). False when it cannot
// be written (the old file then stays).
bool WriteCustoms(const std::string& path, const std::vector<std::string>& names);
// "&Add>>": adds the text unless the list holds it already (exact comparison). True when added.
bool AddCustomName(std::vector<std::string>& names, const std::string& text);

// The two lines of the "Disk error" box.
inline constexpr const char* kDiskErrorTitle = "Disk error";
inline constexpr const char* kDiskErrorText =
    "Cannot wrote on disk. Are you running program from a CD?\nIf so, you cannot save preferences!";

}  // namespace tavrin
