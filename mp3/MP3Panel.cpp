#include "mp3/MP3Panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/VirtualKey.h"

namespace tavrin {

namespace {

QLabel* RedLabel(const char* text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet("color: red;");
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* Field(int limit, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setStyleSheet("color: blue;");
    if (limit > 0) edit->setMaxLength(limit);
    return edit;
}

// A header value: at least 80 pixels wide, and never narrower than its text.
class ValueLabel : public QLabel {
  public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override {
        QSize size = QLabel::minimumSizeHint().expandedTo(sizeHint());
        return size.expandedTo(QSize(80, 0));
    }
};

QLabel* Value(QWidget* parent) {
    auto* label = new ValueLabel(parent);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setStyleSheet("color: blue;");
    return label;
}

QGroupBox* Group(const char* caption, QWidget* parent) {
    auto* group = new QGroupBox(caption, parent);
    group->setStyleSheet("QGroupBox { color: blue; font-weight: bold; }");
    return group;
}

// A page that scrolls when the panel is smaller than its rows need, so that no row is
// squeezed. The panel asks to be as wide as the page, so that in a narrow window the file pane
// beside it gives way and nothing is cut at the side.
class PageScroll : public QScrollArea {
  public:
    explicit PageScroll(QWidget* page) {
        setWidget(page);
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        page->installEventFilter(this);
    }
    QSize minimumSizeHint() const override {
        const int width = widget()->minimumSizeHint().width() +
                          verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
        return {std::max(QScrollArea::minimumSizeHint().width(), width),
                QScrollArea::minimumSizeHint().height()};
    }

  protected:
    // The page's needs change with its texts (a language, a long value).
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget() && event->type() == QEvent::LayoutRequest) updateGeometry();
        return QScrollArea::eventFilter(watched, event);
    }
};

QScrollArea* Scrolling(QWidget* page) {
    return new PageScroll(page);
}

// Reports the keys pressed in a field before the field handles them.
class KeyWatcher : public QObject {
  public:
    KeyWatcher(QObject* parent, std::function<void(int)> onKey)
        : QObject(parent), onKey_(std::move(onKey)) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) onKey_(VirtualKeyOf(static_cast<QKeyEvent*>(event)));
        return false;
    }

  private:
    std::function<void(int)> onKey_;
};

}  // namespace

