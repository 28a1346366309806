#pragma once

#include <QString>

#include <functional>

class QAction;
class QCoreApplication;
class QWidget;

namespace ui {

// Loads Qt's own Chinese texts (qtbase_zh_CN from the Qt translations directory) into the
// application and makes zh_CN the default locale, so that the standard buttons, the calendar
// pop-up and the file dialogs speak Chinese and dates and numbers follow Chinese conventions.
// Returns false when the translation file could not be loaded (the locale is set anyway).
bool InstallChineseTranslations(QCoreApplication& application);

// Shows a top-level window maximised on the available area of its screen (the screen less the
// task bars), the window manager keeping its title bar on screen. Before the window manager
// maximises it, the window is already placed inside that area, so that it never starts with its
// frame above the screen's top edge, and un-maximising it leaves it on screen too.
void ShowFillingScreen(QWidget* window);

// The keyboard of a report window (list, fee statistics, claims register): Ctrl+P runs print,
// Ctrl+E runs exportTable, Esc closes the window. An empty function leaves its shortcut out.
// The window is then shown with ShowFillingScreen. Returns the print and export actions (added to
// the window, so that their shortcuts work wherever the focus is inside it) for a window that
// also wants them in a menu or on a button's tooltip.
struct ReportShortcuts {
    QAction* print = nullptr;
    QAction* exportTable = nullptr;
    QAction* close = nullptr;
};
ReportShortcuts PrepareReportWindow(QWidget* window, const std::function<void()>& print,
                                    const std::function<void()>& exportTable);
// The same keyboard without showing the window: for a report window that keeps its own size (the
// claims register) or that is shown filling the screen later (the fee statistics after 确定).
ReportShortcuts AddReportShortcuts(QWidget* window, const std::function<void()>& print,
                                   const std::function<void()>& exportTable);

// What a tab's colour marker says about its obligation ("本月到期" and so on); empty for the
// colours that carry no due-date meaning (the plain pages).
QString TabColourMeaning(quint32 bgr);

} // namespace ui
