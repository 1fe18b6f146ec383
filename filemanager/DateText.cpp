#include "filemanager/DateText.h"

#include <cstdint>
#include <cstdio>

namespace tavrin {

DateTimeFormats& ProgramDateFormats() {
    static DateTimeFormats formats;
    return formats;
}

void SetFileListDateFormats() {
    ProgramDateFormats().shortDate = "mm/dd/yyyy";
    ProgramDateFormats().longTime = "hh:nn";
}

namespace {

// Expands a pattern of the letters d, m, y (date) and h, n, s (time); other characters stay.
std::string Expand(const std::string& pattern, const std::tm& t) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        char buffer[16];
        int value = -1, width = static_cast<int>(run);
        switch (c) {
            case 'd':
                value = t.tm_mday;
                break;
            case 'm':
                value = t.tm_mon + 1;
                break;
            case 'y':
                value = run >= 4 ? t.tm_year + 1900 : (t.tm_year + 1900) % 100;
                break;
            case 'h':
                value = t.tm_hour;
                break;
            case 'n':
                value = t.tm_min;
                break;
            case 's':
                value = t.tm_sec;
                break;
            default:
                break;
        }
        if (value < 0) {
            out.append(run, c);
        } else {
            std::snprintf(buffer, sizeof buffer, "%0*d", width > 4 ? 4 : width, value);
            out += buffer;
        }
        i += run;
    }
    return out;
}

}  // namespace

std::string FormatDateTime(std::time_t when) {
    when -= when % 2;  // the two-second resolution of a directory entry's time
    std::tm t{};
    localtime_r(&when, &t);
    const DateTimeFormats& f = ProgramDateFormats();
    std::string text = Expand(f.shortDate, t);
    if (t.tm_hour == 0 && t.tm_min == 0 && t.tm_sec == 0) return text;
    return text + " " + Expand(f.longTime, t);
}

bool ParseDateTime(const std::string& text, double* value) {
    // The default formats: mm/dd/yyyy[ hh:nn]
    unsigned mo, d, y, h = 0, mi = 0;
    char tail;
    int n = std::sscanf(text.c_str(), "%u/%u/%u %u:%u%c", &mo, &d, &y, &h, &mi, &tail);
    if (!(n == 3 || n == 5)) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59) return false;
    std::tm t{};
    t.tm_year = static_cast<int>(y) - 1900;
    t.tm_mon = static_cast<int>(mo) - 1;
    t.tm_mday = static_cast<int>(d);
    t.tm_hour = static_cast<int>(h);
    t.tm_min = static_cast<int>(mi);
    t.tm_isdst = -1;
    *value = static_cast<double>(timegm(&t));
    return true;
}

std::string FormatThousands(std::uint64_t value, const std::string& separator) {
    std::string digits = std::to_string(value);
    std::string out;
    int count = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (count && count % 3 == 0) out.insert(0, separator);
        out.insert(out.begin(), *it);
        ++count;
    }
    return out;
}

}  // namespace tavrin
