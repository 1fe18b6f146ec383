#include "description/CustomNames.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tavrin {

std::vector<std::string> ReadCustoms(const std::string& path) {
    std::vector<std::string> names;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) names.push_back(line);
    }
    return names;
}

bool WriteCustoms(const std::string& path, const std::vector<std::string>& names) {
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    std::string text;
    for (const std::string& name : names)
        if (!name.empty()) text += name + "\r\n";
    bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size());
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temporary.c_str());
    return ok;
}

bool AddCustomName(std::vector<std::string>& names, const std::string& text) {
    if (std::find(names.begin(), names.end(), text) != names.end()) return false;
    names.push_back(text);
    return true;
}

}  // namespace tavrin
