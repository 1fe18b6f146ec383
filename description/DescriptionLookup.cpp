#include "description/DescriptionLookup.h"

#include <algorithm>

#include "engine/EngineCallbacks.h"
#include "packer/ArchiveJobs.h"

namespace tavrin {

namespace {

// The entry names a listing call reports, while one is running.
std::vector<std::string>* g_listed = nullptr;

void CollectName(ulg, ulg, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned, char,
                 char* name, char*, ulg, char) {
    if (g_listed && name) g_listed->push_back(name);
}

bool HasWildcards(const std::string& pattern) {
    return pattern.find_first_of("*?[") != std::string::npos;
}

// The attempts of one lookup against one archive: each candidate read to memory, or only
// asked for by name (listed, nothing decompressed).
class Attempts {
  public:
    Attempts(const UnZip32& unzip, const std::string& archive, DescriptionTarget* target)
        : unzip_(unzip), archive_(archive), target_(target) {
        InitUnzipCallbacks(table_);
    }

    bool Try(const Candidate& candidate) {
        if (target_) target_->ClearDescription();
        Candidate tried = candidate;
        std::string include = IncludePattern(candidate);
        bool exactCase = false;
        bool found;
        if (HasWildcards(include)) {
            // A pattern stands for the first entry it matches: only that one is read, and the
            // frame names it.
            std::string entry;
            found = FirstMatch(include, &entry);
            if (found) {
                tried = {entry, entry.size()};
                include = IncludePattern(tried);
                exactCase = true;
                if (target_) found = Call(include, exactCase, false);
            }
        } else {
            found = Call(include, exactCase, !target_);
        }
        if (target_) target_->SetCornice(tried);
        cornice_ = tried.name;
        return found;
    }
    const std::string& Cornice() const { return cornice_; }

  private:
    // One engine call with one include name: read to memory, or (`listOnly`) only listed.
    bool Call(std::string include, bool exactCase, bool listOnly, USERFUNCTIONS* table = nullptr) {
        char empty[] = "";
        DCL dcl = LookupRecord(archive_.data(), empty);
        if (exactCase) dcl.C_flag = 0;
        if (listOnly) {
            dcl.ncflag = 0;
            dcl.nvflag = 1;
        }
        char* names[] = {include.data()};
        return unzip_.Wiz_SingleEntryUnzip(1, names, 0, nullptr, &dcl, table ? table : &table_) ==
               0;
    }

    // The stored name of the first entry `pattern` matches, preferring one in no folder (a
    // description is saved back without a folder).
    bool FirstMatch(const std::string& pattern, std::string* entry) {
        std::vector<std::string> listed;
        USERFUNCTIONS table = table_;
        table.SendApplicationMessage = CollectName;
        g_listed = &listed;
        bool found = Call(pattern, false, true, &table);
        g_listed = nullptr;
        if (!found || listed.empty()) return false;
        *entry = listed.front();
        for (const std::string& name : listed) {
            if (name.find('/') == std::string::npos) {
                *entry = name;
                break;
            }
        }
        return true;
    }

