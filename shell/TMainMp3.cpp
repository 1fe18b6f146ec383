// The MP3 tag panel and the player as the main window drives them.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QToolButton>
#include <optional>

#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "mp3/MP3Panel.h"
#include "mp3/MPEGaudio.h"
#include "mp3/TagWriter.h"
#include "platform/qt/Text.h"
#include "platform/qt/VirtualKey.h"
#include "shell/TMain.h"

namespace tavrin {

namespace {

std::string Text(const QLineEdit* edit) {
    return ContentBytes(edit->text());
}

// A tag text as the ID3v2 page shows it (a multi-line one with its CR LF as line breaks).
QString Shown(const TagText& text) {
    QString shown = Utf8Text(ShownUtf8(text));
    shown.replace("\r\n", "\n");
    return shown;
}

// A field's text for the tag, or nothing when it still shows what was loaded.
std::optional<TagText> Edited(const QString& text, const QString& shown) {
    if (text == shown) return std::nullopt;
    return TypedText(Utf8Bytes(text));
}

}  // namespace

void TMain::ViewMP3(const std::string& fileName) {
    TMPEGaudio audio;
    std::size_t slash = fileName.rfind('/');
    std::string bare = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    SetCornice({bare, bare.size()});
    tagV1_ = std::make_unique<TID3v1>();
    tagV2_ = std::make_unique<TID3v2>();
    v1GenreTouched_ = false;

    Mp3TagPanel& p = *MP3Panel;
    p.loading = true;  // filling the panel is not an edit
    for (QLineEdit* e : {p.MP_title, p.MP_artist, p.MP_album, p.MP_year, p.MP_comment, p.MP_Title2,
                         p.MP_artist2, p.MP_Album2, p.MP_Year2})
        e->clear();
    p.M_Comment->clear();
    p.CB_Genre->setCurrentIndex(0);
    p.CB_genre2->setCurrentIndex(0);

    if (audio.Analyse(fileName) && audio.IsValid()) {
        char separator = QLocale().decimalPoint().at(0).toLatin1();
        MPEGHeaderTexts texts = HeaderTexts(audio, separator ? separator : '.');
        p.LFileSize->setText(ContentText(texts.fileSize));
        p.LMPEGType->setText(ContentText(texts.mpegType));
        p.LBitRate->setText(ContentText(texts.bitRate));
        p.LSampleRate->setText(ContentText(texts.sampleRate));
        p.LChannelMode->setText(ContentText(texts.channelMode));
        p.LDuration->setText(ContentText(texts.duration));
        p.LEncoder->setText(ContentText(texts.encoder));
    }
    if (tagV1_->Load(fileName) && tagV1_->Present()) {
        p.MP_title->setText(ContentText(tagV1_->Title()));
        p.MP_artist->setText(ContentText(tagV1_->Artist()));
        p.MP_album->setText(ContentText(tagV1_->Album()));
        p.MP_year->setText(ContentText(tagV1_->Year()));
        p.MP_comment->setText(ContentText(tagV1_->Comment()));
        p.CB_Genre->setCurrentIndex(GenrePositionForIndex(tagV1_->GenreIndex()));
    }
    if (tagV2_->Load(fileName) && tagV2_->Present()) {
        p.MP_Title2->setText(Shown(tagV2_->Text(ID3v2Field::Title)));
        p.MP_artist2->setText(Shown(tagV2_->Text(ID3v2Field::Artist)));
        p.MP_Album2->setText(Shown(tagV2_->Text(ID3v2Field::Album)));
        p.MP_Year2->setText(Shown(tagV2_->Text(ID3v2Field::Year)));
        Mp3TagPanel::SetGenreText(p.CB_genre2, Shown(tagV2_->Text(ID3v2Field::Genre)));
        p.M_Comment->setPlainText(Shown(tagV2_->Text(ID3v2Field::Comment)));
    }
    // What the fields show now is the tag as it is: a field still showing it is not written.
    p.shownV2 = {p.MP_Title2->text(), p.MP_artist2->text(),       p.MP_Album2->text(),
                 p.MP_Year2->text(),  p.CB_genre2->currentText(), p.M_Comment->toPlainText()};
    p.loading = false;
}

bool TMain::IDTagWrite(const std::string& fileName) {
    if (!tagV1_ || !tagV2_) return true;
    Mp3TagPanel& p = *MP3Panel;
    ID3v1Texts v1;
    v1.title = Text(p.MP_title);
    v1.artist = Text(p.MP_artist);
    v1.album = Text(p.MP_album);
    v1.year = Text(p.MP_year);
    v1.comment = Text(p.MP_comment);
    v1.genrePosition = Mp3TagPanel::GenrePosition(p.CB_Genre);
    // A genre byte the list cannot show stays as it was while the box was left alone.
    if (!v1GenreTouched_ && tagV1_->Present() && tagV1_->GenreIndex() >= kGenreCount &&
        tagV1_->GenreIndex() != TID3v1::kNoGenre && p.CB_Genre->currentIndex() == 0)
        v1.keptGenreIndex = tagV1_->GenreIndex();
    ID3v2Texts v2;
    v2.title = Edited(p.MP_Title2->text(), p.shownV2[0]);
    v2.artist = Edited(p.MP_artist2->text(), p.shownV2[1]);
    v2.album = Edited(p.MP_Album2->text(), p.shownV2[2]);
    v2.year = Edited(p.MP_Year2->text(), p.shownV2[3]);
    v2.genre = Edited(p.CB_genre2->currentText(), p.shownV2[4]);
    // The comment's lines are stored separated by CR LF.
    QString comment = p.M_Comment->toPlainText();
    if (comment != p.shownV2[5]) v2.comment = TypedText(Utf8Bytes(comment.replace("\n", "\r\n")));
    TagWriteResult result = tavrin::IDTagWrite(fileName, *tagV1_, *tagV2_, p.Ck_V1->isChecked(), v1,
                                               p.Ck_V2->isChecked(), v2, &questions_);
    for (const std::string& message : result.messages) questions_.ShowNotice(message);
    return !result.v1Failed && !result.v2Failed;
}

void TMain::B_CopyFromClick() {
    Mp3TagPanel& p = *MP3Panel;
    p.MP_artist2->setText(p.MP_artist->text());
    p.MP_Title2->setText(p.MP_title->text());
    p.MP_Album2->setText(p.MP_album->text());
    p.MP_Year2->setText(p.MP_year->text());
    Mp3TagPanel::SetGenreText(p.CB_genre2, p.CB_Genre->currentText());
    p.M_Comment->setPlainText(p.MP_comment->text());
    p.Ck_V2->setChecked(true);
    MarkEdited();
}

void TMain::B_CopyToClick() {
    Mp3TagPanel& p = *MP3Panel;
    // The ID3v1 fields take what they can hold; the rest is cut when saved.
    p.MP_artist->setText(p.MP_artist2->text());
    p.MP_title->setText(p.MP_Title2->text());
    p.MP_album->setText(p.MP_Album2->text());
    p.MP_year->setText(p.MP_Year2->text());
    Mp3TagPanel::SetGenreText(p.CB_Genre, p.CB_genre2->currentText());
    p.MP_comment->setText(p.M_Comment->toPlainText());
    v1GenreTouched_ = true;
    p.Ck_V1->setChecked(true);
    MarkEdited();
}

void TMain::MP_v1KeyDown(int key) {
    if (!IsEditingKey(key)) return;
    MarkEdited();
    MP3Panel->Ck_V1->setChecked(true);
}

void TMain::MP_v2KeyDown(int key) {
    if (!IsEditingKey(key)) return;
    MarkEdited();
    MP3Panel->Ck_V2->setChecked(true);
}

void TMain::CB_GenreChange(int page) {
    if (page == 1) v1GenreTouched_ = true;
    MarkEdited();
}

void TMain::VrMediaButton1Click() {
    try {
        player_.SetStreamName(LeftPane->SelectedFile());
        player_.OpenStream();
        player_.StartPlay();
    } catch (const TMPEGError& e) {
        questions_.ShowError(e.what());
    }
}

void TMain::VrMediaButton3Click() {
    try {
        player_.StopPlay();
        player_.CloseStream();
    } catch (const TMPEGError& e) {
        questions_.ShowError(e.what());
    }
}

}  // namespace tavrin
