#include "shell/DescriptionEditor.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "description/Cp437.h"
#include "platform/qt/VirtualKey.h"

namespace tavrin {

QFont DescriptionEditor::DescriptionFont() {
    QString family = "Monospace";
    const QStringList installed = QFontDatabase::families();
    // Terminus is a pixel font with every code page 437 glyph at its native sizes (12 pixels
    // among them); Unifont and DejaVu Sans Mono only when it is missing. On a scaled screen
    // a pixel font's strike is drawn unscaled in doubled cells (blocks fall apart), so there
    // an outline font draws the art at the screen's own pixel size.
    const bool scaled = qApp && qApp->devicePixelRatio() != 1.0;
    for (const char* name : {"Terminal", "Terminus", "Unifont", "DejaVu Sans Mono"}) {
        if (scaled && !QFontDatabase::isSmoothlyScalable(name)) continue;
        if (installed.contains(name, Qt::CaseInsensitive)) {
            family = name;
            break;
        }
    }
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    // No glyph may come from another, proportional font: box-drawing art must join.
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::PreferBitmap));
    return OnPixelGrid(font, 12);
}

std::vector<int> DescriptionEditor::NativePixelSizes(const QString& family) {
    if (QFontDatabase::isSmoothlyScalable(family)) return {};
    // A bitmap font: the sizes it has (the font database offers the one it matches).
    QFont probe(family);
    probe.setPixelSize(12);
    if (QFontInfo(probe).family().compare(family, Qt::CaseInsensitive) != 0) return {};
    return {QFontInfo(probe).pixelSize()};
}

QFont DescriptionEditor::OnPixelGrid(QFont font, double pixels) {
    // A whole pixel size: cells and lines fall on the pixel grid, so blocks and double lines
    // meet without seams or gaps. A pixel font is drawn only at one of its own sizes (never
    // scaled): the nearest.
    int size = std::max(1, int(std::lround(pixels)));
    const std::vector<int> native = NativePixelSizes(font.family());
    if (!native.empty())
        size = *std::min_element(native.begin(), native.end(), [size](int a, int b) {
            return std::abs(a - size) < std::abs(b - size);
        });
    font.setPixelSize(size);
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

void DescriptionEditor::SetGuide(bool shown) {
    guide_ = shown;
    viewport()->update();
}

QColor DescriptionEditor::GuideColour() {
    return QColor(0x80, 0x80, 0xC0, 0x60);  // a faint blue over any paper
}

int DescriptionEditor::GuideX() const {
    // Every glyph of the editor's font has one advance: column n starts n advances after the
    // document's margin.
    const double advance = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M'));
    return int(
        std::lround(contentOffset().x() + document()->documentMargin() + kGuideColumns * advance));
}

int DescriptionEditor::GuideY() const {
    // The bottom of the tenth line as laid out (the block's frame also holds the document's
    // margin, so the text lines are asked); past the text's end the lines go on at the last
    // one's height.
    double bottom = 0, height = QFontMetricsF(font()).height();
    int lines = 0;
    for (QTextBlock block = document()->firstBlock(); block.isValid() && lines < kGuideLines;
         block = block.next(), ++lines) {
        const QTextLayout* layout = block.layout();
        if (!layout || layout->lineCount() == 0) continue;
        const QTextLine last = layout->lineAt(layout->lineCount() - 1);
        bottom = blockBoundingGeometry(block).translated(contentOffset()).top() +
                 layout->position().y() + last.y() + last.height();
        height = last.height();
    }
    bottom += (kGuideLines - lines) * height;
    return int(std::lround(bottom));
}

void DescriptionEditor::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    if (!guide_) return;
    QPainter painter(viewport());
    painter.setPen(QPen(GuideColour(), 1));
    const int x = GuideX(), y = GuideY();
    const QRect area = viewport()->rect();
    painter.drawLine(x, area.top(), x, area.bottom());
    painter.drawLine(area.left(), y, area.right(), y);
}

void DescriptionEditor::keyPressEvent(QKeyEvent* event) {
    if (onKeyDown) onKeyDown(VirtualKeyOf(event));
    QPlainTextEdit::keyPressEvent(event);
}

}  // namespace tavrin
