#include "viewer/RtfReader.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "viewer/ViewLogic.h"

namespace tavrin::viewer {

const RtfFont* RtfDocument::FindFont(int number) const {
    for (const RtfFont& f : fonts)
        if (f.number == number) return &f;
    return nullptr;
}

std::u16string RtfDocument::PlainText() const {
    std::u16string out;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i) out.push_back(u'\n');
        for (const RtfRun& run : paragraphs[i].runs)
            out += run.picture ? std::u16string(1, u'\uFFFC') : run.text;
    }
    return out;
}

namespace {

// Where the text of the current group goes.
enum class Dest { Body, Skip, FontTable, ColorTable, Picture };

struct GroupState {
    Dest dest = Dest::Body;
    RtfCharFormat chr;
    RtfParFormat par;
    int unicodeSkip = 1;
};

// Destinations without body text, read past as a whole.
bool IsSkippedDestination(std::string_view word) {
    static constexpr const char* kSkipped[] = {
        "info",
        "stylesheet",
        "nonshppict",
        "header",
        "headerl",
        "headerr",
        "headerf",
        "footer",
        "footerl",
        "footerr",
        "footerf",
        "footnote",
        "fldinst",
        "objdata",
        "objclass",
        "objname",
        "shpinst",
        "xe",
        "tc",
        "txe",
        "rxe",
        "bkmkstart",
        "bkmkend",
        "filetbl",
        "revtbl",
        "listtable",
        "listoverridetable",
        "rsidtbl",
        "generator",
        "template",
        "annotation",
        "atnid",
        "atnauthor",
        "ftnsep",
        "ftnsepc",
        "ftncn",
        "aftnsep",
        "aftnsepc",
        "aftncn",
        "docvar",
        "userprops",
        "themedata",
        "colorschememapping",
        "latentstyles",
        "datastore",
        "xmlnstbl",
        "pgdsctbl",
        "private",
        "pn",
        "author",
        "operator",
        "title",
        "subject",
        "keywords",
        "comment",
        "doccomm",
    };
    for (const char* s : kSkipped)
        if (word == s) return true;
    return false;
}

}  // namespace

class RtfReader::Parser {
  public:
    explicit Parser(std::string_view in) : in_(in) {
        // Text before any \f is in the default font, font 0 unless \deff names another.
        state_.chr.font = 0;
    }

