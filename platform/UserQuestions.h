// The one small interface through which the program asks the user and tells the user
// things. Forms use the Qt implementation; tests use a scripted one, so no test ever
// blocks on a real dialog.
//
// Titles and texts are UTF-8. A file-system name goes into a text as its bytes (the file
// names of this system are UTF-8, and a name that is not shows as the panes show it); a
// single-byte content (a tag, a custom name) goes in as Windows1252ToUtf8 gives it; language
// texts are UTF-8 already.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

// Title of the application, of its error boxes and of its plain message boxes.
inline constexpr const char* kAppTitle = "Tavrin 2.7";

enum class BoxIcon { None, Information, Warning, Error, Question };

enum class OverwriteAnswer { Yes, YesToAll, No, Cancel };

enum class SkipAnswer { Skip, SkipAll, Cancel };

// A font as the description editor uses it, free of any toolkit type.
struct FontChoice {
    std::string family;
    int pointSize = 9;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint32_t rgb = 0x000080;  // navy
    bool operator==(const FontChoice&) const = default;
};

struct SaveFileRequest {
    std::string title;
    std::string filter;            // "Compressed files (*.zip)|*.zip"
    std::string defaultExtension;  // "zip": added when the chosen name has none
    std::string initialName;       // the last name chosen, or empty
};

class UserQuestions {
  public:
    virtual ~UserQuestions() = default;

    // Question box with "&Yes" and "&No"; true for yes.
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
    // Question box with OK and Cancel; true for OK.
    virtual bool AskOkCancel(const std::string& title, const std::string& text) = 0;
    // The question before something is deleted: "&Yes" and "&No", and No is the default
    // button, so Enter or Escape deletes nothing. True for yes. (An implementation without
    // default buttons may ask as AskYesNo does.)
    virtual bool AskDelete(const std::string& title, const std::string& text) {
        return AskYesNo(title, text);
    }
    // Overwrite question of the file operation: "Yes", "Yes to all", "No", "Cancel".
    virtual OverwriteAnswer AskOverwrite(const std::string& title, const std::string& text) = 0;
    // An error while handling one name of a file operation: an error box with "&Skip",
    // "Skip &all" and "Cancel". (An implementation without such a box may show the error
    // and skip.)
    virtual SkipAnswer AskSkip(const std::string& title, const std::string& text) {
        ShowMessage(title, text, BoxIcon::Error);
        return SkipAnswer::Skip;
    }
    // Error box titled kAppTitle with an OK button; the text as ErrorBoxText gives it.
    virtual void ShowError(const std::string& text) = 0;
    // Message box with an OK button, the given title and icon.
    virtual void ShowMessage(const std::string& title, const std::string& text,
                             BoxIcon icon = BoxIcon::None) = 0;
    // A file name for saving, as the file system spells it (bytes).
    virtual std::optional<std::string> ChooseSaveFileName(const SaveFileRequest& request) = 0;
    // Font dialog with effects, sizes limited to minPoints..maxPoints.
    virtual std::optional<FontChoice> ChooseFont(const FontChoice& current, int minPoints,
                                                 int maxPoints) = 0;

    // Plain notice: a box without icon titled kAppTitle.
    void ShowNotice(const std::string& text) { ShowMessage(kAppTitle, text, BoxIcon::None); }
};

// The text an error box shows: a full stop is added to a text that does not end in one.
std::string ErrorBoxText(const std::string& text);

}  // namespace tavrin
