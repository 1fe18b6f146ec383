// The file operation's progress window: appears once the work has lasted half a second,
// shows the name at hand and the items and bytes done of all, and has a cancel button.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

#include "platform/fileop/FileOperation.h"

class QProgressDialog;
class QWidget;

namespace tavrin {

class QtFileOpProgress : public FileOpProgress {
  public:
    // The work must have lasted this long before the window appears.
    static constexpr qint64 kShowAfterMs = 500;

    explicit QtFileOpProgress(QWidget* parent);
    ~QtFileOpProgress() override;
    void Begin(const std::string& title) override;
    void SetTotals(const FileOpCounts& totals) override;
    bool Update(const FileOpCounts& done, const std::string& currentName) override;
    void End() override;

    // The window while it is shown, else null.
    QProgressDialog* Window() const { return dialog_.get(); }
    // The text under the name: "1,234 of 30,000 items, 1.2 MB of 3.4 MB".
    QString CountsText(const FileOpCounts& done) const;
    // Milliseconds since Begin (tests may replace it).
    std::function<qint64()> elapsed;
    // Called once when the window appears (the benchmarks note when).
    std::function<void()> onShown;

  private:
    void Refresh(const FileOpCounts& done, const std::string& currentName);

    QWidget* parent_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer clock_;
    FileOpCounts total_;
    bool totalsKnown_ = false;
    std::string title_;
};

}  // namespace tavrin
