// Descriptions are DOS text: every byte shows as its code page 437 glyph and is stored back
// as the same byte; a NUL byte shows as "␀". Line breaks (CR, LF, CR LF) become the
// editor's line breaks and are written back as CR LF; a tab stays a tab.
#pragma once

#include <string>

namespace tavrin {

// Bytes → editor text (UTF-16), "\n" between lines.
std::u16string DecodeCp437(const std::string& bytes);
// Editor text → bytes; "\n" becomes CR LF; a character code page 437 lacks becomes "?".
std::string EncodeCp437(const std::u16string& text);
// Bytes → UTF-8 with nothing lost: every byte as its code page 437 glyph, tab, LF and CR as
// themselves (no line breaks joined), so the bytes can be had back from the text.
std::string Cp437ToUtf8(const std::string& bytes);

}  // namespace tavrin
