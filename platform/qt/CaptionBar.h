// A fixed dialog without any title-bar buttons under every window manager: the window
// manager draws no frame at all (many, openbox among them, draw their minimise, maximise and
// close buttons on any window with a title bar, whatever its hints ask), and the window draws
// a single border and a caption of its own, which moves the window when dragged.
#pragma once

#include <QWidget>

namespace tavrin {

class CaptionBar : public QWidget {
  public:
    // Makes `window` such a window; the caption shows its window title.
    static CaptionBar* Install(QWidget* window);
    QString Text() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit CaptionBar(QWidget* window);
    void Place();
};

}  // namespace tavrin
