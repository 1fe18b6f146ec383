// The file operation behind the file manager's copy, move and delete: lists of names, one
// destination folder, questions before overwriting and before deleting, a progress report
// with cancel for long work, and errors reported in boxes of its own. A source is never
// removed before its copy is whole, and a file is never replaced by a half-written one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/UserQuestions.h"
#include "platform/Volumes.h"

namespace tavrin {

enum class FileOpKind { Copy, Move, Delete, Rename };

// Flag bits as the shell's file operation names them.
enum FileOpFlagBits : unsigned {
    kFofMultiDestFiles = 0x0001,
    kFofConfirmMouse = 0x0002,
    kFofSilent = 0x0004,
    kFofRenameOnCollision = 0x0008,
    kFofNoConfirmation = 0x0010,
    kFofWantMappingHandle = 0x0020,
    kFofAllowUndo = 0x0040,
    kFofFilesOnly = 0x0080,
    kFofSimpleProgress = 0x0100,
    kFofNoConfirmMkDir = 0x0200,
};

// Where the operation reports its progress; the forms show a window with a cancel button
// once the work has lasted half a second.
class FileOpProgress {
  public:
    virtual ~FileOpProgress() = default;
    virtual void Begin(const std::string& title, std::uint64_t totalBytes) = 0;
    // False when the user has cancelled.
    virtual bool Update(std::uint64_t doneBytes, const std::string& currentName) = 0;
    virtual void End() = 0;
};

struct FileOpResult {
    bool cancelled = false;
    int failures = 0;  // names that could not be handled (each was reported)
    int done = 0;      // names handled
};

class FileOperation {
  public:
    FileOperation(UserQuestions& questions, FileOpProgress* progress = nullptr)
        : questions_(questions), progress_(progress) {}

    // Copy or move `sources` into the folder `destination` (with kFofMultiDestFiles, one
    // destination name per source); delete `sources`; rename `sources[i]` to `destinations[i]`.
    FileOpResult Run(FileOpKind kind, const std::vector<std::string>& sources,
                     const std::vector<std::string>& destinations, unsigned flags = 0);

    // The mount points a source is checked against: a volume root is never deleted, moved
    // or copied as a whole (tests may name a folder tree as a volume).
    std::function<std::vector<std::string>()> mountPoints = MountPoints;

  private:
    bool RefuseVolumeRoots(FileOpKind kind, const std::vector<std::string>& sources);
    enum class Overwrite { Yes, No, Cancel };
    Overwrite AskOverwrite(const std::string& target);
    bool CopyEntry(const std::string& source, const std::string& target, bool move);
    bool CopyFile(const std::string& source, const std::string& target);
    bool CopyTree(const std::string& source, const std::string& target, bool move);
    bool RemoveTree(const std::string& path, dev_t device);
    bool Report(const std::string& text);  // error box; false when cancelled meanwhile
    bool Tick(const std::string& name, std::uint64_t bytes);

    UserQuestions& questions_;
    FileOpProgress* progress_;
    unsigned flags_ = 0;
    bool yesToAll_ = false;
    bool cancelled_ = false;
    std::uint64_t done_ = 0;
    FileOpResult result_;
};

// The notice when `root`, the root of a drive, is chosen as the source of `kind`.
std::string VolumeRootRefusal(FileOpKind kind, const std::string& root);

// The question before deleting `sources`: its title, and a text that names the one item by
// its full name, or several by their count and their first names.
std::string DeleteQuestionTitle(const std::vector<std::string>& sources);
std::string DeleteQuestionText(const std::vector<std::string>& sources);

// The total size of the files below `paths` (for the progress report).
std::uint64_t TotalSize(const std::vector<std::string>& paths);

}  // namespace tavrin
