// A reader of rich-text (RTF) files: the bytes become a small document model of paragraphs
// and formatted runs, which is then turned into a QTextDocument for the text view.
//
// Understood: the font table (\fonttbl, \fN, \fcharsetN, \deffN), font sizes (\fsN in half
// points), bold, italic, underline and strike-through (a parameter 0 switches them off,
// \ulnone too), hidden text (\v, left out), the colour table (\colortbl with \cfN, \cbN,
// \highlightN), \plain, \pard, paragraph alignment, indents and spacing, \par, \line, \tab, \page,
// table cells as tabs, groups with their saved state, \'hh in the document's code page (\ansi,
// \ansicpgN, \mac, \pc, \pca, or the font's character set), \uN with the \ucN skip count, \binN,
// the named characters (\emdash, \bullet, quotes, \~ ...), destinations marked \* and the known
// ones that hold no body text (info, stylesheet, headers, footers, field instructions ...), and
// pictures (\pict: PNG, JPEG, device-independent bitmaps, Windows and enhanced metafiles, with
// their sizes; the one in \shppict, not its copy for older readers in \nonshppict).
// Unknown control words are ignored. Groups nest at most kMaxDepth deep with saved state;
// deeper ones are still matched but share their parent's state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QImage;
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
    bool hidden = false;  // \v: not shown
    int foreground = 0;   // colour table index; 0 is the default colour
    int background = 0;   // colour table index; 0 is no background
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

// A picture of the document (\pict) with the data of its file format.
struct RtfPicture {
    enum class Kind { None, Png, Jpeg, Dib, Wmf, Emf };
    Kind kind = Kind::None;
    std::string data;
    int width = 0, height = 0;          // \picw, \pich: pixels, or metafile units (below)
    int mapMode = 8;                    // \wmetafileN: the units of a metafile's \picw, \pich
    int goalWidth = 0, goalHeight = 0;  // \picwgoal, \pichgoal: the size shown, in twips
    int scaleX = 100, scaleY = 100;     // per cent
};

struct RtfRun {
    std::u16string text;  // a line break within the paragraph is U+2028
    RtfCharFormat format;
    std::shared_ptr<const RtfPicture> picture;  // a run of its own, without text
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
    // The paragraphs' text, paragraphs separated by "\n", a picture as U+FFFC.
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
    void InsertPicture(QTextCursor& cursor, const RtfPicture& picture);

    std::unique_ptr<QTextCursor> cursor_;
    std::size_t written_ = 0;
    int pictures_ = 0;
};

// A picture of the document at the size the document shows it (at most kMaxRtfPictureSide
// pixels a side); null when its data cannot be read.
QImage RenderRtfPicture(const RtfPicture& picture);
inline constexpr int kMaxRtfPictureSide = 4096;

// Replaces the contents of `out` with the document, formatted.
void FillTextDocument(const RtfDocument& document, QTextDocument* out);

}  // namespace tavrin::viewer
