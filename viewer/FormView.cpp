#include "viewer/FormView.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include "platform/qt/Text.h"
#include "viewer/BitmapLoader.h"
#include "viewer/JpegLoader.h"
#include "viewer/PictureLoader.h"
#include "viewer/PlainTextReader.h"
#include "viewer/RtfReader.h"

namespace tavrin::viewer {

namespace {

QString PathText(const std::string& path) {
    return FileNameText(path);
}

// Text as the text box takes it: the two characters a document keeps for its frames would
// start blocks of their own.
QString DocumentText(const std::u16string& units) {
    QString text = QString::fromStdU16String(units);
    text.replace(QChar(0xFDD0), QChar::ReplacementCharacter);
    text.replace(QChar(0xFDD1), QChar::ReplacementCharacter);
    return text;
}

}  // namespace

// --- TImage -------------------------------------------------------------------------------

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const QImage& picture) {
    picture_ = picture;
    loading_ = nullptr;
    natural_ = picture.size();
    if (autoSize_) resize(natural_);
    update();
}

void TImage::SetLoading(const ProgressivePicture* loading, QSize size) {
    picture_ = QImage();
    loading_ = loading;
    natural_ = size;
    if (autoSize_) resize(natural_);
    update();
}

void TImage::Clear() {
    picture_ = QImage();
    loading_ = nullptr;
    natural_ = QSize();
    if (autoSize_) resize(0, 0);
    update();
}

void TImage::SetAutoSize(bool on) {
    autoSize_ = on;
    if (on) resize(natural_.isEmpty() ? QSize(0, 0) : natural_);
}

void TImage::SetStretch(bool on) {
    stretch_ = on;
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    if (natural_.isEmpty()) return;
    QPainter painter(this);
    const QRectF target = stretch_ ? QRectF(rect()) : QRectF(QPointF(0, 0), natural_);
    if (stretch_) painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (loading_)
        loading_->Paint(painter, target);
    else
        painter.drawImage(target, picture_);
}

// --- TTextBox -----------------------------------------------------------------------------

TTextBox::TTextBox(QWidget* parent) : QStackedWidget(parent) {
    Rich = new QTextEdit(this);
    Rich->setReadOnly(true);
    Rich->setAcceptRichText(true);
    Rich->document()->setUndoRedoEnabled(false);
    Plain = new QPlainTextEdit(this);
    Plain->setReadOnly(true);
    Plain->document()->setUndoRedoEnabled(false);
    // Read, selected and moved through with the mouse and the keyboard (Ctrl+End reaches the
    // end of a long text).
    for (QWidget* view : {static_cast<QWidget*>(Rich), static_cast<QWidget*>(Plain)})
        view->setFocusPolicy(Qt::StrongFocus);
    Rich->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Plain->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    addWidget(Rich);
    addWidget(Plain);
}

void TTextBox::ShowRich() {
    setCurrentWidget(Rich);
}

void TTextBox::ShowPlain() {
    setCurrentWidget(Plain);
}

bool TTextBox::ShowsRich() const {
    return currentWidget() == Rich;
}

QString TTextBox::toPlainText() const {
    return ShowsRich() ? Rich->toPlainText() : Plain->toPlainText();
}

QTextDocument* TTextBox::document() const {
    return ShowsRich() ? Rich->document() : Plain->document();
}

void TTextBox::clear() {
    Rich->clear();
    Plain->clear();
    Plain->setCurrentCharFormat(QTextCharFormat());
}

// --- TViewForm ----------------------------------------------------------------------------

