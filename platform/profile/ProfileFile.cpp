#include "platform/profile/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fileio/SafeReplace.h"

namespace tavrin {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = x - 'A' + 'a';
        if (y >= 'A' && y <= 'Z') y = y - 'A' + 'a';
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

// "[Name]" → Name; empty optional-like result (false) for other lines.
bool SectionName(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    std::size_t close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return !key.empty();
}

// The length of the first `characters` characters of UTF-8 text, in bytes.
std::size_t Utf8Prefix(std::string_view text, std::size_t characters) {
    std::size_t i = 0;
    for (std::size_t n = 0; i < text.size() && n < characters; ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return i;
}

std::string CleanValue(std::string_view value, bool utf8) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > ProfileFile::kMaxValueLength)
        value = value.substr(0, utf8 ? Utf8Prefix(value, ProfileFile::kMaxValueLength)
                                     : ProfileFile::kMaxValueLength);
    return std::string(value);
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    char buffer[65536];
    while (ok) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(buffer, std::size_t(n));
    }
    close(fd);
    return ok;
}

// Replaces the file at `path` (a link's target, keeping owner, group, mode and links) by
// `text`; false with `error` set when it cannot be written, and the old file is then whole.
bool WriteAtomically(const std::string& path, const std::string& text, std::string* error) {
    fileio::SafeReplace replace(path);
    bool ok = replace.Prepare() && replace.Create();
    if (ok && !fileio::WriteAllAt(replace.Fd(), text.data(), text.size(), 0)) {
        if (error) *error = fileio::ErrorText(errno);
        return false;
    }
    ok = ok && replace.Commit();
    if (!ok && error) *error = replace.Error();
    return ok;
}

}  // namespace

bool ProfileFile::ReadFileBytes(const std::string& path, std::string* bytes) {
    bytes->clear();
    return ReadWholeFile(path, *bytes);
}

ProfileFile ProfileFile::Open(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) return ProfileFile();
    return FromText(text);
}

ProfileFile ProfileFile::FromText(std::string_view text, bool utf8) {
    ProfileFile file;
    for (std::string_view line : SplitLines(text)) {
        std::string_view name, key, value;
        if (SectionName(line, name)) {
            file.sections_.push_back({std::string(name), {}});
        } else if (!file.sections_.empty() && KeyValue(line, key, value)) {
            file.sections_.back().entries.push_back({std::string(key), CleanValue(value, utf8)});
        }
    }
    return file;
}

const ProfileFile::Entry* ProfileFile::Find(std::string_view section, std::string_view key) const {
    for (const Section& s : sections_) {
        if (!SameName(s.name, section)) continue;
        // The first section of that name holds the keys, as the platform reader does.
        for (const Entry& e : s.entries)
            if (SameName(e.key, key)) return &e;
        return nullptr;
    }
    return nullptr;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const Entry* entry = Find(section, key);
    return entry ? entry->value : std::string(defaultValue);
}

bool ProfileFile::HasKey(std::string_view section, std::string_view key) const {
    return Find(section, key) != nullptr;
}

bool ProfileFile::WriteString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view value, std::string* error) {
    std::string text;
    bool existed = ReadWholeFile(path, text);
    if (!existed) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0) {  // there, but unreadable
            if (error) *error = fileio::ErrorText(S_ISDIR(st.st_mode) ? EISDIR : EACCES);
            return false;
        }
    }
    std::string eol = text.find("\r\n") != std::string::npos || text.empty() ? "\r\n" : "\n";
    std::vector<std::string_view> lines = SplitLines(text);

    std::string newLine = std::string(key) + "=" + std::string(value);
    std::string out;
    bool inTarget = false, done = false, sectionSeen = false;
    auto emit = [&](std::string_view line) {
        out.append(line);
        out += (!line.empty() && line.back() == '\r') ? "\n" : eol;
    };
    for (std::string_view line : lines) {
        std::string_view name, k, v;
        if (SectionName(line, name)) {
            if (inTarget && !done) {  // the key was missing in the section: add it at its end
                emit(newLine);
                done = true;
            }
            inTarget = !done && SameName(name, section) && !sectionSeen;
            if (SameName(name, section)) sectionSeen = true;
            emit(line);
            continue;
        }
        if (inTarget && !done && KeyValue(line, k, v) && SameName(k, key)) {
            emit(newLine);
            done = true;
            continue;
        }
        emit(line);
    }
    if (!done) {
        if (!inTarget) emit("[" + std::string(section) + "]");
        emit(newLine);
    }
    return WriteAtomically(path, out, error);
}

}  // namespace tavrin
