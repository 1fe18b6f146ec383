#include "app/Settings.h"

#include "platform/profile/ProfileFile.h"

namespace tavrin {

std::string ReadLanguageSetting(const std::string& programDir) {
    ProfileFile ini = ProfileFile::Open(programDir + "/" + kSettingsFileName);
    return ini.ReadString("International", "Language", kDefaultLanguage);
}

std::optional<std::string> StartupLanguageFile(const std::string& programDir,
                                               const std::string& languageName) {
    if (languageName == kDefaultLanguage) return std::nullopt;
    return programDir + "/" + languageName;
}

}  // namespace tavrin
