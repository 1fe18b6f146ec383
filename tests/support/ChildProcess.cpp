#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

extern char** environ;

namespace tavrin::test {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::string> ChangedEnvironment(
    const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<std::string> result;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& [n, v] : env) replaced = replaced || n == name;
        if (!replaced) result.push_back(entry);
    }
    for (const auto& [name, value] : env)
        if (!value.empty()) result.push_back(name + "=" + value);
    return result;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildRun RunWatched(const std::vector<std::string>& argv,
                    const std::vector<std::pair<std::string, std::string>>& env,
                    const std::string& marker, double markerTimeout, double deadline) {
    ChildRun run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<std::string> args = argv;
    std::vector<std::string> environment = ChangedEnvironment(env);
    std::vector<char*> argp = Pointers(args);
    std::vector<char*> envp = Pointers(environment);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return run;
    }
    run.started = true;

    const Clock::time_point start = Clock::now();
    Clock::time_point markerAt{};
    Clock::time_point endAt{};
    std::size_t scanned = 0;
    bool open = true;
    auto readSome = [&](int timeoutMs) {
        pollfd p{fds[0], POLLIN, 0};
        if (!open || ::poll(&p, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            open = false;
            return false;
        }
        run.output.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t eol;
             !run.markerSeen && (eol = run.output.find('\n', scanned)) != std::string::npos;
             scanned = eol + 1) {
            if (run.output.compare(scanned, marker.size(), marker) == 0) {
                run.markerSeen = true;
                markerAt = Clock::now();
            }
        }
        return true;
    };
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            endAt = Clock::now();
            run.endedInTime = true;
            break;
        }
        const double waited = run.markerSeen ? SecondsSince(markerAt) : SecondsSince(start);
        if (waited > (run.markerSeen ? deadline : markerTimeout)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            endAt = Clock::now();
            break;
        }
        if (!readSome(5)) ::usleep(2000);
    }
    // What it wrote last (a process it started may hold the pipe open: not for long).
    while (SecondsSince(endAt) < 0.5 && readSome(20)) {
    }
    if (run.markerSeen && markerAt < endAt)
        run.secondsAfterMarker = std::chrono::duration<double>(endAt - markerAt).count();
    ::close(fds[0]);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    return run;
}

bool RunAndKill(const std::vector<std::string>& argv, double seconds) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = argv;
    std::vector<char*> argp = Pointers(args);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argp.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    const auto wait = std::chrono::duration<double>(seconds);
    timespec pause{};
    pause.tv_sec = static_cast<time_t>(wait.count());
    pause.tv_nsec = static_cast<long>((wait.count() - static_cast<double>(pause.tv_sec)) * 1e9);
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace tavrin::test