Mp3TagPanel::Mp3TagPanel(QWidget* parent) : QTabWidget(parent) {
    setDocumentMode(true);
    tabBar()->setExpanding(false);

    // ID3v1 page: the tag, then the header data.
    TabV1 = new QWidget(this);
    auto* page1 = new QVBoxLayout(TabV1);
    GroupBox2 = Group(" ID3v1 Tag ", TabV1);
    auto* grid1 = new QGridLayout(GroupBox2);
    Ck_V1 = new QCheckBox("Use this format on saving info", GroupBox2);
    Ck_V1->setChecked(true);
    grid1->addWidget(Ck_V1, 0, 0, 1, 4);
    Label1 = RedLabel("Artist", GroupBox2);
    Label2 = RedLabel("Title", GroupBox2);
    Label3 = RedLabel("Album", GroupBox2);
    Label4 = RedLabel("Year", GroupBox2);
    Label5 = RedLabel("Genre", GroupBox2);
    Label6 = RedLabel("Comment", GroupBox2);
    MP_artist = Field(30, GroupBox2);
    MP_title = Field(30, GroupBox2);
    MP_album = Field(30, GroupBox2);
    MP_year = Field(4, GroupBox2);
    MP_year->setMaximumWidth(60);
    MP_comment = Field(30, GroupBox2);
    CB_Genre = new QComboBox(GroupBox2);
    CB_Genre->setEditable(true);
    CB_Genre->setStyleSheet("color: blue;");
    grid1->addWidget(Label1, 1, 0);
    grid1->addWidget(MP_artist, 1, 1, 1, 3);
    grid1->addWidget(Label2, 2, 0);
    grid1->addWidget(MP_title, 2, 1, 1, 3);
    grid1->addWidget(Label3, 3, 0);
    grid1->addWidget(MP_album, 3, 1, 1, 3);
    grid1->addWidget(Label4, 4, 0);
    grid1->addWidget(MP_year, 4, 1);
    grid1->addWidget(Label5, 4, 2);
    grid1->addWidget(CB_Genre, 4, 3);
    grid1->addWidget(Label6, 5, 0);
    grid1->addWidget(MP_comment, 5, 1, 1, 3);
    grid1->setColumnStretch(3, 1);
    page1->addWidget(GroupBox2);

    GroupBox4 = Group("", TabV1);
    auto* grid4 = new QGridLayout(GroupBox4);
    grid4->setHorizontalSpacing(4);  // narrow: the page fits beside the file pane at 640 pixels
    L1 = RedLabel("FileSize", GroupBox4);
    L2 = RedLabel("BitRate", GroupBox4);
    L3 = RedLabel("Mode", GroupBox4);
    L4 = RedLabel("MPEG Type", GroupBox4);
    L5 = RedLabel("Sample rate", GroupBox4);
    L6 = RedLabel("Duration", GroupBox4);
    L7 = RedLabel("Encoder", GroupBox4);
    LFileSize = Value(GroupBox4);
    LBitRate = Value(GroupBox4);
    LChannelMode = Value(GroupBox4);
    LMPEGType = Value(GroupBox4);
    LSampleRate = Value(GroupBox4);
    LDuration = Value(GroupBox4);
    LEncoder = Value(GroupBox4);
    grid4->addWidget(L1, 0, 0);
    grid4->addWidget(LFileSize, 0, 1);
    grid4->addWidget(L2, 1, 0);
    grid4->addWidget(LBitRate, 1, 1);
    grid4->addWidget(L3, 2, 0);
    grid4->addWidget(LChannelMode, 2, 1);
    grid4->addWidget(L4, 0, 2);
    grid4->addWidget(LMPEGType, 0, 3);
    grid4->addWidget(L5, 1, 2);
    grid4->addWidget(LSampleRate, 1, 3);
    grid4->addWidget(L6, 2, 2);
    grid4->addWidget(LDuration, 2, 3);
    grid4->addWidget(L7, 3, 2);
    grid4->addWidget(LEncoder, 3, 3);
    page1->addWidget(GroupBox4);
    page1->addStretch();
    addTab(Scrolling(TabV1), "ID3 V 1");

    // ID3v2 page: the tag, then the copy buttons.
    TabV2 = new QWidget(this);
    auto* page2 = new QVBoxLayout(TabV2);
    GroupBox3 = Group(" ID3v2 Tag ", TabV2);
    auto* grid2 = new QGridLayout(GroupBox3);
    Ck_V2 = new QCheckBox("Use this format on saving info", GroupBox3);
    grid2->addWidget(Ck_V2, 0, 0, 1, 4);
    Lab1 = RedLabel("Artist", GroupBox3);
    Lab2 = RedLabel("Title", GroupBox3);
    Lab3 = RedLabel("Album", GroupBox3);
    Lab4 = RedLabel("Year", GroupBox3);
    Lab5 = RedLabel("Genre", GroupBox3);
    Lab6 = RedLabel("Comment", GroupBox3);
    MP_artist2 = Field(0, GroupBox3);
    MP_Title2 = Field(0, GroupBox3);
    MP_Album2 = Field(0, GroupBox3);
    MP_Year2 = Field(0, GroupBox3);
    LimitTyping(MP_Year2, 4);
    // A longer date read from the tag (2016-05-01) is shown whole.
    MP_Year2->setMaximumWidth(
        std::max(60, MP_Year2->fontMetrics().horizontalAdvance("0000-00-00") + 16));
    CB_genre2 = new QComboBox(GroupBox3);
    CB_genre2->setEditable(true);
    CB_genre2->setStyleSheet("color: blue;");
    M_Comment = new QPlainTextEdit(GroupBox3);
    M_Comment->setStyleSheet("color: blue;");
    grid2->addWidget(Lab1, 1, 0);
    grid2->addWidget(MP_artist2, 1, 1, 1, 3);
    grid2->addWidget(Lab2, 2, 0);
    grid2->addWidget(MP_Title2, 2, 1, 1, 3);
    grid2->addWidget(Lab3, 3, 0);
    grid2->addWidget(MP_Album2, 3, 1, 1, 3);
    grid2->addWidget(Lab4, 4, 0);
    grid2->addWidget(MP_Year2, 4, 1);
    grid2->addWidget(Lab5, 4, 2);
    grid2->addWidget(CB_genre2, 4, 3);
    grid2->addWidget(Lab6, 5, 0, Qt::AlignTop);
    grid2->addWidget(M_Comment, 5, 1, 1, 3);
    grid2->setColumnStretch(3, 1);
    grid2->setRowStretch(5, 1);
    page2->addWidget(GroupBox3, 1);
    auto* buttons = new QHBoxLayout;
    B_CopyTo = new QPushButton("Copy to ID3 v1", TabV2);
    B_CopyFrom = new QPushButton("Copy from ID3 v1", TabV2);
    buttons->addWidget(B_CopyTo);
    buttons->addWidget(B_CopyFrom);
    buttons->addStretch();
    page2->addLayout(buttons);
    addTab(Scrolling(TabV2), "ID3 V 2");

    // Keys and edits of the fields report to the main window with their page.
    auto watch = [this](QWidget* field, int page) {
        field->installEventFilter(new KeyWatcher(field, [this, page](int key) {
            if (!loading && onFieldKey) onFieldKey(page, key);
        }));
    };
    for (QLineEdit* e : {MP_artist, MP_title, MP_album, MP_year, MP_comment}) {
        watch(e, 1);
        connect(e, &QLineEdit::textEdited, this, [this] {
            if (!loading && onFieldEdited) onFieldEdited(1);
        });
    }
    for (QLineEdit* e : {MP_artist2, MP_Title2, MP_Album2, MP_Year2}) {
        watch(e, 2);
        connect(e, &QLineEdit::textEdited, this, [this] {
            if (!loading && onFieldEdited) onFieldEdited(2);
        });
    }
    watch(M_Comment, 2);
    connect(M_Comment->document(), &QTextDocument::contentsChange, this,
            [this](int, int removed, int added) {
                if (!loading && (removed || added) && onFieldEdited) onFieldEdited(2);
            });
    for (auto [box, page] : {std::pair{CB_Genre, 1}, std::pair{CB_genre2, 2}}) {
        watch(box, page);
        auto changed = [this, page] {
            if (!loading && onGenreChanged) onGenreChanged(page);
        };
        connect(box, &QComboBox::activated, this, changed);
        connect(box->lineEdit(), &QLineEdit::textEdited, this, changed);
    }
}