    // Reads on until about `count` more bytes are read; true once the document is complete.
    bool Read(std::size_t count) {
        if (done_) return true;
        if (!begun_) {
            begun_ = true;
            doc_.paragraphs.emplace_back();
            // Text before the first group is not part of a document; the reader starts at it.
            while (pos_ < in_.size() && in_[pos_] != '{') ++pos_;
        }
        const std::size_t stop = count >= in_.size() - pos_ ? in_.size() : pos_ + count;
        while (pos_ < stop && !finished_) {
            char c = in_[pos_++];
            switch (c) {
                case '{':
                    FlushBytes();
                    OpenGroup();
                    started_ = true;
                    break;
                case '}':
                    FlushBytes();
                    CloseGroup();
                    if (started_ && depth_ == 0) finished_ = true;
                    break;
                case '\\':
                    ControlToken();
                    break;
                case '\r':
                case '\n':
                    break;
                case '\t':
                    FlushBytes();
                    Character(u'\t');
                    break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20) break;
                    TextByte(c);
                    break;
            }
        }
        if (pos_ < in_.size() && !finished_) return false;
        FlushBytes();
        FinishFontEntry();
        // The last paragraph takes the paragraph format in force at the end; an empty one
        // after the last \par is the document's final paragraph mark and shows nothing.
        if (doc_.paragraphs.size() > 1 && doc_.paragraphs.back().runs.empty())
            doc_.paragraphs.pop_back();
        else if (!lastFormatSet_)
            doc_.paragraphs.back().format = state_.par;
        done_ = true;
        return true;
    }

    const RtfDocument& Document() const { return doc_; }
    RtfDocument Take() { return std::move(doc_); }
    bool Done() const { return done_; }

  private:
    // --- groups ---------------------------------------------------------------------------
    void OpenGroup() {
        ++depth_;
        if (stack_.size() < std::size_t(kMaxDepth)) {
            stack_.push_back(state_);
        } else {
            ++overflow_;
        }
        pendingIgnorable_ = false;
        skipCount_ = 0;
    }

    void CloseGroup() {
        if (depth_ == 0) return;
        --depth_;
        skipCount_ = 0;
        pendingIgnorable_ = false;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (state_.dest == Dest::FontTable && !stack_.empty() &&
            stack_.back().dest == Dest::FontTable)
            FinishFontEntry();
        const bool pictureEnds =
            state_.dest == Dest::Picture && !stack_.empty() && stack_.back().dest != Dest::Picture;
        if (stack_.empty()) return;
        if (depth_ == 0) {
            // The document's group ends: its last paragraph keeps the format in force now.
            FlushBytes();
            doc_.paragraphs.back().format = state_.par;
            lastFormatSet_ = true;
        }
        state_ = stack_.back();
        stack_.pop_back();
        if (pictureEnds) FinishPicture();
    }

    // --- control words and symbols --------------------------------------------------------
    void ControlToken() {
        if (pos_ >= in_.size()) return;
        char c = in_[pos_];
        if (IsLetter(c)) {
            std::size_t start = pos_;
            while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
            std::string_view word = in_.substr(start, std::min<std::size_t>(pos_ - start, 32));
            bool hasParam = false;
            long long value = 0;
            bool negative = false;
            if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
                IsDigit(in_[pos_ + 1])) {
                negative = true;
                ++pos_;
            }
            while (pos_ < in_.size() && IsDigit(in_[pos_])) {
                hasParam = true;
                if (value < INT_MAX) value = value * 10 + (in_[pos_] - '0');
                ++pos_;
            }
            if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
            value = std::min<long long>(value, INT_MAX);
            int param = int(negative ? -value : value);
            ControlWord(word, hasParam, param);
            return;
        }
        ++pos_;
        switch (c) {
            case '\'': {
                int hi = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
                int lo = pos_ + 1 < in_.size() ? HexValue(in_[pos_ + 1]) : -1;
                if (hi < 0 || lo < 0) {
                    // A broken escape: only the valid digits are used up.
                    if (hi >= 0) ++pos_;
                    return;
                }
                pos_ += 2;
                if (ConsumeSkip()) return;
                if (state_.dest == Dest::Skip || state_.dest == Dest::ColorTable) return;
                AddByte(char(hi * 16 + lo));
                return;
            }
            case '*':
                pendingIgnorable_ = true;
                return;
            case '\\':
            case '{':
            case '}':
                TextByte(c);
                return;
            case '~':
                Symbol(u'\u00A0');
                return;
            case '_':
                Symbol(u'\u2011');
                return;
            case '-':
                ConsumeSkip();
                return;  // optional hyphen: not shown
            case '\r':
            case '\n':
                ControlWord("par", false, 0);
                return;
            case '\t':
                ControlWord("tab", false, 0);
                return;
            default:
                ConsumeSkip();
                return;  // unknown symbols are ignored
        }
    }

    void ControlWord(std::string_view w, bool hasParam, int param) {
        const bool ignorable = pendingIgnorable_;
        pendingIgnorable_ = false;
        if (w == "bin") {
            // Binary data: the next `param` bytes are no text in any destination; in a
            // picture they are its data.
            std::size_t n =
                std::min(hasParam && param > 0 ? std::size_t(param) : 0, in_.size() - pos_);
            if (state_.dest == Dest::Picture && picture_)
                picture_->data.append(in_.substr(pos_, n));
            pos_ += n;
            return;
        }
        if (state_.dest == Dest::Skip) return;
        if (state_.dest == Dest::Picture) return PictureWord(w, hasParam, param, ignorable);
        if (w == "u") {
            if (!hasParam) return;  // a bare \u is no character
            if (ConsumeSkip()) return;
            int code = param < 0 ? param + 65536 : param;
            if (state_.dest == Dest::Body && code >= 0 && code <= 0xFFFF) {
                FlushBytes();
                Character(char16_t(code));
            }
            skipCount_ = state_.unicodeSkip;
            return;
        }
        if (ConsumeSkip()) return;
        // Destinations.
        if (w == "fonttbl") {
            FlushBytes();
            state_.dest = Dest::FontTable;
            return;
        }
        if (w == "colortbl") {
            FlushBytes();
            state_.dest = Dest::ColorTable;
            haveComponent_ = false;
            color_ = {};
            return;
        }
        if (w == "pict") {
            FlushBytes();
            state_.dest = Dest::Picture;
            picture_ = RtfPicture{};
            pictureNibble_ = -1;
            return;
        }
        if (ignorable || IsSkippedDestination(w)) {
            // An ignorable destination this reader does not know, or one without body text.
            // A picture in the form of newer writers (\shppict) is read; the form for older
            // readers next to it (\nonshppict) is not.
            if (ignorable && (w == "fldrslt" || w == "listtext" || w == "pntext" || w == "shppict"))
                return;
            FlushBytes();
            state_.dest = Dest::Skip;
            return;
        }
        if (state_.dest == Dest::ColorTable) {
            if (w == "red") SetComponent(color_.red, param);
            if (w == "green") SetComponent(color_.green, param);
            if (w == "blue") SetComponent(color_.blue, param);
            return;
        }
        if (state_.dest == Dest::FontTable) {
            if (w == "f" && hasParam) {
                FinishFontEntry();
                fontEntry_ = RtfFont{};
                fontEntry_.number = param;
                inFontEntry_ = true;
            } else if (w == "fcharset" && inFontEntry_) {
                fontEntry_.charset = param;
            }
            return;
        }
        // Document-wide settings.
        if (w == "ansi") return SetCodePage(1252);
        if (w == "mac") return SetCodePage(10000);
        if (w == "pc") return SetCodePage(437);
        if (w == "pca") return SetCodePage(850);
        if (w == "ansicpg") return SetCodePage(hasParam && param > 0 ? param : 1252);
        if (w == "deff") {
            doc_.defaultFont = param;
            state_.chr.font = param;
            return;
        }
        if (w == "uc") {
            state_.unicodeSkip = std::clamp(hasParam ? param : 1, 0, 16);
            return;
        }
        // Character formatting.
        const bool on = !hasParam || param != 0;
        RtfCharFormat& chr = state_.chr;
        if (w == "plain") return SetChar(PlainFormat());
        if (w == "b") return SetFlag(&RtfCharFormat::bold, on);
        if (w == "i") return SetFlag(&RtfCharFormat::italic, on);
        if (w == "strike" || w == "striked") return SetFlag(&RtfCharFormat::strike, on);
        if (w == "v") return SetFlag(&RtfCharFormat::hidden, on);
        if (w == "ulnone") return SetFlag(&RtfCharFormat::underline, false);
        if (w == "ul" || w == "uld" || w == "uldash" || w == "uldashd" || w == "uldashdd" ||
            w == "uldb" || w == "ulhwave" || w == "ulth" || w == "ulw" || w == "ulwave" ||
            w == "ulthd" || w == "ulthdash" || w == "ulldash" || w == "ululdbwave")
            return SetFlag(&RtfCharFormat::underline, on);
        if (w == "f") {
            RtfCharFormat next = chr;
            next.font = hasParam ? param : doc_.defaultFont;
            return SetChar(next);
        }
        if (w == "fs") {
            RtfCharFormat next = chr;
            next.halfPoints = hasParam && param > 0 ? std::min(param, 3276) : 24;
            return SetChar(next);
        }
        if (w == "cf" || w == "cb" || w == "highlight") {
            RtfCharFormat next = chr;
            (w == "cf" ? next.foreground : next.background) = std::max(param, 0);
            return SetChar(next);
        }
        if (w == "super" || w == "sub" || w == "nosupersub") {
            RtfCharFormat next = chr;
            next.position = w == "super" ? RtfCharFormat::Position::Super
                            : w == "sub" ? RtfCharFormat::Position::Sub
                                         : RtfCharFormat::Position::Normal;
            return SetChar(next);
        }
        // Paragraph formatting.
        RtfParFormat& par = state_.par;
        if (w == "pard") {
            par = RtfParFormat{};
            return;
        }
        if (w == "ql") par.align = RtfParFormat::Align::Left;
        if (w == "qc") par.align = RtfParFormat::Align::Center;
        if (w == "qr") par.align = RtfParFormat::Align::Right;
        if (w == "qj") par.align = RtfParFormat::Align::Justify;
        if (w == "li") par.leftIndent = Twips(param);
        if (w == "ri") par.rightIndent = Twips(param);
        if (w == "fi") par.firstIndent = Twips(param);
        if (w == "sb") par.spaceBefore = Twips(param);
        if (w == "sa") par.spaceAfter = Twips(param);
        // Breaks and named characters.
        if (w == "par" || w == "page" || w == "sect" || w == "row") return ParagraphBreak();
        if (w == "line") return Symbol(u'\u2028');
        if (w == "tab" || w == "cell") return Symbol(u'\t');
        if (w == "emdash") return Symbol(u'\u2014');
        if (w == "endash") return Symbol(u'\u2013');
        if (w == "emspace") return Symbol(u'\u2003');
        if (w == "enspace") return Symbol(u'\u2002');
        if (w == "qmspace") return Symbol(u'\u2005');
        if (w == "bullet") return Symbol(u'\u2022');
        if (w == "lquote") return Symbol(u'\u2018');
        if (w == "rquote") return Symbol(u'\u2019');
        if (w == "ldblquote") return Symbol(u'\u201C');
        if (w == "rdblquote") return Symbol(u'\u201D');
        if (w == "zwj") return Symbol(u'\u200D');
        if (w == "zwnj") return Symbol(u'\u200C');
        // Anything else is ignored.
    }

    // --- text -----------------------------------------------------------------------------
    void TextByte(char c) {
        if (ConsumeSkip()) return;
        switch (state_.dest) {
            case Dest::Skip:
                return;
            case Dest::ColorTable:
                if (c == ';') {
                    color_.automatic = !haveComponent_;
                    doc_.colors.push_back(color_);
                    color_ = {};
                    haveComponent_ = false;
                }
                return;
            case Dest::FontTable:
                if (!inFontEntry_) return;
                if (c == ';') {
                    FinishFontEntry();
                } else {
                    fontName_.push_back(c);
                }
                return;
            case Dest::Body:
                AddByte(c);
                return;
            case Dest::Picture:
                PictureHexDigit(c);
                return;
        }
    }

    // A byte of text in the current code page; bytes are gathered so that double-byte
    // code pages see their pairs together.
    void AddByte(char c) {
        if (state_.dest == Dest::FontTable) {
            if (inFontEntry_) fontName_.push_back(c);
            return;
        }
        if (state_.dest != Dest::Body) return;
        int cp = CurrentCodePage();
        if (!bytes_.empty() && (cp != bytesCodePage_ || !(bytesFormat_ == state_.chr)))
            FlushBytes();
        if (bytes_.empty()) {
            bytesCodePage_ = cp;
            bytesFormat_ = state_.chr;
        }
        bytes_.push_back(c);
    }

    void FlushBytes() {
        if (bytes_.empty()) return;
        std::u16string text = DecodeCodePage(bytesCodePage_, bytes_);
        bytes_.clear();
        Append(text, bytesFormat_);
    }

    void Symbol(char16_t ch) {
        if (ConsumeSkip()) return;
        if (state_.dest != Dest::Body) return;
        FlushBytes();
        Character(ch);
    }

    void Character(char16_t ch) {
        if (state_.dest != Dest::Body) return;
        Append(std::u16string(1, ch), state_.chr);
    }

    void Append(const std::u16string& text, const RtfCharFormat& format) {
        if (text.empty() || format.hidden) return;  // hidden text is not shown
        std::vector<RtfRun>& runs = doc_.paragraphs.back().runs;
        if (runs.empty() || !(runs.back().format == format) || runs.back().picture)
            runs.push_back({{}, format, nullptr});
        runs.back().text += text;
    }

    void ParagraphBreak() {
        if (ConsumeSkip()) return;
        if (state_.dest != Dest::Body) return;
        if (state_.chr.hidden) return;  // a hidden paragraph mark joins the paragraphs
        FlushBytes();
        doc_.paragraphs.back().format = state_.par;
        doc_.paragraphs.emplace_back();
    }

    // True when the character just read is one of the stand-ins after \uN.
    bool ConsumeSkip() {
        if (skipCount_ <= 0) return false;
        --skipCount_;
        return true;
    }

    // --- pictures -------------------------------------------------------------------------
    void PictureWord(std::string_view w, bool hasParam, int param, bool ignorable) {
        if (ignorable) {
            // A destination inside the picture (its id, its properties): no picture data.
            state_.dest = Dest::Skip;
            return;
        }
        if (!picture_) return;
        RtfPicture& p = *picture_;
        if (w == "pngblip") p.kind = RtfPicture::Kind::Png;
        if (w == "jpegblip") p.kind = RtfPicture::Kind::Jpeg;
        if (w == "emfblip") p.kind = RtfPicture::Kind::Emf;
        if (w == "dibitmap") p.kind = RtfPicture::Kind::Dib;
        if (w == "wmetafile") {
            p.kind = RtfPicture::Kind::Wmf;
            if (hasParam) p.mapMode = param;
        }
        if (w == "wbitmap" || w == "macpict" || w == "pmmetafile") p.kind = RtfPicture::Kind::None;
        const int value = hasParam ? param : 0;
        if (w == "picw") p.width = value;
        if (w == "pich") p.height = value;
        if (w == "picwgoal") p.goalWidth = value;
        if (w == "pichgoal") p.goalHeight = value;
        if (w == "picscalex" && value > 0) p.scaleX = value;
        if (w == "picscaley" && value > 0) p.scaleY = value;
    }

    void PictureHexDigit(char c) {
        const int v = HexValue(c);
        if (v < 0 || !picture_) return;  // blanks between the digits
        if (pictureNibble_ < 0) {
            pictureNibble_ = v;
            return;
        }
        picture_->data.push_back(char(pictureNibble_ * 16 + v));
        pictureNibble_ = -1;
    }

    // The picture group has ended: its picture is a run of its own in the text.
    void FinishPicture() {
        std::optional<RtfPicture> picture = std::move(picture_);
        picture_.reset();
        if (!picture || picture->kind == RtfPicture::Kind::None || picture->data.empty()) return;
        if (state_.dest != Dest::Body || state_.chr.hidden) return;
        FlushBytes();
        doc_.paragraphs.back().runs.push_back(
            {{}, state_.chr, std::make_shared<const RtfPicture>(std::move(*picture))});
    }

    // --- tables ---------------------------------------------------------------------------
    void FinishFontEntry() {
        if (!inFontEntry_) return;
        inFontEntry_ = false;
        std::string name = fontName_;
        fontName_.clear();
        while (!name.empty() && name.back() == ' ') name.pop_back();
        while (!name.empty() && name.front() == ' ') name.erase(name.begin());
        int cp = CodePageOfCharset(fontEntry_.charset);
        fontEntry_.name = DecodeCodePage(cp ? cp : doc_.codePage, name);
        for (RtfFont& f : doc_.fonts) {
            if (f.number == fontEntry_.number) {
                f = fontEntry_;
                return;
            }
        }
        if (doc_.fonts.size() < 4096) doc_.fonts.push_back(fontEntry_);
    }

    void SetComponent(std::uint8_t& component, int value) {
        component = std::uint8_t(std::clamp(value, 0, 255));
        haveComponent_ = true;
    }

    // --- state helpers --------------------------------------------------------------------
    void SetCodePage(int cp) {
        FlushBytes();
        doc_.codePage = cp;
    }

    int CurrentCodePage() const {
        if (const RtfFont* f = doc_.FindFont(state_.chr.font)) {
            int cp = CodePageOfCharset(f->charset);
            if (cp) return cp;
        }
        return doc_.codePage;
    }

    RtfCharFormat PlainFormat() const {
        RtfCharFormat f;
        f.font = doc_.defaultFont;
        return f;
    }

    void SetChar(const RtfCharFormat& next) { state_.chr = next; }
    void SetFlag(bool RtfCharFormat::*flag, bool on) { state_.chr.*flag = on; }

    static int Twips(int value) { return std::clamp(value, -31680, 31680); }
    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static int HexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    bool begun_ = false;
    bool started_ = false;
    bool finished_ = false;
    bool done_ = false;
    bool lastFormatSet_ = false;
    RtfDocument doc_;
    GroupState state_;
    std::vector<GroupState> stack_;
    int depth_ = 0;
    int overflow_ = 0;
    bool pendingIgnorable_ = false;
    int skipCount_ = 0;
    // Gathered text bytes.
    std::string bytes_;
    int bytesCodePage_ = 1252;
    RtfCharFormat bytesFormat_;
    // The colour and font entries being read.
    RtfColor color_;
    bool haveComponent_ = false;
    RtfFont fontEntry_;
    std::string fontName_;
    bool inFontEntry_ = false;
    // The picture being read and the first hex digit of its next byte.
    std::optional<RtfPicture> picture_;
    int pictureNibble_ = -1;
};

RtfReader::RtfReader(std::string_view bytes) : parser_(std::make_unique<Parser>(bytes)) {}

RtfReader::~RtfReader() = default;

bool RtfReader::Read(std::size_t count) {
    return parser_->Read(count);
}

bool RtfReader::Done() const {
    return parser_->Done();
}

const RtfDocument& RtfReader::Document() const {
    return parser_->Document();
}

std::size_t RtfReader::CompleteParagraphs() const {
    const std::size_t n = parser_->Document().paragraphs.size();
    return parser_->Done() ? n : (n ? n - 1 : 0);
}

RtfDocument RtfReader::TakeDocument() {
    return parser_->Take();
}

RtfDocument ParseRtf(std::string_view bytes) {
    RtfReader reader(bytes);
    reader.Read(bytes.size());
    return reader.TakeDocument();
}

}  // namespace tavrin::viewer
