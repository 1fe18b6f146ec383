// The probes' own peak memory: the high-water mark of this process's resident set, read from
// /proc. (getrusage's maximum would also count what the starting process held before it
// started the probe, a benchmark script's data among it.)
#pragma once

#include <cstdio>
#include <cstring>

namespace bench {

inline double PeakMiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atol(line + 6);
    std::fclose(status);
    return kib / 1024.0;
}

}  // namespace bench
