// The rules of a file-list pane, without widgets: what a folder or the drive list shows,
// filtering by attributes and masks, the sort order, navigation and the selection queries.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "filemanager/ItemProp.h"
#include "platform/Volumes.h"

namespace tavrin {

class FileListLogic {
  public:
    // The pseudo-folder that shows the drive list ("Drives" when reached by going up).
    static constexpr const char* kDrivesName = "Drives";

    // `programDir`: the program folder to record the working folder in when it is still
    // empty (the first pane constructed does this). Also sets the program's date formats.
    explicit FileListLogic(std::string* programDir = nullptr);

    // --- Properties ---------------------------------------------------------------------
    const std::string& Directory() const { return directory_; }
    // The folder rules: same folder (ignoring case) does nothing; "DRIVES" in any case
    // shows the drive list; an existing folder that can be entered becomes the working
    // folder and is listed; anything else does nothing. True when the pane was re-read.
    bool SetDirectory(const std::string& value);
    bool IsDriveList() const;

    const std::string& Mask() const { return mask_; }
    void SetMask(const std::string& mask);  // re-reads when the text differs
    TFileType FileType() const { return fileType_; }
    void SetFileType(TFileType type);  // re-reads when the set differs

    bool ContextMenu = false;
    bool ContextAction = false;

    const std::string& SelectedFile() const { return selectedFile_; }
    const std::vector<std::string>& SelectedNames() const { return selectedNames_; }
    int SortColumn() const { return sortColumn_; }
    bool SortDescending() const { return sortDescending_; }

    // --- Listing ------------------------------------------------------------------------
    // Clears and re-reads the pane; ends sorted (unless it shows the drive list).
    void FillList();
    // One level up; from "/" to the drive list; nothing in the drive list.
    void UpDirectory();
    const std::vector<FileItem>& Items() const { return items_; }
    std::vector<FileItem>& MutableItems() { return items_; }
    // The four column headings as the current listing sets them.
    std::vector<ColumnInfo> Columns() const;

    // --- Sorting ------------------------------------------------------------------------
    int CompareItems(const FileItem& a, const FileItem& b) const;
    // A click on column k: the same column turns the order, another one sorts by it
    // descending. Sorts once.
    void ColumnClicked(int column);

    // --- Selection ----------------------------------------------------------------------
    void SetSelected(std::size_t index, bool selected);
    void ClearSelection();
    int SelectedCount() const;        // the number selected, or all rows when none is
    std::string SelectedFilenames();  // full paths joined by ";"; rebuilds SelectedNames
    std::vector<std::string> SelectedPaths() const;  // the same paths as a list
    TObjectTypes SelectedTypes() const;
    std::uint64_t SelectedSize() const;
    // The first selected row in list order, or -1.
    int FirstSelected() const;

    // --- Mouse and keys -----------------------------------------------------------------
    // A click: SelectedFile becomes the full path of the first selected row, if any.
    void Click();
    // Double-click (and Enter): a folder or drive row navigates into it; a file row returns
    // the file to open with its default action (when ContextAction is set). Empty otherwise.
    std::string DoubleClick();

    // Hook for the platform facts the listing needs (tests may replace the volumes).
    std::function<std::vector<Volume>()> volumesProvider = MountedVolumes;

    // Called when a listing starts and when it has finished (the widget shows the hourglass
    // and resets its model).
    std::function<void()> onListingStarts;
    std::function<void()> onListed;

  private:
    void AddEntries(const std::string& pattern, std::uint8_t attributes);
    void AddDrives();
    void Sort();

    std::string directory_;
    std::string mask_ = "*.*";
    TFileType fileType_ = 0;
    std::string selectedFile_;
    std::vector<std::string> selectedNames_;
    int sortColumn_ = 0;
    bool sortDescending_ = true;
    std::vector<FileItem> items_;
};

// Whether a file name matches one mask piece ("*" any run, "?" one character), without
// regard to case; "*.*" matches every name, also one without a dot.
bool MatchesMask(const std::string& piece, const std::string& name);

// The drive type word of a type code.
const char* DriveTypeWord(int code);

}  // namespace tavrin
