#include "app/MainState.h"

namespace tavrin {

std::string MainState::ProgramFile(const std::string& name) const {
    return ProgramDir + "/" + name;
}

}  // namespace tavrin
