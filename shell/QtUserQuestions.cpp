#include "shell/QtUserQuestions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

#include "platform/qt/Text.h"
#include "shell/DescriptionEditor.h"

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

// A box showing its text as it stands: a file name such as "<b>.txt" is no markup.
class Box : public QMessageBox {
  public:
    Box(QMessageBox::Icon icon, const std::string& title, const std::string& text, QWidget* parent,
        QMessageBox::StandardButtons buttons = QMessageBox::NoButton)
        : QMessageBox(icon, MessageText(title), MessageText(text), buttons, parent) {
        setTextFormat(Qt::PlainText);
    }
};

}  // namespace

bool QtUserQuestions::AskYesNo(const std::string& title, const std::string& text) {
    Box box(QMessageBox::Question, title, text, parent_);
    QPushButton* yes = box.addButton(QObject::tr("&Yes"), QMessageBox::YesRole);
    box.addButton(QObject::tr("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

bool QtUserQuestions::AskDelete(const std::string& title, const std::string& text) {
    Box box(QMessageBox::Warning, title, text, parent_);
    QPushButton* yes = box.addButton(QObject::tr("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QObject::tr("&No"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

bool QtUserQuestions::AskOkCancel(const std::string& title, const std::string& text) {
    Box box(QMessageBox::Question, title, text, parent_, QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

OverwriteAnswer QtUserQuestions::AskOverwrite(const std::string& title, const std::string& text) {
    Box box(QMessageBox::Question, title, text, parent_);
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

SkipAnswer QtUserQuestions::AskSkip(const std::string& title, const std::string& text) {
    Box box(QMessageBox::Critical, title, text, parent_);
    QPushButton* skip = box.addButton(QObject::tr("&Skip"), QMessageBox::AcceptRole);
    QPushButton* all = box.addButton(QObject::tr("Skip &all"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QObject::tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == skip) return SkipAnswer::Skip;
    if (box.clickedButton() == all) return SkipAnswer::SkipAll;
    return SkipAnswer::Cancel;
}

void QtUserQuestions::ShowError(const std::string& text) {
    Box box(QMessageBox::Critical, kAppTitle, ErrorBoxText(text), parent_, QMessageBox::Ok);
    box.exec();
}

void QtUserQuestions::ShowMessage(const std::string& title, const std::string& text, BoxIcon icon) {
    Box box(ToQtIcon(icon), title, text, parent_, QMessageBox::Ok);
    box.exec();
}

std::optional<std::string> QtUserQuestions::ChooseSaveFileName(const SaveFileRequest& request) {
    // "Compressed files (*.zip)|*.zip" → "Compressed files (*.zip)"
    QString filter = MessageText(request.filter).section('|', 0, 0);
    QFileDialog dialog(parent_, MessageText(request.title), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(MessageText(request.defaultExtension));
    if (!request.initialName.empty()) dialog.selectFile(FileNameText(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FileNameBytes(dialog.selectedFiles().first());
}

std::optional<FontChoice> QtUserQuestions::ChooseFont(const FontChoice& current, int minPoints,
                                                      int maxPoints) {
    // A font dialog with effects: family, style, size within the limits, underline, strike
    // out and colour, with a sample.
    QDialog dialog(parent_);
    dialog.setWindowTitle(QObject::tr("Font"));
    auto* form = new QFormLayout(&dialog);
    auto* family = new QFontComboBox(&dialog);
    family->setCurrentFont(QFont(Utf8Text(current.family)));
    // The sizes within the limits; a pixel font offers only those it draws crisp.
    auto* size = new QComboBox(&dialog);
    const double dpi = dialog.logicalDpiY();
    auto offerSizes = [&, minPoints, maxPoints](int wanted) {
        QSignalBlocker quiet(size);
        size->clear();
        std::vector<int> points;
        for (int pixels : DescriptionEditor::NativePixelSizes(family->currentFont().family()))
            points.push_back(
                std::clamp(int(std::lround(pixels * 72.0 / dpi)), minPoints, maxPoints));
        if (points.empty())
            for (int p = minPoints; p <= maxPoints; ++p) points.push_back(p);
        points.erase(std::unique(points.begin(), points.end()), points.end());
        int best = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            size->addItem(QString::number(points[i]), points[i]);
            if (std::abs(points[i] - wanted) < std::abs(points[std::size_t(best)] - wanted))
                best = int(i);
        }
        size->setCurrentIndex(best);
    };
    offerSizes(current.pointSize);
    auto* bold = new QCheckBox(QObject::tr("&Bold"), &dialog);
    auto* italic = new QCheckBox(QObject::tr("&Italic"), &dialog);
    auto* underline = new QCheckBox(QObject::tr("&Underline"), &dialog);
    auto* strike = new QCheckBox(QObject::tr("Stri&keout"), &dialog);
    bold->setChecked(current.bold);
    italic->setChecked(current.italic);
    underline->setChecked(current.underline);
    strike->setChecked(current.strikeOut);
    auto* colour = new QComboBox(&dialog);
    const std::pair<const char*, QRgb> colours[] = {
        {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
        {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
        {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
        {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF}};
    for (const auto& [name, rgb] : colours) {
        QPixmap swatch(16, 16);
        swatch.fill(QColor(rgb));
        colour->addItem(QIcon(swatch), QObject::tr(name), QVariant::fromValue(uint(rgb)));
        if (rgb == current.rgb) colour->setCurrentIndex(colour->count() - 1);
    }
    auto* sample = new QLabel("AaBbYyZz  ╔═╗ ░▒▓", &dialog);
    sample->setMinimumHeight(48);
    sample->setFrameShape(QFrame::StyledPanel);
    auto update = [&] {
        QFont f = DescriptionEditor::OnPixelGrid(family->currentFont(),
                                                 size->currentData().toInt() * dpi / 72.0);
        f.setBold(bold->isChecked());
        f.setItalic(italic->isChecked());
        f.setUnderline(underline->isChecked());
        f.setStrikeOut(strike->isChecked());
        sample->setFont(f);
        sample->setStyleSheet(
            QString("color: #%1;").arg(colour->currentData().toUInt(), 6, 16, QChar('0')));
    };
    for (QCheckBox* box : {bold, italic, underline, strike})
        QObject::connect(box, &QCheckBox::toggled, &dialog, update);
    QObject::connect(family, &QFontComboBox::currentFontChanged, &dialog, [&] {
        offerSizes(size->currentData().toInt());
        update();
    });
    QObject::connect(size, &QComboBox::currentIndexChanged, &dialog, update);
    QObject::connect(colour, &QComboBox::currentIndexChanged, &dialog, update);
    update();
    form->addRow(QObject::tr("&Font:"), family);
    form->addRow(QObject::tr("&Size:"), size);
    auto* styles = new QHBoxLayout;
    for (QCheckBox* box : {bold, italic, underline, strike}) styles->addWidget(box);
    form->addRow(QObject::tr("Effects:"), styles);
    form->addRow(QObject::tr("&Colour:"), colour);
    form->addRow(sample);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    FontChoice result = current;
    result.family = Utf8Bytes(family->currentFont().family());
    result.pointSize = size->currentData().toInt();
    result.bold = bold->isChecked();
    result.italic = italic->isChecked();
    result.underline = underline->isChecked();
    result.strikeOut = strike->isChecked();
    result.rgb = colour->currentData().toUInt();
    return result;
}

}  // namespace tavrin
