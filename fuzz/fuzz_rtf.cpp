// Feeds arbitrary bytes to the RTF reader and turns what it read into a QTextDocument, as the
// viewer's text view does, pictures included. Neither may crash, read outside its input or
// hang; a paragraph count beyond the input's size would mean text came from nowhere.
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "viewer/RtfReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tavrin::viewer::RtfDocument doc = tavrin::viewer::ParseRtf(bytes);
    if (doc.paragraphs.empty() || doc.paragraphs.size() > size + 1) __builtin_trap();
    QTextDocument text;
    tavrin::viewer::FillTextDocument(doc, &text);
    // Every paragraph is at least one block (a very long one goes on in several).
    if (text.blockCount() < int(doc.paragraphs.size())) __builtin_trap();
    return 0;
}
