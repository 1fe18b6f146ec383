// The state the main window holds for the whole run and shares with the other parts.
#pragma once

#include <string>
#include <vector>

#include "platform/infozip/infozip_api.h"

namespace tavrin {

struct MainState {
    // Folder of tavrin.ini, tavrin.ext, the language files and the decoder library: the
    // working folder at start-up. Used without a trailing separator.
    std::string ProgramDir;
    std::string CurrentFile;  // the file whose description or tags are shown
    std::string LanguageName = "default";
    // Texts of the language file, held as UTF-8 text like every language text.
    std::string AllCustomLabel = "all custom files";
    std::string ConfirmCopyText = "Confirm copy";
    std::string ConfirmMoveText = "Confirm move";
    std::string FilesWordText = "file(s)";
    std::vector<std::string> ListedNames;   // entry names of the last listing
    std::vector<std::string> ExtractNames;  // entry names of one extraction
    USERFUNCTIONS UnzipCallbacks{};         // the shared table of listing and extraction
    bool DescriptionEdited = false;         // the shown description or tags have unsaved edits

    // ProgramDir + "/" + name.
    std::string ProgramFile(const std::string& name) const;
};

}  // namespace tavrin
