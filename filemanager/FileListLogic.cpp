#include "filemanager/FileListLogic.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>

#include "filemanager/DateText.h"
#include "filemanager/TypeNames.h"
#include "platform/qt/Text.h"

namespace tavrin {

namespace {

constexpr const char* kThousandsSeparator = ",";

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

std::string UpperText(const std::string& text) {
    bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
    if (!ascii) return Utf8Bytes(Utf8Text(text).toUpper());
    std::string out = text;
    for (char& c : out) c = Upper(c);
    return out;
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string WorkingFolder() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

bool IsDirectory(const std::string& path, struct stat* st) {
    return stat(path.c_str(), st) == 0 && S_ISDIR(st->st_mode);
}

// What a column sort compares: the folder flag, and the key of the sort column.
struct SortKey {
    bool folder;
    std::string text;  // column 0: upper-case caption; other text columns: the sub-item
    double number;     // columns 1 and 3
};

double NumberOf(std::string text) {
    for (std::size_t at; (at = text.find(kThousandsSeparator)) != std::string::npos;)
        text.erase(at, std::strlen(kThousandsSeparator));
    if (!text.empty()) {
        char* end = nullptr;
        double value = std::strtod(text.c_str(), &end);
        if (end && *end == '\0' && end != text.c_str()) return value;
    }
    double when;
    if (ParseDateTime(text, &when)) return when;
    return 0;
}

SortKey KeyOf(const FileItem& item, int column) {
    SortKey key{item.IsFolderRow(), {}, 0};
    if (column == 0)
        key.text = UpperText(item.caption);
    else if (column == 1 || column == 3)
        key.number = NumberOf(item.sub[column - 1]);
    else if (column >= 1 && column <= 6)
        key.text = item.sub[column - 1];
    return key;
}

int CompareKeys(const SortKey& a, const SortKey& b, int column, bool descending) {
    int r;
    if (a.folder && !b.folder)
        r = -1;
    else if (b.folder && !a.folder)
        r = 1;
    else if (column == 0)
        r = a.text < b.text ? -1 : (b.text < a.text ? 1 : 0);
    else if (column == 1 || column == 3)
        r = a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    else
        r = strcasecmp(a.text.c_str(), b.text.c_str());
    return descending ? -r : r;
}

std::string AttributeLetters(bool regular, bool readOnly, bool hidden, bool system) {
    std::string letters;
    if (regular) letters += 'A';
    if (readOnly) letters += 'R';
    if (hidden) letters += 'H';
    if (system) letters += 'S';
    return letters;
}

}  // namespace

bool MatchesMask(const std::string& piece, const std::string& name) {
    if (piece.empty()) return false;
    if (piece == "*.*" || piece == "*") return true;
    // Iterative wildcard match with one backtrack point: linear in practice.
    std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < piece.size() && (piece[p] == '?' || Upper(piece[p]) == Upper(name[n]))) {
            ++p;
            ++n;
        } else if (p < piece.size() && piece[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < piece.size() && piece[p] == '*') ++p;
    return p == piece.size();
}

const char* DriveTypeWord(int code) {
    static const char* const words[] = {"<unknown>", "<not exists>", "Removable", "Fixed",
                                        "Remote",    "CDROM",        "RAM"};
    return code >= 0 && code <= 6 ? words[code] : words[0];
}

FileListLogic::FileListLogic(std::string* programDir) {
    if (programDir && programDir->empty()) {
        *programDir = WorkingFolder();
        while (programDir->size() > 1 && programDir->back() == '/') programDir->pop_back();
    }
    SetFileListDateFormats();
}

bool FileListLogic::IsDriveList() const {
    return EqualsNoCase(directory_, "DRIVES");
}

bool FileListLogic::SetDirectory(const std::string& value) {
    struct stat st {};
    if (EqualsNoCase(value, directory_)) {
        // The same folder: nothing to do. (A folder whose name differs only in case is
        // another folder here, and is entered.)
        struct stat current {};
        if (value == directory_ || !IsDirectory(value, &st) || !IsDirectory(directory_, &current) ||
            (st.st_dev == current.st_dev && st.st_ino == current.st_ino))
            return false;
    }
    if (EqualsNoCase(value, "DRIVES")) {
        directory_ = value;
        FillList();
        return true;
    }
    if (value.empty()) return false;
    std::string path = value[0] == '/' ? value : WithSlash(WorkingFolder()) + value;
    path = std::filesystem::path(path).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!IsDirectory(path, &st) || chdir(path.c_str()) != 0) return false;
    directory_ = WithSlash(path);
    FillList();
    return true;
}

void FileListLogic::SetMask(const std::string& mask) {
    if (mask == mask_) return;
    mask_ = mask;
    FillList();
}

void FileListLogic::SetFileType(TFileType type) {
    if (type == fileType_) return;
    fileType_ = type;
    FillList();
}

std::vector<ColumnInfo> FileListLogic::Columns() const {
    if (IsDriveList())
        return {{"Name", 190, false},
                {"Type", 100, false},
                {"Disk Size", 100, true},
                {"Free Space", 100, true}};
    return {{"Name", 190, false}, {"Size", 80, true}, {"", 10, false}, {"Modified", 110, false}};
}

void FileListLogic::FillList() {
    if (onListingStarts) onListingStarts();
    items_.clear();
    if (IsDriveList()) {
        AddDrives();
    } else {
        std::uint8_t attributes =
            fileType_ & (ftReadOnly | ftHidden | ftSystem | ftArchive | ftNormal);
        std::string folder = WithSlash(directory_);
        AddEntries(folder + "*.*", attributes | kDirectoryBit);
        std::size_t start = 0;
        while (true) {
            std::size_t end = mask_.find(';', start);
            AddEntries(folder + mask_.substr(start, end - start), attributes);
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    sortDescending_ = true;
    if (!IsDriveList()) ColumnClicked(0);
    if (onListed) onListed();
}

void FileListLogic::AddEntries(const std::string& pattern, std::uint8_t attributes) {
    if (directory_.empty() || chdir(directory_.c_str()) != 0) return;
    std::size_t slash = pattern.rfind('/');
    std::string folder = pattern.substr(0, slash + 1);
    std::string piece = pattern.substr(slash + 1);
    bool wantFolders = (attributes & kDirectoryBit) != 0;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        // Skip the other kind early where the directory says what an entry is.
        if ((entry->d_type == DT_DIR && !wantFolders) || (entry->d_type == DT_REG && wantFolders))
            continue;
        if (!MatchesMask(piece, name)) continue;
        std::string path = folder + name;
        struct stat st {};
        bool dangling = false;
        if (stat(path.c_str(), &st) != 0) {
            if (lstat(path.c_str(), &st) != 0) continue;  // gone meanwhile
            dangling = true;  // a link whose target is missing: listed as a file
        }
        bool isFolder = S_ISDIR(st.st_mode);
        if (isFolder != wantFolders) continue;
        bool regular = S_ISREG(st.st_mode);
        bool readOnly = (st.st_mode & S_IWUSR) == 0;
        bool hidden = name[0] == '.';
        bool system = !regular && !isFolder && !dangling;
        if ((readOnly && !(attributes & ftReadOnly)) || (hidden && !(attributes & ftHidden)) ||
            (system && !(attributes & ftSystem)))
            continue;

        FileItem item;
        item.caption = name;
        const TypeInfo& type = isFolder ? FolderTypeInfo() : FileTypeInfo(name);
        item.iconKey = isFolder ? "dir" : type.iconKey;
        item.size = isFolder || !regular ? 0 : static_cast<std::uint64_t>(st.st_size);
        item.sub[kSubSize] = isFolder ? " " : std::to_string(item.size);
        item.sub[kSubType] = type.name;
        item.sub[kSubModified] = FormatDateTime(st.st_mtime);
        item.sub[kSubAttributes] = AttributeLetters(regular, readOnly, hidden, system);
        item.sub[kSubPath] = path;
        item.sub[kSubKind] = isFolder ? "dir" : "file";
        items_.push_back(std::move(item));
    }
    closedir(dir);
}

void FileListLogic::AddDrives() {
    for (const Volume& v : volumesProvider()) {
        FileItem item;
        item.caption = v.displayName.empty() ? v.rootPath : v.displayName;
        item.iconKey = "drv:" + std::to_string(int(v.type));
        item.sub[kSubSize] = DriveTypeWord(v.type);
        item.sub[kSubType] = FormatThousands(v.ready ? v.totalBytes : 0, kThousandsSeparator);
        item.sub[kSubModified] = FormatThousands(v.ready ? v.freeBytes : 0, kThousandsSeparator);
        item.sub[kSubPath] = v.rootPath;
        item.sub[kSubKind] = "drv";
        items_.push_back(std::move(item));
    }
}

int FileListLogic::CompareItems(const FileItem& a, const FileItem& b) const {
    return CompareKeys(KeyOf(a, sortColumn_), KeyOf(b, sortColumn_), sortColumn_, sortDescending_);
}

void FileListLogic::ColumnClicked(int column) {
    if (column == sortColumn_) {
        sortDescending_ = !sortDescending_;
    } else {
        sortColumn_ = column;
        sortDescending_ = true;
    }
    Sort();
}

void FileListLogic::Sort() {
    // Keys are made once per row, not once per comparison.
    std::vector<SortKey> keys;
    keys.reserve(items_.size());
    for (const FileItem& item : items_) keys.push_back(KeyOf(item, sortColumn_));
    std::vector<std::size_t> order(items_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return CompareKeys(keys[x], keys[y], sortColumn_, sortDescending_) < 0;
    });
    std::vector<FileItem> sorted;
    sorted.reserve(items_.size());
    for (std::size_t i : order) sorted.push_back(std::move(items_[i]));
    items_ = std::move(sorted);
}

void FileListLogic::UpDirectory() {
    if (IsDriveList()) return;
    std::string folder = WithSlash(directory_);
    if (folder == "/") {
        SetDirectory(kDrivesName);
        return;
    }
    folder.pop_back();
    SetDirectory(folder.substr(0, folder.rfind('/') + 1));
}

void FileListLogic::SetSelected(std::size_t index, bool selected) {
    if (index < items_.size()) items_[index].selected = selected;
}

void FileListLogic::ClearSelection() {
    for (FileItem& item : items_) item.selected = false;
}

int FileListLogic::SelectedCount() const {
    int count = 0;
    for (const FileItem& item : items_) count += item.selected ? 1 : 0;
    return count ? count : static_cast<int>(items_.size());
}

std::string FileListLogic::SelectedFilenames() {
    selectedNames_.clear();
    std::string joined;
    for (const FileItem& item : items_) {
        if (!item.selected) continue;
        const std::string& path = item.sub[kSubPath];
        if (!joined.empty()) joined += ';';
        joined += path;
        std::size_t cut = path.find_last_of("/:");
        selectedNames_.push_back(cut == std::string::npos ? path : path.substr(cut + 1));
    }
    return joined;
}

std::vector<std::string> FileListLogic::SelectedPaths() const {
    std::vector<std::string> paths;
    for (const FileItem& item : items_)
        if (item.selected) paths.push_back(item.sub[kSubPath]);
    return paths;
}

TObjectTypes FileListLogic::SelectedTypes() const {
    TObjectTypes types = 0;
    for (const FileItem& item : items_) {
        if (!item.selected) continue;
        if (item.Kind() == "file")
            types |= otFile;
        else if (item.Kind() == "dir")
            types |= otDirectory;
        else if (item.Kind() == "drv")
            types |= otDisk;
    }
    return types;
}

std::uint64_t FileListLogic::SelectedSize() const {
    std::uint64_t total = 0;
    for (const FileItem& item : items_)
        if (item.selected && item.Kind() == "file") total += item.size;
    return total;
}

int FileListLogic::FirstSelected() const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].selected) return static_cast<int>(i);
    return -1;
}

void FileListLogic::Click() {
    int first = FirstSelected();
    if (first >= 0) selectedFile_ = items_[std::size_t(first)].sub[kSubPath];
}

std::string FileListLogic::DoubleClick() {
    int first = FirstSelected();
    if (first < 0) return {};
    const FileItem& item = items_[std::size_t(first)];
    if (item.Kind() == "dir" || item.Kind() == "drv") {
        SetDirectory(WithSlash(item.sub[kSubPath]));
        return {};
    }
    if (item.Kind() == "file" && ContextAction) return selectedFile_;
    return {};
}

}  // namespace tavrin
