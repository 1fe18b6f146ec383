#include "platform/UserQuestions.h"

namespace tavrin {

std::string ErrorBoxText(const std::string& text) {
    if (!text.empty() && text.back() == '.') return text;
    return text + ".";
}

}  // namespace tavrin
