// The file operation's progress window: appears once the work has lasted half a second,
// with a cancel button.
#pragma once

#include <QElapsedTimer>
#include <memory>

#include "platform/fileop/FileOperation.h"

class QProgressDialog;
class QWidget;

namespace tavrin {

class QtFileOpProgress : public FileOpProgress {
  public:
    explicit QtFileOpProgress(QWidget* parent);
    ~QtFileOpProgress() override;
    void Begin(const std::string& title, std::uint64_t totalBytes) override;
    bool Update(std::uint64_t doneBytes, const std::string& currentName) override;
    void End() override;

  private:
    QWidget* parent_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer clock_;
    std::uint64_t total_ = 0;
    std::string title_;
};

}  // namespace tavrin
