#include "platform/qt/Text.h"

#include <QFile>

#include "platform/text/TextCodec.h"

namespace tavrin {

namespace {

QByteArray Bytes(std::string_view bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

std::string Std(const QByteArray& bytes) {
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

}  // namespace

QString FileNameText(std::string_view bytes) {
    return QFile::decodeName(Bytes(bytes));
}

std::string FileNameBytes(const QString& text) {
    return Std(QFile::encodeName(text));
}

QString ContentText(std::string_view bytes) {
    QString text(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) *out++ = QChar(Windows1252Char(static_cast<unsigned char>(c)));
    return text;
}

std::string ContentBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;  // one character outside the code page
            bytes += '?';
        } else if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes += char(c);
        } else {
            char byte = '?';
            for (unsigned b = 0x80; b < 0xA0; ++b)
                if (Windows1252Char(static_cast<unsigned char>(b)) == c) byte = char(b);
            bytes += byte;
        }
    }
    return bytes;
}

QString Utf8Text(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string Utf8Bytes(const QString& text) {
    return Std(text.toUtf8());
}

}  // namespace tavrin
