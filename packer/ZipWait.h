// TFrmWaitZip: "Processing, please wait..." while the engine packs or extracts. The engine
// call runs on a worker thread; the window stays painted, its animation moves, and the
// user's input waits until the call has returned.
#pragma once

#include <QDialog>
#include <QRectF>
#include <functional>

class QTimer;

namespace tavrin {

// A looping file-copy animation: a sheet flies from one folder to the other.
class CopyAnimation : public QWidget {
  public:
    static constexpr int kFrames = 34;
    explicit CopyAnimation(QWidget* parent = nullptr);
    void Start();
    void Stop();
    bool Running() const;
    int Frame() const { return frame_; }
    // Where the sheet is at `frame`: its centre and turn, and the rectangle it covers.
    struct SheetPlace {
        QPointF centre;
        double angle;
    };
    static SheetPlace SheetAt(int frame);
    static QRectF SheetBounds(int frame);
    static constexpr QRectF kSheet{-8, -10, 16, 20};  // the sheet around its centre

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTimer* timer_;
    int frame_ = 0;
};

class TFrmWaitZip : public QDialog {
  public:
    explicit TFrmWaitZip(QWidget* parent = nullptr);

    // Shows the window, runs `call` on a worker thread and returns when it has finished.
    void RunBlocking(const std::function<void()>& call);
    bool Busy() const { return busy_; }

    CopyAnimation* Anm1;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    bool busy_ = false;
};

}  // namespace tavrin
