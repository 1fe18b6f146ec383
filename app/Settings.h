// The settings file tavrin.ini in the program folder: one key, [International] Language.
#pragma once

#include <optional>
#include <string>

namespace tavrin {

inline constexpr const char* kSettingsFileName = "tavrin.ini";
inline constexpr const char* kDefaultLanguage = "default";

// The Language value of ProgramDir/tavrin.ini, "default" when the file or the key is missing.
// Reading never creates the file.
std::string ReadLanguageSetting(const std::string& programDir);

// The language file to apply at start-up: ProgramDir + "/" + the value, unless the value is
// exactly "default" (case-sensitive: "Default" names a file).
std::optional<std::string> StartupLanguageFile(const std::string& programDir,
                                               const std::string& languageName);

}  // namespace tavrin
