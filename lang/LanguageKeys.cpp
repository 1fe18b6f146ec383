#include "lang/LanguageKeys.h"

#include <array>

#include "platform/text/TextCodec.h"

namespace tavrin {

namespace {

using enum LangText;

constexpr const char* kCustomLabelUp =
    "Insert custom file name in the box to the left\n"
    "and press \"Add\" button: for example,\n"
    "file.nfo  or  <filename>.txt\n"
    "(where <filename> will be added automatically)\n"
    "or readme.nfo, or any file name you prefer.";
constexpr const char* kCustomLabelBott =
    "To remove an item, highlight it in the right box and press \"Remove\";\n"
    "To save your preferences for the next sessions press the apposite button.";
constexpr const char* kLangNote =
    "NOTE: you can create your own version by adding a new TVK file (=TavrinLanguage)  in the "
    "program directory, using DEFAULT.TVK as a template. Afterwards, if you send me your custom "
    "file, I will include it (with your name) in the future releases of Tavrin.";

constexpr std::array kKeys = {
    LanguageKey{View, "Buttons", "view", "View"},
    LanguageKey{FilenameHint, "Buttons", "filename", "<filename>.txt"},
    LanguageKey{Extract, "Buttons", "extract", "Extract..."},
    LanguageKey{SaveInfo, "Buttons", "save info", "Save info"},
    LanguageKey{AutoHint, "Buttons", "auto", "Auto select"},
    LanguageKey{AutoView, "Buttons", "autoview", "Auto view"},
    LanguageKey{ReadmeHint, "Buttons", "readme", "readme.txt"},
    LanguageKey{AllCustom, "Buttons", "custom", "all custom files"},
    LanguageKey{MenuFile, "Menu", "0", "File"},
    LanguageKey{MenuExit, "Menu", "00", "Exit"},
    LanguageKey{TabDiz, "Tabs", "Diz", "Info ZIP files"},
    LanguageKey{TabZip, "Tabs", "Zip", "Easy zip packer"},
    LanguageKey{TabFil, "Tabs", "Fil", "File manager"},
    LanguageKey{MenuMode, "Menu", "3", "Mode"},
    LanguageKey{MenuOptions, "Menu", "1", "Options"},
    LanguageKey{MenuFont, "Menu", "10", "Font..."},
    LanguageKey{MenuWordWrap, "Menu", "11", "Word wrap"},
    LanguageKey{MenuHiddenFiles, "Menu", "12", "Show hidden files"},
    LanguageKey{MenuCustomFile, "Menu", "13", "Custom file..."},
    LanguageKey{MenuChangeLanguage, "Menu", "14", "Change language..."},
    LanguageKey{MenuHelp, "Menu", "2", "Help"},
    LanguageKey{MenuUsing, "Menu", "20", "Using Tavrin"},
    LanguageKey{MenuAbout, "Menu", "21", "About..."},
    LanguageKey{PackerStep1, "Packer", "Lstep1", "Step 1:"},
    LanguageKey{PackerStep2, "Packer", "Lstep2", "Step 2:"},
    LanguageKey{PackerStep3, "Packer", "Lstep3", "Step 3:"},
    LanguageKey{PackerDrop, "Packer", "Ldrop", "... and drop here"},
    LanguageKey{PackerSaveTo, "Packer", "Saveto", "Choose zip file name..."},
    LanguageKey{PackerOptions, "Packer", "Options", "Options..."},
    LanguageKey{Mp3Choose, "MP3", "Choose", "Use this format on saving info"},
    LanguageKey{Mp3Artist, "MP3", "Label1", "Artist"},
    LanguageKey{Mp3Title, "MP3", "Label2", "Title"},
    LanguageKey{Mp3Album, "MP3", "Label3", "Album"},
    LanguageKey{Mp3Year, "MP3", "Label4", "Year"},
    LanguageKey{Mp3Genre, "MP3", "Label5", "Genre"},
    LanguageKey{Mp3Comment, "MP3", "Label6", "Comment"},
    LanguageKey{Mp3FileSize, "MP3", "L1", "FileSize"},
    LanguageKey{Mp3BitRate, "MP3", "L2", "BitRate"},
    LanguageKey{Mp3Mode, "MP3", "L3", "Mode"},
    LanguageKey{Mp3MpegType, "MP3", "L4", "MPEG Type"},
    LanguageKey{Mp3SampleRate, "MP3", "L5", "Sample rate"},
    LanguageKey{Mp3Duration, "MP3", "L6", "Duration"},
    LanguageKey{Mp3Encoder, "MP3", "L7", "Encoder"},
    LanguageKey{Mp3CopyTo, "MP3", "ButtExport", "Copy to ID3 v1"},
    LanguageKey{Mp3CopyFrom, "MP3", "ButtImport", "Copy from ID3 v1"},
    LanguageKey{FmView, "FileManager", "Butt0", "View"},
    LanguageKey{FmCopy, "FileManager", "Butt1", "Copy"},
    LanguageKey{FmMove, "FileManager", "Butt2", "Move"},
    LanguageKey{FmDelete, "FileManager", "Butt3", "Delete"},
    LanguageKey{ZipOptCaption, "Zip options", "MTitle", "Zip engine options"},
    LanguageKey{ZipOptGroup, "Zip options", "Title", "(in blue most commons)"},
    LanguageKey{ZipOptSystem, "Zip options", "1", "Include system and hidden files"},
    LanguageKey{ZipOptVolume, "Zip options", "2", "Include volume label"},
    LanguageKey{ZipOptJunkDir, "Zip options", "3", "Do not add path"},
    LanguageKey{ZipOptRecurse, "Zip options", "4", "Recurse file in subdirectory"},
    LanguageKey{ZipOptLatestTime, "Zip options", "5", "Set zip file time as latest file in it"},
    LanguageKey{ZipOptLevel, "Zip options", "6", "Compression level (0 - 9)"},
    LanguageKey{ZipOptGrow, "Zip options", "7", "Allow appending to an existing zip file"},
    LanguageKey{ZipOptMove, "Zip options", "8", "Delete files added or updated in zip file"},
    LanguageKey{ZipOptDeleteEntries, "Zip options", "9", "Delete files from zip file"},
    LanguageKey{ZipOptUpdate, "Zip options", "10", "Update zip file--overwrite only if newer"},
    LanguageKey{ZipOptFreshen, "Zip options", "11", "Freshen zip file--overwrite only"},
    LanguageKey{ZipOptDefault, "Zip options", "ZipDefault", "Reset to default"},
    LanguageKey{ZipOptSave, "Zip options", "Save", "Save options and close"},
    LanguageKey{ZipOptClose, "Zip options", "Close", "Close without saving"},
    LanguageKey{UnzipCaption, "Unpacker", "Title", "Decompressing"},
    LanguageKey{UnzipSize, "Unpacker", "Label1", "Size(bytes)"},
    LanguageKey{UnzipDate, "Unpacker", "Label2", "Date / Hour"},
    LanguageKey{UnzipFilename, "Unpacker", "Label3", "Filename"},
    LanguageKey{UnzipPathTo, "Unpacker", "PathTo", "Decompress to:"},
    LanguageKey{UnzipAll, "Unpacker", "Unzip_all", "Unzip all"},
    LanguageKey{UnzipSelected, "Unpacker", "Unzip_par", "Unzip only selected"},
    LanguageKey{UnzipCancel, "Unpacker", "But_canc", "Cancel"},
    LanguageKey{UnzipExtractTo, "Unpacker", "Extract", "Extract to directory:"},
    LanguageKey{UnzipOptions, "Unpacker", "ZOptions", "Options"},
    LanguageKey{UnzipOptGroup, "Unpacker", "Opt_title", "Engine options (in blue most commons)"},
    LanguageKey{UnzipOnlyNewer, "Unpacker", "1", "extract only newer files"},
    LanguageKey{UnzipNewerOrNew, "Unpacker", "2", "extract only newer/new files"},
    LanguageKey{UnzipOverwrite, "Unpacker", "3", "always overwrite files"},
    LanguageKey{UnzipCaseInsensitive, "Unpacker", "4", "case insensitive"},
    LanguageKey{UnzipWithPath, "Unpacker", "5", "extract with path"},
    LanguageKey{CustomCaption, "Custom files", "Title", "Custom file setup"},
    LanguageKey{CustomBoxRight, "Custom files", "BoxRight", "File(s) to search:"},
    LanguageKey{CustomLabelUp, "Custom files", "LabelUp", kCustomLabelUp},
    LanguageKey{CustomAdd, "Custom files", "Butt_add", "&Add>>"},
    LanguageKey{CustomRemove, "Custom files", "Butt_rem", "<<Remove"},
    LanguageKey{CustomLabelBott, "Custom files", "LabelBott", kCustomLabelBott},
    LanguageKey{CustomSave, "Custom files", "Butt_save", "Save settings"},
    LanguageKey{CustomClose, "Custom files", "Butt_close", "Close"},
    LanguageKey{LangCaption, "Lang setup", "Title", "Customize language"},
    LanguageKey{LangLabelTop, "Lang setup", "LabelTop", "Please select your favourite language:"},
    LanguageKey{LangLabelBott, "Lang setup", "LabelBott", kLangNote},
    LanguageKey{LangDefault, "Lang setup", "Default", "Set as default"},
    LanguageKey{LangCancel, "Lang setup", "Canc", "Cancel"},
    LanguageKey{LangOK, "Lang setup", "OK", "OK"},
    LanguageKey{ConfirmCopy, "Dialogs", "Copying", "Confirm copy"},
    LanguageKey{ConfirmMove, "Dialogs", "Moving", "Confirm move"},
    LanguageKey{FilesWord, "Dialogs", "File", "file(s)"},
    LanguageKey{MenuDescriptionGuide, "Menu", "15", "Description guide"},
};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        if (static_cast<std::size_t>(kKeys[i].id) != i) return false;
    return true;
}
static_assert(kKeys.size() == 99 && InOrder(), "one key per text, in the order of LangText");

}  // namespace

std::span<const LanguageKey> LanguageKeys() {
    return kKeys;
}

const LanguageKey& KeyOf(LangText id) {
    return kKeys[static_cast<std::size_t>(id)];
}

LanguageFile LanguageFile::Open(const std::string& path) {
    std::string bytes;
    ProfileFile::ReadFileBytes(path, &bytes);
    return FromBytes(bytes);
}

LanguageFile LanguageFile::FromBytes(std::string_view bytes) {
    LanguageFile file;
    file.utf8_ = IsValidUtf8(bytes);
    if (file.utf8_ && bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    file.profile_ = ProfileFile::FromText(bytes, file.utf8_);
    return file;
}

std::string LanguageFile::Text(LangText id) const {
    const LanguageKey& key = KeyOf(id);
    std::string value = profile_.ReadString(key.section, key.key, key.defaultText);
    return utf8_ ? value : Windows1252ToUtf8(value);
}

}  // namespace tavrin
