// The unzip dialog's list of listing lines. The lines are kept as the engine wrote them (the
// entry names as their own bytes) and turned into text only when a line is drawn, so a listing
// of a million entries costs its bytes and not a list item per line.
#pragma once

#include <QListView>
#include <string>
#include <vector>

namespace tavrin {

class ListingModel;

class ListingView : public QListView {
  public:
    explicit ListingView(QWidget* parent = nullptr);

    void SetLines(std::vector<std::string> lines);
    void Clear() { SetLines({}); }
    int count() const;
    QString Text(int row) const;
    void Select(int row, bool selected = true);
    // The selection state of every line.
    std::vector<bool> SelectedRows() const;

  private:
    ListingModel* model_;
};

}  // namespace tavrin
