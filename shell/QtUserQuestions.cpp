#include "shell/QtUserQuestions.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringConverter>

namespace tavrin {

namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Warning:
            return QMessageBox::Warning;
        case BoxIcon::Error:
            return QMessageBox::Critical;
        case BoxIcon::Question:
            return QMessageBox::Question;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString FromAnsi(const std::string& bytes) {
    auto decode = QStringDecoder("windows-1252");
    if (!decode.isValid()) return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    return decode(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

std::string ToAnsi(const QString& text) {
    auto encode = QStringEncoder("windows-1252");
    QByteArray bytes = encode.isValid() ? QByteArray(encode(text)) : text.toLatin1();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

bool QtUserQuestions::AskYesNo(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Question, FromAnsi(title), FromAnsi(text), QMessageBox::NoButton,
                    parent_);
    QPushButton* yes = box.addButton(QObject::tr("&Yes"), QMessageBox::YesRole);
    box.addButton(QObject::tr("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

bool QtUserQuestions::AskOkCancel(const std::string& title, const std::string& text) {
    return QMessageBox::question(parent_, FromAnsi(title), FromAnsi(text),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

OverwriteAnswer QtUserQuestions::AskOverwrite(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Question, FromAnsi(title), FromAnsi(text), QMessageBox::NoButton,
                    parent_);
    QPushButton* yes = box.addButton(QObject::tr("Yes"), QMessageBox::YesRole);
    QPushButton* all = box.addButton(QObject::tr("Yes to all"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QObject::tr("No"), QMessageBox::NoRole);
    box.addButton(QObject::tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.exec();
    if (box.clickedButton() == yes) return OverwriteAnswer::Yes;
    if (box.clickedButton() == all) return OverwriteAnswer::YesToAll;
    if (box.clickedButton() == no) return OverwriteAnswer::No;
    return OverwriteAnswer::Cancel;
}

void QtUserQuestions::ShowError(const std::string& text) {
    QMessageBox::critical(parent_, kAppTitle, FromAnsi(ErrorBoxText(text)));
}

void QtUserQuestions::ShowMessage(const std::string& title, const std::string& text, BoxIcon icon) {
    QMessageBox box(ToQtIcon(icon), FromAnsi(title), FromAnsi(text), QMessageBox::Ok, parent_);
    box.exec();
}

std::optional<std::string> QtUserQuestions::ChooseSaveFileName(const SaveFileRequest& request) {
    // "Compressed files (*.zip)|*.zip" → "Compressed files (*.zip)"
    QString filter = FromAnsi(request.filter).section('|', 0, 0);
    QFileDialog dialog(parent_, FromAnsi(request.title), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(FromAnsi(request.defaultExtension));
    if (!request.initialName.empty()) dialog.selectFile(FromAnsi(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ToAnsi(dialog.selectedFiles().first());
}

std::optional<FontChoice> QtUserQuestions::ChooseFont(const FontChoice& current, int minPoints,
                                                      int maxPoints) {
    QFont font(QString::fromStdString(current.family), current.pointSize);
    font.setBold(current.bold);
    font.setItalic(current.italic);
    font.setUnderline(current.underline);
    font.setStrikeOut(current.strikeOut);
    QFontDialog dialog(font, parent_);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    QFont chosen = dialog.selectedFont();
    FontChoice result = current;
    result.family = chosen.family().toStdString();
    result.pointSize = std::clamp(chosen.pointSize(), minPoints, maxPoints);
    result.bold = chosen.bold();
    result.italic = chosen.italic();
    result.underline = chosen.underline();
    result.strikeOut = chosen.strikeOut();
    return result;
}

}  // namespace tavrin
