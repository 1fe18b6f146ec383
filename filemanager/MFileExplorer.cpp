#include "filemanager/MFileExplorer.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDesktopServices>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QStackedLayout>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <unordered_map>

#include "platform/qt/Text.h"
#include "platform/qt/VirtualKey.h"

namespace tavrin {

namespace {

// The columns show names and the texts made from them as names are shown.
QString Decode(const std::string& bytes) {
    return FileNameText(bytes);
}

// One icon per kind of row, made once.
QIcon IconFor(const std::string& key) {
    static std::unordered_map<std::string, QIcon> cache;
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    static QFileIconProvider provider;
    QIcon icon;
    if (key == "dir") {
        icon = provider.icon(QFileIconProvider::Folder);
    } else if (key.rfind("drv:", 0) == 0) {
        icon =
            provider.icon(key == "drv:4" ? QFileIconProvider::Network : QFileIconProvider::Drive);
    } else {
        static QMimeDatabase mimes;
        QMimeType mime = mimes.mimeTypeForName(Utf8Text(key));
        icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        if (icon.isNull()) icon = provider.icon(QFileIconProvider::File);
    }
    return cache.emplace(key, icon).first->second;
}

// Registry of live panes, so a drag names its pane by a number, not by a pointer that a
// foreign drag could fake.
std::unordered_map<quint64, TMFileExplorer*>& Panes() {
    static std::unordered_map<quint64, TMFileExplorer*> panes;
    return panes;
}
quint64 IdOf(const TMFileExplorer* pane) {
    for (auto& [id, p] : Panes())
        if (p == pane) return id;
    return 0;
}

// The list views of a pane: the pane handles clicks, keys, the right button and drops.
template <typename Base>
class PaneView : public Base {
  public:
    PaneView(TMFileExplorer* pane) : Base(pane), pane_(pane) {
        this->setEditTriggers(QAbstractItemView::NoEditTriggers);
        this->setSelectionBehavior(QAbstractItemView::SelectRows);
        this->setDragEnabled(true);
        this->setAcceptDrops(true);
        this->setDragDropMode(QAbstractItemView::DragDrop);
        this->setDefaultDropAction(Qt::CopyAction);
        this->setDropIndicatorShown(false);
    }

  protected:
    void mousePressEvent(QMouseEvent* e) override {
        // The right button goes straight to the pane, without the view's own selection.
        if (e->button() == Qt::RightButton) {
            pane_->HandleRightButton(e->position().toPoint(), this);
            return;
        }
        Base::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        Base::mouseReleaseEvent(e);
        if (e->button() == Qt::LeftButton) pane_->HandleClick();
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) pane_->HandleDoubleClick();
    }
    void keyPressEvent(QKeyEvent* e) override {
        int key = VirtualKeyOf(e);
        if (!pane_->HandleKeyPress(key, e->modifiers())) Base::keyPressEvent(e);
        if (pane_->OnKeyDown) pane_->OnKeyDown(key, e->modifiers());
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        Base::keyReleaseEvent(e);
        pane_->HandleKeyRelease(VirtualKeyOf(e), e->modifiers());
    }
    void focusInEvent(QFocusEvent* e) override {
        Base::focusInEvent(e);
        pane_->FocusChanged();
    }
    void focusOutEvent(QFocusEvent* e) override {
        Base::focusOutEvent(e);
        pane_->FocusChanged();
    }
    void startDrag(Qt::DropActions) override {
        if (!pane_->HasSelection()) return;
        // The item dragged is the pane's selected file from now on, as a click would make it
        // (without the click's event).
        pane_->Logic().Click();
        auto* drag = new QDrag(this);
        drag->setMimeData(pane_->MakeDragData());
        if (pane_->runDrag) pane_->runDrag(drag);
    }
    void dragEnterEvent(QDragEnterEvent* e) override { Answer(e); }
    void dragMoveEvent(QDragMoveEvent* e) override { Answer(e); }
    void dropEvent(QDropEvent* e) override {
        if (!Answer(e)) return;
        pane_->Drop(e->mimeData());
    }

  private:
    // A drop on a pane always copies, whatever the source proposed.
    bool Answer(QDropEvent* e) {
        if (!pane_->AcceptsDrag(e->mimeData())) {
            e->ignore();
            return false;
        }
        e->setDropAction(Qt::CopyAction);
        e->accept();
        return true;
    }

    TMFileExplorer* pane_;
};

}  // namespace

