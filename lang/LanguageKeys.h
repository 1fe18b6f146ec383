// The texts a language file replaces: 99 keys in 11 sections, each with its English default,
// listed in the order the loader applies them. A language file is read with the profile-file
// rules; its values are UTF-8 when the whole file is valid UTF-8, else Windows-1252.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/profile/ProfileFile.h"

namespace tavrin {

// One name per key, in the loader's order.
enum class LangText {
    // [Buttons]
    View,
    FilenameHint,
    Extract,
    SaveInfo,
    AutoHint,
    AutoView,
    ReadmeHint,
    AllCustom,
    // [Menu] 0 and 00, [Tabs], [Menu] 3, then the rest of [Menu]
    MenuFile,
    MenuExit,
    TabDiz,
    TabZip,
    TabFil,
    MenuMode,
    MenuOptions,
    MenuFont,
    MenuWordWrap,
    MenuHiddenFiles,
    MenuCustomFile,
    MenuChangeLanguage,
    MenuHelp,
    MenuUsing,
    MenuAbout,
    // [Packer]
    PackerStep1,
    PackerStep2,
    PackerStep3,
    PackerDrop,
    PackerSaveTo,
    PackerOptions,
    // [MP3]
    Mp3Choose,
    Mp3Artist,
    Mp3Title,
    Mp3Album,
    Mp3Year,
    Mp3Genre,
    Mp3Comment,
    Mp3FileSize,
    Mp3BitRate,
    Mp3Mode,
    Mp3MpegType,
    Mp3SampleRate,
    Mp3Duration,
    Mp3Encoder,
    Mp3CopyTo,
    Mp3CopyFrom,
    // [FileManager]
    FmView,
    FmCopy,
    FmMove,
    FmDelete,
    // [Zip options]
    ZipOptCaption,
    ZipOptGroup,
    ZipOptSystem,
    ZipOptVolume,
    ZipOptJunkDir,
    ZipOptRecurse,
    ZipOptLatestTime,
    ZipOptLevel,
    ZipOptGrow,
    ZipOptMove,
    ZipOptDeleteEntries,
    ZipOptUpdate,
    ZipOptFreshen,
    ZipOptDefault,
    ZipOptSave,
    ZipOptClose,
    // [Unpacker]
    UnzipCaption,
    UnzipSize,
    UnzipDate,
    UnzipFilename,
    UnzipPathTo,
    UnzipAll,
    UnzipSelected,
    UnzipCancel,
    UnzipExtractTo,
    UnzipOptions,
    UnzipOptGroup,
    UnzipOnlyNewer,
    UnzipNewerOrNew,
    UnzipOverwrite,
    UnzipCaseInsensitive,
    UnzipWithPath,
    // [Custom files]
    CustomCaption,
    CustomBoxRight,
    CustomLabelUp,
    CustomAdd,
    CustomRemove,
    CustomLabelBott,
    CustomSave,
    CustomClose,
    // [Lang setup]
    LangCaption,
    LangLabelTop,
    LangLabelBott,
    LangDefault,
    LangCancel,
    LangOK,
    // [Dialogs]
    ConfirmCopy,
    ConfirmMove,
    FilesWord,
    // Added after the first 98, so that their order stays: [Menu] 15
    MenuDescriptionGuide,
};

struct LanguageKey {
    LangText id;
    const char* section;
    const char* key;
    const char* defaultText;
};

// The 99 keys in the loader's order; LanguageKeys()[int(id)].id == id.
std::span<const LanguageKey> LanguageKeys();
const LanguageKey& KeyOf(LangText id);

class LanguageFile {
  public:
    // Reads the language file at `path`. A missing or unreadable file is not an error: every
    // key then has its default.
    static LanguageFile Open(const std::string& path);
    static LanguageFile FromBytes(std::string_view bytes);

    // The key's value as UTF-8 text: the file's value (an empty one stays empty, one over
    // 2047 characters is cut), else the default.
    std::string Text(LangText id) const;

  private:
    ProfileFile profile_;
    bool utf8_ = true;
};

}  // namespace tavrin
