#include "photocommands.h"

#include "imageprintwindow.h"
#include "scannerwindow.h"
#include "store/outputfile.h"
#include "store/session.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/widgets.h"

#include <QBoxLayout>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace images {

namespace {

inline constexpr int kPlainBorder = 1;
inline constexpr int kMarkedBorder = 4;

const QString kImportFilter = u"图片文件 (*.jpg *.jpeg *.bmp *.png *.gif *.tif *.tiff);;所有文件 (*)"_s;
const QString kExportFilter = u"图片文件 (*.jpg)"_s;

QString desktopFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return desktop.isEmpty() ? QDir::homePath() : desktop;
}

// Finds the box layout that holds widget, searching nested layouts.
QBoxLayout* layoutHolding(QLayout* layout, QWidget* widget, int* position) {
    if (!layout)
        return nullptr;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget) {
            if (auto* box = qobject_cast<QBoxLayout*>(layout)) {
                *position = i;
                return box;
            }
            return nullptr;
        }
        if (QBoxLayout* inner = layoutHolding(item->layout(), widget, position))
            return inner;
    }
    return nullptr;
}

void applyBorder(ui::PictureBox* box, int style) {
    box->setProperty("borderStyle", style);
    if (style == kMarkedBorder) {
        box->setFrameStyle(QFrame::Box | QFrame::Plain);
        box->setLineWidth(3);
        box->setStyleSheet(u"QLabel { border: 3px solid #d9480f; }"_s);
    } else {
        box->setStyleSheet(QString());
        box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        box->setLineWidth(1);
    }
}

// Left-button presses on a picture box highlight it.
class BoxClickFilter : public QObject {
public:
    BoxClickFilter(QWidget* form, Document document, QObject* parent)
        : QObject(parent), form_(form), document_(document) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            HighlightPictureBox(form_, document_);
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* form_;
    Document document_;
};

} // namespace

void HighlightPictureBox(QWidget* form, Document clicked) {
    for (const DocumentControls& doc : Documents())
        if (auto* box = ui::FindControl<ui::PictureBox>(form, doc.pictureBox))
            applyBorder(box, doc.document == clicked ? kMarkedBorder : kPlainBorder);
}

void ImportDocument(QWidget* form, Document document) {
    const std::optional<QString> path = ui::dialogs().openFile(form, u"导入图片"_s, desktopFolder(), kImportFilter);
    if (!path)
        return;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) {
        // The box keeps the image it has rather than losing it to an unreadable file.
        ui::MessageBox(u"读取图片文件失败！"_s, ui::Buttons::Ok, {}, form);
        return;
    }
    // The bytes are taken as they are: no conversion, no check of the format.
    ui::SetControlImage(form, ControlsOf(document).pictureBox, file.readAll());
}

void ExportDocument(QWidget* form, Document document) {
    const std::optional<QString> chosen = ui::dialogs().saveFile(form, u"导出图片"_s, desktopFolder(), kExportFilter);
    if (!chosen)
        return;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += u".jpg"_s;
    const QByteArray bytes = ui::ControlImage(form, ControlsOf(document).pictureBox);
    // Written beside the target and renamed over it, so a failed export never truncates the file;
    // never over the database.
    QString error;
    if (!store::WriteOutputBytes(path, bytes, &error))
        ui::MessageBox(u"导出图片失败！\n"_s + error, ui::Buttons::Ok, {}, form);
}

void EnlargeDocument(QWidget* form, Document document) {
    store::session().EnlargeTarget = EnlargeTargetValue(document);
    ImagePrintWindow window(form);
    window.exec();
}

void ScanDocument(QWidget* form, Document document) {
    SetScanTarget(document);
    ScannerWindow window(form);
    window.exec();
}

void AttachPhotoCommands(ui::MainParts& parts) {
    QWidget* form = parts.window;
    QGroupBox* group = parts.photoGroup;
    if (!form || !group)
        return;
    struct Command {
        QString caption;
        QString DocumentControls::*name;
        void (*run)(QWidget*, Document);
        QString tip;
    };
    const Command commands[] = {
        {u"导入"_s, &DocumentControls::importButton, &ImportDocument, u"从文件导入图片"_s},
        {u"导出"_s, &DocumentControls::exportButton, &ExportDocument, u"把图片导出到文件"_s},
        {u"放大"_s, &DocumentControls::enlargeButton, &EnlargeDocument, u"放大显示并打印"_s},
        {u"扫描"_s, &DocumentControls::scanButton, &ScanDocument, u"从扫描仪获取图片"_s},
    };
    for (const DocumentControls& doc : Documents()) {
        auto* box = ui::FindControl<ui::PictureBox>(group, doc.pictureBox);
        if (!box)
            continue;
        auto* row = new QHBoxLayout;
        row->setSpacing(2);
        row->setContentsMargins(0, 0, 0, 2);
        for (const Command& c : commands) {
            auto* button = new QPushButton(c.caption, group);
            button->setObjectName(doc.*c.name);
            button->setToolTip(c.tip);
            button->setMinimumWidth(30);
            button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
            button->setFixedHeight(22);
            row->addWidget(button, 1);
            parts.buttons.insert(doc.*c.name, button);
            const Document document = doc.document;
            const auto run = c.run;
            QObject::connect(button, &QPushButton::clicked, form, [form, document, run] { run(form, document); });
        }
        int position = -1;
        if (QBoxLayout* holder = layoutHolding(group->layout(), box, &position))
            holder->insertLayout(position + 1, row);
        else if (auto* top = qobject_cast<QBoxLayout*>(group->layout()))
            top->addLayout(row);
        box->installEventFilter(new BoxClickFilter(form, doc.document, box));
        applyBorder(box, kPlainBorder);
    }
}

} // namespace images
