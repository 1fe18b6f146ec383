// A picture that becomes ready while the event loop runs (a JPEG decoding, a large bitmap
// read slice by slice): the image control draws the rows that are ready at any time, and the
// whole picture once it has finished. Rows that are not ready are never drawn.
#pragma once

#include <QImage>
#include <QObject>
#include <QRectF>
#include <QSize>
#include <functional>

class QPainter;

namespace tavrin::viewer {

class ProgressivePicture : public QObject {
  public:
    virtual QSize Size() const = 0;
    // Starts. `changed` runs on this object's thread when more rows are ready, `finished` once
    // when the picture is complete, with false after an error (the picture is then void).
    virtual void Start(std::function<void()> changed, std::function<void(bool ok)> finished) = 0;
    // Stops the work; nothing is reported afterwards.
    virtual void Cancel() = 0;
    // The whole picture once it has finished well (null before).
    virtual QImage Picture() const = 0;
    // Draws what is ready, the picture's full size mapped onto `target`.
    virtual void Paint(QPainter& painter, const QRectF& target) const = 0;
};

}  // namespace tavrin::viewer