TViewForm::TViewForm(QWidget* parent)
    : QDialog(parent), previewMinPixels_(JpegDecoder::kPreviewMinPixels) {
    setWindowTitle(kCaption);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    resize(499, 470);

    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 0, 499, 29);

    LbButton1 = new QPushButton(Panel1);
    LbButton1->setGeometry(2, 2, 88, 25);
    LbButton1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    LbButton1->setToolTip("Close");
    connect(LbButton1, &QPushButton::clicked, this, [this] { LbButton1Click(); });

    b_stretch = new QCheckBox("Stretch", Panel1);
    b_stretch->setGeometry(104, 6, 100, 17);
    QFont bold = b_stretch->font();
    bold.setBold(true);
    b_stretch->setFont(bold);
    QPalette navy = b_stretch->palette();
    navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    navy.setColor(QPalette::ButtonText, QColor(0x00, 0x00, 0x80));
    b_stretch->setPalette(navy);
    connect(b_stretch, &QCheckBox::toggled, this, [this] { b_stretchClick(); });

    PanImage = new QFrame(this);
    PanImage->setGeometry(9, 33, 481, 407);

    Imma = new TImage(PanImage);
    Imma->move(1, 1);

    ScrollH = new QScrollBar(Qt::Horizontal, PanImage);
    ScrollH->setGeometry(0, 407 - 18, 481, 18);
    ScrollV = new QScrollBar(Qt::Vertical, PanImage);
    ScrollV->setGeometry(481 - 17, 0, 17, 407 - 18);
    for (QScrollBar* bar : {ScrollH, ScrollV}) {
        bar->setRange(0, 0);
        bar->setPageStep(10);
        bar->setSingleStep(1);
        bar->raise();
    }
    connect(ScrollV, &QScrollBar::valueChanged, this, [this] { ScrollVChange(); });
    connect(ScrollH, &QScrollBar::valueChanged, this, [this] { ScrollHChange(); });

    RE1 = new TTextBox(this);
    RE1->setGeometry(0, 29, 499, 470 - 29);
    RE1->raise();
    RE1->hide();

    textTimer_ = new QTimer(this);
    textTimer_->setInterval(0);
    connect(textTimer_, &QTimer::timeout, this, [this] { FeedText(); });
}

TViewForm::~TViewForm() {
    StopPicture();
    StopText();
}

PanelGeometry TViewForm::Geometry() const {
    return {{PanImage->width(), PanImage->height()}, ScrollH->height(), ScrollV->width()};
}

void TViewForm::resizeEvent(QResizeEvent* event) {
    // The strip and the text box follow the window's width; the text box fills the rest.
    Panel1->setGeometry(0, 0, width(), 29);
    RE1->setGeometry(0, 29, width(), std::max(height() - 29, 0));
    QDialog::resizeEvent(event);
}

