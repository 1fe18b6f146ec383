// Run-time binding of the zip engine library (libzip32.so). The program never links the
// engine: it is loaded with dlopen, so a missing or wrong engine is reported at start-up
// and tests can load a recording engine in its place.
#pragma once

#include <string>

#include "platform/infozip/infozip_api.h"

namespace tavrin {

// A dlopen'ed shared library, closed when the object goes.
class SharedLibrary {
  public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool Open(const std::string& path, std::string* error);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    void* Symbol(const char* name) const;
    const std::string& Path() const { return path_; }

  private:
    void* handle_ = nullptr;
    std::string path_;
};

// Searches a library the way the system searches one: the program's own folder, the
// working folder, LD_LIBRARY_PATH, then the system library folders. Empty when not found.
std::string SearchLibrary(const std::string& fileName);

class Zip32 {
  public:
    static constexpr const char* kFileName = "libzip32.so";

    // Loads the library at `path` (or searches kFileName when empty) and resolves every entry.
    bool Load(const std::string& path = {}, std::string* error = nullptr);
    bool IsLoaded() const { return ZpArchive != nullptr; }
    const std::string& Path() const { return library_.Path(); }

    int (*ZpInit)(LPZIPUSERFUNCTIONS) = nullptr;
    BOOL (*ZpSetOptions)(LPZPOPT) = nullptr;
    ZPOPT (*ZpGetOptions)() = nullptr;
    int (*ZpArchive)(ZCL) = nullptr;
    const char* (*ZpVersionInfo)(const char*) = nullptr;

  private:
    SharedLibrary library_;
};

}  // namespace tavrin
