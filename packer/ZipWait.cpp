#include "packer/ZipWait.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QTransform>
#include <atomic>
#include <cmath>
#include <thread>

#include "platform/qt/CaptionBar.h"
#include "shell/AppIcon.h"

namespace tavrin {

CopyAnimation::CopyAnimation(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    setFixedSize(272, 60);
    timer_->setInterval(45);
    connect(timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrames;
        update();
    });
}

void CopyAnimation::Start() {
    frame_ = 0;
    timer_->start();
}

void CopyAnimation::Stop() {
    timer_->stop();
}
bool CopyAnimation::Running() const {
    return timer_->isActive();
}

void CopyAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    auto folder = [&](int x) {
        p.setPen(QPen(QColor(120, 80, 0), 1));
        p.setBrush(QColor(250, 200, 60));
        p.drawRect(x, 24, 44, 30);
        p.drawRect(x, 18, 18, 6);
    };
    folder(8);
    folder(220);
    // The sheet follows an arc from the left folder to the right one.
    const SheetPlace place = SheetAt(frame_);
    p.save();
    p.translate(place.centre);
    p.rotate(place.angle);
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(Qt::white);
    p.drawRect(kSheet);
    for (int line = -6; line <= 6; line += 4) p.drawLine(-5, line, 5, line);
    p.restore();
}

CopyAnimation::SheetPlace CopyAnimation::SheetAt(int frame) {
    const double t = double(frame) / (kFrames - 1);
    // The highest point of the arc leaves room for the turned sheet's corners: the whole arc
    // stays inside the animation.
    const double reach = std::hypot(kSheet.width() / 2, kSheet.height() / 2) + 1;
    const double base = 34, top = reach;
    return {QPointF(30 + t * 200, base - (base - top) * 4 * t * (1 - t)), -20 + 40 * t};
}

QRectF CopyAnimation::SheetBounds(int frame) {
    const SheetPlace place = SheetAt(frame);
    QTransform turn;
    turn.translate(place.centre.x(), place.centre.y());
    turn.rotate(place.angle);
    return turn.mapRect(kSheet);
}

TFrmWaitZip::TFrmWaitZip(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Processing, please wait...");
    setModal(true);
    // No buttons and nothing to close it with while it works.
    CaptionBar::Install(this);
    setFixedSize(QSize(366, 134).grownBy(contentsMargins()));
    auto* layout = new QHBoxLayout(this);
    Anm1 = new CopyAnimation(this);
    layout->addWidget(Anm1);
    auto* image = new QLabel(this);
    image->setPixmap(AppIcon().pixmap(32, 32));
    layout->addWidget(image);
}

void TFrmWaitZip::RunBlocking(const std::function<void()>& call) {
    busy_ = true;
    // Over the window the work was started from (the unzip dialog, say), so the window
    // manager keeps it on top of that window; raised and active, centred on the screen.
    QWidget* home = parentWidget();
    QWidget* over = QApplication::activeWindow();
    if (over && over != this && over != home) setParent(over, windowFlags());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
    Anm1->Start();
    repaint();
    QEventLoop loop;
    std::atomic<bool> done{false};
    // The engine call touches no widget: its callbacks only write while a capture flag is
    // set, and no capture runs during packing or extraction.
    std::thread worker([&] {
        call();
        done = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    if (!done) loop.exec();
    worker.join();
    Anm1->Stop();
    busy_ = false;
    hide();
    if (parentWidget() != home) setParent(home, windowFlags());
}

void TFrmWaitZip::closeEvent(QCloseEvent* event) {
    if (busy_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TFrmWaitZip::reject() {
    if (!busy_) QDialog::reject();
}

}  // namespace tavrin
