#include "engine/EngineCheck.h"

#include "engine/Zip32.h"

namespace tavrin {

std::string EngineNotFoundMessage(const std::string& libraryName) {
    return "Cannot find " + libraryName +
           ".\n"
           "The Dll must be in the application directory, the path,\n"
           "the Windows directory or the Windows System directory.";
}

std::string EngineWrongVersionMessage(const std::string& libraryName) {
    return libraryName +
           " has the wrong version number.\n"
           "Insure that you have the correct dll's installed, and that \n"
           "an older dll is not in your path or Windows System directory.";
}

std::optional<std::string> GetDllVersionString(const std::string& libraryPath,
                                               const std::string& key) {
    SharedLibrary library;
    if (!library.Open(libraryPath, nullptr)) return std::nullopt;
    auto versionInfo =
        reinterpret_cast<const char* (*)(const char*)>(library.Symbol("ZpVersionInfo"));
    if (!versionInfo) return std::nullopt;
    const char* value = versionInfo(key.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

std::string ZipDllCheck() {
    std::string path = SearchLibrary(Zip32::kFileName);
    if (path.empty()) throw EngineCheckError(1, EngineNotFoundMessage(Zip32::kFileName));
    auto company = GetDllVersionString(path, "CompanyName");
    auto version = GetDllVersionString(path, "FileVersion");
    if (!company || *company != "Info-ZIP" || !version || *version != "2.3")
        throw EngineCheckError(2, EngineWrongVersionMessage(Zip32::kFileName));
    return path;
}

}  // namespace tavrin

#include "engine/Engine.h"

namespace tavrin {

void LoadCheckedEngine(Engine& engine) {
    std::string zipPath = ZipDllCheck();
    if (!engine.zip.Load(zipPath))
        throw EngineCheckError(2, EngineWrongVersionMessage(Zip32::kFileName));
    std::string unzipPath = SearchLibrary(UnZip32::kFileName);
    if (unzipPath.empty()) throw EngineCheckError(1, EngineNotFoundMessage(UnZip32::kFileName));
    if (!engine.unzip.Load(unzipPath))
        throw EngineCheckError(2, EngineWrongVersionMessage(UnZip32::kFileName));
}

}  // namespace tavrin
