// The cap on what one description lookup may decompress. It counts every byte the engine
// delivered, so an entry of zeros declared gigabytes long is cut after the cap like any
// other: the engine stops there and the rest is never decompressed.
#pragma once

#include <cstddef>

namespace tavrin {

// The largest description shown; a longer one is shown cut and cannot be saved.
inline constexpr std::size_t kMaxDescriptionBytes = 16u << 20;

class DescriptionCap {
  public:
    explicit DescriptionCap(std::size_t cap = kMaxDescriptionBytes) : cap_(cap) {}

    // One piece of `length` bytes as the engine delivered it. Gives how many of them fit;
    // `more` turns false once the cap is passed, and the engine then ends the entry.
    std::size_t Fit(std::size_t length, bool* more);

    // The description was longer than the cap.
    bool Cut() const { return cut_; }
    // A new description starts.
    void Reset() {
        used_ = 0;
        cut_ = false;
    }

  private:
    std::size_t cap_;
    std::size_t used_ = 0;
    bool cut_ = false;
};

}  // namespace tavrin