void Mp3TagPanel::SetGenreText(QComboBox* box, const QString& text) {
    int index = box->findText(text, Qt::MatchExactly);
    if (index >= 0) {
        box->setCurrentIndex(index);
    } else {
        box->setCurrentIndex(-1);
        box->setEditText(text);
    }
}

void LimitTyping(QLineEdit* edit, int limit) {
    // Typed text may make the field as long as the limit, or as the longest text the program
    // put there; what goes beyond is cut, as with a maximum length.
    static const char* kAllowed = "tavrinTypingLimit";
    edit->setProperty(kAllowed, std::max<int>(limit, edit->text().size()));
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](QString text) {
        const int allowed = edit->property(kAllowed).toInt();
        if (text.size() <= allowed) return;
        // The typed characters end at the cursor: the ones beyond the limit go.
        const int extra = int(text.size()) - allowed;
        const int cursor = edit->cursorPosition();
        text.remove(std::max(0, cursor - extra), extra);
        edit->setText(text);
        edit->setCursorPosition(std::max(0, cursor - extra));
    });
    // A text the program sets (not modified by the user) sets the length allowed.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, limit] {
        if (!edit->isModified())
            edit->setProperty(kAllowed, std::max<int>(limit, edit->text().size()));
    });
}

int Mp3TagPanel::GenrePosition(const QComboBox* box) {
    return box->findText(box->currentText(), Qt::MatchExactly);
}

MediaPanel::MediaPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    VrMediaButton1 = new QToolButton(this);
    VrMediaButton1->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    VrMediaButton1->setToolTip("Play");
    VrMediaButton3 = new QToolButton(this);
    VrMediaButton3->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    VrMediaButton3->setToolTip("Stop");
    layout->addWidget(VrMediaButton1);
    layout->addWidget(VrMediaButton3);
}

}  // namespace tavrin