// The rows of the logic as a four-column table: name, then sub-items 0 to 2.
class FileListModel : public QAbstractTableModel {
  public:
    explicit FileListModel(FileListLogic& logic) : logic_(logic) {}
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(logic_.Items().size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || std::size_t(index.row()) >= logic_.Items().size()) return {};
        const FileItem& item = logic_.Items()[std::size_t(index.row())];
        int column = index.column();
        switch (role) {
            case Qt::DisplayRole:
                // The narrow third column of a folder listing only spaces the others; its
                // type name shows as the row's tool tip.
                if (column == 2 && !logic_.IsDriveList()) return QString();
                return Decode(column == 0 ? item.caption : item.sub[std::size_t(column - 1)]);
            case Qt::ToolTipRole:
                return Decode(column == 0 ? item.caption : item.sub[std::size_t(column - 1)]) +
                       (column == 0 && !item.sub[kSubType].empty()
                            ? " — " + Decode(item.sub[kSubType])
                            : QString());
            case Qt::DecorationRole:
                return column == 0 ? QVariant(IconFor(item.iconKey)) : QVariant();
            case Qt::TextAlignmentRole:
                return int(
                    Qt::AlignVCenter |
                    (columns_[std::size_t(column)].rightAligned ? Qt::AlignRight : Qt::AlignLeft));
            default:
                return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= 4) return {};
        if (role == Qt::DisplayRole) return Utf8Text(columns_[std::size_t(section)].caption);
        if (role == Qt::TextAlignmentRole)
            return int(
                Qt::AlignVCenter |
                (columns_[std::size_t(section)].rightAligned ? Qt::AlignRight : Qt::AlignLeft));
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
                               : Qt::ItemIsDropEnabled;
    }
    Qt::DropActions supportedDropActions() const override {
        return Qt::CopyAction | Qt::MoveAction;
    }
    void Reset() {
        beginResetModel();
        std::vector<ColumnInfo> c = logic_.Columns();
        for (std::size_t i = 0; i < 4 && i < c.size(); ++i) columns_[i] = c[i];
        endResetModel();
    }

  private:
    FileListLogic& logic_;
    std::array<ColumnInfo, 4> columns_;
};

TMFileExplorer::TMFileExplorer(std::string* programDir, QWidget* parent)
    : QWidget(parent), logic_(programDir), model_(std::make_unique<FileListModel>(logic_)) {
    static quint64 nextId = 1;
    Panes()[nextId++] = this;

    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    list_ = new PaneView<QListView>(this);
    report_ = new PaneView<QTreeView>(this);
    list_->setModel(model_.get());
    report_->setModel(model_.get());
    report_->setSelectionModel(list_->selectionModel());
    report_->setRootIsDecorated(false);
    report_->setUniformRowHeights(true);
    report_->setAllColumnsShowFocus(true);
    report_->setItemsExpandable(false);
    report_->header()->setSectionsClickable(true);
    report_->header()->setStretchLastSection(false);
    report_->header()->setMinimumSectionSize(1);  // the spacing column is narrower than a text
    connect(report_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (logic_.IsDriveList()) return;
        logic_.ColumnClicked(column);
        model_->Reset();
    });
    list_->setLayoutMode(QListView::Batched);
    list_->setBatchSize(2000);
    stack_->addWidget(list_);
    stack_->addWidget(report_);

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        SyncSelection();
        if (OnChange) OnChange();
    });
    logic_.onListingStarts = [] { QApplication::setOverrideCursor(Qt::WaitCursor); };
    logic_.onListed = [this] {
        syncing_ = true;
        model_->Reset();
        syncing_ = false;
        ApplyColumns();
        if (style_ != vsReport) ApplyListStyle();
        QApplication::restoreOverrideCursor();
        if (OnChange) OnChange();
    };
    runDrag = [](QDrag* drag) { drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction); };
    openFile = [](const std::string& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(Decode(path)));
    };
    model_->Reset();
    SetMultiSelect(false);
    SetViewStyle(vsIcon);
}

TMFileExplorer::~TMFileExplorer() {
    Panes().erase(IdOf(this));
    list_->setModel(nullptr);
    report_->setModel(nullptr);
    // The views go while the pane is whole: a view holding the focus loses it as the window
    // takes it away, and its handler calls back into the pane.
    delete list_;
    delete report_;
}

std::string TMFileExplorer::SelectedCaption() const {
    int first = logic_.FirstSelected();
    return first < 0 ? std::string() : logic_.Items()[std::size_t(first)].caption;
}

void TMFileExplorer::SetMultiSelect(bool multi) {
    multiSelect_ = multi;
    auto mode = multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    list_->setSelectionMode(mode);
    report_->setSelectionMode(mode);
}

