#include "tests/support/TestSupport.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace tavrin::test {

bool IsRoot() {
    return ::geteuid() == 0;
}

int RunAsUser(unsigned uid, unsigned gid, const std::function<int()>& work) {
    if (!IsRoot()) return -1;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(255);
        const int result = work();
        std::fflush(nullptr);
        ::_exit(result);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tavrin-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Undo read-only permissions tests may have set, so everything can go.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
         it.increment(ec))
        if (it->is_directory(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::string MakeToneMp3(const TempDir& dir, const std::string& name, const std::string& lameOptions,
                        double seconds, int rate, int channels) {
    std::string wav = dir / (name + ".wav");
    std::string mp3 = dir / (name + ".mp3");
    std::string script = dir / (name + ".py");
    WriteFile(
        script,
        "import wave,math,struct,sys\n"
        "rate,ch,n=int(sys.argv[2]),int(sys.argv[3]),int(float(sys.argv[4])*int(sys.argv[2]))\n"
        "w=wave.open(sys.argv[1],'wb');w.setnchannels(ch);w.setsampwidth(2)\n"
        "w.setframerate(rate);f=bytearray()\n"
        "for i in range(n):\n"
        " for c in range(ch):\n"
        "  f+=struct.pack('<h',int(12000*math.sin(2*math.pi*440*(c+1)*i/rate)))\n"
        "w.writeframes(bytes(f));w.close()\n");
    std::string output;
    if (RunCommand("python3 '" + script + "' '" + wav + "' " + std::to_string(rate) + " " +
                       std::to_string(channels) + " " + std::to_string(seconds) +
                       " && lame --quiet " + lameOptions + " '" + wav + "' '" + mp3 + "' 2>&1",
                   &output) != 0 ||
        !FileExists(mp3)) {
        ADD_FAILURE() << "cannot make " << mp3 << ": " << output;
        return {};
    }
    return mp3;
}

std::string UnzipEntry(const std::string& archive, const std::string& name) {
    std::string out;
    RunCommand("unzip -p '" + archive + "' '" + name + "' 2>/dev/null", &out);
    return out;
}

std::string UnzipNames(const std::string& archive) {
    std::string out;
    RunCommand("unzip -Z1 '" + archive + "' 2>/dev/null", &out);
    return out;
}

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void MakeZipWithPython(const std::string& archive,
                       const std::vector<std::pair<std::string, std::string>>& entries) {
    TempDir scratch;
    std::ostringstream script;
    script << "import zipfile,sys\n"
           << "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n";
    int i = 0;
    for (const auto& [name, content] : entries) {
        std::string file = scratch / ("c" + std::to_string(i));
        WriteFile(file, content);
        std::string entry = name, date = "2002-03-07-14-05";
        if (auto at = name.rfind('@'); at != std::string::npos) {
            entry = name.substr(0, at);
            date = name.substr(at + 1);
        }
        int y, mo, d, h, mi;
        std::sscanf(date.c_str(), "%d-%d-%d-%d-%d", &y, &mo, &d, &h, &mi);
        script << "i=zipfile.ZipInfo(" << '"';
        for (char c : entry) {
            if (c == '\\' || c == '"') script << '\\';
            script << c;
        }
        script << "\",(" << y << "," << mo << "," << d << "," << h << "," << mi << ",0))\n"
               << "i.compress_type=zipfile.ZIP_DEFLATED\n"
               << "z.writestr(i,open('" << file << "','rb').read())\n";
        ++i;
    }
    script << "z.close()\n";
    std::string scriptFile = scratch / "make.py";
    WriteFile(scriptFile, script.str());
    if (RunCommand("python3 '" + scriptFile + "' '" + archive + "'") != 0)
        throw std::runtime_error("python could not make " + archive);
}

namespace {

void RunPython(const std::string& script, const std::string& args, const std::string& what) {
    TempDir scratch;
    std::string file = scratch / "make.py";
    WriteFile(file, script);
    if (RunCommand("python3 '" + file + "' " + args) != 0)
        throw std::runtime_error("python could not make " + what);
}

}  // namespace

void MakeOverlapBomb(const std::string& archive, int count, std::size_t kernel) {
    RunPython(R"(import struct, sys, zlib
path, count, kernel = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = bytes(kernel)
c = zlib.compressobj(9, zlib.DEFLATED, -15)
packed = c.compress(data) + c.flush()
crc = zlib.crc32(data)
out = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 8, 0, 0x21, crc, len(packed), kernel,
                  6, 0) + b'a0.txt' + packed
cd = b''
for i in range(count):
    n = ('a%d.txt' % i).encode()
    cd += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 20, 0, 8, 0, 0x21, crc,
                      len(packed), kernel, len(n), 0, 0, 0, 0, 0o100644 << 16, 0) + n
end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count, count, len(cd), len(out), 0)
open(path, 'wb').write(out + cd + end)
)",
              "'" + archive + "' " + std::to_string(count) + " " + std::to_string(kernel), archive);
}

