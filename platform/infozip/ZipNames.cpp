#include "ZipNames.h"

#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace izcommon {

std::string AsciiFold(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

namespace {

// Length of the set starting at pattern[p] == '[' including the closing ']', or 0 when the
// bracket is not closed (it is then an ordinary character).
size_t SetLength(std::string_view pattern, size_t p) {
    size_t i = p + 1;
    if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) ++i;
    if (i < pattern.size() && pattern[i] == ']') ++i;  // a leading ']' is a member
    while (i < pattern.size() && pattern[i] != ']') ++i;
    return i < pattern.size() ? i - p + 1 : 0;
}

// Bytes of the UTF-8 character at text[n] (1 for stray bytes), so '?' takes one character.
size_t CharLength(std::string_view text, size_t n) {
    unsigned char c = static_cast<unsigned char>(text[n]);
    if (c < 0xC0) return 1;
    size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    size_t len = 1;
    while (len < want && n + len < text.size() &&
           (static_cast<unsigned char>(text[n + len]) & 0xC0) == 0x80)
        ++len;
    return len;
}

bool SetMatches(std::string_view set, char c, bool ignoreCase) {
    // `set` is the inside of the brackets.
    bool negate = false;
    size_t i = 0;
    if (!set.empty() && (set[0] == '!' || set[0] == '^')) {
        negate = true;
        i = 1;
    }
    unsigned char ch = static_cast<unsigned char>(ignoreCase ? AsciiLower(c) : c);
    bool found = false;
    while (i < set.size()) {
        unsigned char lo = static_cast<unsigned char>(ignoreCase ? AsciiLower(set[i]) : set[i]);
        unsigned char hi = lo;
        if (i + 2 < set.size() && set[i + 1] == '-') {
            hi = static_cast<unsigned char>(ignoreCase ? AsciiLower(set[i + 2]) : set[i + 2]);
            i += 3;
        } else {
            ++i;
        }
        if (lo <= ch && ch <= hi) found = true;
    }
    return found != negate;
}

}  // namespace

bool HasWildcards(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '*' || text[i] == '?') return true;
        if (text[i] == '[' && SetLength(text, i) > 0) return true;
    }
    return false;
}

bool LiteralFromPattern(std::string_view pattern, std::string* literal) {
    literal->clear();
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c == '*' || c == '?') return false;
        size_t setLen = c == '[' ? SetLength(pattern, i) : 0;
        if (setLen == 0) {
            literal->push_back(c);
            continue;
        }
        // Only a set of one plain member stands for that one character.
        char member = pattern[i + 1];
        if (setLen != 3 || member == '!' || member == '^') return false;
        literal->push_back(member);
        i += 2;
    }
    return true;
}

bool WildMatch(std::string_view pattern, std::string_view name, bool ignoreCase) {
    const size_t npos = std::string_view::npos;
    size_t p = 0, n = 0;
    size_t starP = npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            char pc = pattern[p];
            if (pc == '*') {
                while (p < pattern.size() && pattern[p] == '*') ++p;
                if (p == pattern.size()) return true;  // a trailing star takes the rest
                starP = p;
                starN = n;
                continue;
            }
            if (pc == '?') {
                p += 1;
                n += CharLength(name, n);
                continue;
            }
            size_t setLen = pc == '[' ? SetLength(pattern, p) : 0;
            if (setLen > 0) {
                if (SetMatches(pattern.substr(p + 1, setLen - 2), name[n], ignoreCase)) {
                    p += setLen;
                    n += 1;
                    continue;
                }
            } else if (pc == name[n] || (ignoreCase && AsciiLower(pc) == AsciiLower(name[n]))) {
                ++p;
                ++n;
                continue;
            }
        }
        if (starP == npos) return false;
        // Let the last star take one more character and try again from there.
        starN += CharLength(name, starN);
        n = starN;
        p = starP;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

namespace {

void SplitComponents(std::string_view path, bool backslashToo, std::vector<std::string_view>* out) {
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        bool sep = i == path.size() || path[i] == '/' || (backslashToo && path[i] == '\\');
        if (!sep) continue;
        std::string_view part = path.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == "." || part == "..") continue;
        out->push_back(part);
    }
}

std::string_view StripDrive(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        path.remove_prefix(2);
    return path;
}

}  // namespace

