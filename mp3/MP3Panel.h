// MP3Panel: the two-page tag panel of the description area (ID3v1 with the MPEG header data,
// ID3v2 with the copy buttons), and MPanel with Play and Stop.
#pragma once

#include <QFrame>
#include <QString>
#include <QTabWidget>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace tavrin {

class Mp3TagPanel : public QTabWidget {
  public:
    explicit Mp3TagPanel(QWidget* parent = nullptr);

    // A genre box's text: a text equal to a list name selects that entry.
    static void SetGenreText(QComboBox* box, const QString& text);
    // The box's position for the ID3v1 genre: the entry whose name equals the text, or -1.
    static int GenrePosition(const QComboBox* box);

    // Edits by the user: a key (virtual key code) in a field of page 1 or 2, any change of a
    // text field's text, a change of a genre box.
    std::function<void(int page, int key)> onFieldKey;
    std::function<void(int page)> onFieldEdited;
    std::function<void(int page)> onGenreChanged;

    QWidget *TabV1, *TabV2;
    QGroupBox *GroupBox2, *GroupBox3, *GroupBox4;
    QCheckBox *Ck_V1, *Ck_V2;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QLabel *Lab1, *Lab2, *Lab3, *Lab4, *Lab5, *Lab6;
    QLineEdit *MP_artist, *MP_title, *MP_album, *MP_year, *MP_comment;
    QLineEdit *MP_artist2, *MP_Title2, *MP_Album2, *MP_Year2;
    QComboBox *CB_Genre, *CB_genre2;
    QPlainTextEdit* M_Comment;
    QLabel *L1, *L2, *L3, *L4, *L5, *L6, *L7;
    QLabel *LFileSize, *LBitRate, *LChannelMode, *LMPEGType, *LSampleRate, *LDuration, *LEncoder;
    QPushButton *B_CopyTo, *B_CopyFrom;
    bool loading = false;  // set while the panel is filled from a file: no edit
    // The texts the ID3v2 page showed when it was filled (title, artist, album, year, genre,
    // comment): a field that still shows its text is left as the tag has it.
    std::array<QString, 6> shownV2;
};

// Limits what is typed into a field to `limit` characters; a longer text the program sets stays
// whole, and typing may then fill the field up to that length.
void LimitTyping(QLineEdit* edit, int limit);

// The player's panel: Play and Stop in a small lowered (sunken) panel.
class MediaPanel : public QFrame {
  public:
    explicit MediaPanel(QWidget* parent = nullptr);
    QToolButton *VrMediaButton1, *VrMediaButton3;
};

}  // namespace tavrin
