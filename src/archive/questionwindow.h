#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace archive {

// Asked when the operator leaves a page whose selected record was changed: save it as a new
// record, write it over the selected one, or leave it. The window only records the answer; the
// caller runs the command once the window is gone, so the command works on the page being left.
class QuestionWindow : public QDialog {
    Q_OBJECT
public:
    enum class Choice { Cancel, AddRecord, ModifyRecord };

    // The question names the plate and the caption of the page being left. The add and modify
    // buttons are shown only to operators who may add or change records.
    QuestionWindow(const QString& plate, const QString& pageCaption, bool mayModify, bool mayAdd,
                   QWidget* owner = nullptr);

    Choice choice() const { return choice_; }

    static QString QuestionText(const QString& plate, const QString& pageCaption);

private:
    void choose(Choice choice);

    Choice choice_ = Choice::Cancel;
    QLabel* question_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* modify_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace archive
