// Shared pieces of the engine library tests: scratch folders, files, independent readers
// (Debian's unzip and Python's zipfile) and drivers for both libraries. The libraries keep
// global state, so every driver sets its options and callbacks before each call.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/UnZip32.h"
#include "engine/Zip32.h"

namespace iztest {

namespace fs = std::filesystem;

class TempDir {
  public:
    explicit TempDir(const std::string& base = "/tmp") {
        std::string pattern = base + "/tviztestXXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    bool Made() const { return !path_.empty(); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

inline void SetMtime(const std::string& path, time_t t) {
    struct timespec times[2] = {{t, 0}, {t, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

inline time_t Mtime(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st.st_mtime;
}

// Runs a shell command; gives its standard output and sets `status` to its exit code.
// Runs `job` in a child process whose files cannot grow past `limit` bytes (writes beyond it
// fail with EFBIG) and returns the child's exit code, or -1 when it did not exit. Load the
// engine library before, so the child does not load it under the limit.
template <typename Job>
int RunWithFileSizeLimit(rlim_t limit, Job job) {
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        _exit(job());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    int rc = pclose(p);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

inline std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a Python script (zipfile is the independent reader and writer); gives its output.
inline std::string Python(const std::string& script, int* status = nullptr) {
    char path[] = "/tmp/tvizpyXXXXXX";
    int fd = mkstemp(path);
    std::string body = "import sys, zipfile\n" + script + "\n";
    if (write(fd, body.data(), body.size()) != static_cast<ssize_t>(body.size())) body.clear();
    close(fd);
    std::string out = Shell("python3 " + std::string(path) + " 2>&1", status);
    unlink(path);
    return out;
}

// Entry names in archive order, read by Debian's unzip.
inline std::vector<std::string> EntryNames(const std::string& archive) {
    std::vector<std::string> names;
    std::stringstream in(Shell("unzip -Z1 " + Quote(archive) + " 2>/dev/null"));
    for (std::string line; std::getline(in, line);) names.push_back(line);
    return names;
}

inline bool UnzipTestsOk(const std::string& archive) {
    int status = -1;
    Shell("unzip -tqq " + Quote(archive) + " >/dev/null 2>&1", &status);
    return status == 0;
}

inline std::string EntryContent(const std::string& archive, const std::string& entry) {
    return Shell("unzip -p " + Quote(archive) + " " + Quote(entry) + " 2>/dev/null");
}

// Files and folders below `dir`, relative, sorted ("" when the folder is empty).
inline std::vector<std::string> Tree(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::end(it);
         it.increment(ec))
        out.push_back(it->path().lexically_relative(dir).string());
    std::sort(out.begin(), out.end());
    return out;
}

inline tavrin::Zip32& ZipLib() {
    static tavrin::Zip32 lib;
    if (!lib.IsLoaded()) {
        std::string error;
        EXPECT_TRUE(lib.Load(TAVRIN_BIN_DIR "/libzip32.so", &error)) << error;
    }
    return lib;
}

inline tavrin::UnZip32& UnzipLib() {
    static tavrin::UnZip32 lib;
    if (!lib.IsLoaded()) {
        std::string error;
        EXPECT_TRUE(lib.Load(TAVRIN_BIN_DIR "/libunzip32.so", &error)) << error;
    }
    return lib;
}

// Drives ZpArchive: fill `options`, then Run. Printed text collects in Printed().
class ZipDriver {
  public:
    ZipDriver() {
        options = {};
        options.fLevel = '6';
        options.fQuiet = TRUE;
        Printed().clear();
        StopAfter() = -1;
        CommentAnswer().clear();
        CommentSeen().clear();
    }

    int Run(const std::string& archive, const std::vector<std::string>& names) {
        ZIPUSERFUNCTIONS functions{&Print, &Comment, nullptr, &Service};
        tavrin::Zip32& lib = ZipLib();
        EXPECT_EQ(lib.ZpInit(&functions), TRUE);
        EXPECT_EQ(lib.ZpSetOptions(&options), TRUE);
        std::vector<std::string> copies = names;
        std::vector<char*> argv;
        for (std::string& n : copies) argv.push_back(n.data());
        std::string zipName = archive;
        ZCL zcl{static_cast<int>(argv.size()), zipName.data(), argv.data()};
        return lib.ZpArchive(zcl);
    }

    static std::string& Printed() {
        static std::string text;
        return text;
    }
    // The service callback answers "stop" once this many files were announced (-1: never).
    static int& StopAfter() {
        static int n = -1;
        return n;
    }
    static std::string& CommentAnswer() {
        static std::string text;
        return text;
    }
    static std::string& CommentSeen() {
        static std::string text;
        return text;
    }

    ZPOPT options;

  private:
    static int Print(char* text, ulg length) {
        Printed().append(text, length);
        return static_cast<int>(length);
    }
    static char* Comment(char* current) {
        CommentSeen() = current;
        return CommentAnswer().data();
    }
    static int Service(const char*, ulg) {
        if (StopAfter() < 0) return 0;
        return StopAfter()-- == 0 ? 1 : 0;
    }
};

struct ListedEntry {
    ulg size, compSize;
    unsigned factor, month, day, year, hour, minute;
    std::string name, method;
    ulg crc;
    char encrypted;
};

// Drives Wiz_SingleEntryUnzip; the callbacks record into static state.
class UnzipDriver {
  public:
    UnzipDriver() {
        dcl = {};
        dcl.fQuiet = 2;
        dcl.ndflag = 1;
        functions = {};
        functions.print = &Print;
        functions.replace = &Replace;
        functions.password = &Password;
        functions.SendApplicationMessage = &Listed;
        functions.ServCallBk = &Service;
        State() = StateData{};
    }

    int Run(const std::string& archive, std::vector<std::string> include = {},
            std::vector<std::string> exclude = {}, const std::string& target = "") {
        std::string zipName = archive, dir = target;
        dcl.lpszZipFN = zipName.data();
        dcl.lpszExtractDir = target.empty() ? nullptr : dir.data();
        std::vector<char*> in, ex;
        for (std::string& s : include) in.push_back(s.data());
        for (std::string& s : exclude) ex.push_back(s.data());
        return UnzipLib().Wiz_SingleEntryUnzip(static_cast<int>(in.size()), in.data(),
                                               static_cast<int>(ex.size()), ex.data(), &dcl,
                                               &functions);
    }

    struct StateData {
        std::vector<std::string> pieces;
        bool piecesTerminated = true;
        std::vector<ListedEntry> listed;
        std::vector<std::string> asked;  // names given to the replace callback
        std::vector<int> answers;        // replace answers, in order (then 0)
        std::string password;
        int passwordPrompts = 0;
        int stopAfter = -1;
    };
    static StateData& State() {
        static StateData state;
        return state;
    }
    static std::string Joined() {
        std::string all;
        for (const std::string& p : State().pieces) all += p;
        return all;
    }

    DCL dcl;
    USERFUNCTIONS functions;

  private:
    static int Print(char* text, ulg length) {
        if (text[length] != '\0') State().piecesTerminated = false;
        State().pieces.emplace_back(text, length);
        return static_cast<int>(length);
    }
    static int Replace(char* name) {
        StateData& s = State();
        s.asked.push_back(name);
        if (s.answers.empty()) return 0;
        int answer = s.answers.front();
        s.answers.erase(s.answers.begin());
        return answer;
    }
    static int Password(char* buffer, int size, const char*, const char*) {
        ++State().passwordPrompts;
        snprintf(buffer, static_cast<size_t>(size), "%s", State().password.c_str());
        return 0;
    }
    static void Listed(ulg ucsize, ulg csize, unsigned cfactor, unsigned month, unsigned day,
                       unsigned year, unsigned hour, unsigned minute, char, char* name,
                       char* method, ulg crc, char encrypted) {
        State().listed.push_back(
            {ucsize, csize, cfactor, month, day, year, hour, minute, name, method, crc, encrypted});
    }
    static int Service(const char*, ulg) {
        int& n = State().stopAfter;
        if (n < 0) return 0;
        return n-- == 0 ? 1 : 0;
    }
};

}  // namespace iztest
