#include "packer/ZipUnzip.h"

#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/qt/Text.h"

namespace tavrin {

namespace {

QLabel* Heading(const char* text, const char* colour, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QString("color: %1; font-weight: bold; font-size: 8pt;").arg(colour));
    return label;
}

QCheckBox* Option(const char* caption, bool blue, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    if (blue) box->setStyleSheet("color: blue;");
    return box;
}

}  // namespace

FolderTree::FolderTree(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setRootPath("/");
    view_ = new QTreeView(this);
    view_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column) view_->hideColumn(column);
    view_->setHeaderHidden(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(view_);
    connect(view_, &QTreeView::clicked, this, [this] {
        if (OnClick) OnClick();
    });
}

std::string FolderTree::SelectedPath() const {
    QModelIndex index = view_->currentIndex();
    return index.isValid() ? FileNameBytes(QDir::toNativeSeparators(model_->filePath(index)))
                           : std::string();
}

void FolderTree::SelectPath(const std::string& path) {
    QModelIndex index = model_->index(FileNameText(path));
    if (!index.isValid()) return;
    view_->setCurrentIndex(index);
    view_->scrollTo(index);
}

TFrmUnzip::TFrmUnzip(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Decompressing");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    setFixedSize(kNarrowWidth, 420);

    // The list half.
    Label2 = Heading("Size (bytes)", "blue", this);
    Label3 = Heading("Date / Hour", "blue", this);
    Label4 = Heading("Filename", "blue", this);
    // Over the columns of the listing lines (Courier, 8 pixels a character).
    Label2->setGeometry(6, 6, 76, 16);
    Label3->setGeometry(84, 6, 110, 16);
    Label4->setGeometry(214, 6, 180, 16);
    FilesList = new ListingView(this);
    FilesList->setGeometry(6, 24, 395, 313);
    QFont courier("Courier New");
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(13);
    FilesList->setFont(courier);
    FilesList->setStyleSheet("QListView { color: blue; } QListView::item { height: 16px; }");
    FilesList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Label1 = new QLabel("Decompress to:", this);
    Label1->setGeometry(6, 344, 96, 22);
    T_Dir = new QLineEdit(QDir::tempPath(), this);
    T_Dir->setGeometry(100, 344, 200, 22);
    B_Options = new QPushButton("Options", this);
    B_Options->setCheckable(true);
    B_Options->setStyleSheet("color: red;");
    B_Options->setGeometry(306, 342, 95, 26);
    R_all = new QRadioButton("Unzip all", this);
    R_all->setGeometry(6, 370, 120, 20);
    R_all->setChecked(true);
    R_sel = new QRadioButton("Unzip only selected", this);
    R_sel->setGeometry(130, 370, 170, 20);
    B_Abort = new QPushButton("Cancel", this);
    B_Abort->setGeometry(6, 392, 90, 24);
    B_Unzip = new QPushButton("Unzip !", this);
    B_Unzip->setStyleSheet("color: blue; font-weight: bold; font-size: 13pt;");
    B_Unzip->setGeometry(251, 386, 150, 30);

    // The options half.
    Label5 = Heading("Extract to directory:", "maroon", this);
    Label5->setGeometry(410, 6, 216, 16);
    LTree = new FolderTree(this);
    LTree->setGeometry(410, 24, 216, 222);
    GroupBox1 = new QGroupBox(" Engine options (in blue most commons)", this);
    GroupBox1->setStyleSheet("QGroupBox { color: maroon; font-size: 7pt; }");
    GroupBox1->setGeometry(410, 252, 216, 162);
    auto* options = new QVBoxLayout(GroupBox1);
    options->setContentsMargins(4, 4, 4, 4);  // room for the captions of every language
    chExtractOnlyNewer = Option("extract only newer files", false, GroupBox1);
    chUFlag = Option("extract only newer/new files", true, GroupBox1);
    chOFlag = Option("always overwrite files", false, GroupBox1);
    chC_flag = Option("case insensitive", true, GroupBox1);
    chDFlag = Option("extract with path", true, GroupBox1);
    chC_flag->setChecked(true);
    for (QCheckBox* box : {chExtractOnlyNewer, chUFlag, chOFlag, chC_flag, chDFlag})
        options->addWidget(box);

    connect(B_Options, &QPushButton::clicked, this, &TFrmUnzip::B_OptionsClick);
    connect(B_Abort, &QPushButton::clicked, this, &TFrmUnzip::B_AbortClick);
    connect(B_Unzip, &QPushButton::clicked, this, &TFrmUnzip::B_UnzipClick);
    LTree->OnClick = [this] { LTreeClick(); };
}

