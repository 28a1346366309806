#include "admincommands.h"

#include "accounts.h"
#include "companywindow.h"
#include "helpwindow.h"
#include "insurancetypewindow.h"
#include "operatorwindow.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace admin {

namespace {

// The object whose copy()/paste() slots act on the focused box. Date boxes and editable combo
// boxes keep their text in an inner line edit.
QObject* editTarget(QWidget* window) {
    QWidget* focus = window ? window->focusWidget() : nullptr;
    if (!focus)
        focus = QApplication::focusWidget();
    if (!focus)
        return nullptr;
    if (auto* combo = qobject_cast<QComboBox*>(focus))
        return combo->lineEdit();
    if (qobject_cast<QAbstractSpinBox*>(focus)) // its inner line edit, by the name Qt gives it
        return ui::FindControl<QLineEdit>(focus, u"qt_spinbox_lineedit"_s);
    return focus;
}

bool invoke(QObject* target, const char* slot) {
    if (!target)
        return false;
    const QByteArray signature = QByteArray(slot) + "()";
    if (target->metaObject()->indexOfMethod(signature.constData()) < 0)
        return false;
    return QMetaObject::invokeMethod(target, slot);
}

} // namespace

bool CopyFromFocusedBox(QWidget* window) {
    invoke(editTarget(window), "copy");
    return !QGuiApplication::clipboard()->text().isEmpty();
}

void PasteIntoFocusedBox(QWidget* window) {
    invoke(editTarget(window), "paste");
}

QString OpenHelp(QWidget* parent) {
    QString path = HelpDocumentPath(QCoreApplication::applicationDirPath());
    if (!QFileInfo::exists(path)) {
        ui::MessageBox(u"找不到帮助文件："_s + path, ui::Buttons::Ok, {}, parent);
        return path;
    }
    // The manual page is shown in a window of the program, which needs no web browser; only a
    // compiled help file goes to the system's viewer.
    if (QFileInfo(path).suffix().compare(u"html"_s, Qt::CaseInsensitive) == 0) {
        static QPointer<HelpWindow> shown;
        if (!shown)
            shown = new HelpWindow(path, parent);
        shown->show();
        shown->raise();
        shown->activateWindow();
        return path;
    }
    if (!ui::dialogs().openExternal(path))
        ui::MessageBox(u"无法打开帮助文件："_s + path, ui::Buttons::Ok, {}, parent);
    return path;
}

void ShowContact(QWidget* parent) {
    ui::MessageBox(u"使用中遇到问题，请与本单位信息管理员联系：\n"
                   u"服务时间：工作日 8:30—17:30\n"
                   u"联系时请说明所用电脑、操作步骤和屏幕上的提示文字。\n"
                   u"数据库出错时请先用“文件→备份”保存一份数据库副本。"_s,
                   ui::Buttons::Ok, u"联系我们！"_s, parent);
}

void AttachAdminCommands(ui::MainParts& parts) {
    QWidget* window = parts.window;
    if (QAction* a = parts.action(u"权限设置"_s))
        QObject::connect(a, &QAction::triggered, window, [window] {
            OperatorWindow w(window);
            w.exec();
        });
    if (QAction* a = parts.action(u"投保险种设置"_s))
        QObject::connect(a, &QAction::triggered, window, [window] {
            InsuranceTypeWindow w(window);
            w.exec();
        });
    if (QAction* a = parts.action(u"公司信息设置"_s))
        QObject::connect(a, &QAction::triggered, window, [window] {
            CompanyWindow w(window);
            w.exec();
        });
    QAction* paste = parts.action(u"粘贴"_s);
    if (QAction* a = parts.action(u"复制"_s))
        QObject::connect(a, &QAction::triggered, window, [window, paste] {
            if (CopyFromFocusedBox(window) && paste)
                paste->setEnabled(true);
        });
    if (paste)
        QObject::connect(paste, &QAction::triggered, window, [window] { PasteIntoFocusedBox(window); });
    if (QAction* a = parts.action(u"及时帮助"_s))
        QObject::connect(a, &QAction::triggered, window, [window] { OpenHelp(window); });
    if (QAction* a = parts.action(u"联系我们"_s))
        QObject::connect(a, &QAction::triggered, window, [window] { ShowContact(window); });
}

} // namespace admin
