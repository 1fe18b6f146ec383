// DIZEdit: the description editor. DOS text in a fixed-pitch font whose box-drawing glyphs
// join, navy, no word wrap; every byte shows as its code page 437 glyph and is stored back
// as the same byte.
#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <string>
#include <vector>

namespace tavrin {

class DescriptionEditor : public QPlainTextEdit {
  public:
    explicit DescriptionEditor(QWidget* parent = nullptr);

    // Shows description bytes; not an edit.
    void SetBytes(const std::string& bytes);
    // The text as bytes, lines joined by CR LF.
    std::string Bytes() const;

    // A key pressed (its virtual key code), before the editor handles it.
    std::function<void(int key)> onKeyDown;
    // Any change of the text by the user (typing, pasting, cutting, dropping, undoing).
    std::function<void()> onUserEdit;

    // The guide of the description file convention: faint lines after column kGuideColumns
    // and under line kGuideLines, drawn in the editor's font.
    static constexpr int kGuideColumns = 45;
    static constexpr int kGuideLines = 10;
    void SetGuide(bool shown);
    bool GuideShown() const { return guide_; }
    // Where the guide's lines are drawn, in viewport pixels: the left edge of column 46 and
    // the top of line 11, following the scroll position.
    int GuideX() const;
    int GuideY() const;
    static QColor GuideColour();

    // The first installed of the fonts whose code page 437 glyphs have one advance.
    static QFont DescriptionFont();
    // `font` at a whole pixel size near `pixels`; for a pixel font, the nearest of its own.
    static QFont OnPixelGrid(QFont font, double pixels);
    // The pixel sizes at which a pixel font draws its glyphs crisp; empty for other fonts.
    static std::vector<int> NativePixelSizes(const QString& family);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool loading_ = false;
    bool guide_ = false;
};

}  // namespace tavrin
