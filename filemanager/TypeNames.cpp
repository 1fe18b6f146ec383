#include "filemanager/TypeNames.h"

#include <QMimeDatabase>
#include <unordered_map>

#include "platform/qt/Text.h"

namespace tavrin {

namespace {

std::string CacheKey(const std::string& fileName) {
    std::size_t dot = fileName.rfind('.');
    std::string key = dot == std::string::npos || dot == 0 ? "/" + fileName : fileName.substr(dot);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

TypeInfo FromMime(const QMimeType& mime) {
    return {Utf8Bytes(mime.comment()), Utf8Bytes(mime.name())};
}

}  // namespace

const TypeInfo& FileTypeInfo(const std::string& fileName) {
    static std::unordered_map<std::string, TypeInfo> cache;
    std::string key = CacheKey(fileName);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    static QMimeDatabase database;
    QString probe = key.front() == '/' ? FileNameText(key.substr(1)) : "x" + FileNameText(key);
    return cache
        .emplace(key, FromMime(database.mimeTypeForFile(probe, QMimeDatabase::MatchExtension)))
        .first->second;
}

const TypeInfo& FolderTypeInfo() {
    static const TypeInfo info = [] {
        QMimeDatabase database;
        return FromMime(database.mimeTypeForName("inode/directory"));
    }();
    return info;
}

}  // namespace tavrin
