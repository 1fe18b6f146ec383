// Reader and writer of profile files (tavrin.ini and the language files): section lines
// "[Name]", then "key=value" lines. Section and key names match without regard to case, and
// the first occurrence holds: a later section of the same name (in any spelling) is not read,
// nor a later line of the same key within the section. A value is the text after the first
// "=", without leading and trailing blanks, with one pair of enclosing quotes removed, and at
// most 2047 characters long. A missing file, section or key gives the caller's default. Text
// is handled as bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class ProfileFile {
  public:
    static constexpr std::size_t kMaxValueLength = 2047;

    // Reads the file at `path`; a missing or unreadable file reads as empty (not an error).
    static ProfileFile Open(const std::string& path);
    // Reads a regular file whole into `bytes`; a folder, pipe or device is not read, so
    // nothing can block. False when the file cannot be read.
    static bool ReadFileBytes(const std::string& path, std::string* bytes);
    // Parses profile text held in memory. In `utf8` text (valid UTF-8) the 2047 characters
    // of a value are characters, not bytes.
    static ProfileFile FromText(std::string_view text, bool utf8 = false);

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    // Sets section/key to value in the file at `path`, keeping every other line, and replaces
    // the file safely (a link's target is written; owner, group, mode and links stay; see
    // fileio::SafeReplace). False when it cannot be written, with the system's reason in
    // `error`; the old file is then unchanged.
    static bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view value, std::string* error = nullptr);

  private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    // The entry of `key` in the first section named `section`; null when there is none.
    const Entry* Find(std::string_view section, std::string_view key) const;

    std::vector<Section> sections_;  // in the order of the file, repeated names included
};

}  // namespace tavrin