void TFrmUnzip::FitRows() {
    // Captions of another language may be wider than the places of the English ones: the
    // folder box starts after its label, the second choice after the first.
    const int labelWidth = std::max(94, Label1->sizeHint().width());
    Label1->resize(labelWidth, 22);
    const int labelRight = 6 + labelWidth + 4;
    T_Dir->setGeometry(labelRight, 344, std::max(80, 300 - labelRight), 22);
    const int secondLeft = std::max(130, 6 + R_all->sizeHint().width() + 8);
    R_all->resize(secondLeft - 10, 20);
    R_sel->setGeometry(secondLeft, 370, 300 - secondLeft, 20);
}

void TFrmUnzip::PlaceHeadings() {
    // Each heading starts where its column of the listing lines starts: the size at the
    // first character, the date at the tenth, the name at the twenty-sixth.
    const QFontMetrics metrics(FilesList->font());
    const int textMargin =
        FilesList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, FilesList) + 1;
    const int textLeft = FilesList->x() + FilesList->viewport()->x() + textMargin;
    const int columns[] = {0, 9, 25};
    QLabel* headings[] = {Label2, Label3, Label4};
    const int right = FilesList->x() + FilesList->width();
    for (int i = 0; i < 3; ++i) {
        const int left = textLeft + metrics.horizontalAdvance(QString(columns[i], ' '));
        const int next =
            i < 2 ? textLeft + metrics.horizontalAdvance(QString(columns[i + 1], ' ')) : right;
        // A heading wider than its column ("Size (bytes)" over seven digits) is set smaller
        // rather than run under the next one.
        for (int points = 8; points >= 6; --points) {
            headings[i]->setStyleSheet(
                QString("color: blue; font-weight: bold; font-size: %1pt;").arg(points));
            if (headings[i]->sizeHint().width() <= next - left - 2) break;
        }
        headings[i]->setGeometry(left, 6, next - left, 16);
    }
}

void TFrmUnzip::showEvent(QShowEvent* event) {
    std::string caption = selectedCaption ? selectedCaption() : std::string();
    setWindowTitle("Decompressing " + FileNameText(caption));
    B_Options->setText("Options >>");
    FitRows();
    PlaceHeadings();
    setFixedSize(kNarrowWidth, height());
    if (onList) onList(selectedPath ? selectedPath() : std::string());
    QDialog::showEvent(event);
}

void TFrmUnzip::B_OptionsClick() {
    setFixedSize(B_Options->isChecked() ? kWideWidth : kNarrowWidth, height());
    if (B_Options->isChecked()) LTree->SelectPath(FileNameBytes(T_Dir->text()));
}

void TFrmUnzip::LTreeClick() {
    T_Dir->setText(FileNameText(LTree->SelectedPath()));
}

void TFrmUnzip::B_AbortClick() {
    hide();
}

void TFrmUnzip::B_UnzipClick() {
    if (onExtract) onExtract(R_all->isChecked());
}

UnzipBoxes TFrmUnzip::Boxes() const {
    UnzipBoxes b;
    b.extractOnlyNewer = chExtractOnlyNewer->isChecked();
    b.newerOrNew = chUFlag->isChecked();
    b.overwrite = chOFlag->isChecked();
    b.caseInsensitive = chC_flag->isChecked();
    b.withPath = chDFlag->isChecked();
    return b;
}

std::vector<bool> TFrmUnzip::SelectedLines() const {
    return FilesList->SelectedRows();
}

}  // namespace tavrin