    const UnZip32& unzip_;
    std::string archive_;
    DescriptionTarget* target_;
    USERFUNCTIONS table_{};
    std::string cornice_;
};

std::string FileNamePart(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The candidates in the order the toolbar's choice sets, until one is found. Without a
// target nothing is shown.
LookupResult RunLookup(Attempts& attempts, const std::string& archivePath,
                       const LookupChoice& choice, const std::vector<std::string>& customNames,
                       DescriptionTarget* target) {
    const std::string archiveName = FileNamePart(archivePath);
    const Candidate fileId{kFileIdName}, readme{kReadmeName};
    LookupResult result;
    auto nothingFound = [&](bool clear) {
        if (target && clear) target->ClearDescription();
        if (target) target->SetCornice(fileId);
        result.cornice = kFileIdName;
        return result;
    };

    // The custom names, as candidates for this archive, tried until one is found.
    auto tryCustom = [&]() {
        if (!choice.allCustom)
            return attempts.Try(CustomNameCandidate(archiveName, choice.customCaption));
        for (const std::string& name : customNames)
            if (attempts.Try(CustomNameCandidate(archiveName, name))) return true;
        return false;
    };

    switch (choice.mode) {
        case LookupMode::Automatic:
            result.found = attempts.Try(fileId) || attempts.Try(readme) ||
                           attempts.Try(NameTextCandidate(archiveName)) || tryCustom();
            if (!result.found) return nothingFound(true);
            break;
        case LookupMode::FileId:
            result.found = attempts.Try(fileId);
            break;
        case LookupMode::Readme:
            result.found = attempts.Try(readme);
            break;
        case LookupMode::FileName:
            result.found = attempts.Try(NameTextCandidate(archiveName));
            break;
        case LookupMode::Custom:
            // Nothing to try: the frame names the default description.
            if (choice.allCustom && customNames.empty()) return nothingFound(false);
            result.found = tryCustom();
            break;
    }
    if (!result.found && target) target->ClearDescription();
    result.cornice = attempts.Cornice();
    return result;
}

}  // namespace

Candidate NameTextCandidate(const std::string& archiveFileName) {
    std::size_t keep = archiveFileName.size() > 3 ? archiveFileName.size() - 3 : 0;
    return {archiveFileName.substr(0, keep) + "txt", keep};
}

std::string NameText(const std::string& archiveFileName) {
    return NameTextCandidate(archiveFileName).name;
}

Candidate CustomNameCandidate(const std::string& archiveFileName, const std::string& customName) {
    if (customName.find(kFileNamePlaceholder) == std::string::npos) return {customName, 0};
    std::size_t k = archiveFileName.find('.');
    std::size_t j = customName.find('.');
    std::string head = k == std::string::npos ? std::string() : archiveFileName.substr(0, k + 1);
    std::string tail = j == std::string::npos ? customName : customName.substr(j + 1);
    return {head + tail, head.size()};
}

std::string CustomCandidate(const std::string& archiveFileName, const std::string& customName) {
    return CustomNameCandidate(archiveFileName, customName).name;
}

std::string IncludePattern(const Candidate& candidate) {
    std::size_t split = std::min(candidate.fileNameBytes, candidate.name.size());
    return LiteralPattern(candidate.name.substr(0, split)) + candidate.name.substr(split);
}

DCL LookupRecord(char* archive, char* emptyFolder) {
    DCL d{};
    d.fQuiet = 2;
    d.ncflag = 1;
    d.nfflag = 1;
    d.C_flag = 1;
    d.fPrivilege = 1;
    d.lpszZipFN = archive;
    d.lpszExtractDir = emptyFolder;
    return d;
}

LookupResult ViewInfo(const UnZip32& unzip, const std::string& archivePath,
                      const LookupChoice& choice, const std::vector<std::string>& customNames,
                      DescriptionTarget& target) {
    struct Capture {
        Capture() { CaptureDescription = true; }
        ~Capture() { CaptureDescription = false; }
    } capture;
    target.ClearDescription();
    Attempts attempts(unzip, archivePath, &target);
    return RunLookup(attempts, archivePath, choice, customNames, &target);
}

LookupResult FindDescription(const UnZip32& unzip, const std::string& archivePath,
                             const LookupChoice& choice,
                             const std::vector<std::string>& customNames) {
    Attempts attempts(unzip, archivePath, nullptr);
    return RunLookup(attempts, archivePath, choice, customNames, nullptr);
}

bool ReadDescription(const UnZip32& unzip, const std::string& archivePath, const std::string& name,
                     DescriptionTarget& target) {
    struct Capture {
        Capture() { CaptureDescription = true; }
        ~Capture() { CaptureDescription = false; }
    } capture;
    Attempts attempts(unzip, archivePath, &target);
    return attempts.Try({name, name.size()});
}

}  // namespace tavrin
