// Helpers shared by the tests: temporary folders, files, running commands, the scripted
// user-question interface.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "platform/UserQuestions.h"

namespace tavrin::test {

// A fresh folder under the system temporary folder, removed with everything in it when the
// object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
// The file's own status (a link's, not its target's); zeros when it is missing.
struct stat StatOf(const std::string& path);
// The names in a folder, without "." and "..".
std::set<std::string> NamesIn(const std::string& folder);
bool FileExists(const std::string& path);

// `text` as one word for the shell, in single quotes.
std::string ShellQuoted(const std::string& text);

// Runs a shell command; returns its exit status and fills `output` with its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// Makes a zip archive with Python's zipfile: each entry is (name, content); dates are
// 2002-03-07 14:05 unless given as "name@YYYY-MM-DD-HH-MM".
void MakeZipWithPython(const std::string& archive,
                       const std::vector<std::pair<std::string, std::string>>& entries);

// Hostile archives, written byte by byte with Python:
// - the overlap bomb: `count` directory records (a0.txt, a1.txt, ...) that all point at one
//   local header whose data is `kernel` zero bytes deflated;
// - the zero bomb: one entry `name` of `declared` zero bytes (a multiple of 1 MiB, below
//   4 GiB), deflated to about a thousandth of that.
void MakeOverlapBomb(const std::string& archive, int count, std::size_t kernel);
void MakeZeroBomb(const std::string& archive, const std::string& name, std::uint64_t declared);

// A SAUCE record as ANSI editors write it (fields padded with blanks, file size, data and file
// type, `commentLines` comment lines announced), and a comment block of those lines.
std::string SauceRecordBytes(const std::string& title, const std::string& author,
                             const std::string& group, const std::string& date,
                             unsigned char commentLines);
std::string SauceCommentBlock(std::initializer_list<const char*> lines);

// Encodes `seconds` of sine tones (channel c at 440 * (c + 1) Hz, 16-bit) with LAME and the
// given options into dir/name.mp3 and returns its path; "" and a test failure when it cannot.
std::string MakeToneMp3(const TempDir& dir, const std::string& name, const std::string& lameOptions,
                        double seconds = 1, int rate = 44100, int channels = 2);

// One entry's bytes as Debian's unzip extracts them ("" when it cannot), and the archive's entry
// names one a line.
std::string UnzipEntry(const std::string& archive, const std::string& name);
std::string UnzipNames(const std::string& archive);

// The user "nobody" and group "nogroup" that tests run as root act as.
inline constexpr unsigned kNobody = 65534;
bool IsRoot();
// Runs `work` in a child process as user `uid` with group `gid` and no other groups; the
// child's exit status is what `work` returns (0..255), -1 when the child could not become that
// user (not root).
int RunAsUser(unsigned uid, unsigned gid, const std::function<int()>& work);

// Changes the working folder for the life of the object.
class WorkingFolder {
  public:
    explicit WorkingFolder(const std::string& folder);
    ~WorkingFolder();

  private:
    std::string previous_;
};

// Every question is recorded; answers come from a queue (a test that asks more than it
// queued fails).
class ScriptedQuestions : public UserQuestions {
  public:
    struct Record {
        // "yesno", "okcancel", "delete", "overwrite", "skip", "error", "message", "save",
        // "font"
        std::string kind;
        std::string title;
        std::string text;
        BoxIcon icon = BoxIcon::None;
    };

    bool AskYesNo(const std::string& title, const std::string& text) override;
    bool AskOkCancel(const std::string& title, const std::string& text) override;
    bool AskDelete(const std::string& title, const std::string& text) override;
    OverwriteAnswer AskOverwrite(const std::string& title, const std::string& text) override;
    SkipAnswer AskSkip(const std::string& title, const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowMessage(const std::string& title, const std::string& text, BoxIcon icon) override;
    std::optional<std::string> ChooseSaveFileName(const SaveFileRequest& request) override;
    std::optional<FontChoice> ChooseFont(const FontChoice& current, int minPoints,
                                         int maxPoints) override;

    std::vector<Record> records;
    std::deque<bool> yesNo;  // answers of AskYesNo, AskOkCancel and AskDelete
    std::deque<OverwriteAnswer> overwrite;
    std::deque<SkipAnswer> skip;
    std::deque<std::optional<std::string>> saveNames;
    std::deque<std::optional<FontChoice>> fonts;

  private:
    bool NextBool(const std::string& what);
};

}  // namespace tavrin::test
