#include "shell/QtFileOpProgress.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QProgressDialog>
#include <QScreen>

#include "filemanager/DateText.h"
#include "platform/qt/Text.h"

namespace tavrin {

namespace {

constexpr int kWindowWidth = 460;
constexpr int kNameWidth = 420;  // the name is shortened in the middle to fit

QString Count(std::uint64_t n) {
    return Utf8Text(FormatThousands(n, ","));
}

QString Bytes(std::uint64_t n) {
    return QLocale::c().formattedDataSize(qint64(n), 1, QLocale::DataSizeTraditionalFormat);
}

}  // namespace

QtFileOpProgress::QtFileOpProgress(QWidget* parent) : parent_(parent) {
    elapsed = [this] { return clock_.elapsed(); };
}
QtFileOpProgress::~QtFileOpProgress() = default;

void QtFileOpProgress::Begin(const std::string& title) {
    title_ = title;
    total_ = {};
    totalsKnown_ = false;
    clock_.start();
    dialog_.reset();
}

void QtFileOpProgress::SetTotals(const FileOpCounts& totals) {
    total_ = totals;
    totalsKnown_ = true;
}

QString QtFileOpProgress::CountsText(const FileOpCounts& done) const {
    if (!totalsKnown_) return QObject::tr("Counting the items...");
    QString text = QObject::tr("%1 of %2 items").arg(Count(done.entries), Count(total_.entries));
    if (total_.bytes > 0)
        text += QObject::tr(", %1 of %2")
                    .arg(Bytes(std::min(done.bytes, total_.bytes)), Bytes(total_.bytes));
    return text;
}

bool QtFileOpProgress::Update(const FileOpCounts& done, const std::string& currentName) {
    if (!dialog_ && elapsed() >= kShowAfterMs) {
        dialog_ =
            std::make_unique<QProgressDialog>(QString(), QObject::tr("Cancel"), 0, 1000, parent_);
        dialog_->setWindowTitle(Utf8Text(title_));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setFixedWidth(kWindowWidth);
        if (auto* label = dialog_->findChild<QLabel*>()) {
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setContentsMargins(0, 6, 0, 0);
        }
        Refresh(done, currentName);
        if (onShown) onShown();
    } else if (dialog_) {
        Refresh(done, currentName);
    } else {
        return true;
    }
    QApplication::processEvents();
    return !dialog_->wasCanceled();
}

void QtFileOpProgress::Refresh(const FileOpCounts& done, const std::string& currentName) {
    QString name = FileNameText(currentName);
    name = dialog_->fontMetrics().elidedText(name, Qt::ElideMiddle, kNameWidth);
    dialog_->setLabelText(name + "\n\n" + CountsText(done));
    if (!dialog_->isVisible()) {
        // Placed over the middle of the window it belongs to, where the questions appear too.
        dialog_->adjustSize();
        QRect area =
            parent_ ? parent_->window()->frameGeometry() : dialog_->screen()->availableGeometry();
        dialog_->move(area.center() - dialog_->rect().center());
    }
    dialog_->setValue(totalsKnown_ ? ProgressPermille(done, total_) : 0);
}

void QtFileOpProgress::End() {
    dialog_.reset();
}

}  // namespace tavrin
