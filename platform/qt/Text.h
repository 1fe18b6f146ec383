// The one place where text crosses between the program's bytes and Qt's strings. Every form
// shows and takes text through these helpers, chosen by where the text comes from:
// - names from the file system (paths, file and folder names, the archive's own name, entry
//   names as the engine reports them): the file system's own decoding, UTF-8 here. A byte
//   sequence that is no UTF-8 shows as U+FFFD, so a name the program keeps is kept as its
//   bytes, and only a name the user typed is turned back into bytes;
// - contents (tag texts, the names of tavrin.ext, other single-byte texts): Windows-1252 both
//   ways, so every byte survives and shows as the same character each time;
// - texts held as UTF-8 (the program's own texts, language texts, messages).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tavrin {

QString FileNameText(std::string_view bytes);
std::string FileNameBytes(const QString& text);

// A character Windows-1252 lacks becomes "?".
QString ContentText(std::string_view bytes);
std::string ContentBytes(const QString& text);

QString Utf8Text(std::string_view text);
std::string Utf8Bytes(const QString& text);

// The texts of messages and questions: UTF-8, with file-system names put in as their bytes
// and contents put in as Windows1252ToUtf8 gives them. Shown as names are, so a name in a
// question reads as the panes show it.
inline QString MessageText(std::string_view text) {
    return FileNameText(text);
}

}  // namespace tavrin
