// Packing, listing and extracting as the packer page and the unzip dialog do it; the forms
// and the companion tool share these.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"

namespace tavrin {

// Runs one blocking engine call. The forms pass a runner that shows the wait window and
// keeps it painted while the call runs; the default runs the call directly.
using EngineCallRunner = std::function<void(const std::function<void()>& call)>;

// Blank test of the archive names: true when `text` holds nothing but blanks and control
// characters.
bool IsBlankName(const std::string& text);

// Packs `names` into `archive` with the options the engine holds. Does nothing (and returns
// ZE_NONE) for a blank archive name or an empty list. Returns the engine's result; `messages`
// receives the engine's warnings and errors of the call.
int ZipFileList(const Zip32& zip, const std::string& archive, const std::vector<std::string>& names,
                const EngineCallRunner& runner = {}, std::string* messages = nullptr);

// What the packer page tells after a job: nothing when it went well silently (or there was
// merely nothing newer to take); else the outcome and the engine's messages, one a line.
std::string ZipJobNotice(const std::string& archive, int result, const std::string& messages);

// An entry name as an engine pattern that matches that name only ("*", "?" and "[" are put
// in brackets).
std::string LiteralPattern(const std::string& name);

// The five engine options of the unzip dialog, with their initial states.
struct UnzipBoxes {
    bool extractOnlyNewer = false;  // "extract only newer files"
    bool newerOrNew = false;        // "extract only newer/new files"
    bool overwrite = false;         // "always overwrite files"
    bool caseInsensitive = true;    // "case insensitive"
    bool withPath = false;          // "extract with path"
};

// The option records of the listing and of the extraction.
DCL ListingRecord(char* archive);
DCL ExtractionRecord(const UnzipBoxes& boxes, char* archive, char* extractDir);

// Lists `archive`: the lines and entry names reach the EngineOutput through UnzipMessage while
// CaptureListing is set. `clearLists` empties the dialog's list and ListedNames first.
// Returns the engine's result (ZE_NONE-like PK_PARAM for a blank path, no call made).
int Get_Contents(const UnZip32& unzip, USERFUNCTIONS& table, const std::string& archive,
                 const std::function<void()>& clearLists = {});

// The most entry names one extraction call carries.
inline constexpr std::size_t kMaxNamesPerCall = 1000;

struct ExtractionRequest {
    std::string archive;     // full path of the archive
    std::string extractDir;  // the target folder, as typed
    UnzipBoxes boxes;
    bool all = true;                  // "Unzip all"
    std::vector<std::string> listed;  // ListedNames
    std::vector<bool> selected;       // selection of the listing lines
};

// Extracts the listed entries, all or the selected ones, in calls of at most 1000 names.
// `extractNames` receives the names chosen. Returns the first non-zero engine result, or 0;
// PK_FIND when no name was chosen (no call made). A result that makes the rest pointless (a
// damaged or hostile archive, a stop) ends the calls and is the one returned.
int UnZip_SelectedFiles(const UnZip32& unzip, USERFUNCTIONS& table,
                        const ExtractionRequest& request, std::vector<std::string>& extractNames,
                        const EngineCallRunner& runner = {});

// What an engine result means, for the message shown when packing or extracting failed.
std::string ZipResultText(int result);
// Why a zip job failed: the engine's messages one a line without their "zip error:" labels
// ("Permission denied\nCould not create output file (a.zip)"), or what its result means when
// the engine said nothing.
std::string ZipFailureText(int result, const std::string& messages);
std::string UnzipResultText(int result);

}  // namespace tavrin
