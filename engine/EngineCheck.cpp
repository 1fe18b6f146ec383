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

namespace {

std::optional<std::string> VersionString(const SharedLibrary& library, const std::string& key) {
    auto versionInfo =
        reinterpret_cast<const char* (*)(const char*)>(library.Symbol("ZpVersionInfo"));
    if (!versionInfo) return std::nullopt;
    const char* value = versionInfo(key.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace

std::optional<std::string> GetDllVersionString(const std::string& libraryPath,
                                               const std::string& key) {
    SharedLibrary library;
    if (!library.Open(libraryPath, nullptr)) return std::nullopt;
    return VersionString(library, key);
}

std::string ZipDllCheck(SharedLibrary* keepOpen) {
    std::string path = SearchLibrary(Zip32::kFileName);
    if (path.empty()) throw EngineCheckError(1, EngineNotFoundMessage(Zip32::kFileName));
    // One load serves both reads (and the caller's load that follows, when kept open).
    SharedLibrary local;
    SharedLibrary& library = keepOpen ? *keepOpen : local;
    std::optional<std::string> company, version;
    if (library.Open(path, nullptr)) {
        company = VersionString(library, "CompanyName");
        version = VersionString(library, "FileVersion");
    }
    if (!company || *company != "Info-ZIP" || !version || *version != "2.3")
        throw EngineCheckError(2, EngineWrongVersionMessage(Zip32::kFileName));
    return path;
}

}  // namespace tavrin

#include "engine/Engine.h"

namespace tavrin {

void LoadCheckedEngine(Engine& engine) {
    SharedLibrary checked;
    std::string zipPath = ZipDllCheck(&checked);
    if (!engine.zip.Load(zipPath))
        throw EngineCheckError(2, EngineWrongVersionMessage(Zip32::kFileName));
    std::string unzipPath = SearchLibrary(UnZip32::kFileName);
    if (unzipPath.empty()) throw EngineCheckError(1, EngineNotFoundMessage(UnZip32::kFileName));
    if (!engine.unzip.Load(unzipPath))
        throw EngineCheckError(2, EngineWrongVersionMessage(UnZip32::kFileName));
}

}  // namespace tavrin
