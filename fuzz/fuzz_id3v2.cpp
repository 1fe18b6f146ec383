// Feeds arbitrary bytes as an MP3 file to TID3v2: Load, then a Save with a changed title. None
// may crash, read outside its buffers or hang; the saved file must read back with the new
// title and end with the old file's audio.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mp3/ID3v2.h"

namespace {

// The one input file of this process, removed at exit.
const char* FilePath() {
    static char path[] = "/tmp/tavrin-fuzz-id3v2-XXXXXX";
    static const bool made = [] {
        int fd = mkstemp(path);
        if (fd >= 0) close(fd);
        std::atexit([] {
            unlink(path);
            std::string temp = std::string(path) + "~";
            unlink(temp.c_str());
        });
        return true;
    }();
    (void)made;
    return path;
}

bool WriteInput(const std::uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(FilePath(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

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
    const std::size_t audioAt = static_cast<std::size_t>(tag.TagSize());
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
