#include "mp3/TagWriter.h"

namespace tavrin {

std::uint8_t GenreIndexForPosition(int position) {
    if (position == 0) return TID3v1::kNoGenre;
    return static_cast<std::uint8_t>(position - 1);
}

int GenrePositionForIndex(std::uint8_t index) {
    return index < kGenreCount ? index + 1 : 0;
}

std::string DropFramesQuestion(const std::string& fileName, const std::vector<std::string>& ids) {
    std::string list;
    for (const std::string& id : ids) list += (list.empty() ? "" : ", ") + id;
    const std::size_t slash = fileName.rfind('/');
    return "The ID3v2.2 tag of " +
           (slash == std::string::npos ? fileName : fileName.substr(slash + 1)) +
           " holds frames that an ID3v2.3 tag cannot carry: " + list +
           ".\nSave the tag without them?";
}

TagWriteResult IDTagWrite(const std::string& fileName, TID3v1& v1, TID3v2& v2, bool useV1,
                          const ID3v1Texts& v1Texts, bool useV2, const ID3v2Texts& v2Texts,
                          UserQuestions* questions) {
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
        const std::pair<ID3v2Field, const std::optional<TagText>*> fields[] = {
            {ID3v2Field::Title, &v2Texts.title}, {ID3v2Field::Artist, &v2Texts.artist},
            {ID3v2Field::Album, &v2Texts.album}, {ID3v2Field::Year, &v2Texts.year},
            {ID3v2Field::Genre, &v2Texts.genre}, {ID3v2Field::Comment, &v2Texts.comment}};
        for (const auto& [field, text] : fields) {
            if (*text)
                v2.SetText(field, **text);
            else
                v2.KeepText(field);
        }
        bool declined = false;
        std::vector<std::string> kept;
        auto askDrop = [&](const std::vector<std::string>& ids) {
            declined =
                !questions || !questions->AskYesNo("Confirm", DropFramesQuestion(fileName, ids));
            if (!questions) kept = ids;
            return !declined;
        };
        if (!v2.Save(fileName, askDrop)) {
            result.v2Failed = true;
            std::string message = "Can not save V2 tag to the file: " + fileName;
            for (std::size_t i = 0; i < kept.size(); ++i)
                message += (i == 0 ? " (ID3v2.2 frames without an ID3v2.3 form: " : ", ") + kept[i];
            if (!kept.empty()) message += ")";
            if (!declined || !questions) result.messages.push_back(message);
        }
    }
    return result;
}

}  // namespace tavrin
