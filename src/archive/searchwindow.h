#pragma once

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace archive {

// 搜索结果: the matches of a search (from SearchResults()) in a grid; 打开 shows the chosen vehicle
// by setting CurrentPlate. Closing it empties SearchResults().
class SearchResultWindow : public QDialog {
    Q_OBJECT
public:
    explicit SearchResultWindow(QWidget* parent = nullptr);

    QTableWidget* grid() const { return grid_; }
    QPushButton* openButton() const { return open_; }

    void done(int result) override;

private:
    void currentCellChanged(int row, int column);
    void openChosen();

    QTableWidget* grid_;
    QPushButton* open_;
};

} // namespace archive
