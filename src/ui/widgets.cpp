#include "widgets.h"

#include "windowsetup.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QTabBar>
#include <QTabWidget>

using namespace Qt::StringLiterals;

namespace ui {

LabeledEdit::LabeledEdit(const QString& objectName, const QString& caption, QWidget* parent)
    : QWidget(parent), label_(new QLabel(caption, this)), edit_(new QLineEdit(this)) {
    setObjectName(objectName);
    edit_->setObjectName(u"edit"_s);
    label_->setBuddy(edit_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(label_);
    layout->addWidget(edit_, 1);
    setFocusProxy(edit_);
    connect(edit_, &QLineEdit::textChanged, this, &LabeledEdit::textChanged);
    connect(edit_, &QLineEdit::editingFinished, this, &LabeledEdit::editingFinished);
}

DateBox::DateBox(const QString& objectName, QWidget* parent) : QDateEdit(parent) {
    setObjectName(objectName);
    setDisplayFormat(u"yyyy-MM-dd"_s);
    setCalendarPopup(true);
    setMinimumDate(QDate(1900, 1, 1));
    setDate(kUnsetDate);
}

PictureBox::PictureBox(const QString& objectName, QWidget* parent) : QLabel(parent) {
    setObjectName(objectName);
    setFrameShape(QFrame::StyledPanel);
    setAlignment(Qt::AlignCenter);
    setMinimumSize(60, 45);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

void PictureBox::setImageBytes(const QByteArray& bytes) {
    bytes_ = bytes;
    refresh();
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refresh();
}

void PictureBox::refresh() {
    QPixmap pixmap;
    if (bytes_.isEmpty() || !pixmap.loadFromData(bytes_)) {
        // Bytes the toolkit cannot decode are kept as they are; the box says so instead of
        // looking empty.
        setPixmap(QPixmap());
        setText(bytes_.isEmpty() ? QString() : u"无法显示的图片"_s);
        return;
    }
    setPixmap(pixmap.scaled(contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

SuperListBox::SuperListBox(const QString& objectName, QWidget* parent) : QTreeWidget(parent) {
    setObjectName(objectName);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setColumnCount(0);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { emit rowClicked(indexOfTopLevelItem(item)); });
}

int SuperListBox::insertRow(int position, const QString& caption, qint64 number) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, caption);
    item->setData(0, Qt::UserRole, number);
    position = qBound(0, position, topLevelItemCount());
    insertTopLevelItem(position, item);
    return position;
}

void SuperListBox::setCell(int row, int column, const QString& text) {
    if (auto* item = topLevelItem(row))
        item->setText(column, text);
}

QString SuperListBox::cell(int row, int column) const {
    auto* item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

qint64 SuperListBox::rowNumber(int row) const {
    auto* item = topLevelItem(row);
    return item ? item->data(0, Qt::UserRole).toLongLong() : 0;
}

int SuperListBox::currentRow() const {
    QTreeWidgetItem* item = currentItem();
    return item && item->isSelected() ? indexOfTopLevelItem(item) : -1;
}

void SuperListBox::clearCurrentRow() {
    clearSelection();
    setCurrentItem(nullptr);
}

void SuperListBox::addColumn(const QString& caption, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    headerItem()->setText(column, caption);
    setColumnWidth(column, width);
}

void SuperListBox::deleteColumn(int column) {
    if (column < 0 || column >= columnCount())
        return;
    // QTreeWidget cannot remove a column in place: move the later columns one to the left.
    const int n = columnCount();
    for (int c = column; c < n - 1; ++c) {
        headerItem()->setText(c, headerItem()->text(c + 1));
        setColumnWidth(c, columnWidth(c + 1));
        for (int r = 0; r < topLevelItemCount(); ++r)
            topLevelItem(r)->setText(c, topLevelItem(r)->text(c + 1));
    }
    setColumnCount(n - 1);
}

QColor ColorFromBgr(quint32 bgr) {
    return QColor(bgr & 0xff, (bgr >> 8) & 0xff, (bgr >> 16) & 0xff);
}

void SetTabColours(QTabWidget* tabs, int index, quint32 first, quint32 second, quint32 third) {
    const QColor colours[3] = {ColorFromBgr(first), ColorFromBgr(second), ColorFromBgr(third)};
    // A filled swatch edged in a darker shade of its own colour: a grey outline around a light
    // colour reads as an empty check box. White marks the pages without a due date: no swatch.
    if (colours[0] == QColor(Qt::white)) {
        tabs->setTabIcon(index, QIcon());
    } else {
        QPixmap marker(16, 16);
        marker.fill(Qt::transparent);
        QPainter p(&marker);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(colours[0].darker(160), 1));
        p.setBrush(colours[0]);
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 3.5, 3.5);
        p.end();
        tabs->setTabIcon(index, QIcon(marker));
    }
    tabs->setTabToolTip(index, TabColourMeaning(first));
    tabs->tabBar()->setTabData(index, QVariantList{colours[0], colours[1], colours[2]});
}

} // namespace ui
