#include "imageprintwindow.h"

#include "documents.h"
#include "imagefiles.h"
#include "store/session.h"
#include "ui/controls.h"
#include "ui/printoutput.h"
#include "ui/widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace images {

namespace {

PrintDialogHook& printDialogHook() {
    static PrintDialogHook hook;
    return hook;
}

bool askPrintDialog(QPrinter& printer, QWidget* parent) {
    if (printDialogHook())
        return printDialogHook()(printer, parent);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

QByteArray& copyOf(Document document) {
    QList<QByteArray>& copies = store::session().DocumentImageCopies;
    while (copies.size() < kDocumentCount)
        copies.append(QByteArray());
    return copies[int(document)];
}

} // namespace

void SetPrintDialogHook(PrintDialogHook hook) {
    printDialogHook() = std::move(hook);
}

ImagePrintWindow::ImagePrintWindow(QWidget* form) : QDialog(nullptr) {
    setObjectName(u"ImagePrintWindow"_s);
    setWindowTitle(u"图片放大"_s);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(400, 640);

    picture_ = new ui::PictureBox(u"图片框放大"_s, this);
    scaleLabel_ = new QLabel(u"打印比例     倍"_s, this);
    scaleLabel_->setObjectName(u"标签_打印比例"_s);
    scale_ = new QLineEdit(this);
    scale_->setObjectName(u"编辑框_打印比例"_s);
    printButton_ = new QPushButton(u"打印"_s, this);
    printButton_->setObjectName(u"按钮_打印"_s);

    // The window has the fixed size of its design: the picture fills the top 400 × 580, the scale
    // and the print button share the strip below it.
    picture_->setGeometry(0, 0, 400, 580);
    const int rowTop = 580 + (640 - 580 - 28) / 2;
    const QSize label = scaleLabel_->sizeHint();
    scaleLabel_->setGeometry(16, rowTop + (28 - label.height()) / 2, label.width(), label.height());
    scale_->setGeometry(16 + label.width() + 6, rowTop + 2, 70, 24);
    printButton_->setGeometry(400 - 16 - 90, rowTop, 90, 28);

    connect(printButton_, &QPushButton::clicked, this, &ImagePrintWindow::print);

    scale_->setText(u"1"_s);
    Document target;
    if (EnlargeTargetDocument(store::session().EnlargeTarget, &target)) {
        const QByteArray bytes = ui::ControlImage(form, ControlsOf(target).pictureBox);
        picture_->setImageBytes(bytes);
        copyOf(target) = bytes;
    }
}

ImagePrintWindow::~ImagePrintWindow() {
    store::session().EnlargeTarget = 0;
}

void ImagePrintWindow::print() {
    QPrinter printer;
    printer.setCopyCount(1);

    // The bytes of the enlarged document, in the order identity card … licence page 2.
    QByteArray bytes;
    Document target;
    if (EnlargeTargetDocument(store::session().EnlargeTarget, &target))
        bytes = copyOf(target);

    const PrintPicture picture = PreparePrintPicture(bytes);
    if (!askPrintDialog(printer, this))
        return;
    const double scale = LeadingNumber(scale_->text());
    const PrintExtent extent = ScaledExtent(picture.width, picture.height, scale);
    ui::RenderToPrinter(printer, this, [&](QPrinter& output) {
        QPainter painter;
        if (!painter.begin(&output))
            return false;
        DrawPrintPicture(painter, QRect(0, 0, output.width(), output.height()), picture.picture, extent.width,
                         extent.height);
        return painter.end();
    });
}

} // namespace images
