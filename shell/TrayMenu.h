// The tray icon's menu: a red margin down its left side with "Tavrin" written upwards.
#pragma once

#include <QMenu>

namespace tavrin {

class TrayMenu : public QMenu {
  public:
    static constexpr int kMarginWidth = 24;
    explicit TrayMenu(QWidget* parent = nullptr);

    // Draws the margin into `rect` (also used by tests to look at it).
    static void PaintMargin(QPainter& painter, const QRect& rect);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tavrin