void TMFileExplorer::SetViewStyle(ViewStyle style) {
    style_ = style;
    bool hadFocus = HasFocus();
    if (style == vsReport) {
        stack_->setCurrentWidget(report_);
    } else {
        ApplyListStyle();
        stack_->setCurrentWidget(list_);
    }
    if (hadFocus) SetFocus();
}

void TMFileExplorer::ApplyListStyle() {
    const bool large = style_ == vsIcon;
    list_->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    list_->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    // Small icons fill rows, the list fills columns; both in cells of one size, the icon left
    // of its caption.
    list_->setFlow(style_ == vsList ? QListView::TopToBottom : QListView::LeftToRight);
    list_->setWrapping(true);
    list_->setResizeMode(QListView::Adjust);
    list_->setMovement(QListView::Static);
    list_->setWordWrap(large);
    list_->setSpacing(0);
    list_->setTextElideMode(large ? Qt::ElideRight : Qt::ElideMiddle);
    if (large) {
        list_->setGridSize(QSize(96, 64));
    } else {
        // As wide as the longest caption needs, within bounds that keep several columns.
        const QFontMetrics metrics(list_->font());
        const auto& items = logic_.Items();
        std::size_t longest = 0;
        for (const FileItem& item : items) longest = std::max(longest, item.caption.size());
        int widest = 0, measured = 0;
        for (const FileItem& item : items) {
            if (item.caption.size() * 10 < longest * 7 || measured >= 200) continue;
            widest = std::max(widest, metrics.horizontalAdvance(Decode(item.caption)));
            ++measured;
        }
        const int cell = std::clamp(widest + 16 + 14, 110, 260);
        list_->setGridSize(QSize(cell, std::max(16, metrics.height()) + 6));
    }
    // Static movement turns dragging off: the panes drag and take drops in every style.
    list_->setDragEnabled(true);
    list_->setAcceptDrops(true);
    list_->viewport()->setAcceptDrops(true);
    list_->setDragDropMode(QAbstractItemView::DragDrop);
}

void TMFileExplorer::SetShowColumnHeaders(bool show) {
    report_->setHeaderHidden(!show);
}

bool TMFileExplorer::HasFocus() const {
    return list_->hasFocus() || report_->hasFocus();
}
void TMFileExplorer::SetFocus() {
    CurrentView()->setFocus();
}

void TMFileExplorer::SetHideSelection(bool hide) {
    hideSelection_ = hide;
    FocusChanged();
}

bool TMFileExplorer::ShowsSelection() const {
    if (!hideSelection_) return true;
    const QWidget* focus = window()->focusWidget();
    return focus == list_ || focus == report_;
}

void TMFileExplorer::FocusChanged() {
    // A hidden selection is drawn in the colours of the rows around it.
    QPalette look = palette();
    if (!ShowsSelection()) {
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            look.setColor(group, QPalette::Highlight, look.color(group, QPalette::Base));
            look.setColor(group, QPalette::HighlightedText, look.color(group, QPalette::Text));
        }
    }
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(report_)}) {
        view->setPalette(look);
        view->viewport()->update();
    }
}

QAbstractItemView* TMFileExplorer::CurrentView() const {
    return style_ == vsReport ? static_cast<QAbstractItemView*>(report_) : list_;
}

int TMFileExplorer::ColumnWidth(int column) const {
    const std::vector<ColumnInfo> columns = logic_.Columns();
    const int described = columns[std::size_t(column)].width;
    // The narrow third column of a folder listing only spaces the others.
    if (column == 2 && !logic_.IsDriveList()) return described;
    // The described widths are minimums: a larger font than the described one needs more.
    int content = static_cast<const QAbstractItemView*>(report_)->sizeHintForColumn(column);
    if (!report_->isHeaderHidden())
        content = std::max(content, report_->header()->sectionSizeHint(column));
    return std::max(described, content);
}

void TMFileExplorer::ApplyColumns() {
    for (int i = 0; i < int(logic_.Columns().size()); ++i)
        report_->setColumnWidth(i, ColumnWidth(i));
}

void TMFileExplorer::SyncSelection() {
    if (syncing_) return;
    logic_.ClearSelection();
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        logic_.SetSelected(std::size_t(index.row()), true);
}

void TMFileExplorer::SelectRow(int row, bool clearOthers) {
    QModelIndex index = model_->index(row, 0);
    if (!index.isValid()) return;
    auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (clearOthers) flags |= QItemSelectionModel::Clear;
    list_->selectionModel()->setCurrentIndex(index, flags);
}

