#include "shell/QtFileOpProgress.h"

#include <QApplication>
#include <QFile>
#include <QProgressDialog>

namespace tavrin {

QtFileOpProgress::QtFileOpProgress(QWidget* parent) : parent_(parent) {}
QtFileOpProgress::~QtFileOpProgress() = default;

void QtFileOpProgress::Begin(const std::string& title, std::uint64_t totalBytes) {
    title_ = title;
    total_ = totalBytes;
    clock_.start();
    dialog_.reset();
}

bool QtFileOpProgress::Update(std::uint64_t doneBytes, const std::string& currentName) {
    if (!dialog_ && clock_.elapsed() >= 500) {
        dialog_ = std::make_unique<QProgressDialog>(QString::fromStdString(title_),
                                                    QObject::tr("Cancel"), 0, 1000, parent_);
        dialog_->setWindowTitle(QString::fromStdString(title_));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setMinimumWidth(420);
    }
    if (!dialog_) return true;
    int permille = total_ ? int(std::min<std::uint64_t>(1000, doneBytes * 1000 / total_)) : 0;
    dialog_->setLabelText(QFile::decodeName(currentName.c_str()));
    dialog_->setValue(permille);
    QApplication::processEvents();
    return !dialog_->wasCanceled();
}

void QtFileOpProgress::End() {
    dialog_.reset();
}

}  // namespace tavrin
