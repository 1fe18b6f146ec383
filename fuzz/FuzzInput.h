// The one input file of a fuzz target's process: written anew for each input, removed at
// exit (with the "~" file a tag rebuild may leave beside it).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline const char* FilePath() {
    // A plain array: it outlives the exit handler that removes the file.
    static char path[] = "/tmp/tavrin-fuzz-XXXXXX";
    static const bool made = [] {
        int fd = mkstemp(path);
        if (fd >= 0) close(fd);
        std::atexit([] {
            unlink(path);
            char temp[sizeof path + 1];
            std::snprintf(temp, sizeof temp, "%s~", path);
            unlink(temp);
        });
        return true;
    }();
    (void)made;
    return path;
}

inline bool WriteInput(const std::uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(FilePath(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace fuzz
