#include "description/DescriptionCap.h"

#include <algorithm>

namespace tavrin {

std::size_t DescriptionCap::Fit(std::size_t textLength, std::size_t delivered, bool* more) {
    std::size_t room = cap_ - used_;
    if (delivered <= room && !cut_) {
        used_ += delivered;
        *more = true;
        return textLength;
    }
    used_ = cap_;
    cut_ = true;
    *more = false;
    return std::min(textLength, room);
}

}  // namespace tavrin
