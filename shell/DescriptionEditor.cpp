#include "shell/DescriptionEditor.h"

#include <QFontDatabase>
#include <QKeyEvent>

#include "description/Cp437.h"
#include "platform/qt/VirtualKey.h"

namespace tavrin {

QFont DescriptionEditor::DescriptionFont() {
    QString family = "Monospace";
    const QStringList installed = QFontDatabase::families();
    for (const char* name : {"Terminal", "Unifont", "DejaVu Sans Mono"}) {
        if (installed.contains(name, Qt::CaseInsensitive)) {
            family = name;
            break;
        }
    }
    QFont font(family);
    font.setPixelSize(12);
    font.setStyleHint(QFont::TypeWriter);
    // No glyph may come from another, proportional font: box-drawing art must join.
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::PreferBitmap));
    return font;
}

DescriptionEditor::DescriptionEditor(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(DescriptionFont());
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette p = palette();
    p.setColor(QPalette::Text, QColor(0, 0, 128));
    setPalette(p);
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (!loading_ && (removed || added) && onUserEdit) onUserEdit();
    });
}

void DescriptionEditor::SetBytes(const std::string& bytes) {
    loading_ = true;
    std::u16string text = DecodeCp437(bytes);
    setPlainText(QString::fromUtf16(text.data(), qsizetype(text.size())));
    loading_ = false;
}

std::string DescriptionEditor::Bytes() const {
    // The raw text: plain-text conversion would turn no-break spaces (byte 0xFF) into blanks.
    QString text = document()->toRawText();
    return EncodeCp437(
        std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())));
}

void DescriptionEditor::keyPressEvent(QKeyEvent* event) {
    if (onKeyDown) onKeyDown(VirtualKeyOf(event));
    QPlainTextEdit::keyPressEvent(event);
}

}  // namespace tavrin
