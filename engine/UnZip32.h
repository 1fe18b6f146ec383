// Run-time binding of the unzip engine library (libunzip32.so).
#pragma once

#include <string>

#include "engine/Zip32.h"

namespace tavrin {

class UnZip32 {
  public:
    static constexpr const char* kFileName = "libunzip32.so";

    bool Load(const std::string& path = {}, std::string* error = nullptr);
    bool IsLoaded() const { return Wiz_SingleEntryUnzip != nullptr; }
    const std::string& Path() const { return library_.Path(); }

    int (*Wiz_SingleEntryUnzip)(int, char**, int, char**, LPDCL, LPUSERFUNCTIONS) = nullptr;
    const char* (*ZpVersionInfo)(const char*) = nullptr;

  private:
    SharedLibrary library_;
};

}  // namespace tavrin
