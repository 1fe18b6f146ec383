// A reader of rich-text (RTF) files: the bytes become a small document model of paragraphs
// and formatted runs, which is then turned into a QTextDocument for the text view.
//
// Understood: the font table (\fonttbl, \fN, \fcharsetN, \deffN), font sizes (\fsN in half
// points), bold, italic, underline and strike-through (a parameter 0 switches them off,
// \ulnone too), the colour table (\colortbl with \cfN, \cbN, \highlightN), \plain, \pard,
// paragraph alignment, indents and spacing, \par, \line, \tab, \page, table cells as tabs,
// groups with their saved state, \'hh in the document's code page (\ansi, \ansicpgN, \mac,
// \pc, \pca, or the font's character set), \uN with the \ucN skip count, \binN, the named
// characters (\emdash, \bullet, quotes, \~ ...), destinations marked \* and the known ones
// that hold no body text (info, stylesheet, pict, headers, footers, field instructions ...).
// Unknown control words are ignored. Groups nest at most kMaxDepth deep with saved state;
// deeper ones are still matched but share their parent's state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QTextCursor;
class QTextDocument;

namespace tavrin::viewer {

struct RtfColor {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool automatic = false;  // the empty entry: the default colour
    bool operator==(const RtfColor&) const = default;
};

struct RtfFont {
    int number = 0;
    std::u16string name;
    int charset = 0;
};

struct RtfCharFormat {
    enum class Position { Normal, Super, Sub };
    int font = -1;  // font number, -1 for none
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int foreground = 0;  // colour table index; 0 is the default colour
    int background = 0;  // colour table index; 0 is no background
    Position position = Position::Normal;
    bool operator==(const RtfCharFormat&) const = default;
};

struct RtfParFormat {
    enum class Align { Left, Center, Right, Justify };
    Align align = Align::Left;
    int leftIndent = 0;  // twips
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool operator==(const RtfParFormat&) const = default;
};

struct RtfRun {
    std::u16string text;  // a line break within the paragraph is U+2028
    RtfCharFormat format;
};

struct RtfParagraph {
    RtfParFormat format;
    std::vector<RtfRun> runs;
};

struct RtfDocument {
    std::vector<RtfFont> fonts;
    std::vector<RtfColor> colors;
    std::vector<RtfParagraph> paragraphs;
    int defaultFont = 0;
    int codePage = 1252;

    const RtfFont* FindFont(int number) const;
    // The paragraphs' text, paragraphs separated by "\n".
    std::u16string PlainText() const;
};

inline constexpr int kMaxDepth = 256;

// Reads a document piece by piece, so that a long one can be shown while it is read. The
// bytes stay the caller's and must outlive the reader.
class RtfReader {
  public:
    explicit RtfReader(std::string_view bytes);
    ~RtfReader();

    // Reads about `count` more bytes; true once the whole document has been read.
    bool Read(std::size_t count);
    bool Done() const;
    // The document read so far.
    const RtfDocument& Document() const;
    // The paragraphs of Document() that are complete: all once Done(), else all but the last,
    // which may still grow.
    std::size_t CompleteParagraphs() const;
    // The document, taken out of the reader.
    RtfDocument TakeDocument();

  private:
    class Parser;
    std::unique_ptr<Parser> parser_;
};

// Reads a document; never fails: whatever cannot be understood is left out.
RtfDocument ParseRtf(std::string_view bytes);

// Writes a document's paragraphs into a QTextDocument as they become complete.
class RtfTextWriter {
  public:
    // Empties `out`, which must outlive the writer.
    explicit RtfTextWriter(QTextDocument* out);
    ~RtfTextWriter();
    // Writes the paragraphs of `document` from the first not yet written up to `end`.
    void Write(const RtfDocument& document, std::size_t end);
    std::size_t Written() const { return written_; }

  private:
    std::unique_ptr<QTextCursor> cursor_;
    std::size_t written_ = 0;
};

// Replaces the contents of `out` with the document, formatted.
void FillTextDocument(const RtfDocument& document, QTextDocument* out);

}  // namespace tavrin::viewer
