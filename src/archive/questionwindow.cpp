#include "questionwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace archive {

QuestionWindow::QuestionWindow(const QString& plate, const QString& pageCaption, bool mayModify, bool mayAdd,
                               QWidget* owner)
    : QDialog(owner) {
    setObjectName(u"QuestionWindow"_s);
    setWindowTitle(u"询问！"_s);
    setModal(true);

    question_ = new QLabel(QuestionText(plate, pageCaption), this);
    question_->setObjectName(u"标签_询问提醒"_s);
    question_->setWordWrap(true);
    question_->setMinimumWidth(328);

    add_ = new QPushButton(u"加记录"_s, this);
    add_->setObjectName(u"按钮_加记录"_s);
    modify_ = new QPushButton(u"改记录"_s, this);
    modify_->setObjectName(u"按钮_改记录"_s);
    cancel_ = new QPushButton(u"取消"_s, this);
    cancel_->setObjectName(u"按钮_取消"_s);
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
    return u"车号为"_s + plate + u"的"_s + pageCaption + u"已经被修改。请问是否保存？"_s;
}

void QuestionWindow::choose(Choice choice) {
    choice_ = choice;
    // Closing the window (Esc, the title bar) leaves the choice at 取消.
    done(choice == Choice::Cancel ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace archive
