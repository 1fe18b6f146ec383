// TViewForm: the preview of the focused file-manager pane's selected file, as a picture when
// its extension names a picture type, otherwise as text (rich text when the file is RTF).
// The window knows nothing of the main window: it asks `fileToShow` which file to show.
#pragma once

#include <QDialog>
#include <QImage>
#include <QStackedWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "viewer/ViewLogic.h"

class QCheckBox;
class QFrame;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QTextDocument;
class QTextEdit;
class QTimer;

namespace tavrin::viewer {

class PlainTextReader;
class RtfReader;
class RtfTextWriter;
class ProgressivePicture;

// The image control `Imma`: it shows a still picture or the rows that are ready of a picture
// still loading, sizes itself to the picture when auto-size is on and draws it to its own
// size when stretching is on.
class TImage : public QWidget {
  public:
    explicit TImage(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    // Shows the rows a loading picture has ready (the picture stays the caller's).
    void SetLoading(const ProgressivePicture* loading, QSize size);
    void Clear();

    bool Empty() const { return natural_.isEmpty(); }
    QSize PictureSize() const { return natural_; }
    const QImage& Picture() const { return picture_; }

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool on);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage picture_;
    const ProgressivePicture* loading_ = nullptr;
    QSize natural_;
    bool autoSize_ = true;
    bool stretch_ = false;
};

// The text box `RE1`: rich text in a rich-text view; plain text in a plain-text view, whose
// layout is made line by line and only for the lines on the screen, so that a file of any
// size shows at once.
class TTextBox : public QStackedWidget {
  public:
    explicit TTextBox(QWidget* parent = nullptr);

    void ShowRich();
    void ShowPlain();
    bool ShowsRich() const;

    // The shown view's text and document.
    QString toPlainText() const;
    QTextDocument* document() const;
    // Empties both views; the plain view's text goes back to the window's own font.
    void clear();

    QTextEdit* Rich;
    QPlainTextEdit* Plain;
};

class TViewForm : public QDialog {
  public:
    static constexpr const char* kCaption = "View";
    static constexpr const char* kNotSupported = "Type not supported yet";
    // The message for a picture that would take more memory than a picture may.
    static constexpr const char* kTooLarge = "The picture is too large to show.";
    // The last line of the text of a file longer than the text box takes.
    static constexpr const char* kTextCut = "[Only the first 16 MB of the file are shown.]";
    // The most bytes of a text file the text box takes.
    static constexpr std::size_t kTextLimit = std::size_t(16) << 20;
    // A text goes into the text box in pieces of about this many bytes, as many at a time as
    // fit in kTextSliceMs; the event loop runs between the slices.
    static constexpr std::size_t kTextPiece = std::size_t(128) << 10;
    static constexpr int kTextSliceMs = 15;

    explicit TViewForm(QWidget* parent = nullptr);
    ~TViewForm() override;

    // The full path of the focused pane's first selected file; std::nullopt when neither
    // pane has the focus; an empty string when the focused pane has no selected item.
    std::function<std::optional<std::string>()> fileToShow;
    // Shows an information box with an OK button.
    std::function<void(const std::string&)> showInformation;
    // Called whenever more of a decoding picture is ready and when its decoding has ended.
    std::function<void()> onPictureProgress;

    // Handlers as bound on the form.
    void FormShow();
    void ViewText();
    void b_stretchClick();
    void ScrollVChange();
    void ScrollHChange();
    void LbButton1Click();

    // True while a picture (a JPEG decoding, a large bitmap) is still loading.
    bool PictureLoading() const;
    // True while a text is still going into the text box.
    bool TextLoading() const;
    // Pictures of several scans with at least this many pixels get a quick first pass.
    void SetJpegPreviewMinPixels(std::int64_t pixels) { previewMinPixels_ = pixels; }

    QWidget* Panel1;
    QPushButton* LbButton1;
    QCheckBox* b_stretch;
    QFrame* PanImage;
    TImage* Imma;
    QScrollBar* ScrollH;
    QScrollBar* ScrollV;
    TTextBox* RE1;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    enum class PictureResult { Shown, NotAPicture, TooLarge };

    PanelGeometry Geometry() const;
    PictureResult LoadPicture(const std::string& path);
    // Starts showing a picture that loads while the event loop runs.
    void StartLoading(std::unique_ptr<ProgressivePicture> loading, const std::string& path);
    void LoadingFinished(bool ok, const std::string& path);
    void ShowEmpty();
    void ShowTextOf(const std::string& path);
    bool LoadText(const std::string& path);
    // Puts the next slice of the text being read into the text box.
    void FeedText();
    void FeedRichText();
    void AppendCutNote(QTextDocument* document);
    void StopText();
    void SetScrollRanges(ScrollMaxima maxima);
    void StopPicture();

    std::unique_ptr<ProgressivePicture> loading_;
    std::unique_ptr<PlainTextReader> text_;
    // A rich text being read from the bytes of text_, and written into the text box.
    std::unique_ptr<RtfReader> rtf_;
    std::unique_ptr<RtfTextWriter> rtfWriter_;
    QTimer* textTimer_;
    std::int64_t previewMinPixels_;
};

}  // namespace tavrin::viewer
