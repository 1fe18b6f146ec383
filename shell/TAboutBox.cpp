#include "shell/TAboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/UserQuestions.h"
#include "shell/AppIcon.h"

namespace tavrin {

namespace {

// The scrolling panel: lines move upwards and come round again.
class ScrollingPanel : public QWidget {
  public:
    explicit ScrollingPanel(QWidget* parent) : QWidget(parent) {
        setMinimumHeight(110);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor(0, 0, 96));
        setPalette(p);
    }
    void Step() {
        offset_ = (offset_ + 1) % (height() + LineHeight() * int(lines_.size()));
        update();
    }
    void Restart() { offset_ = 0; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QColor(255, 255, 160));
        int y = height() - offset_;
        for (const QString& line : lines_) {
            painter.drawText(QRect(0, y, width(), LineHeight()), Qt::AlignCenter, line);
            y += LineHeight();
        }
    }

  private:
    int LineHeight() const { return fontMetrics().height() + 2; }
    QStringList lines_ = {
        "Descriptions of zip archives:",
        "file_id.diz, readme.txt, <archive>.txt",
        "or names of your own — shown, edited, saved back",
        "",
        "Easy zip packer: drop files, choose options, Zip!",
        "Unzip all entries, or only the ones you pick",
        "",
        "MP3 files: ID3v1 and ID3v2 tags, MPEG header data",
        "and playback",
        "",
        "Two-pane file manager with a preview window",
        "",
        "Every caption from the language file you choose",
        "",
        "tavrin-cli: the same work from scripts",
    };
    int offset_ = 0;
};

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Tavrin");
    setWindowIcon(AppIcon());
    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(64, 64));
    head->addWidget(icon);
    auto* title = new QLabel(
        QString("<b style='font-size:16pt'>%1</b><br>"
                "Descriptions, archives, MP3 tags and files, in one window.<br>"
                "Zip engine: libzip32.so / libunzip32.so &nbsp;·&nbsp; MP3 decoder: libmpegdll.so")
            .arg(kAppTitle),
        this);
    title->setWordWrap(true);
    head->addWidget(title, 1);
    layout->addLayout(head);
    panel_ = new ScrollingPanel(this);
    layout->addWidget(panel_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    timer_ = new QTimer(this);
    timer_->setInterval(40);
    connect(timer_, &QTimer::timeout, this,
            [this] { static_cast<ScrollingPanel*>(panel_)->Step(); });
    resize(440, 280);
}

void TAboutBox::showEvent(QShowEvent* event) {
    static_cast<ScrollingPanel*>(panel_)->Restart();
    timer_->start();
    QDialog::showEvent(event);
}

void TAboutBox::hideEvent(QHideEvent* event) {
    timer_->stop();
    QDialog::hideEvent(event);
}

}  // namespace tavrin
