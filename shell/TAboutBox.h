// The About box: the program's name, version and purpose, with a slowly scrolling panel of
// what it can do.
#pragma once

#include <QDialog>

class QTimer;

namespace tavrin {

class TAboutBox : public QDialog {
  public:
    explicit TAboutBox(QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QWidget* panel_;
    QTimer* timer_;
};

}  // namespace tavrin
