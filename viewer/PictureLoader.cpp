#include "viewer/PictureLoader.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QImageReader>
#include <filesystem>

#include "viewer/MetafileRenderer.h"

namespace tavrin::viewer {

namespace {

QImage ReadWithFormat(const std::string& path, const char* format) {
    UsePictureMemoryLimit();
    // Opened by its bytes: a name that is no UTF-8 cannot travel through a QString.
    QFile file;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) close(fd);
        return {};
    }
    QImageReader reader(&file, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    return reader.read();
}

}  // namespace

void UsePictureMemoryLimit() {
    // The platform's readers refuse pictures of more than 256 MB unless told otherwise.
    static const bool once = [] {
        QImageReader::setAllocationLimit(int(PictureMemoryLimit() >> 20));
        return true;
    }();
    (void)once;
}

QImage RenderMetafileBytes(const std::string& bytes) {
    auto metafile =
        ReadMetafile(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!metafile) return {};
    return RenderMetafile(*metafile, MetafileDisplaySize(*metafile));
}

QImage LoadStillPicture(const std::string& path, PictureKind kind) {
    // Only regular files: opening a pipe would wait for a writer.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    switch (kind) {
        case PictureKind::Icon:
            return ReadWithFormat(path, "ico");
        case PictureKind::Metafile:
        case PictureKind::EnhancedMetafile: {
            // Both extensions take either kind of metafile, told apart by content.
            std::string bytes;
            if (!ReadFileHead(path, std::size_t(kMaxMetafileBytes), &bytes)) return {};
            return RenderMetafileBytes(bytes);
        }
        case PictureKind::Bitmap:  // BitmapLoader reads them, slice by slice
        case PictureKind::Jpeg:
        case PictureKind::None:
            return {};
    }
    return {};
}

}  // namespace tavrin::viewer
