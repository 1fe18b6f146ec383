// Feeds arbitrary bytes as an MP3 file to TID3v2: Load, then a Save with a changed title. None
// may crash, read outside its buffers or hang; the saved file must read back with the new
// title and end with the old file's audio.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/FuzzInput.h"
#include "mp3/ID3v2.h"

namespace {

using fuzz::FilePath;
using fuzz::WriteInput;

std::string ReadBack() {
    std::string bytes;
    FILE* f = std::fopen(FilePath(), "rb");
    if (!f) return bytes;
    char buffer[65536];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, f)) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!WriteInput(data, size)) return 0;
    tavrin::TID3v2 tag;
    if (!tag.Load(FilePath())) return 0;
    // Saving rebuilds the whole file; only inputs that carry a tag exercise the frame walk.
    if (size < 10 || std::memcmp(data, "ID3", 3) != 0) return 0;
    std::size_t audioAt = static_cast<std::size_t>(tag.TagSize());
    // A version 2.4 footer goes with the old tag.
    if (audioAt > 0 && data[3] == 4 && (data[5] & 0x10) && audioAt + 3 <= size &&
        std::memcmp(data + audioAt, "3DI", 3) == 0)
        audioAt += 10;
    if (audioAt > size) return 0;
    static const char kTitle[] = "fuzz-title-ok";
    tag.SetTitle(kTitle);
    if (!tag.Save(FilePath())) return 0;
    tavrin::TID3v2 again;
    if (!again.Load(FilePath()) || again.Title() != kTitle) __builtin_trap();
    const std::string saved = ReadBack();
    const std::size_t audio = size - audioAt;
    if (saved.size() < audio + 10 ||
        std::memcmp(saved.data() + saved.size() - audio, data + audioAt, audio) != 0)
        __builtin_trap();
    return 0;
}
