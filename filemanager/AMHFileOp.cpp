#include "filemanager/AMHFileOp.h"

#include "filemanager/DateText.h"

namespace tavrin {

unsigned FlagWord(const TFileOpFlags& flags) {
    static const unsigned bits[] = {kFofAllowUndo,         kFofConfirmMouse,   kFofFilesOnly,
                                    kFofMultiDestFiles,    kFofNoConfirmation, kFofNoConfirmMkDir,
                                    kFofRenameOnCollision, kFofSilent,         kFofSimpleProgress,
                                    kFofWantMappingHandle};
    unsigned word = 0;
    for (TFileOpFlag flag : flags) word |= bits[flag];
    return word;
}

std::vector<std::string> SplitNames(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

void TAMHFileOp::SetFrom(const std::vector<std::string>& names) {
    FromList = names;
    FilesFrom.clear();
    for (const std::string& name : names) FilesFrom += (FilesFrom.empty() ? "" : ";") + name;
}

FileOpResult TAMHFileOp::Execute(UserQuestions& questions, FileOpProgress* progress) const {
    static const FileOpKind kinds[] = {FileOpKind::Copy, FileOpKind::Move, FileOpKind::Copy,
                                       FileOpKind::Delete, FileOpKind::Rename};
    FileOperation operation(questions, progress);
    // The overwrite question words sizes and dates as the file list does.
    operation.describeFile = [](std::uint64_t size, std::time_t modified) {
        return FormatThousands(size, ",") + " bytes, modified " + FormatDateTime(modified);
    };
    std::vector<std::string> from = FromList.empty() ? SplitNames(FilesFrom) : FromList;
    std::vector<std::string> to = ToList.empty() ? SplitNames(FilesTo) : ToList;
    return operation.Run(kinds[Operation], from, to, FlagWord(Flags));
}

}  // namespace tavrin
