#include "description/Cust_ext.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "description/CustomNames.h"
#include "platform/qt/Text.h"

namespace tavrin {

TCustom_ext::TCustom_ext(UserQuestions& questions, QWidget* parent)
    : QDialog(parent), questions_(questions) {
    setWindowTitle("Custom file setup");
    setModal(false);
    resize(350, 300);
    auto* grid = new QGridLayout(this);
    Label2 = new QLabel(
        "Insert custom file name in the box to the left\r\n"
        "and press \"Add\" button: for example,\r\n"
        "file.nfo  or  <filename>.txt\r\n"
        "(where <filename> will be added automatically)\r\n"
        "or readme.nfo, or any file name you prefer.",
        this);
    Label2->setWordWrap(true);
    Label2->setTextFormat(Qt::PlainText);
    grid->addWidget(Label2, 0, 0, 1, 3);
    T_cFile = new QLineEdit(this);
    T_cFile->setMinimumWidth(110);
    grid->addWidget(T_cFile, 2, 0, Qt::AlignTop);
    auto* middle = new QVBoxLayout;
    B_Add = new QPushButton("&Add>>", this);
    B_Remove = new QPushButton("<<Remove", this);
    middle->addWidget(B_Add);
    middle->addWidget(B_Remove);
    middle->addStretch();
    grid->addLayout(middle, 2, 1);
    Label1 = new QLabel("File(s) to search:", this);
    grid->addWidget(Label1, 1, 2);
    L_cFile = new QListWidget(this);
    grid->addWidget(L_cFile, 2, 2);
    Label3 = new QLabel(
        "To remove an item, highlight it in the right box and press \"Remove\";\r\n"
        "To save your preferences for the next sessions press the apposite button.",
        this);
    Label3->setWordWrap(true);
    Label3->setTextFormat(Qt::PlainText);
    grid->addWidget(Label3, 3, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    B_saveprefs = new QPushButton("Save settings", this);
    B_OK = new QPushButton("Close", this);
    buttons->addStretch();
    buttons->addWidget(B_saveprefs);
    buttons->addWidget(B_OK);
    grid->addLayout(buttons, 4, 0, 1, 3);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    connect(B_Add, &QPushButton::clicked, this, &TCustom_ext::B_AddClick);
    connect(B_Remove, &QPushButton::clicked, this, &TCustom_ext::B_RemoveClick);
    connect(B_saveprefs, &QPushButton::clicked, this, &TCustom_ext::B_saveprefsClick);
    connect(B_OK, &QPushButton::clicked, this, &TCustom_ext::GenerateCustMenu);
    // Enter in the name box adds the name, once: no button of the form is pressed by Enter.
    for (QPushButton* button : {B_Add, B_Remove, B_saveprefs, B_OK}) button->setAutoDefault(false);
    connect(T_cFile, &QLineEdit::returnPressed, this, &TCustom_ext::B_AddClick);
}

void TCustom_ext::FormCreate(const std::string& programDir) {
    path_ = programDir + "/" + kCustomNamesFileName;
    ReadCustoms();
    GenerateCustMenu();
}

std::vector<std::string> TCustom_ext::Names() const {
    std::vector<std::string> names;
    // The names are single-byte texts: shown and stored as Windows-1252, byte for byte.
    for (int i = 0; i < L_cFile->count(); ++i)
        names.push_back(ContentBytes(L_cFile->item(i)->text()));
    return names;
}

void TCustom_ext::ReadCustoms() {
    for (const std::string& name : tavrin::ReadCustoms(path_)) L_cFile->addItem(ContentText(name));
}

bool TCustom_ext::WriteCustoms() {
    bool written = tavrin::WriteCustoms(path_, Names());
    if (!written) questions_.ShowMessage(kDiskErrorTitle, kDiskErrorText, BoxIcon::Warning);
    if (onMenuRebuild) onMenuRebuild(Names());  // also sets whether b_custom is enabled
    return written;
}

void TCustom_ext::GenerateCustMenu() {
    if (onMenuRebuild) onMenuRebuild(Names());
    hide();
}

void TCustom_ext::B_AddClick() {
    std::vector<std::string> names = Names();
    const std::string name = ContentBytes(T_cFile->text());
    if (!AddCustomName(names, name)) return;
    L_cFile->addItem(ContentText(name));  // as it will be stored
    T_cFile->clear();
}

void TCustom_ext::B_RemoveClick() {
    QListWidgetItem* item = L_cFile->currentItem();
    if (!item || !item->isSelected()) return;
    if (!item->text().isEmpty()) T_cFile->setText(item->text());
    delete L_cFile->takeItem(L_cFile->row(item));
}

void TCustom_ext::B_saveprefsClick() {
    WriteCustoms();
    questions_.ShowNotice("Preferences saved.");
    GenerateCustMenu();
}

}  // namespace tavrin
