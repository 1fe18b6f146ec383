#include "description/DescriptionEmbed.h"

#include <fstream>

#include "engine/EngineCallbacks.h"
#include "packer/ArchiveJobs.h"
#include "packer/ZipOptions.h"

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
    return EmbedBatch(zip, text, levelText).Store(archive, descriptionName);
}

// Named "tavrin-diz-XXXXXX"; one a killed save left behind goes with the next save.
EmbedBatch::EmbedBatch(const Zip32& zip, std::string text, std::string levelText)
    : zip_(zip), text_(std::move(text)), levelText_(std::move(levelText)), folder_("diz") {}

EmbedOutcome EmbedBatch::Store(const std::string& archive, const std::string& descriptionName) {
    EmbedOutcome outcome;
    if (folder_.Path().empty()) {
        outcome.kind = EmbedOutcome::kTempFailed;
        outcome.error = folder_.Error();
        return outcome;
    }
    std::string temporary = folder_.Path() + "/" + BareName(descriptionName);
    if (!written_.count(temporary)) {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text_.data(), std::streamsize(text_.size()));
        out.close();
        if (!out) {
            outcome.kind = EmbedOutcome::kTempFailed;
            outcome.error = "Cannot write " + temporary;
            return outcome;
        }
        written_.insert(temporary);
    }
    ZPOPT options = EmbedOptions(levelText_);
    if (!zip_.ZpSetOptions(&options)) {
        outcome.kind = EmbedOutcome::kOptionsRefused;
        return outcome;
    }
    InitZipCallbacks(zip_);
    std::string archiveBuffer = archive;
    char* names[] = {temporary.data()};
    ZCL zcl{1, archiveBuffer.data(), names};
    ZipEngineMessages().clear();
    outcome.engineResult = zip_.ZpArchive(zcl);
    if (outcome.engineResult != ZE_OK) {
        outcome.kind = EmbedOutcome::kArchiveFailed;
        outcome.engineMessages = ZipEngineMessages();
        outcome.error = ZipFailureText(outcome.engineResult, outcome.engineMessages);
    }
    ZipEngineMessages().clear();
    return outcome;
}

}  // namespace tavrin
