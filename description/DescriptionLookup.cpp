#include "description/DescriptionLookup.h"

#include "engine/EngineCallbacks.h"

namespace tavrin {

namespace {

// The attempts of one lookup against one archive: each candidate read to memory, or only
// asked for by name (listed, nothing decompressed).
class Attempts {
  public:
    Attempts(const UnZip32& unzip, const std::string& archive, DescriptionTarget* target)
        : unzip_(unzip), archive_(archive), target_(target) {
        InitUnzipCallbacks(table_);
    }

    bool Try(const std::string& name) {
        if (target_) target_->ClearDescription();
        char empty[] = "";
        DCL dcl = LookupRecord(archive_.data(), empty);
        if (!target_) {  // only whether the entry is there
            dcl.ncflag = 0;
            dcl.nvflag = 1;
        }
        std::string include = name;
        char* names[] = {include.data()};
        int result = unzip_.Wiz_SingleEntryUnzip(1, names, 0, nullptr, &dcl, &table_);
        if (target_) target_->SetCornice(name);
        cornice_ = name;
        return result == 0;
    }
    const std::string& Cornice() const { return cornice_; }

  private:
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
                       const std::string& allCustomLabel, DescriptionTarget* target) {
    const std::string archiveName = FileNamePart(archivePath);
    const bool allCustom = choice.customCaption == allCustomLabel;
    LookupResult result;
    auto nothingFound = [&](bool clear) {
        if (target && clear) target->ClearDescription();
        if (target) target->SetCornice(kFileIdName);
        result.cornice = kFileIdName;
        return result;
    };

    // The custom names, as candidates for this archive, tried until one is found.
    auto tryCustom = [&]() {
        if (!allCustom) return attempts.Try(CustomCandidate(archiveName, choice.customCaption));
        for (const std::string& name : customNames)
            if (attempts.Try(CustomCandidate(archiveName, name))) return true;
        return false;
    };

    switch (choice.mode) {
        case LookupMode::Automatic:
            result.found = attempts.Try(kFileIdName) || attempts.Try(kReadmeName) ||
                           attempts.Try(NameText(archiveName)) || tryCustom();
            if (!result.found) return nothingFound(true);
            break;
        case LookupMode::FileId:
            result.found = attempts.Try(kFileIdName);
            break;
        case LookupMode::Readme:
            result.found = attempts.Try(kReadmeName);
            break;
        case LookupMode::FileName:
            result.found = attempts.Try(NameText(archiveName));
            break;
        case LookupMode::Custom:
            // Nothing to try: the frame names the default description.
            if (allCustom && customNames.empty()) return nothingFound(false);
            result.found = tryCustom();
            break;
    }
    if (!result.found && target) target->ClearDescription();
    result.cornice = attempts.Cornice();
    return result;
}

}  // namespace

std::string NameText(const std::string& archiveFileName) {
    std::size_t keep = archiveFileName.size() > 3 ? archiveFileName.size() - 3 : 0;
    return archiveFileName.substr(0, keep) + "txt";
}

std::string CustomCandidate(const std::string& archiveFileName, const std::string& customName) {
    if (customName.find(kFileNamePlaceholder) == std::string::npos) return customName;
    std::size_t k = archiveFileName.find('.');
    std::size_t j = customName.find('.');
    std::string head = k == std::string::npos ? std::string() : archiveFileName.substr(0, k + 1);
    std::string tail = j == std::string::npos ? customName : customName.substr(j + 1);
    return head + tail;
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
                      const std::string& allCustomLabel, DescriptionTarget& target) {
    struct Capture {
        Capture() { CaptureDescription = true; }
        ~Capture() { CaptureDescription = false; }
    } capture;
    target.ClearDescription();
    Attempts attempts(unzip, archivePath, &target);
    return RunLookup(attempts, archivePath, choice, customNames, allCustomLabel, &target);
}

LookupResult FindDescription(const UnZip32& unzip, const std::string& archivePath,
                             const LookupChoice& choice,
                             const std::vector<std::string>& customNames,
                             const std::string& allCustomLabel) {
    Attempts attempts(unzip, archivePath, nullptr);
    return RunLookup(attempts, archivePath, choice, customNames, allCustomLabel, nullptr);
}

bool ReadDescription(const UnZip32& unzip, const std::string& archivePath, const std::string& name,
                     DescriptionTarget& target) {
    struct Capture {
        Capture() { CaptureDescription = true; }
        ~Capture() { CaptureDescription = false; }
    } capture;
    Attempts attempts(unzip, archivePath, &target);
    return attempts.Try(name);
}

}  // namespace tavrin
