// Code pages other than 1252 through the platform's converters.
#include <QStringDecoder>

#include "viewer/ViewLogic.h"

namespace tavrin::viewer {

std::u16string DecodeCodePage(int codePage, std::string_view bytes) {
    if (codePage == 1252 || codePage <= 0) return Windows1252ToUtf16(bytes);
    std::string name;
    if (codePage == 10000)
        name = "macintosh";
    else if (codePage < 1000 && codePage != 874 && codePage != 932 && codePage != 936 &&
             codePage != 949 && codePage != 950)
        name = "IBM" + std::to_string(codePage);
    else
        name = "windows-" + std::to_string(codePage);
    QStringDecoder decoder(name.c_str());
    if (!decoder.isValid()) return Windows1252ToUtf16(bytes);
    QString text = decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return text.toStdU16String();
}

}  // namespace tavrin::viewer
