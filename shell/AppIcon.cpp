#include "shell/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tavrin {

namespace {

// A zipped folder: a yellow folder with a zipper, and a red "T" tag.
QPixmap Draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(QPen(QColor(120, 80, 0), 2));
    p.setBrush(QColor(250, 200, 60));
    QPainterPath folder;
    folder.moveTo(4, 14);
    folder.lineTo(24, 14);
    folder.lineTo(28, 20);
    folder.lineTo(60, 20);
    folder.lineTo(60, 56);
    folder.lineTo(4, 56);
    folder.closeSubpath();
    p.drawPath(folder);
    p.setPen(QPen(QColor(90, 90, 90), 3));
    for (int y = 24; y < 54; y += 6) p.drawLine(30, y, 36, y);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 0, 0));
    p.drawRoundedRect(QRectF(36, 30, 26, 26), 5, 5);
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(36, 30, 26, 26), Qt::AlignCenter, "T");
    return pixmap;
}

}  // namespace

QIcon AppIcon() {
    static QIcon icon = [] {
        QIcon i;
        for (int size : {16, 24, 32, 48, 64, 128}) i.addPixmap(Draw(size));
        return i;
    }();
    return icon;
}

}  // namespace tavrin
