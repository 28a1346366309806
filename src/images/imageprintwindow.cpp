#include "imageprintwindow.h"

#include "documents.h"
#include "imagefiles.h"
#include "store/session.h"
#include "ui/controls.h"
#include "ui/widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

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
    picture_->setFixedSize(400, 580);
    scaleLabel_ = new QLabel(u"打印比例     倍"_s, this);
    scaleLabel_->setObjectName(u"标签_打印比例"_s);
    scale_ = new QLineEdit(this);
    scale_->setObjectName(u"编辑框_打印比例"_s);
    scale_->setFixedWidth(70);
    printButton_ = new QPushButton(u"打印"_s, this);
    printButton_->setObjectName(u"按钮_打印"_s);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(8);
    layout->addWidget(picture_);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(16, 0, 16, 0);
    row->addWidget(scaleLabel_);
    row->addWidget(scale_);
    row->addStretch(1);
    row->addWidget(printButton_);
    layout->addLayout(row);
    layout->addStretch(1);

    connect(printButton_, &QPushButton::clicked, this, &ImagePrintWindow::print);

    scale_->setText(u"1"_s);
    Document target;
    if (EnlargeTargetDocument(store::session().EnlargeTarget, &target)) {
        const QByteArray bytes = ui::ControlImage(form, Spec(target).pictureBox);
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
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const double scale = LeadingNumber(scale_->text());
    const PrintExtent extent = ScaledExtent(picture.width, picture.height, scale);
    DrawPrintPicture(painter, QRect(0, 0, printer.width(), printer.height()), picture.picture, extent.width,
                     extent.height);
    painter.end();
}

} // namespace images
