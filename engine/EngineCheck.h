// The start-up check of the zip engine: the library must be found and its version table
// must name the maker "Info-ZIP" and the version "2.3".
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace tavrin {

class EngineCheckError : public std::runtime_error {
  public:
    EngineCheckError(int code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }  // 1: not found, 2: wrong version

  private:
    int code_;
};

// Reads one string of the version table of the library at `libraryPath`; nothing when any
// step fails (library not loadable, no version table, key unknown).
std::optional<std::string> GetDllVersionString(const std::string& libraryPath,
                                               const std::string& key);

class SharedLibrary;

// Searches the zip library and checks its maker and version. Returns the path found;
// throws EngineCheckError with the message the program shows. With `keepOpen`, the library
// read for the check stays loaded there, so loading it next costs nothing.
std::string ZipDllCheck(SharedLibrary* keepOpen = nullptr);

// The two messages of the check, formatted with a library's file name.
std::string EngineNotFoundMessage(const std::string& libraryName);
std::string EngineWrongVersionMessage(const std::string& libraryName);

}  // namespace tavrin
