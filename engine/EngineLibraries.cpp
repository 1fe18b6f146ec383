#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "engine/UnZip32.h"
#include "engine/Zip32.h"

namespace fs = std::filesystem;

namespace tavrin {

SharedLibrary::~SharedLibrary() {
    Close();
}

bool SharedLibrary::Open(const std::string& path, std::string* error) {
    Close();
    handle_ = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle_) {
        if (error) *error = dlerror();
        return false;
    }
    path_ = path;
    return true;
}

void SharedLibrary::Close() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    path_.clear();
}

void* SharedLibrary::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

namespace {

std::string ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::vector<std::string> SearchFolders() {
    std::vector<std::string> folders;
    folders.push_back(ExecutableFolder());
    std::error_code ec;
    folders.push_back(fs::current_path(ec).string());
    if (const char* env = std::getenv("LD_LIBRARY_PATH")) {
        std::stringstream list(env);
        for (std::string dir; std::getline(list, dir, ':');)
            if (!dir.empty()) folders.push_back(dir);
    }
    for (const char* dir : {"/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/lib",
                            "/usr/lib", "/usr/local/lib"})
        folders.push_back(dir);
    return folders;
}

template <typename T>
bool Resolve(const SharedLibrary& lib, const char* name, T& target, std::string* error) {
    target = reinterpret_cast<T>(lib.Symbol(name));
    if (!target && error) *error = std::string("missing entry point ") + name;
    return target != nullptr;
}

}  // namespace

std::string SearchLibrary(const std::string& fileName) {
    for (const std::string& dir : SearchFolders()) {
        if (dir.empty()) continue;
        fs::path candidate = fs::path(dir) / fileName;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
    }
    return {};
}

bool Zip32::Load(const std::string& path, std::string* error) {
    ZpInit = nullptr;
    ZpSetOptions = nullptr;
    ZpGetOptions = nullptr;
    ZpArchive = nullptr;
    ZpVersionInfo = nullptr;
    std::string file = path.empty() ? SearchLibrary(kFileName) : path;
    if (file.empty()) {
        if (error) *error = std::string("cannot find ") + kFileName;
        return false;
    }
    if (!library_.Open(file, error)) return false;
    decltype(ZpArchive) archive = nullptr;
    bool ok = Resolve(library_, "ZpInit", ZpInit, error) &&
              Resolve(library_, "ZpSetOptions", ZpSetOptions, error) &&
              Resolve(library_, "ZpGetOptions", ZpGetOptions, error) &&
              Resolve(library_, "ZpVersionInfo", ZpVersionInfo, error) &&
              Resolve(library_, "ZpArchive", archive, error);
    if (!ok) {
        library_.Close();
        return false;
    }
    ZpArchive = archive;
    return true;
}

bool UnZip32::Load(const std::string& path, std::string* error) {
    Wiz_SingleEntryUnzip = nullptr;
    ZpVersionInfo = nullptr;
    std::string file = path.empty() ? SearchLibrary(kFileName) : path;
    if (file.empty()) {
        if (error) *error = std::string("cannot find ") + kFileName;
        return false;
    }
    if (!library_.Open(file, error)) return false;
    decltype(Wiz_SingleEntryUnzip) unzip = nullptr;
    bool ok = Resolve(library_, "ZpVersionInfo", ZpVersionInfo, error) &&
              Resolve(library_, "Wiz_SingleEntryUnzip", unzip, error);
    if (!ok) {
        library_.Close();
        return false;
    }
    Wiz_SingleEntryUnzip = unzip;
    return true;
}

}  // namespace tavrin