void TViewForm::showEvent(QShowEvent* event) {
    if (QScreen* s = screen()) {
        QRect area = s->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    FormShow();
    QDialog::showEvent(event);
}

void TViewForm::hideEvent(QHideEvent* event) {
    // Closing stops the reading of a long text; what has been read stays for the next showing.
    textTimer_->stop();
    QDialog::hideEvent(event);
}

void TViewForm::FormShow() {
    // Scroll positions 0, the picture at (1, 1), no stretching, the box visible and off.
    ScrollV->setValue(0);
    ScrollH->setValue(0);
    Imma->move(1, 1);
    Imma->SetStretch(false);
    b_stretch->setVisible(true);
    b_stretch->setChecked(false);  // when it was on, its switch-off steps run
    Imma->SetAutoSize(true);

    std::optional<std::string> file = fileToShow ? fileToShow() : std::nullopt;
    if (!file) {
        // Neither pane has the focus: the last content stays, and a text whose reading was
        // stopped by closing the window goes on.
        if (text_) textTimer_->start();
        return;
    }
    StopText();
    if (file->empty()) {
        // Nothing is selected: an empty window.
        ShowEmpty();
        setWindowTitle(kCaption);
        return;
    }

    RE1->hide();
    const PictureResult result = LoadPicture(*file);
    setWindowTitle(PathText(*file));
    if (result == PictureResult::TooLarge) {
        // Too large a picture is no text either: the window says so and stays empty.
        ShowEmpty();
        if (showInformation) showInformation(kTooLarge);
        return;
    }
    if (result == PictureResult::NotAPicture) {
        b_stretch->setVisible(false);
        SetScrollRanges({});
        ViewText();
        return;
    }
    const QSize size = Imma->PictureSize();
    SetScrollRanges(ScrollRangesFor({size.width(), size.height()}, Geometry()));
}

void TViewForm::ShowEmpty() {
    StopPicture();
    RE1->hide();
    RE1->clear();
    Imma->Clear();
    b_stretch->setVisible(false);
    SetScrollRanges({});
}

TViewForm::PictureResult TViewForm::LoadPicture(const std::string& path) {
    StopPicture();
    Imma->Clear();
    const PictureKind kind = PictureKindOf(path);
    if (kind == PictureKind::None) return PictureResult::NotAPicture;
    if (kind == PictureKind::Jpeg) {
        std::string error;
        bool tooLarge = false;
        std::unique_ptr<JpegLoader> jpeg =
            JpegLoader::Open(path, &error, previewMinPixels_, &tooLarge);
        if (!jpeg) return tooLarge ? PictureResult::TooLarge : PictureResult::NotAPicture;
        StartLoading(std::move(jpeg), path);
        return PictureResult::Shown;
    }
    if (kind == PictureKind::Bitmap) {
        BitmapLoader::Status status;
        const QRgb background = PanImage->palette().color(QPalette::Window).rgb();
        std::unique_ptr<BitmapLoader> bitmap = BitmapLoader::Open(path, background, &status);
        if (!bitmap)
            return status == BitmapLoader::Status::TooLarge ? PictureResult::TooLarge
                                                            : PictureResult::NotAPicture;
        StartLoading(std::move(bitmap), path);
        return PictureResult::Shown;
    }
    QImage picture = LoadStillPicture(path, kind);
    if (picture.isNull()) return PictureResult::NotAPicture;
    Imma->SetPicture(picture);
    return PictureResult::Shown;
}

void TViewForm::StartLoading(std::unique_ptr<ProgressivePicture> loading, const std::string& path) {
    loading_ = std::move(loading);
    Imma->SetLoading(loading_.get(), loading_->Size());
    loading_->Start(
        [this] {
            Imma->update();
            if (onPictureProgress) onPictureProgress();
        },
        [this, path](bool ok) { LoadingFinished(ok, path); });
}

void TViewForm::LoadingFinished(bool ok, const std::string& path) {
    // The picture's own event is still running: it goes once that has returned.
    ProgressivePicture* loaded = loading_.release();
    if (ok) Imma->SetPicture(loaded->Picture());
    loaded->deleteLater();
    if (!ok) {
        // A picture that fails while it loads falls back to the text view, as one that
        // fails at once does.
        Imma->Clear();
        b_stretch->setVisible(false);
        SetScrollRanges({});
        ShowTextOf(path);
    }
    if (onPictureProgress) onPictureProgress();
}

void TViewForm::StopPicture() {
    if (!loading_) return;
    loading_->Cancel();
    loading_.reset();
}

bool TViewForm::PictureLoading() const {
    return loading_ != nullptr;
}

bool TViewForm::TextLoading() const {
    return text_ != nullptr;
}

void TViewForm::SetScrollRanges(ScrollMaxima maxima) {
    ScrollH->setRange(0, maxima.horizontal);
    ScrollV->setRange(0, maxima.vertical);
}

void TViewForm::ViewText() {
    RE1->show();
    std::optional<std::string> file = fileToShow ? fileToShow() : std::nullopt;
    if (!file || file->empty()) {
        RE1->hide();
        return;
    }
    ShowTextOf(*file);
}

void TViewForm::ShowTextOf(const std::string& path) {
    RE1->show();
    const bool loaded = LoadText(path);
    setWindowTitle(PathText(path));
    if (!loaded) {
        RE1->clear();
        if (showInformation) showInformation(kNotSupported);
        RE1->hide();
    }
}

bool TViewForm::LoadText(const std::string& path) {
    StopText();
    auto reader = std::make_unique<PlainTextReader>();
    if (!reader->Open(path, kTextLimit)) return false;
    RE1->clear();
    // The text goes in piece by piece; the first slice shows at once, the rest follows from
    // the event loop, so the window answers (and closes) while a long file comes in.
    if (LooksLikeRtf(reader->Head(5))) {
        if (!reader->ReadAll()) return false;
        RE1->ShowRich();
        text_ = std::move(reader);
        rtf_ = std::make_unique<RtfReader>(text_->Bytes());
        rtfWriter_ = std::make_unique<RtfTextWriter>(RE1->Rich->document());
        FeedRichText();
        return true;
    }
    reader->SetMaxLineLength(kMaxShownLineLength);
    RE1->ShowPlain();
    text_ = std::move(reader);
    std::u16string piece;
    bool restart = false;
    if (!text_->Next(kTextPiece, &piece, &restart)) {
        text_.reset();
        return false;
    }
    QTextCursor(RE1->Plain->document()).insertText(DocumentText(piece), QTextCharFormat());
    RE1->Plain->moveCursor(QTextCursor::Start);
    FeedText();
    return true;
}

void TViewForm::FeedText() {
    if (rtf_) return FeedRichText();
    if (!text_) return;
    QElapsedTimer slice;
    slice.start();
    QPlainTextEdit* view = RE1->Plain;
    std::u16string piece;
    bool restart = false;
    while (!text_->AtEnd() && slice.elapsed() < kTextSliceMs) {
        if (!text_->Next(kTextPiece, &piece, &restart)) {
            StopText();  // a read error: what was read stays shown
            return;
        }
        if (restart) view->clear();
        QTextCursor end(view->document());
        end.movePosition(QTextCursor::End);
        end.insertText(DocumentText(piece), QTextCharFormat());
        if (restart) view->moveCursor(QTextCursor::Start);
    }
    if (!text_->AtEnd()) {
        textTimer_->start();
        return;
    }
    if (text_->Cut()) AppendCutNote(view->document());
    StopText();
}

void TViewForm::FeedRichText() {
    QElapsedTimer slice;
    slice.start();
    const bool first = rtfWriter_->Written() == 0;
    bool done = false;
    do {
        done = rtf_->Read(kTextPiece);
        rtfWriter_->Write(rtf_->Document(), rtf_->CompleteParagraphs());
    } while (!done && slice.elapsed() < kTextSliceMs);
    if (first) RE1->Rich->moveCursor(QTextCursor::Start);
    if (!done) {
        textTimer_->start();
        return;
    }
    if (text_->Cut()) AppendCutNote(RE1->Rich->document());
    StopText();
}

void TViewForm::AppendCutNote(QTextDocument* document) {
    // The text box holds at most kTextLimit bytes of a file: a longer file says so at the
    // end of what is shown, after an empty line.
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    const bool lineEnded = document->lastBlock().length() <= 1;  // the last line is empty
    QTextCharFormat note;
    note.setFontItalic(true);
    end.insertText(lineEnded ? "\n" : "\n\n", QTextCharFormat());
    end.insertText(kTextCut, note);
}

void TViewForm::StopText() {
    textTimer_->stop();
    rtfWriter_.reset();
    rtf_.reset();
    text_.reset();
}

void TViewForm::b_stretchClick() {
    if (b_stretch->isChecked()) {
        ScrollV->setValue(0);
        ScrollH->setValue(0);
        ScrollV->setEnabled(false);
        ScrollH->setEnabled(false);
        const QSize natural = Imma->PictureSize();
        Imma->SetAutoSize(false);
        Imma->SetStretch(true);
        if (!natural.isEmpty()) {
            PixelSize size = StretchedSize({natural.width(), natural.height()}, Geometry());
            Imma->resize(size.width, size.height);
        }
    } else {
        Imma->SetStretch(false);
        Imma->SetAutoSize(true);
        ScrollV->setValue(0);
        ScrollH->setValue(0);
        ScrollV->setEnabled(true);
        ScrollH->setEnabled(true);
    }
}

void TViewForm::ScrollVChange() {
    Imma->move(Imma->x(), PictureEdgeFor(ScrollV->value()));
}

void TViewForm::ScrollHChange() {
    Imma->move(PictureEdgeFor(ScrollH->value()), Imma->y());
}

void TViewForm::LbButton1Click() {
    reject();
}

}  // namespace tavrin::viewer
