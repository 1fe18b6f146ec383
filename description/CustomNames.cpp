#include "description/CustomNames.h"

#include <algorithm>
#include <fstream>

#include "platform/fileio/SafeReplace.h"

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
    std::string text;
    for (const std::string& name : names)
        if (!name.empty()) text += name + "\r\n";
    // A link's target is written; the file keeps its owner, group, mode and links.
    fileio::SafeReplace replace(path);
    return replace.Create() && fileio::WriteAllAt(replace.Fd(), text.data(), text.size(), 0) &&
           replace.Commit();
}

bool AddCustomName(std::vector<std::string>& names, const std::string& text) {
    if (std::find(names.begin(), names.end(), text) != names.end()) return false;
    names.push_back(text);
    return true;
}

}  // namespace tavrin
