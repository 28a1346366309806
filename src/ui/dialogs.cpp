#include "dialogs.h"

#include "store/database.h"
#include "store/schema.h"
#include "store/target.h"
#include "store/upgrade.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

class QtDialogs final : public DialogProvider {
public:
    Answer message(QWidget* parent, const QString& text, Buttons buttons, const QString& title) override {
        const bool question = buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel;
        return messageWithDefault(parent, text, buttons, title, question ? Answer::Yes : Answer::Ok);
    }

    Answer messageWithDefault(QWidget* parent, const QString& text, Buttons buttons, const QString& title,
                              Answer defaultButton) override {
        if (!parent)
            parent = QApplication::activeWindow();
        QMessageBox box(parent);
        box.setText(text);
        box.setWindowTitle(title.isEmpty() ? u" "_s : title);
        box.setIcon(buttons == Buttons::OkExclamation                                ? QMessageBox::Warning
                    : (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) ? QMessageBox::Question
                                                                                     : QMessageBox::NoIcon);
        QAbstractButton* yes = nullptr;
        QAbstractButton* no = nullptr;
        QAbstractButton* cancel = nullptr;
        QAbstractButton* ok = nullptr;
        if (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) {
            yes = box.addButton(u"是"_s, QMessageBox::YesRole);
            no = box.addButton(u"否"_s, QMessageBox::NoRole);
        } else {
            ok = box.addButton(u"确定"_s, QMessageBox::AcceptRole);
        }
        if (buttons == Buttons::OkCancel || buttons == Buttons::YesNoCancel)
            cancel = box.addButton(u"取消"_s, QMessageBox::RejectRole);
        QAbstractButton* chosenDefault = defaultButton == Answer::Yes      ? yes
                                         : defaultButton == Answer::No     ? no
                                         : defaultButton == Answer::Cancel ? cancel
                                                                           : ok;
        if (auto* push = qobject_cast<QPushButton*>(chosenDefault))
            box.setDefaultButton(push);
        if (!cancel && no)
            box.setEscapeButton(no);
        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        if (clicked && clicked == yes)
            return Answer::Yes;
        if (clicked && clicked == no)
            return Answer::No;
        if (cancel && (clicked == cancel || !clicked))
            return Answer::Cancel;
        if (buttons == Buttons::YesNo && !clicked)
            return Answer::No;
        return Answer::Ok;
    }

    std::optional<QString> openFile(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter) override {
        const QString path = QFileDialog::getOpenFileName(parent, caption, directory, filter);
        return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
    }

    std::optional<QString> saveFile(QWidget* parent, const QString& caption, const QString& defaultPath,
                                    const QString& filter) override {
        const QString path = QFileDialog::getSaveFileName(parent, caption, defaultPath, filter);
        return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
    }

    void notice(QWidget* parent, const QString& text, const QString& title) override {
        if (!parent)
            parent = QApplication::activeWindow();
        auto* box = new QMessageBox(QMessageBox::Information, title.isEmpty() ? u" "_s : title, text,
                                    QMessageBox::NoButton, parent);
        box->addButton(u"确定"_s, QMessageBox::AcceptRole);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }

    bool openExternal(const QString& pathOrUrl) override {
        const QUrl url = pathOrUrl.contains(QLatin1String("://")) ? QUrl(pathOrUrl) : QUrl::fromLocalFile(pathOrUrl);
        return QDesktopServices::openUrl(url);
    }
};

QtDialogs g_qtDialogs;
DialogProvider* g_provider = nullptr;

} // namespace

void SetDialogProvider(DialogProvider* provider) {
    g_provider = provider;
}

DialogProvider& dialogs() {
    return g_provider ? *g_provider : g_qtDialogs;
}

Answer MessageBox(const QString& text, Buttons buttons, const QString& title, QWidget* parent) {
    return dialogs().message(parent, text, buttons, title);
}

Answer AskWithDefault(const QString& text, Buttons buttons, Answer defaultButton, const QString& title,
                      QWidget* parent) {
    return dialogs().messageWithDefault(parent, text, buttons, title, defaultButton);
}

bool OpenWindowDatabase(store::DatabaseConnection& db) {
    const store::DatabaseTargetInfo where = store::DatabaseTarget();
    if (!where.ok()) {
        MessageBox(u"数据库打开失败！"_s + where.refusal);
        return false;
    }
    const QString target = where.text();
    if (store::TargetMissing(target))
        MessageBox(u"数据库丢失！"_s);
    if (store::OpenTarget(db, target)) {
        static QSet<QString> announced;
        const QString file = db.Describe();
        if (!announced.contains(file) && store::HasOldTableLayout(db)) {
            announced.insert(file);
            dialogs().notice(nullptr, OldLayoutNotice(), {});
        }
        return true;
    }
    MessageBox(u"数据库打开失败！"_s);
    return false;
}

QString OldLayoutNotice() {
    return u"数据库文件仍是旧的存储布局。关闭程序后运行 velmora-cli upgrade 可使预警刷新和启动明显加快"
           u"（升级前会自动备份）。"_s;
}

} // namespace ui
