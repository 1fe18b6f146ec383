#include "shell/QtFileOpProgress.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QProgressDialog>

#include "filemanager/DateText.h"

namespace tavrin {

namespace {

constexpr int kWindowWidth = 460;
constexpr int kNameWidth = 420;  // the name is shortened in the middle to fit

QString Count(std::uint64_t n) {
    return QString::fromStdString(FormatThousands(n, ","));
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
        dialog_->setWindowTitle(QString::fromStdString(title_));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setFixedWidth(kWindowWidth);
        if (auto* label = dialog_->findChild<QLabel*>()) label->setAlignment(Qt::AlignLeft);
        dialog_->show();
        if (onShown) onShown();
    }
    if (!dialog_) return true;
    QString name = QFile::decodeName(QByteArray::fromStdString(currentName));
    name = dialog_->fontMetrics().elidedText(name, Qt::ElideMiddle, kNameWidth);
    dialog_->setLabelText(name + "\n\n" + CountsText(done));
    dialog_->setValue(totalsKnown_ ? ProgressPermille(done, total_) : 0);
    QApplication::processEvents();
    return !dialog_->wasCanceled();
}

void QtFileOpProgress::End() {
    dialog_.reset();
}

}  // namespace tavrin
