// "Replace this file safely": the one way every writer of the program (the zip engine, the tag
// saves, tavrin.ini, tavrin.ext) puts new contents in place of a file.
//
// - A symbolic link is followed: its final target is written and the link stays.
// - A file the user may not write is refused ("Permission denied"), as Debian's zip refuses
//   it; the tag saves may first make the user's own read-only file writable.
// - The new contents go to a temporary file in the same folder: an unnamed one where the file
//   system allows it (a killed save then leaves nothing), else one named
//   ".tavrin-HHHHHHHH-XXXXXX.tmp" (HHHHHHHH a hash of the file's name), short enough beside a
//   255-byte name. The next save of that file removes such stale temporaries of its own kind.
// - The new file gets the old owner, group, mode and extended attributes before it takes the
//   old one's place, and is flushed to disk before the rename; the folder is flushed after.
// - A file with more than one hard link, or one whose owner could not be kept, is rewritten in
//   place once the new contents are complete and flushed, so that every name sees them and
//   the owner stays. Until that copy is done the new contents keep a name of their own
//   (".tavrin-HHHHHHHH-INODE.cpy"); a copy cut short by a crash is finished by the next save,
//   and a copy that fails says where the new contents are.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/fileio/FileIo.h"

namespace tavrin::fileio {

// Who may change a file that is there.
enum class Protection {
    // A file the user may not write is refused.
    kRefuseReadOnly,
    // The user's own read-only file is made writable first (its owner's write bit is added and
    // stays, "the attributes are set to normal"); any other file the user may not write is
    // refused.
    kUnlockOwnFile,
};

// The file a write through `path` changes: symbolic links are followed to their final target,
// also when that does not exist yet. False with errno set (ELOOP for a circle of links).
bool ResolveLinks(const std::string& path, std::string* target);

// Applies the protection rule to the existing file `path` before it is changed. False with
// errno set (EACCES, EROFS, ...) when it may not be changed.
bool MayModify(const std::string& path, Protection protection);

// The start of the names of the temporaries of a file called `bareName`.
std::string TemporaryPrefix(std::string_view bareName);

// A scratch file in `folder` for work on the file `forName` (the engine's temporary folder):
// without a name, so it goes when its descriptor is closed or the process dies. Stale
// temporaries of that name in `folder` are removed first. A closed handle, with `error` set,
// on failure.
FileHandle CreateScratchFile(const std::string& folder, std::string_view forName,
                             std::string* error = nullptr);

class SafeReplace {
  public:
    explicit SafeReplace(std::string path, Protection protection = Protection::kRefuseReadOnly);
    ~SafeReplace();  // a temporary that was not committed is removed
    SafeReplace(const SafeReplace&) = delete;
    SafeReplace& operator=(const SafeReplace&) = delete;

    // Resolves links, applies the protection, finishes an interrupted in-place rewrite of this
    // file and removes its stale temporaries. The file itself is not changed otherwise.
    bool Prepare();
    // Creates the temporary file; Fd() then takes the new contents from offset 0. A file that
    // did not exist gets `newFileMode` less the umask.
    bool Create(mode_t newFileMode = 0666);
    // Puts the new contents in place (see above). False with Error() when that fails; the old
    // file is then whole, or (only when an in-place copy failed) Error() names the file that
    // holds the new contents.
    bool Commit();

    int Fd() const { return temp_.Get(); }
    // The file that is written: the link's target for a link.
    const std::string& Target() const { return target_; }
    bool TargetExists() const { return exists_; }
    const struct stat& TargetStat() const { return old_; }
    // Why the last step failed: the system's text ("Permission denied"), with the file it
    // concerns where that is not the target.
    const std::string& Error() const { return error_; }
    int ErrorCode() const { return errorCode_; }

  private:
    bool Fail(int code, std::string text = {});
    bool RecoverInterruptedCopy();
    bool GiveName(const std::string& name);
    enum class CopyResult { kDone, kUntouched, kPartly };
    CopyResult CopyInPlace();
    std::string JournalName(ino_t inode) const;
    void Discard();

    std::string path_;
    Protection protection_;
    std::string target_, folder_, prefix_;
    struct stat old_ {};
    bool prepared_ = false;
    bool exists_ = false;
    FileHandle temp_;
    std::string tempName_;  // empty while the temporary has no name
    std::string error_;
    int errorCode_ = 0;
};

}  // namespace tavrin::fileio
