// Runs a program as a watched child process: its standard output is read as it comes, and a
// child that outlives its deadline is killed, so that a hang fails a test instead of stopping
// the suite.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrin::test {

struct ChildRun {
    bool started = false;
    bool markerSeen = false;        // the marker line appeared on its standard output
    bool endedInTime = false;       // it ended by itself before the deadline
    int exitCode = -1;              // its exit status; -1 when it did not exit normally
    int signal = 0;                 // the signal that ended it, 0 for none
    double secondsAfterMarker = 0;  // from the marker line to its end
    std::string output;             // standard output and standard error
};

// Runs `argv` (argv[0] a path) with this process's environment changed by `env` (an empty
// value removes the name). Waits up to `markerTimeout` seconds for a line starting with
// `marker`, then up to `deadline` seconds for the child to end; a child still running then is
// killed.
ChildRun RunWatched(const std::vector<std::string>& argv,
                    const std::vector<std::pair<std::string, std::string>>& env,
                    const std::string& marker, double markerTimeout, double deadline);

// Runs `argv` (argv[0] a path, output discarded) and kills it with SIGKILL `seconds` after its
// start. True when the kill ended it; false when it had ended by itself or did not start.
bool RunAndKill(const std::vector<std::string>& argv, double seconds);

}  // namespace tavrin::test
