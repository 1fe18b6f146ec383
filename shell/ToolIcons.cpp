#include "shell/ToolIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tavrin {

namespace {

const QColor kOutline(60, 60, 70);
const QColor kFill(70, 130, 200);

// A page with a folded corner, in a 16 x 16 grid.
void Page(QPainter& p) {
    QPainterPath page;
    page.moveTo(3, 0.5);
    page.lineTo(10, 0.5);
    page.lineTo(13.5, 4);
    page.lineTo(13.5, 15.5);
    page.lineTo(3, 15.5);
    page.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(10, 0.5), QPointF(10, 4));
    p.drawLine(QPointF(10, 4), QPointF(13.5, 4));
}

void TextLines(QPainter& p, double from, double to) {
    p.setPen(QPen(QColor(150, 150, 160), 1));
    for (double y = from; y <= to; y += 2) p.drawLine(QPointF(5, y), QPointF(12, y));
}

void Draw(ToolIconKind kind, QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    switch (kind) {
        case ToolIconKind::LargeIcons:
            p.setBrush(kFill);
            for (double x : {1.5, 9.5})
                for (double y : {1.5, 9.5}) p.drawRect(QRectF(x, y, 5, 5));
            break;
        case ToolIconKind::SmallIcons:
            // Rows of small icons with their captions beside them, in two columns.
            for (double x : {0.5, 8.5})
                for (double y : {1.5, 6.5, 11.5}) {
                    p.setPen(QPen(kOutline, 1));
                    p.setBrush(kFill);
                    p.drawRect(QRectF(x, y, 3, 3));
                    p.setPen(QPen(kOutline, 1));
                    p.drawLine(QPointF(x + 4.5, y + 1.5), QPointF(x + 7, y + 1.5));
                }
            break;
        case ToolIconKind::List:
            // One column of small icons with long captions.
            for (double y : {1.5, 5.5, 9.5, 13.5}) {
                p.setPen(QPen(kOutline, 1));
                p.setBrush(kFill);
                p.drawRect(QRectF(0.5, y - 1, 2, 2));
                p.drawLine(QPointF(4.5, y), QPointF(15, y));
            }
            break;
        case ToolIconKind::Details:
            // A header and rows cut into columns.
            p.setBrush(QColor(200, 205, 215));
            p.drawRect(QRectF(0.5, 0.5, 15, 3));
            p.setBrush(Qt::NoBrush);
            for (double y : {6.5, 9.5, 12.5, 15.0}) p.drawLine(QPointF(0.5, y), QPointF(15.5, y));
            p.drawLine(QPointF(7.5, 0.5), QPointF(7.5, 15.5));
            p.drawLine(QPointF(11.5, 0.5), QPointF(11.5, 15.5));
            break;
        case ToolIconKind::FileId:
            // A page with a blue "diz" band.
            Page(p);
            TextLines(p, 3, 4);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(30, 90, 200));
            p.drawRect(QRectF(1, 7, 14, 6));
            p.setPen(Qt::white);
            {
                QFont font("DejaVu Sans");
                font.setBold(true);
                font.setPixelSize(6);
                p.setFont(font);
                p.drawText(QRectF(1, 7, 14, 6), Qt::AlignCenter, "diz");
            }
            break;
        case ToolIconKind::FileName:
            // A page that carries the archive's zipper: the archive's own name with "txt".
            Page(p);
            TextLines(p, 7, 13);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(220, 160, 20));
            p.drawRect(QRectF(0.5, 1, 4, 14));
            p.setPen(QPen(QColor(90, 60, 0), 1));
            for (double y = 2.5; y < 15; y += 2) p.drawLine(QPointF(1.5, y), QPointF(3.5, y));
            break;
        case ToolIconKind::Readme:
            // A page with a green "i".
            Page(p);
            TextLines(p, 3, 5);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(30, 150, 60));
            p.drawEllipse(QRectF(5, 7.5, 8, 8));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(8.4, 10.5, 1.4, 3.8));
            p.drawRect(QRectF(8.4, 8.7, 1.4, 1.2));
            break;
    }
}

class PaintedIcon : public QIconEngine {
  public:
    explicit PaintedIcon(ToolIconKind kind) : kind_(kind) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        Draw(kind_, *painter);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pixmap = this->pixmap(size * scale, mode, state);
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }
    QIconEngine* clone() const override { return new PaintedIcon(kind_); }

  private:
    ToolIconKind kind_;
};

const char* ThemeName(ToolIconKind kind) {
    switch (kind) {
        case ToolIconKind::LargeIcons:
            return "view-list-icons";
        case ToolIconKind::SmallIcons:
            return "view-list-compact";
        case ToolIconKind::List:
            return "view-list-text";
        case ToolIconKind::Details:
            return "view-list-details";
        default:
            return nullptr;  // no theme has pictures for the description names
    }
}

}  // namespace

QIcon ToolIcon(ToolIconKind kind) {
    // A theme icon only when the theme really draws it (a theme of pictures the platform
    // cannot read would give blank buttons).
    if (const char* name = ThemeName(kind)) {
        QIcon themed = QIcon::fromTheme(name);
        if (!themed.isNull() && !themed.pixmap(16, 16).isNull()) return themed;
    }
    return QIcon(new PaintedIcon(kind));
}

}  // namespace tavrin
