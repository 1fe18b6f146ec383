#include "lang/LangForm.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/Settings.h"
#include "platform/profile/ProfileFile.h"
#include "platform/qt/CaptionBar.h"
#include "platform/qt/Text.h"
#include "shell/TMain.h"

namespace tavrin {

namespace {

constexpr const char* kBuiltInNote =
    "NOTE: you can create your own version by adding a new TVK file (=TavrinLanguage)  in the "
    "program directory, using ENGLISH.TVK as a template. Afterwards, if you send me your custom "
    "file, I'll include it (with your name) in the future releases of Tavrin.";

QPushButton* FlatButton(const QString& caption, const char* colour, bool bold, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QString("QPushButton { color: %1; %2 padding: 3px 10px; }")
                              .arg(colour, bold ? "font-weight: bold;" : ""));
    return button;
}

}  // namespace

TLangForm::TLangForm(TMain& main, UserQuestions& questions)
    : QDialog(&main), main_(main), questions_(questions) {
    setWindowTitle("Customize language");
    // A fixed border and no title-bar buttons: the form is left through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    CaptionBar::Install(this);
    setModal(true);

    auto* grid = new QGridLayout(this);
    Label1 = new QLabel("Please select your favourite language:", this);
    Label1->setStyleSheet("color: blue;");
    grid->addWidget(Label1, 0, 0, 1, 2);

    Label2 = new QLabel(kBuiltInNote, this);
    Label2->setStyleSheet("color: maroon;");
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    Label2->setTextFormat(Qt::PlainText);
    QFont small = Label2->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    Label2->setFont(small);
    grid->addWidget(Label2, 1, 0, Qt::AlignTop);

    Panel2 = new QFrame(this);
    Panel2->setFrameShape(QFrame::StyledPanel);
    // The list takes the height the texts leave it; it never makes the form larger.
    Panel2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* panel = new QVBoxLayout(Panel2);
    panel->setContentsMargins(2, 2, 2, 2);
    FileBox = new QListWidget(Panel2);
    FileBox->setSelectionMode(QAbstractItemView::SingleSelection);
    panel->addWidget(FileBox);
    grid->addWidget(Panel2, 1, 1);

    auto* buttons = new QHBoxLayout;
    B_Def = FlatButton("Set as default", "blue", false, this);
    B_cancel = FlatButton("Cancel", "red", false, this);
    B_OK = FlatButton("OK", "#00c000", true, this);
    // Enter means OK wherever the focus is; only a click (or the space bar on it) runs
    // "Set as default", which writes the settings file.
    for (QPushButton* button : {B_Def, B_cancel}) button->setAutoDefault(false);
    B_OK->setDefault(true);
    buttons->addWidget(B_Def);
    buttons->addStretch();
    buttons->addWidget(B_cancel);
    buttons->addStretch();
    buttons->addWidget(B_OK);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    FitToTexts();

    connect(B_OK, &QPushButton::clicked, this, &TLangForm::B_OKClick);
    connect(B_cancel, &QPushButton::clicked, this, &TLangForm::B_cancelClick);
    connect(B_Def, &QPushButton::clicked, this, &TLangForm::B_DefClick);
    connect(FileBox, &QListWidget::itemDoubleClicked, this, &TLangForm::FileBoxDblClick);
}

namespace {

// The names of the files matching "*.tvk" (without regard to case) in `folder`, in the order
// of their names without regard to case.
std::vector<std::string> LanguageFileNames(const std::string& folder) {
    auto folded = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().native();
        std::error_code kind;
        if (name.size() >= 4 && folded(name.substr(name.size() - 4)) == ".tvk" &&
            entry.is_regular_file(kind))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return folded(a) < folded(b); });
    return names;
}

}  // namespace

void TLangForm::SetDirectory(const std::string& folder) {
    folder_ = folder;
    QString selected = FileBox->currentItem() && FileBox->currentItem()->isSelected()
                           ? FileBox->currentItem()->text()
                           : QString();
    FileBox->clear();
    // Each item keeps its file's name as the file system spells it.
    for (const std::string& name : LanguageFileNames(folder)) {
        auto* item = new QListWidgetItem(FileNameText(name), FileBox);
        item->setData(Qt::UserRole, QByteArray(name.data(), qsizetype(name.size())));
    }
    for (int i = 0; i < FileBox->count(); ++i)
        if (FileBox->item(i)->text() == selected) FileBox->setCurrentRow(i);
}

std::string TLangForm::FileName() const {
    const QListWidgetItem* item = FileBox->currentItem();
    if (!item || !item->isSelected()) return {};
    const QByteArray name = item->data(Qt::UserRole).toByteArray();
    return folder_ + "/" + std::string(name.constData(), std::size_t(name.size()));
}

void TLangForm::showEvent(QShowEvent* event) {
    // Files added to the program folder since the last time are offered too.
    SetDirectory(folder_);
    FitToTexts();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

void TLangForm::FitToTexts() {
    // The form is 341 x 198 and fixed; a language whose texts need more room makes it as much
    // wider (the captions of the top line and the buttons) and taller (the note, wrapped in
    // the left half) as they need, and no more.
    QLayout* grid = layout();
    Label2->setMinimumSize(0, 0);
    Label2->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    grid->invalidate();
    // The client area: inside the form's own caption and border.
    const QMargins frame = contentsMargins();
    const int width =
        std::max(kWidth + frame.left() + frame.right(), grid->totalMinimumSize().width());
    const QMargins margins = grid->contentsMargins();
    const int spacing = static_cast<QGridLayout*>(grid)->horizontalSpacing();
    Label2->setFixedWidth(
        (width - frame.left() - frame.right() - margins.left() - margins.right() - spacing) / 2);
    Label2->setMinimumHeight(Label2->heightForWidth(Label2->width()));
    grid->invalidate();
    const int height =
        std::max(kHeight + frame.top() + frame.bottom(), grid->totalMinimumSize().height());
    setFixedSize(width, height);
}

void TLangForm::B_OKClick() {
    std::string path = FileName();
    if (!path.empty()) LoadLanguage(path);
    close();
}

void TLangForm::FileBoxDblClick() {
    LoadLanguage(FileName());
    close();
}

void TLangForm::B_DefClick() {
    std::string path = FileName();
    std::string name = path.empty() ? std::string() : path.substr(folder_.size() + 1);
    std::string settings = main_.State().ProgramFile(kSettingsFileName);
    std::string cause;
    if (!ProfileFile::WriteString(settings, "International", "Language", name, &cause)) {
        questions_.ShowError("Unable to write to " + settings +
                             (cause.empty() ? "" : "\n" + cause));
        return;
    }
    LoadLanguage(path);
    close();
}

void TLangForm::B_cancelClick() {
    close();
}

}  // namespace tavrin
