#pragma once

#include "lists/listbuild.h"
#include "lists/notices.h"
#include "store/database.h"

#include <QDialog>

class QLabel;
class QMenu;
class QPushButton;

namespace ui {
class ReportGrid;
struct MainParts;
} // namespace ui

namespace lists {

// Seventeen process-wide flags, one per list in build order: a list menu command sets its flag,
// ListWindow builds the first set one and clears them all when it closes.
ListSelectorFlags& ListSelector();

// The grid's current cell, remembered whenever the grid reports a new one; survives from one
// opening of ListWindow to the next. Row 0, column 0 before any cell was made current.
struct GridCell {
    int row = 0;
    int column = 0;
};
GridCell& GridCurrentCell();

// The list window: builds the selected list once, when it is created, from AlertSets as of the
// last refresh and each vehicle's own table; prints, previews and exports what its grid shows;
// the pop-up menu 表格操作 deletes grid rows and columns (never the database).
class ListWindow : public QDialog {
    Q_OBJECT
public:
    explicit ListWindow(QWidget* parent = nullptr);
    ~ListWindow() override;

    ui::ReportGrid* grid() const { return grid_; }
    QMenu* tableMenu() const { return tableMenu_; }
    const ListBuild& build() const { return build_; }

    void deleteRowCommand();    // 删除行: the row in GridCurrentCell
    void deleteColumnCommand(); // 删除列: the column in GridCurrentCell

    // 车主通知单: the notices of the vehicles the grid still lists (rows deleted in the window stay
    // out), amounts only with 费用可见. The menu offers preview, print and export.
    QMenu* noticeMenu() const { return noticeMenu_; }
    NoticeBuild buildNotices();
    void previewNoticesCommand();
    void printNoticesCommand();
    void exportNoticesCommand();

    void done(int result) override;

private:
    store::DatabaseConnection db_; // 外部数据库1
    ListBuild build_;
    QLabel* title_ = nullptr;
    ui::ReportGrid* grid_ = nullptr;
    QMenu* tableMenu_ = nullptr;
    QMenu* noticeMenu_ = nullptr;
    // The notices to print, or nothing (after telling the operator why) when no owner has any.
    std::optional<NoticeBuild> noticesToPrint();
};

// A list menu command: sets the list's flag and opens ListWindow modally over parent.
void OpenList(QWidget* parent, int list);
// Connects the seventeen items of the menu 车辆清单.
void AttachListCommands(ui::MainParts& parts);

} // namespace lists
