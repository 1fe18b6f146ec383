#include "packer/ListingView.h"

#include <QAbstractListModel>
#include <QItemSelectionModel>

#include "platform/qt/Text.h"

namespace tavrin {

class ListingModel : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    void SetLines(std::vector<std::string> lines) {
        beginResetModel();
        lines_ = std::move(lines);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || index.row() < 0 || index.row() >= rowCount()) return {};
        return FileNameText(lines_[static_cast<std::size_t>(index.row())]);
    }

  private:
    std::vector<std::string> lines_;
};

ListingView::ListingView(QWidget* parent) : QListView(parent), model_(new ListingModel(this)) {
    setModel(model_);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void ListingView::SetLines(std::vector<std::string> lines) {
    model_->SetLines(std::move(lines));
}

int ListingView::count() const {
    return model_->rowCount();
}

QString ListingView::Text(int row) const {
    return model_->data(model_->index(row), Qt::DisplayRole).toString();
}

void ListingView::Select(int row, bool selected) {
    selectionModel()->select(
        model_->index(row), selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

std::vector<bool> ListingView::SelectedRows() const {
    std::vector<bool> rows(static_cast<std::size_t>(count()), false);
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (row >= 0 && row < count()) rows[static_cast<std::size_t>(row)] = true;
    return rows;
}

}  // namespace tavrin
