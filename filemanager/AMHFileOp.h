// TAMHFileOp: one copy, move, delete or rename of a list of names, handed to the file
// operation. FilesFrom and FilesTo hold the names joined by ";"; a caller may also hand the
// names as lists, so that a name containing ";" travels intact.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/fileop/FileOperation.h"

namespace tavrin {

enum TFileOp { foMove = 1, foCopy = 2, foDelete = 3, foRename = 4 };  // the shell's codes

enum TFileOpFlag {
    fofAllowUndo,
    fofConfirmMouse,
    fofFilesOnly,
    fofMultiDestFiles,
    fofNoConfirmation,
    fofNoConfirmMkDir,
    fofRenameOnCollision,
    fofSilent,
    fofSimpleProgress,
    fofWantMappingHandle,
};
using TFileOpFlags = std::set<TFileOpFlag>;

// The flag word of a set of flags.
unsigned FlagWord(const TFileOpFlags& flags);
// A ";" list as names (empty parts dropped).
std::vector<std::string> SplitNames(const std::string& list);

class TAMHFileOp {
  public:
    std::string FilesFrom;
    std::string FilesTo;
    TFileOpFlags Flags;
    TFileOp Operation = foCopy;
    // When set, these lists are used instead of splitting FilesFrom / FilesTo.
    std::vector<std::string> FromList;
    std::vector<std::string> ToList;

    // Sets FilesFrom and FromList from a list of names.
    void SetFrom(const std::vector<std::string>& names);

    FileOpResult Execute(UserQuestions& questions, FileOpProgress* progress) const;
};

}  // namespace tavrin
