#include "description/DescriptionCap.h"

#include <algorithm>

namespace tavrin {

std::size_t DescriptionCap::Fit(std::size_t length, bool* more) {
    std::size_t room = cap_ - used_;
    if (length <= room && !cut_) {
        used_ += length;
        *more = true;
        return length;
    }
    used_ = cap_;
    cut_ = true;
    *more = false;
    return std::min(length, room);
}

}  // namespace tavrin
