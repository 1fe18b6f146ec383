#include "description/DescriptionEmbed.h"

#include <fstream>

#include "engine/EngineCallbacks.h"
#include "packer/ArchiveJobs.h"
#include "packer/ZipOptions.h"
#include "platform/fileio/PrivateFolder.h"

namespace tavrin {

namespace {

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
    // Named "tavrin-diz-XXXXXX"; one a killed save left behind goes with the next save.
    fileio::PrivateFolder folder("diz");
    if (folder.Path().empty()) {
        outcome.kind = EmbedOutcome::kTempFailed;
        outcome.error = folder.Error();
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
    ZipEngineMessages().clear();
    outcome.engineResult = zip.ZpArchive(zcl);
    if (outcome.engineResult != ZE_OK) {
        outcome.kind = EmbedOutcome::kArchiveFailed;
        outcome.engineMessages = ZipEngineMessages();
        outcome.error = ZipFailureText(outcome.engineResult, outcome.engineMessages);
    }
    ZipEngineMessages().clear();
    return outcome;
}

}  // namespace tavrin
