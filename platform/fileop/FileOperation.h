// The file operation behind the file manager's copy, move and delete: lists of names, one
// destination folder, questions before overwriting and before deleting, a progress report
// with cancel for long work, and a Skip / Skip all / Cancel question for a name that fails.
// A source is never removed before its copy is whole, a file is never replaced by a
// half-written one, and a volume is never deleted, moved or copied as a whole.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <ctime>
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

// An amount of work: entries (files, folders, links) and bytes of file contents.
struct FileOpCounts {
    std::uint64_t entries = 0;
    std::uint64_t bytes = 0;
    bool operator==(const FileOpCounts&) const = default;
};

// The operation reports its progress at most this often, so that many small entries cost
// no more than their own work.
inline constexpr std::chrono::milliseconds kProgressInterval{50};

// Where the operation reports its progress; the forms show a window with a cancel button
// once the work has lasted half a second.
class FileOpProgress {
  public:
    virtual ~FileOpProgress() = default;
    // The work starts ("Copying...", "Moving...", "Deleting...").
    virtual void Begin(const std::string& title) = 0;
    // The whole work, once counted (again when it turns out larger than counted).
    virtual void SetTotals(const FileOpCounts& totals) = 0;
    // The work done and the name at hand, at most every kProgressInterval; also while the
    // work is still being counted. False when the user has cancelled.
    virtual bool Update(const FileOpCounts& done, const std::string& currentName) = 0;
    virtual void End() = 0;
};

// The share of the work done, 0..1000: bytes, each entry weighing kEntryWeight bytes more,
// so that a folder of empty files moves the bar as well as one large file.
inline constexpr std::uint64_t kEntryWeight = 32 * 1024;
int ProgressPermille(const FileOpCounts& done, const FileOpCounts& total);

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
    // The size and date of a file as the overwrite question shows them.
    std::function<std::string(std::uint64_t size, std::time_t modified)> describeFile;
    // The clock that paces the progress reports (tests may replace it).
    std::function<std::chrono::steady_clock::time_point()> clock = std::chrono::steady_clock::now;

  private:
    // A name of the list as the operation found it before starting.
    struct Source {
        std::string path;
        struct stat st {};
        FileOpCounts counts;  // what handling it involves
    };
    bool Survey(FileOpKind kind, const std::vector<std::string>& sources, const std::string& folder,
                std::vector<Source>* found);
    void Count(const std::string& path, bool sizes, FileOpCounts* counts);
    void RunDelete(const std::vector<Source>& sources);
    void RunRename(const std::vector<std::string>& sources,
                   const std::vector<std::string>& destinations);
    void RunTransfer(bool move, const std::vector<Source>& sources,
                     const std::vector<std::string>& destinations, const std::string& folder);

    enum class Overwrite { Yes, No, Cancel };
    Overwrite AskOverwrite(const std::string& target, const struct stat& existing,
                           const struct stat& incoming);
    bool CopyEntry(const std::string& source, const std::string& target, bool move,
                   const FileOpCounts* known = nullptr);
    bool CopyFile(const std::string& source, const std::string& target, const struct stat& sst,
                  bool replacing);
    int CopyData(int in, int out, const struct stat& sst, const std::string& name);
    bool CopyTree(const std::string& source, const std::string& target, bool move);
    bool RemoveEntry(int parent, const std::string& name, const std::string& path,
                     unsigned char type, dev_t device);
    std::string FileFacts(const struct stat& st) const;

    bool Report(const std::string& text);  // the Skip question; always false
    bool Tick(const std::string& name, std::uint64_t entries, std::uint64_t bytes);
    void Grow(const FileOpCounts& more);

    UserQuestions& questions_;
    FileOpProgress* progress_;
    FileOpProgress* active_ = nullptr;  // progress_ unless the run is silent
    unsigned flags_ = 0;
    bool yesToAll_ = false;
    bool skipAll_ = false;
    bool cancelled_ = false;
    FileOpCounts done_, total_;
    std::chrono::steady_clock::time_point lastReport_;
    std::vector<std::pair<dev_t, ino_t>>
        copying_;  // the source folders being copied, outermost first
    std::vector<char> buffer_;
    FileOpResult result_;
};

// The notice when `root`, the root of a drive, is chosen as the source of `kind`.
std::string VolumeRootRefusal(FileOpKind kind, const std::string& root);

// The question before deleting `sources`: its title, and a text that names the one item by
// its full name, or several by their count and their first names.
std::string DeleteQuestionTitle(const std::vector<std::string>& sources);
std::string DeleteQuestionText(const std::vector<std::string>& sources);

// Whether `folder`, or one of the folders it lies in, is the folder `tree` (same device and
// inode), however the path to it is spelled or linked.
bool IsInsideFolder(const std::string& folder, const struct stat& tree);

}  // namespace tavrin
