#include "platform/qt/CaptionBar.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace tavrin {

CaptionBar* CaptionBar::Install(QWidget* window) {
    window->setWindowFlags((window->windowFlags() & Qt::WindowType_Mask) | Qt::FramelessWindowHint);
    return new CaptionBar(window);
}

CaptionBar::CaptionBar(QWidget* window) : QWidget(window) {
    setObjectName("CaptionBar");
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    const int height = fontMetrics().height() + 6;
    // The window's layout keeps clear of the caption and the border.
    window->setContentsMargins(1, height + 1, 1, 1);
    window->installEventFilter(this);
    Place();
}

QString CaptionBar::Text() const {
    return window()->windowTitle();
}

void CaptionBar::Place() {
    setGeometry(1, 1, window()->width() - 2, fontMetrics().height() + 6);
    raise();
}

bool CaptionBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window()) {
        if (event->type() == QEvent::Resize) Place();
        if (event->type() == QEvent::WindowTitleChange) update();
        if (event->type() == QEvent::Paint) {
            // The single border, drawn before the window paints its own contents.
            QPainter p(window());
            p.setPen(palette().color(QPalette::Shadow));
            p.drawRect(window()->rect().adjusted(0, 0, -1, -1));
        }
    }
    return false;
}

void CaptionBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool active = window()->isActiveWindow();
    p.fillRect(rect(), palette().color(active ? QPalette::Active : QPalette::Inactive,
                                       QPalette::Highlight));
    p.setPen(
        palette().color(active ? QPalette::Active : QPalette::Inactive, QPalette::HighlightedText));
    p.drawText(rect().adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignHCenter,
               fontMetrics().elidedText(Text(), Qt::ElideRight, width() - 12));
}

void CaptionBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && window()->windowHandle())
        window()->windowHandle()->startSystemMove();
}

}  // namespace tavrin
