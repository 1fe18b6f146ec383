#include "shell/TrayMenu.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>

namespace tavrin {

TrayMenu::TrayMenu(QWidget* parent) : QMenu(parent) {
    setContentsMargins(kMarginWidth, 0, 0, 0);
}

void TrayMenu::PaintMargin(QPainter& painter, const QRect& rect) {
    painter.save();
    painter.setClipRect(rect);
    // Pure red at the top to dark red at the bottom.
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, QColor(255, 0, 0));
    gradient.setColorAt(1, QColor(63, 0, 0));
    painter.fillRect(rect, gradient);
    QFont font("Comic Sans MS");
    font.setPointSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    // Turned 90 degrees to run upwards, starting at the left edge 5 pixels above the bottom.
    painter.translate(rect.left(), rect.bottom() - 5);
    painter.rotate(-90);
    QFontMetrics metrics(font);
    painter.drawText(QPoint(0, metrics.ascent()), "Tavrin");
    painter.restore();
}

void TrayMenu::paintEvent(QPaintEvent* event) {
    QMenu::paintEvent(event);
    QPainter painter(this);
    PaintMargin(painter, QRect(0, 0, kMarginWidth, height()));
}

}  // namespace tavrin
