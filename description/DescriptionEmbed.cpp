#include "description/DescriptionEmbed.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/EngineCallbacks.h"
#include "packer/ZipOptions.h"

namespace tavrin {

namespace {

// A folder of our own under the system temporary folder, removed with its contents.
class PrivateFolder {
  public:
    PrivateFolder() {
        std::error_code ec;
        std::string base = std::filesystem::temp_directory_path(ec).string();
        if (ec || base.empty()) base = "/tmp";
        std::string pattern = base + "/tavrin-diz-XXXXXX";
        if (mkdtemp(pattern.data()))
            path_ = pattern;
        else
            error_ = std::strerror(errno);
    }
    ~PrivateFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

  private:
    std::string path_;
    std::string error_;
};

// The file name the description is stored under: the name's last part (the engine stores
// bare names only).
std::string BareName(const std::string& name) {
    std::size_t slash = name.find_last_of('/');
    std::string bare = slash == std::string::npos ? name : name.substr(slash + 1);
    return bare.empty() || bare == "." || bare == ".." ? std::string("file_id.diz") : bare;
}

}  // namespace

ZPOPT EmbedOptions(const std::string& levelText) {
    ZPOPT o{};
    o.fExtra = kZipTrue;
    o.fJunkDir = kZipTrue;
    o.fGrow = kZipTrue;
    o.fLevel = LevelCharacter(levelText);
    return o;
}

EmbedOutcome Embed(const Zip32& zip, const std::string& archive, const std::string& descriptionName,
                   const std::string& text, const std::string& levelText) {
    EmbedOutcome outcome;
    PrivateFolder folder;
    if (folder.Path().empty()) {
        outcome.kind = EmbedOutcome::kTempFailed;
        outcome.error = "Cannot create a temporary folder: " + folder.Error();
        return outcome;
    }
    std::string temporary = folder.Path() + "/" + BareName(descriptionName);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), std::streamsize(text.size()));
        out.close();
        if (!out) {
            outcome.kind = EmbedOutcome::kTempFailed;
            outcome.error = "Cannot write " + temporary;
            return outcome;
        }
    }
    ZPOPT options = EmbedOptions(levelText);
    if (!zip.ZpSetOptions(&options)) {
        outcome.kind = EmbedOutcome::kOptionsRefused;
        return outcome;
    }
    InitZipCallbacks(zip);
    std::string archiveBuffer = archive;
    char* names[] = {temporary.data()};
    ZCL zcl{1, archiveBuffer.data(), names};
    outcome.engineResult = zip.ZpArchive(zcl);
    if (outcome.engineResult != ZE_OK) outcome.kind = EmbedOutcome::kArchiveFailed;
    return outcome;
}

}  // namespace tavrin
