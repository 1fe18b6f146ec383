// Finding the description inside a zip archive: candidate names tried one after another,
// each read to memory by the unzip engine, in the order the description toolbar's choice
// sets.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/UnZip32.h"

namespace tavrin {

inline constexpr const char* kFileIdName = "file_id.diz";
inline constexpr const char* kReadmeName = "readme.txt";
inline constexpr const char* kFileNamePlaceholder = "<filename>";

// Which button of the description toolbar is down.
enum class LookupMode { Automatic, FileId, Readme, FileName, Custom };

struct LookupChoice {
    LookupMode mode = LookupMode::Automatic;
    std::string customCaption;  // the caption of the custom button, as bytes
    bool allCustom = false;     // that caption is AllCustomLabel: all custom names
};

// A name the lookup tries, as bytes. Its first `fileNameBytes` bytes are a file-system name
// (the archive's own name, or an entry's name as the engine reports it), matched literally
// and shown as names are; the rest is a fixed or custom name (a custom name may hold
// wildcards).
struct Candidate {
    std::string name;
    std::size_t fileNameBytes = 0;
    bool operator==(const Candidate&) const = default;
};

// The archive's own name with "txt": Archive.ZIP → Archive.txt (the stem keeps its case).
Candidate NameTextCandidate(const std::string& archiveFileName);
std::string NameText(const std::string& archiveFileName);
// A custom name for an archive: "<filename>" anywhere in it puts the archive's name up to
// its first dot in place of the part before the custom name's first dot.
Candidate CustomNameCandidate(const std::string& archiveFileName, const std::string& customName);
std::string CustomCandidate(const std::string& archiveFileName, const std::string& customName);

// The include name the engine is asked for: the file-system part with its wildcard
// characters written as one-character sets, so that it stands for itself.
std::string IncludePattern(const Candidate& candidate);

// Where the lookup shows its work: the editor (emptied before each attempt; the text itself
// arrives through the engine's print callback while CaptureDescription is set) and the
// frame caption (the name tried).
class DescriptionTarget {
  public:
    virtual ~DescriptionTarget() = default;
    virtual void ClearDescription() = 0;
    virtual void SetCornice(const Candidate& name) = 0;
};

struct LookupResult {
    bool found = false;
    std::string cornice;  // the caption the frame shows afterwards, as bytes
};

// The unzip record of one attempt: one name to memory, names compared without case.
DCL LookupRecord(char* archive, char* emptyFolder);

// The lookup for the archive at `archivePath`. A candidate with wildcards (a custom name
// such as "*.nfo") stands for the first entry it matches (one lying in no folder before one
// that does), and the frame then names that entry, so the text is saved back under it.
LookupResult ViewInfo(const UnZip32& unzip, const std::string& archivePath,
                      const LookupChoice& choice, const std::vector<std::string>& customNames,
                      DescriptionTarget& target);

// The same candidates in the same order, each only asked for by name: the entry the lookup
// would show and the frame caption it would leave, without decompressing anything. An entry
// that is there but damaged counts as found.
LookupResult FindDescription(const UnZip32& unzip, const std::string& archivePath,
                             const LookupChoice& choice,
                             const std::vector<std::string>& customNames);

// One attempt with the name a lookup left in the frame, taken literally (without regard to
// case, as the lookup matched it): the text arrives through the engine's print callback.
// True when found.
bool ReadDescription(const UnZip32& unzip, const std::string& archivePath, const std::string& name,
                     DescriptionTarget& target);

}  // namespace tavrin
