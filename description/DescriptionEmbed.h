// Writing a description back into its archive: the text goes into a file named like the
// description in a private temporary folder, and the zip engine adds that file to the
// archive without its folder, replacing the entry of that name.
#pragma once

#include <set>
#include <string>

#include "engine/Zip32.h"
#include "platform/fileio/PrivateFolder.h"

namespace tavrin {

struct EmbedOutcome {
    enum Kind {
        kStored,          // the archive holds the new text
        kTempFailed,      // the temporary file could not be written; nothing reached the archive
        kOptionsRefused,  // the engine refused the option record ("Error setting Zip Options")
        kArchiveFailed,   // the engine could not write the archive
    };
    Kind kind = kStored;
    int engineResult = 0;
    // The reason, for kTempFailed and kArchiveFailed (for the latter the engine's messages
    // without their labels, such as "Permission denied", or what its result means).
    std::string error;
    std::string engineMessages;  // kArchiveFailed: the engine's messages as it printed them
};

// The option record of the embedding: zero except fExtra, fJunkDir and fGrow TRUE and the
// level character of the options dialog's level text.
ZPOPT EmbedOptions(const std::string& levelText);

// Stores `text` (bytes as they go into the archive) in `archive` under `descriptionName`.
EmbedOutcome Embed(const Zip32& zip, const std::string& archive, const std::string& descriptionName,
                   const std::string& text, const std::string& levelText);

// Stores one text into one archive after another: the private folder the engine packs the
// text from, and the file under each description name, are made once for the whole run.
class EmbedBatch {
  public:
    EmbedBatch(const Zip32& zip, std::string text, std::string levelText);
    EmbedOutcome Store(const std::string& archive, const std::string& descriptionName);

  private:
    const Zip32& zip_;
    const std::string text_, levelText_;
    fileio::PrivateFolder folder_;
    std::set<std::string> written_;  // the files made in the folder
};

}  // namespace tavrin
