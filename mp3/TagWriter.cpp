#include "mp3/TagWriter.h"

namespace tavrin {

std::uint8_t GenreIndexForPosition(int position) {
    if (position == 0) return TID3v1::kNoGenre;
    return static_cast<std::uint8_t>(position - 1);
}

int GenrePositionForIndex(std::uint8_t index) {
    return index < kGenreCount ? index + 1 : 0;
}

TagWriteResult IDTagWrite(const std::string& fileName, TID3v1& v1, TID3v2& v2, bool useV1,
                          const ID3v1Texts& v1Texts, bool useV2, const ID3v2Texts& v2Texts) {
    TagWriteResult result;
    if (useV1) {
        v1.SetTitle(v1Texts.title);
        v1.SetArtist(v1Texts.artist);
        v1.SetAlbum(v1Texts.album);
        v1.SetYear(v1Texts.year);
        v1.SetGenreIndex(v1Texts.keptGenreIndex ? *v1Texts.keptGenreIndex
                                                : GenreIndexForPosition(v1Texts.genrePosition));
        v1.SetComment(v1Texts.comment);
        if (!v1.Save(fileName)) {
            result.v1Failed = true;
            result.messages.push_back("Can not save V1 tag to the file: " + fileName);
        }
    }
    if (useV2) {
        v2.SetTitle(v2Texts.title);
        v2.SetArtist(v2Texts.artist);
        v2.SetAlbum(v2Texts.album);
        v2.SetYear(v2Texts.year);
        v2.SetGenre(v2Texts.genre);
        v2.SetComment(v2Texts.comment);
        if (!v2.Save(fileName)) {
            result.v2Failed = true;
            result.messages.push_back("Can not save V2 tag to the file: " + fileName);
        }
    }
    return result;
}

}  // namespace tavrin
