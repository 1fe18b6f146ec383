// The read RTF document as a QTextDocument.
#include <QColor>
#include <QImage>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>

#include "viewer/RtfReader.h"
#include "viewer/ViewLogic.h"

namespace tavrin::viewer {

namespace {

// Twips to the document's pixels (1440 twips an inch, 96 pixels an inch).
qreal Pixels(int twips) {
    return twips / 15.0;
}

QTextCharFormat CharFormat(const RtfDocument& doc, const RtfCharFormat& f) {
    QTextCharFormat out;
    if (const RtfFont* font = doc.FindFont(f.font); font && !font->name.empty())
        out.setFontFamilies({QString::fromStdU16String(font->name)});
    out.setFontPointSize(f.halfPoints / 2.0);
    out.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(f.italic);
    out.setFontUnderline(f.underline);
    out.setFontStrikeOut(f.strike);
    auto color = [&](int index) -> const RtfColor* {
        if (index <= 0 || std::size_t(index) >= doc.colors.size()) return nullptr;
        const RtfColor& c = doc.colors[std::size_t(index)];
        return c.automatic ? nullptr : &c;
    };
    if (const RtfColor* c = color(f.foreground))
        out.setForeground(QColor(c->red, c->green, c->blue));
    if (const RtfColor* c = color(f.background))
        out.setBackground(QColor(c->red, c->green, c->blue));
    if (f.position == RtfCharFormat::Position::Super)
        out.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (f.position == RtfCharFormat::Position::Sub)
        out.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    return out;
}

QTextBlockFormat BlockFormat(const RtfParFormat& f) {
    QTextBlockFormat out;
    switch (f.align) {
        case RtfParFormat::Align::Left:
            out.setAlignment(Qt::AlignLeft);
            break;
        case RtfParFormat::Align::Center:
            out.setAlignment(Qt::AlignHCenter);
            break;
        case RtfParFormat::Align::Right:
            out.setAlignment(Qt::AlignRight);
            break;
        case RtfParFormat::Align::Justify:
            out.setAlignment(Qt::AlignJustify);
            break;
    }
    out.setLeftMargin(Pixels(f.leftIndent));
    out.setRightMargin(Pixels(f.rightIndent));
    out.setTextIndent(Pixels(f.firstIndent));
    out.setTopMargin(Pixels(f.spaceBefore));
    out.setBottomMargin(Pixels(f.spaceAfter));
    return out;
}

}  // namespace

RtfTextWriter::RtfTextWriter(QTextDocument* out) {
    out->clear();
    cursor_ = std::make_unique<QTextCursor>(out);
}

RtfTextWriter::~RtfTextWriter() = default;

void RtfTextWriter::Write(const RtfDocument& document, std::size_t end) {
    end = std::min(end, document.paragraphs.size());
    if (written_ >= end) return;
    QTextCursor& cursor = *cursor_;
    cursor.beginEditBlock();
    for (; written_ < end; ++written_) {
        const RtfParagraph& paragraph = document.paragraphs[written_];
        const QTextBlockFormat blockFormat = BlockFormat(paragraph.format);
        if (written_ == 0)
            cursor.setBlockFormat(blockFormat);
        else
            cursor.insertBlock(blockFormat);
        std::size_t blockLength = 0;
        for (const RtfRun& run : paragraph.runs) {
            if (run.picture) {
                InsertPicture(cursor, *run.picture);
                ++blockLength;
                continue;
            }
            QString text = QString::fromStdU16String(run.text);
            // Paragraph separators inside a run would start blocks of their own, and the
            // document's frame markers are no text.
            text.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
            text.replace(QChar('\n'), QChar::LineSeparator);
            text.replace(QChar('\r'), QChar::LineSeparator);
            text.replace(QChar(0xFDD0), QChar::ReplacementCharacter);
            text.replace(QChar(0xFDD1), QChar::ReplacementCharacter);
            const QTextCharFormat format = CharFormat(document, run.format);
            // A very long paragraph goes on in blocks of its own format, so that no block
            // is longer than the text box lays out at once.
            qsizetype at = 0;
            while (at < text.size()) {
                qsizetype n = std::min<qsizetype>(text.size() - at,
                                                  qsizetype(kMaxShownLineLength - blockLength));
                if (at + n < text.size() && text[at + n].isLowSurrogate()) --n;  // keep pairs
                if (n <= 0) {
                    cursor.insertBlock(blockFormat);
                    blockLength = 0;
                    continue;
                }
                cursor.insertText(text.mid(at, n), format);
                at += n;
                blockLength += std::size_t(n);
            }
        }
    }
    cursor.endEditBlock();
}

void RtfTextWriter::InsertPicture(QTextCursor& cursor, const RtfPicture& picture) {
    const QImage image = RenderRtfPicture(picture);
    if (image.isNull()) return;  // a picture that cannot be read is left out
    const QString name = QString("rtf-picture:%1").arg(++pictures_);
    cursor.document()->addResource(QTextDocument::ImageResource, QUrl(name), QVariant(image));
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(image.width());
    format.setHeight(image.height());
    cursor.insertImage(format);
}

void FillTextDocument(const RtfDocument& document, QTextDocument* out) {
    RtfTextWriter(out).Write(document, document.paragraphs.size());
}

}  // namespace tavrin::viewer
