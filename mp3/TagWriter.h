// The save of the MP3 tag panel without its widgets: gives the panel's texts to the two tag
// objects and writes the tags the two boxes select, ID3v1 first, then ID3v2.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "platform/UserQuestions.h"

namespace tavrin {

// The texts of the ID3v1 page.
struct ID3v1Texts {
    std::string title, artist, album, year, comment;
    // The selected position of the genre box: 0 the empty first entry, n + 1 genre n, -1 when
    // no entry is selected.
    int genrePosition = 0;
    // A genre byte the box cannot show (148-254), kept when the user left the box alone:
    // written back unchanged instead of the box's position.
    std::optional<std::uint8_t> keptGenreIndex;
};

// The texts of the ID3v2 page; the comment's lines are separated by CR LF. A field the user
// left as it was shown is empty (nullopt): its frame stays as it is, byte for byte.
struct ID3v2Texts {
    std::optional<TagText> title, artist, album, year, genre, comment;
};

struct TagWriteResult {
    bool v1Failed = false;
    bool v2Failed = false;  // also when the user would not have frames dropped
    // The messages to show, in the order of the attempts.
    std::vector<std::string> messages;
};

// The question before frames of a version 2.2 tag that a version 2.3 tag cannot carry are
// dropped.
std::string DropFramesQuestion(const std::string& fileName, const std::vector<std::string>& ids);

// The genre byte for a genre box position: position - 1, or 255 for the empty first entry
// (no selection, position -1, gives 254, which also reads back as no genre).
std::uint8_t GenreIndexForPosition(int position);
// The box position that shows a genre index: index + 1 below 148, else the empty entry.
int GenrePositionForIndex(std::uint8_t index);

// IDTagWrite: with `useV1`, the ID3v1 texts go through the setters of `v1` and the tag is
// saved; with `useV2` likewise for `v2`. A failure of one does not stop the other; each
// failure adds "Can not save V1 tag to the file: " or "Can not save V2 tag to the file: "
// followed by the file name. Before frames are dropped `questions` is asked ("Confirm", yes or
// no); a no leaves the ID3v2 tag unsaved without a message. Without `questions` nothing is
// dropped and the failure message names the frames.
TagWriteResult IDTagWrite(const std::string& fileName, TID3v1& v1, TID3v2& v2, bool useV1,
                          const ID3v1Texts& v1Texts, bool useV2, const ID3v2Texts& v2Texts,
                          UserQuestions* questions = nullptr);

}  // namespace tavrin