void TMFileExplorer::HandleClick() {
    logic_.Click();
    if (OnClick) OnClick();
}

void TMFileExplorer::HandleDoubleClick() {
    if (OnDblClick) OnDblClick();
    std::string file = logic_.DoubleClick();
    if (!file.empty() && openFile) openFile(file);
}

bool TMFileExplorer::HandleKeyPress(int key, Qt::KeyboardModifiers modifiers) {
    Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    if (key == VK_BACK || (key == VK_UP && mods == Qt::ControlModifier)) {
        UpDirectory();
        return true;
    }
    if (key == VK_RETURN && HasSelection()) {
        HandleDoubleClick();
        return true;
    }
    return false;
}

void TMFileExplorer::HandleKeyRelease(int key, Qt::KeyboardModifiers modifiers) {
    if (OnKeyUp) OnKeyUp(key, modifiers);
}

void TMFileExplorer::HandleRightButton(const QPoint& viewportPos, QAbstractItemView* view) {
    if (!logic_.ContextMenu) return;
    QModelIndex index = view->indexAt(viewportPos);
    if (!index.isValid()) return;
    const std::string& path = logic_.Items()[std::size_t(index.row())].sub[kSubPath];
    bool inSelection = logic_.SelectedFilenames().find(path) != std::string::npos;
    SelectRow(index.row(), !inSelection);
    HandleClick();
    // The desktop has no shell menu to borrow: offer the default action of the file(s).
    QMenu menu(this);
    QAction* open = menu.addAction(tr("&Open"));
    if (menu.exec(view->viewport()->mapToGlobal(viewportPos)) == open) {
        logic_.SelectedFilenames();  // rebuilds SelectedNames
        if (logic_.SelectedCount() < 2 && openFile)
            openFile(logic_.SelectedFile());
        else
            for (const std::string& name : logic_.SelectedNames())
                if (openFile) openFile(Directory() + name);
    }
}

QMimeData* TMFileExplorer::MakeDragData() const {
    auto* data = new QMimeData;
    data->setData(kPaneMimeType, QByteArray::number(IdOf(this)));
    // Other programs take the files as a list of URIs of the paths' own bytes.
    QByteArray uris;
    for (const FileItem& item : logic_.Items()) {
        if (!item.selected) continue;
        const std::string& path = item.sub[kSubPath];
        uris += "file://" + QByteArray(path.data(), qsizetype(path.size())).toPercentEncoding("/") +
                "\r\n";
    }
    data->setData("text/uri-list", uris);
    return data;
}

TMFileExplorer* TMFileExplorer::PaneOfDrag(const QMimeData* data) {
    if (!data || !data->hasFormat(kPaneMimeType)) return nullptr;
    bool ok = false;
    quint64 id = data->data(kPaneMimeType).toULongLong(&ok);
    auto it = Panes().find(id);
    return ok && it != Panes().end() ? it->second : nullptr;
}

std::vector<std::string> TMFileExplorer::FilesOfDrag(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || PaneOfDrag(data) || !data->hasFormat("text/uri-list")) return paths;
    // The list is read as bytes: a file URI percent-encodes the name's own bytes, which need
    // not be UTF-8 (a Latin-1 name), and must reach the file operation unchanged.
    const QList<QByteArray> lines = data->data("text/uri-list").split('\n');
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || !line.toLower().startsWith("file://"))
            continue;
        QByteArray rest = line.mid(7);
        const qsizetype slash = rest.indexOf('/');
        if (slash < 0) continue;
        const QByteArray host = rest.left(slash);
        if (!host.isEmpty() && host != "localhost") continue;  // not this machine's file
        QByteArray path = QByteArray::fromPercentEncoding(rest.mid(slash));
        if (path.size() > 1 && path.endsWith('/')) path.chop(1);
        paths.emplace_back(path.constData(), std::size_t(path.size()));
    }
    return paths;
}

bool TMFileExplorer::AcceptsDrag(const QMimeData* data) {
    if (TMFileExplorer* source = PaneOfDrag(data)) return OnDragOver && OnDragOver(source);
    return OnDropFiles && !FilesOfDrag(data).empty();
}

void TMFileExplorer::Drop(const QMimeData* data) {
    if (TMFileExplorer* source = PaneOfDrag(data)) {
        if (OnDragDrop) OnDragDrop(source);
        return;
    }
    std::vector<std::string> files = FilesOfDrag(data);
    if (!files.empty() && OnDropFiles) OnDropFiles(files);
}

}  // namespace tavrin
