// Reading the still picture types of the viewer into an image: icons through the platform's
// reader, Windows and enhanced metafiles through our own reader and renderer. Bitmaps and
// JPEG pictures load while the event loop runs instead (BitmapLoader, JpegLoader).
#pragma once

#include <QImage>
#include <string>

#include "viewer/ViewLogic.h"

namespace tavrin::viewer {

// The largest metafile read, in bytes.
inline constexpr std::int64_t kMaxMetafileBytes = std::int64_t(256) << 20;

// The picture of the file, read as the given kind without looking at its content to choose
// another; a null image when the file is missing, damaged or of another kind.
QImage LoadStillPicture(const std::string& path, PictureKind kind);

// Lets the platform's picture readers take pictures up to PictureMemoryLimit().
void UsePictureMemoryLimit();

// A metafile's picture at its display size; null when the bytes are no metafile.
QImage RenderMetafileBytes(const std::string& bytes);

}  // namespace tavrin::viewer
