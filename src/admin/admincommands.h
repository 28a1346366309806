#pragma once

#include <QString>

class QWidget;

namespace ui {
struct MainParts;
}

namespace admin {

// Connects the administration menu items of the main window: 权限设置, 投保险种设置, 公司信息设置, 复制, 粘贴,
// 及时帮助 and 联系我们. 剪切 has no action.
void AttachAdminCommands(ui::MainParts& parts);

// The edit commands act on the box that has the keyboard focus in window.
// Copy returns true when the clipboard holds text afterwards.
bool CopyFromFocusedBox(QWidget* window);
void PasteIntoFocusedBox(QWidget* window);

// Opens the help document beside the program: the manual page in the program's help window
// (HelpWindow), a compiled help file in the system's viewer. Returns the document's path.
QString OpenHelp(QWidget* parent);
void ShowContact(QWidget* parent);

} // namespace admin