void MakeZeroBomb(const std::string& archive, const std::string& name, std::uint64_t declared) {
    // After a full flush the deflater starts afresh, so every further MiB of zeros packs to
    // the same bytes: the stream is built by repeating them.
    RunPython(R"(import struct, sys, zlib
path, name, size = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3])
mib = bytes(1 << 20)
c = zlib.compressobj(9, zlib.DEFLATED, -15)
first = c.compress(mib) + c.flush(zlib.Z_FULL_FLUSH)
again = c.compress(mib) + c.flush(zlib.Z_FULL_FLUSH)
assert c.compress(mib) + c.flush(zlib.Z_FULL_FLUSH) == again
count = size >> 20
packed = first + again * (count - 1) + c.flush()
crc = 0
for _ in range(count):
    crc = zlib.crc32(mib, crc)
out = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 8, 0, 0x21, crc, len(packed), size,
                  len(name), 0) + name + packed
cd = struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 20, 0, 8, 0, 0x21, crc,
                 len(packed), size, len(name), 0, 0, 0, 0, 0o100644 << 16, 0) + name
end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 1, 1, len(cd), len(out), 0)
open(path, 'wb').write(out + cd + end)
)",
              "'" + archive + "' '" + name + "' " + std::to_string(declared), archive);
}

WorkingFolder::WorkingFolder(const std::string& folder) {
    char buffer[4096];
    previous_ = getcwd(buffer, sizeof buffer) ? buffer : "/";
    if (chdir(folder.c_str()) != 0) throw std::runtime_error("cannot enter " + folder);
}

WorkingFolder::~WorkingFolder() {
    (void)!chdir(previous_.c_str());
}

bool ScriptedQuestions::NextBool(const std::string& what) {
    if (yesNo.empty()) {
        ADD_FAILURE() << "unexpected question: " << what;
        return false;
    }
    bool answer = yesNo.front();
    yesNo.pop_front();
    return answer;
}

bool ScriptedQuestions::AskYesNo(const std::string& title, const std::string& text) {
    records.push_back({"yesno", title, text, BoxIcon::Question});
    return NextBool(text);
}

bool ScriptedQuestions::AskOkCancel(const std::string& title, const std::string& text) {
    records.push_back({"okcancel", title, text, BoxIcon::Question});
    return NextBool(text);
}

bool ScriptedQuestions::AskDelete(const std::string& title, const std::string& text) {
    records.push_back({"delete", title, text, BoxIcon::Warning});
    return NextBool(text);
}

OverwriteAnswer ScriptedQuestions::AskOverwrite(const std::string& title, const std::string& text) {
    records.push_back({"overwrite", title, text, BoxIcon::Question});
    if (overwrite.empty()) {
        ADD_FAILURE() << "unexpected overwrite question: " << text;
        return OverwriteAnswer::Cancel;
    }
    OverwriteAnswer a = overwrite.front();
    overwrite.pop_front();
    return a;
}

SkipAnswer ScriptedQuestions::AskSkip(const std::string& title, const std::string& text) {
    records.push_back({"skip", title, text, BoxIcon::Error});
    if (skip.empty()) {
        ADD_FAILURE() << "unexpected error: " << text;
        return SkipAnswer::Cancel;
    }
    SkipAnswer a = skip.front();
    skip.pop_front();
    return a;
}

void ScriptedQuestions::ShowError(const std::string& text) {
    records.push_back({"error", kAppTitle, ErrorBoxText(text), BoxIcon::Error});
}

void ScriptedQuestions::ShowMessage(const std::string& title, const std::string& text,
                                    BoxIcon icon) {
    records.push_back({"message", title, text, icon});
}

std::optional<std::string> ScriptedQuestions::ChooseSaveFileName(const SaveFileRequest& request) {
    records.push_back({"save", request.title, request.filter, BoxIcon::None});
    if (saveNames.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return std::nullopt;
    }
    auto a = saveNames.front();
    saveNames.pop_front();
    return a;
}

std::optional<FontChoice> ScriptedQuestions::ChooseFont(const FontChoice&, int minPoints,
                                                        int maxPoints) {
    records.push_back(
        {"font", "", std::to_string(minPoints) + "-" + std::to_string(maxPoints), BoxIcon::None});
    if (fonts.empty()) {
        ADD_FAILURE() << "unexpected font dialog";
        return std::nullopt;
    }
    auto a = fonts.front();
    fonts.pop_front();
    return a;
}

namespace {

std::string Padded(std::string text, std::size_t size) {
    text.resize(size, ' ');
    return text;
}

}  // namespace

std::string SauceRecordBytes(const std::string& title, const std::string& author,
                             const std::string& group, const std::string& date,
                             unsigned char commentLines) {
    std::string r = "SAUCE00" + Padded(title, 35) + Padded(author, 20) + Padded(group, 20) +
                    Padded(date, 8) + std::string("\x34\x12\x00\x00", 4) + "\x01\x01" +
                    std::string("\x50\x00\x19\x00\x00\x00\x00\x00", 8);
    r += static_cast<char>(commentLines);
    r += '\x01';
    r += std::string(22, '\0');
    return r;
}

std::string SauceCommentBlock(std::initializer_list<const char*> lines) {
    std::string block = "COMNT";
    for (const char* line : lines) block += Padded(line, 64);
    return block;
}

}  // namespace tavrin::test
