#include "windowsetup.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace ui {

bool InstallChineseTranslations(QCoreApplication& application) {
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    auto* translator = new QTranslator(&application);
    if (!translator->load(chinese, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

void ShowFillingScreen(QWidget* window) {
    if (!window)
        return;
    QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        // move() places the frame, resize() the client area: leave room for a title bar and
        // borders so that the whole frame starts inside the area.
        constexpr int kFrameAllowance = 40;
        window->move(area.topLeft());
        window->resize(qMax(320, area.width() - 8), qMax(240, area.height() - kFrameAllowance));
    }
    window->showMaximized();
}

ReportShortcuts PrepareReportWindow(QWidget* window, const std::function<void()>& print,
                                    const std::function<void()>& exportTable) {
    const ReportShortcuts result = AddReportShortcuts(window, print, exportTable);
    if (window)
        ShowFillingScreen(window);
    return result;
}

ReportShortcuts AddReportShortcuts(QWidget* window, const std::function<void()>& print,
                                   const std::function<void()>& exportTable) {
    ReportShortcuts result;
    if (!window)
        return result;
    auto addAction = [window](const QString& text, const QKeySequence& keys, const std::function<void()>& run) {
        auto* action = new QAction(text, window);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, window, run);
        window->addAction(action);
        return action;
    };
    if (print)
        result.print = addAction(u"打印"_s, QKeySequence(Qt::CTRL | Qt::Key_P), print);
    if (exportTable)
        result.exportTable = addAction(u"导出"_s, QKeySequence(Qt::CTRL | Qt::Key_E), exportTable);
    result.close = addAction(u"关闭"_s, QKeySequence(Qt::Key_Escape), [window] { window->close(); });
    return result;
}

QString TabColourMeaning(quint32 bgr) {
    switch (bgr & 0xffffff) {
    case 0x00FF00:
        return u"两个月以后到期或未设到期日期"_s;
    case 0x00FFFF:
        return u"下月到期"_s;
    case 0x0000FF:
        return u"本月到期"_s;
    case 0x000080:
        return u"已过期一至两个月"_s;
    case 0x000000:
        return u"已过期三个月以上"_s;
    default:
        return {};
    }
}

} // namespace ui
