// A private folder of the program under the system's temporary folder, named
// "tavrin-KIND-XXXXXX" and removed with its contents when the object goes. While it lives it
// is locked (it is locked before it gets its name, so no other process sees it unlocked); one
// that no process holds any more (its process was killed) is stale, and the next folder of
// that kind made by the same user removes it.
#pragma once

#include <string>

#include "platform/fileio/FileIo.h"

namespace tavrin::fileio {

class PrivateFolder {
  public:
    // `kind` names what the folder is for ("diz"). `base` is the folder to make it in; empty
    // for the system's temporary folder ($TMPDIR, else /tmp).
    explicit PrivateFolder(const std::string& kind, const std::string& base = {});
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // The folder; empty when it could not be made (Error() says why).
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

    // Removes the stale folders of `kind` in `base` (see above).
    static void RemoveStale(const std::string& kind, const std::string& base);
    static std::string SystemTemporaryFolder();

  private:
    std::string path_;
    std::string error_;
    FileHandle lock_;
};

}  // namespace tavrin::fileio
