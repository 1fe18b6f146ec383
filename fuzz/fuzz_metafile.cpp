// Feeds arbitrary bytes to the metafile reader (Windows and enhanced metafiles) and draws
// what it read, as the viewer does, at a small size. Neither may crash, read outside its
// input or hang.
#include <QGuiApplication>
#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "viewer/Metafile.h"
#include "viewer/MetafileRenderer.h"

// The system's font configuration keeps the patterns of fonts once asked for in caches of
// its own that the leak checker cannot see: they are not leaks of the reader.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto metafile = tavrin::viewer::ReadMetafile(std::span(data, size));
    if (!metafile) return 0;
    const QSize shown = tavrin::viewer::MetafileDisplaySize(*metafile, 192);
    if (shown.isEmpty() || shown.width() > 192 || shown.height() > 192) __builtin_trap();
    const QImage image = tavrin::viewer::RenderMetafile(*metafile, shown);
    if (image.size() != shown) __builtin_trap();
    return 0;
}
