// Byte-text helpers shared by the engine, the viewer and the language files: the UTF-8 test
// and the Windows-1252 code page the program shows single-byte text in.
#pragma once

#include <string>
#include <string_view>

namespace tavrin {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// The character of one Windows-1252 byte; the five unassigned bytes map to the control
// characters of the same value, as the platform's own conversion does.
char16_t Windows1252Char(unsigned char byte);

// Windows-1252 bytes as UTF-8.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 text (valid) as Windows-1252 bytes; a character the code page lacks becomes "?".
std::string Utf8ToWindows1252(std::string_view text);

// Drops an incomplete UTF-8 sequence at the end of `text` (left by cutting it at a length).
void TrimPartialUtf8(std::string& text);

}  // namespace tavrin
