#include "packer/ArchiveJobs.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/EngineCallbacks.h"

namespace tavrin {

namespace {

// Zero-terminated copies of a list of strings, with the pointer array the engine takes.
class NameArray {
  public:
    template <typename It>
    NameArray(It first, It last) {
        for (; first != last; ++first) copies_.push_back(*first);
        for (std::string& s : copies_) pointers_.push_back(s.data());
    }
    int Count() const { return static_cast<int>(pointers_.size()); }
    char** Data() { return pointers_.empty() ? nullptr : pointers_.data(); }

  private:
    std::vector<std::string> copies_;
    std::vector<char*> pointers_;
};

void Run(const EngineCallRunner& runner, const std::function<void()>& call) {
    if (runner)
        runner(call);
    else
        call();
}

// Clears a flag when the scope ends, also when an error ends it.
struct FlagScope {
    bool& flag;
    FlagScope(bool& f, bool value) : flag(f) { flag = value; }
    ~FlagScope() { flag = false; }
};

// Results after which the remaining names of an extraction are not asked for: the archive
// is unusable or hostile, memory ran out, or the user stopped.
bool EndsExtraction(int result) {
    switch (result) {
        case PK_BOMB:
        case PK_NOZIP:
        case PK_BADERR:
        case PK_MEM:
        case PK_PARAM:
        case IZ_CTRLC:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string LiteralPattern(const std::string& name) {
    std::string pattern;
    for (char c : name) {
        if (c == '*' || c == '?' || c == '[') {
            pattern += '[';
            pattern += c;
            pattern += ']';
        } else {
            pattern += c;
        }
    }
    return pattern;
}

bool IsBlankName(const std::string& text) {
    for (unsigned char c : text)
        if (c > ' ') return false;
    return true;
}

int ZipFileList(const Zip32& zip, const std::string& archive, const std::vector<std::string>& names,
                const EngineCallRunner& runner, std::string* messages) {
    if (messages) messages->clear();
    if (IsBlankName(archive) || names.empty()) return ZE_NONE;
    InitZipCallbacks(zip);
    std::string archiveBuffer = archive;
    NameArray files(names.begin(), names.end());
    int result = ZE_OK;
    ZipEngineMessages().clear();
    Run(runner, [&] {
        ZCL zcl{files.Count(), archiveBuffer.data(), files.Data()};
        result = zip.ZpArchive(zcl);
    });
    if (messages) *messages = ZipEngineMessages();
    ZipEngineMessages().clear();
    return result;
}

namespace {

// The engine's messages, one per "zip warning:" / "zip error:", with their continuation
// lines trimmed (the engine aligns them for a terminal).
std::vector<std::vector<std::string>> EngineMessages(const std::string& text) {
    std::vector<std::vector<std::string>> items;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line = line.substr(first);
        bool opens = false;
        for (const char* prefix : {"zip warning:", "zip error:", "zip I/O error:"}) {
            if (line.rfind(prefix, 0) != 0) continue;
            std::size_t rest = line.find_first_not_of(' ', std::strlen(prefix));
            line = rest == std::string::npos ? std::string() : line.substr(rest);
            opens = true;
        }
        if (opens || items.empty())
            items.push_back({line});
        else
            items.back().push_back(line);
    }
    return items;
}

std::string After(const std::string& line, const std::string& label) {
    return line.rfind(label, 0) == 0 ? line.substr(label.size()) : std::string();
}

}  // namespace

std::string ZipFailureText(int result, const std::string& messages) {
    std::string text;
    for (const auto& item : EngineMessages(messages))
        for (const std::string& line : item)
            if (!line.empty()) text += (text.empty() ? "" : "\n") + line;
    return text.empty() ? ZipResultText(result) : text;
}

std::string ZipJobNotice(const std::string& archive, int result, const std::string& messages) {
    if (messages.empty() && (result == ZE_OK || result == ZE_NONE)) return {};
    std::vector<std::vector<std::string>> items = EngineMessages(messages);

    // Files that would be stored under one name: each clash with both files.
    std::string clashes;
    for (const auto& item : items) {
        if (item.size() < 3) continue;
        std::string first = After(item[0], "first full name: ");
        std::string second = After(item[1], "second full name: ");
        std::string entry = After(item[2], "name in zip file repeated: ");
        if (first.empty() || second.empty() || entry.empty()) continue;
        clashes += "\n" + entry + ":\n    " + first + "\n    " + second;
    }
    if (!clashes.empty())
        return "Packing " + archive +
               " failed: these files would be stored under one name, which an archive cannot "
               "hold (cannot repeat names in zip file). Nothing was packed.\n" +
               clashes;

    std::string notice = result == ZE_OK
                             ? "Packing " + archive + ": done."
                             : "Packing " + archive + " failed: " + ZipResultText(result) + ".";
    constexpr std::size_t kMaxLines = 24;
    std::string lines;
    std::size_t shown = 0;
    for (const auto& item : items) {
        for (const std::string& line : item) {
            if (shown == kMaxLines) break;
            lines += "\n" + (line == "zip file empty"
                                 ? std::string("Every entry was deleted; the archive is kept, "
                                               "empty.")
                                 : line);
            ++shown;
        }
    }
    std::size_t total = 0;
    for (const auto& item : items) total += item.size();
    if (total > shown) lines += "\n... and " + std::to_string(total - shown) + " more";
    return lines.empty() ? notice : notice + "\n" + lines;
}

DCL ListingRecord(char* archive) {
    DCL d{};
    d.fQuiet = 2;
    d.nvflag = 1;
    d.nfflag = 1;
    d.C_flag = 1;
    d.fPrivilege = 1;
    d.lpszZipFN = archive;
    d.lpszExtractDir = nullptr;
    return d;
}

DCL ExtractionRecord(const UnzipBoxes& b, char* archive, char* extractDir) {
    DCL d{};
    d.ExtractOnlyNewer = b.extractOnlyNewer ? 1 : 0;
    d.fQuiet = 2;
    d.nfflag = b.newerOrNew ? 1 : 0;
    d.ndflag = b.withPath ? 1 : 0;
    d.noflag = b.overwrite ? 1 : 0;
    d.C_flag = b.caseInsensitive ? 1 : 0;
    d.fPrivilege = 1;
    d.lpszZipFN = archive;
    d.lpszExtractDir = extractDir;
    return d;
}

int Get_Contents(const UnZip32& unzip, USERFUNCTIONS& table, const std::string& archive,
                 const std::function<void()>& clearLists) {
    if (IsBlankName(archive)) return PK_PARAM;
    FlagScope listing(CaptureListing, true);
    if (clearLists) clearLists();
    std::string archiveBuffer = archive;
    DCL dcl = ListingRecord(archiveBuffer.data());
    return unzip.Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, &dcl, &table);
}

int UnZip_SelectedFiles(const UnZip32& unzip, USERFUNCTIONS& table,
                        const ExtractionRequest& request, std::vector<std::string>& extractNames,
                        const EngineCallRunner& runner) {
    extractNames.clear();
    if (IsBlankName(request.archive)) return PK_PARAM;
    InitUnzipCallbacks(table);
    CaptureDescription = false;  // nothing extracted here reaches the description
    std::string archiveBuffer = request.archive;
    std::string dirBuffer = request.extractDir;
    DCL dcl = ExtractionRecord(request.boxes, archiveBuffer.data(), dirBuffer.data());
    for (std::size_t i = 0; i < request.listed.size(); ++i)
        if (request.all || (i < request.selected.size() && request.selected[i]))
            extractNames.push_back(request.listed[i]);
    if (extractNames.empty()) return PK_FIND;
    // The engine takes the names as patterns; a stored name with wildcard characters must
    // match itself only.
    std::vector<std::string> patterns;
    patterns.reserve(extractNames.size());
    for (const std::string& name : extractNames) patterns.push_back(LiteralPattern(name));

    int result = PK_OK;
    Run(runner, [&] {
        for (std::size_t start = 0; start < patterns.size(); start += kMaxNamesPerCall) {
            std::size_t end = std::min(patterns.size(), start + kMaxNamesPerCall);
            NameArray batch(patterns.begin() + static_cast<std::ptrdiff_t>(start),
                            patterns.begin() + static_cast<std::ptrdiff_t>(end));
            int r =
                unzip.Wiz_SingleEntryUnzip(batch.Count(), batch.Data(), 0, nullptr, &dcl, &table);
            if (result == PK_OK || EndsExtraction(r)) result = r;
            if (EndsExtraction(r)) break;  // the next calls would meet the same
        }
    });
    CaptureDescription = false;
    return result;
}

std::string ZipResultText(int result) {
    switch (result) {
        case ZE_OK:
            return "done";
        case ZE_EOF:
        case ZE_FORM:
            return "the archive is damaged or is not a zip archive";
        case ZE_MEM:
            return "out of memory";
        case ZE_ABORT:
            return "stopped";
        case ZE_TEMP:
            return "the temporary file could not be written";
        case ZE_READ:
        case ZE_OPEN:
            return "some files could not be read";
        case ZE_NONE:
            return "there was nothing to do";
        case ZE_NAME:
            return "the archive name is missing";
        case ZE_WRITE:
            return "the archive could not be written";
        case ZE_CREAT:
            return "the archive could not be created";
        case ZE_PARMS:
            return "the options or the names are not valid";
        default:
            return "engine error " + std::to_string(result);
    }
}

std::string UnzipResultText(int result) {
    switch (result) {
        case PK_OK:
            return "done";
        case PK_WARN:
            return "some entries were skipped";
        case PK_ERR:
        case PK_BADERR:
            return "the archive is damaged";
        case PK_MEM:
            return "out of memory";
        case PK_PARAM:
            return "the options are not valid";
        case PK_FIND:
            return "no entry matched";
        case PK_NOZIP:
            return "the archive cannot be read or is not a zip archive";
        case PK_BOMB:
            return "its entries overlap one another (invalid zip file with overlapped "
                   "components, possible zip bomb); the rest was not extracted";
        case PK_DISK:
            return "a file could not be written (is the target folder writable?)";
        case IZ_CTRLC:
            return "stopped";
        case IZ_UNSUP:
            return "some entries use an unsupported method";
        case IZ_BADPWD:
            return "some entries need a password";
        default:
            return "engine error " + std::to_string(result);
    }
}

}  // namespace tavrin
