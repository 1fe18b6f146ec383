// Plays the drawing commands of a metafile onto a QPainter, keeping the device context the
// records change: mapping mode, window and viewport, world transformation, the object table
// with the selected pen, brush and font, colours and modes, the saved states, the path and
// the clipping.
#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

#include "viewer/Metafile.h"

class QPainter;

namespace tavrin::viewer {

// The size a metafile is shown at: its own size, scaled down to kMaxMetafileSide when larger
// (`maxSide` lets callers choose a smaller limit).
QSize MetafileDisplaySize(const Metafile& metafile, int maxSide = kMaxMetafileSide);

// Plays the metafile with its frame mapped onto `target` (in the painter's coordinates).
void PlayMetafile(const Metafile& metafile, QPainter& painter, const QRectF& target);

// The picture drawn on white at `size`; a null image when `size` is empty or too large.
QImage RenderMetafile(const Metafile& metafile, QSize size);

}  // namespace tavrin::viewer