std::string EntryNameFromPath(std::string_view path, bool junkDir) {
    std::vector<std::string_view> parts;
    SplitComponents(StripDrive(path), false, &parts);
    if (parts.empty()) return {};
    if (junkDir) return std::string(parts.back());
    std::string out;
    for (std::string_view part : parts) {
        if (!out.empty()) out += '/';
        out += part;
    }
    return out;
}

void SplitStoredName(std::string_view stored, bool spaceToUnderscore,
                     std::vector<std::string>* parts, bool* isDir) {
    parts->clear();
    *isDir = !stored.empty() && (stored.back() == '/' || stored.back() == '\\');
    while (!stored.empty() && (stored.front() == '/' || stored.front() == '\\'))
        stored.remove_prefix(1);
    std::vector<std::string_view> views;
    SplitComponents(StripDrive(stored), true, &views);
    for (std::string_view v : views) {
        std::string part(v);
        if (spaceToUnderscore)
            for (char& c : part)
                if (c == ' ') c = '_';
        parts->push_back(std::move(part));
    }
}

uint32_t UnixToDos(time_t t) {
    struct tm tm {};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80) return (0u << 25) | (1u << 21) | (1u << 16);
    if (tm.tm_year > 207)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return (static_cast<uint32_t>(tm.tm_year - 80) << 25) |
           (static_cast<uint32_t>(tm.tm_mon + 1) << 21) |
           (static_cast<uint32_t>(tm.tm_mday) << 16) | (static_cast<uint32_t>(tm.tm_hour) << 11) |
           (static_cast<uint32_t>(tm.tm_min) << 5) | static_cast<uint32_t>(tm.tm_sec / 2);
}

time_t DosToUnix(uint32_t dos) {
    struct tm tm {};
    tm.tm_year = static_cast<int>((dos >> 25) & 0x7f) + 80;
    tm.tm_mon = static_cast<int>((dos >> 21) & 0x0f) - 1;
    tm.tm_mday = static_cast<int>((dos >> 16) & 0x1f);
    tm.tm_hour = static_cast<int>((dos >> 11) & 0x1f);
    tm.tm_min = static_cast<int>((dos >> 5) & 0x3f);
    tm.tm_sec = static_cast<int>((dos & 0x1f) * 2);
    tm.tm_isdst = -1;
    return mktime(&tm);
}

bool ParseDateOption(const char* text, time_t* out) {
    if (!text) return false;
    std::string_view s(text);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    auto digits = [&](size_t pos, size_t count, int* value) {
        if (pos + count > s.size()) return false;
        *value = 0;
        for (size_t i = pos; i < pos + count; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            *value = *value * 10 + (s[i] - '0');
        }
        return true;
    };
    int year = 0, month = 0, day = 0;
    if (s.size() == 10 && s[4] == '-' && s[7] == '-') {
        if (!digits(0, 4, &year) || !digits(5, 2, &month) || !digits(8, 2, &day)) return false;
    } else if (s.size() == 8) {
        if (!digits(0, 2, &month) || !digits(2, 2, &day) || !digits(4, 4, &year)) return false;
    } else if (s.size() == 6) {
        if (!digits(0, 2, &month) || !digits(2, 2, &day) || !digits(4, 2, &year)) return false;
        year += year < 80 ? 2000 : 1900;
    } else {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1900 || year > 9999) return false;
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1)) return false;
    *out = t;
    return true;
}

void Cp437ToUtf8(std::string_view in, std::string* out) {
    static const uint16_t kHigh[128] = {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
        0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
        0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
        0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
        0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
        0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
        0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
        0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
        0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
        0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
        0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
        0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
    out->clear();
    out->reserve(in.size() * 2);
    for (char ch : in) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out->push_back(ch);
            continue;
        }
        uint16_t cp = kHigh[c - 0x80];
        if (cp < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

unsigned CurrentUmask() {
    unsigned mask = 022;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned value;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = value & 0777;
                break;
            }
        }
        std::fclose(f);
    }
    return mask;
}

std::string RandomToken(size_t length) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint64_t> counter{0};
    std::string out(length, 'x');
    std::vector<unsigned char> bytes(length);
    if (getrandom(bytes.data(), bytes.size(), GRND_NONBLOCK) != static_cast<ssize_t>(length)) {
        // No entropy yet: mix the clock, the process and a counter instead.
        uint64_t x =
            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            (static_cast<uint64_t>(getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ull);
        for (auto& b : bytes) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            b = static_cast<unsigned char>(x);
        }
    }
    for (size_t i = 0; i < length; ++i) out[i] = kAlphabet[bytes[i] % 36];
    return out;
}

}  // namespace izcommon
