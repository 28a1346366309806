#include "questionwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace archive {

QuestionWindow::QuestionWindow(const QString& plate, const QString& pageCaption, bool mayModify, bool mayAdd,
                               QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("QuestionWindow"));
    setWindowTitle(QStringLiteral("询问！"));
    setModal(true);

    question_ = new QLabel(QuestionText(plate, pageCaption), this);
    question_->setObjectName(QStringLiteral("标签_询问提醒"));
    question_->setWordWrap(true);
    question_->setMinimumWidth(328);

    add_ = new QPushButton(QStringLiteral("加记录"), this);
    add_->setObjectName(QStringLiteral("按钮_加记录"));
    modify_ = new QPushButton(QStringLiteral("改记录"), this);
    modify_->setObjectName(QStringLiteral("按钮_改记录"));
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("按钮_取消"));
    cancel_->setDefault(true);
    add_->setVisible(mayAdd);
    modify_->setVisible(mayModify);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(modify_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question_);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(347, 192);

    connect(add_, &QPushButton::clicked, this, [this] { choose(Choice::AddRecord); });
    connect(modify_, &QPushButton::clicked, this, [this] { choose(Choice::ModifyRecord); });
    connect(cancel_, &QPushButton::clicked, this, [this] { choose(Choice::Cancel); });
}

QString QuestionWindow::QuestionText(const QString& plate, const QString& pageCaption) {
    return QStringLiteral("车号为") + plate + QStringLiteral("的") + pageCaption +
           QStringLiteral("已经被修改。请问是否保存？");
}

void QuestionWindow::choose(Choice choice) {
    choice_ = choice;
    // Closing the window (Esc, the title bar) leaves the choice at 取消.
    done(choice == Choice::Cancel ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace archive
