#include "app/MainState.h"

namespace tavrin {

void MainState::RecordProgramDir(const std::string& workingFolder) {
    if (!ProgramDir.empty()) return;
    ProgramDir = workingFolder;
    while (ProgramDir.size() > 1 && ProgramDir.back() == '/') ProgramDir.pop_back();
}

std::string MainState::ProgramFile(const std::string& name) const {
    return ProgramDir + "/" + name;
}

}  // namespace tavrin
