#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace ui {
class PictureBox;
}

namespace images {

// The print dialog of the image print: set up the printer and answer whether to print. Without
// a hook the platform's print dialog is shown; tests install one that prints to a PDF file.
using PrintDialogHook = std::function<bool(QPrinter& printer, QWidget* parent)>;
void SetPrintDialogHook(PrintDialogHook hook);

// The enlarged view of one document image (图片框放大) with its print scale and print button.
// It has no owner; it shows the document EnlargeTarget names, read from that document's picture
// box in form, and refreshes the document's entry of DocumentImageCopies from the box.
class ImagePrintWindow : public QDialog {
    Q_OBJECT
public:
    explicit ImagePrintWindow(QWidget* form);
    // EnlargeTarget goes back to none.
    ~ImagePrintWindow() override;

    // 按钮_打印: prints the document at the scale in 编辑框_打印比例.
    void print();

private:
    ui::PictureBox* picture_;
    QLabel* scaleLabel_;
    QLineEdit* scale_;
    QPushButton* printButton_;
};

} // namespace images
