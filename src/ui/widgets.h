#pragma once

#include "domain/dates.h"

#include <QByteArray>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QWidget>

class QTabWidget;

namespace ui {

// An edit box with its own caption beside it (带标签编辑框). The objectName goes on this widget;
// hiding or moving it takes the caption along.
class LabeledEdit : public QWidget {
    Q_OBJECT
public:
    LabeledEdit(const QString& objectName, const QString& caption, QWidget* parent = nullptr);
    QString text() const { return edit_->text(); }
    // A long value shows from its start, as the operator reads it, not from the end where
    // QLineEdit leaves the cursor after setText.
    void setText(const QString& text) {
        edit_->setText(text);
        edit_->setCursorPosition(0);
    }
    void setReadOnly(bool readOnly) { edit_->setReadOnly(readOnly); }
    bool isReadOnly() const { return edit_->isReadOnly(); }
    QString caption() const { return label_->text(); }
    QLineEdit* lineEdit() const { return edit_; }
    QLabel* label() const { return label_; }

signals:
    void textChanged(const QString& text);
    void editingFinished();

private:
    QLabel* label_;
    QLineEdit* edit_;
};

// A date box (日期框): shows YYYY-MM-DD, 2000-01-01 standing for no date.
class DateBox : public QDateEdit {
    Q_OBJECT
public:
    explicit DateBox(const QString& objectName, QWidget* parent = nullptr);
};

using domain::kUnsetDate; // 2000-01-01: no date

// A picture box (图片框) that keeps the stored JPEG bytes as they are and shows them scaled.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(const QString& objectName, QWidget* parent = nullptr);
    QByteArray imageBytes() const { return bytes_; }
    void setImageBytes(const QByteArray& bytes);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    QByteArray bytes_;
};

// A record list (超级列表框): rows with column texts, each row carrying the number of the
// record it shows (编号) as its value.
class SuperListBox : public QTreeWidget {
    Q_OBJECT
public:
    explicit SuperListBox(const QString& objectName, QWidget* parent = nullptr);
    void clearRows() { clear(); }
    // Inserts a row at position (0 = top) with the first column's text and the record number.
    int insertRow(int position, const QString& caption, qint64 number);
    void setCell(int row, int column, const QString& text);
    QString cell(int row, int column) const;
    qint64 rowNumber(int row) const;
    int rowCount() const { return topLevelItemCount(); }
    // The row the operator chose: the current row when it is also selected. A row that only has
    // the keyboard focus (a view that gets the focus makes its first row current) is no choice.
    int currentRow() const;
    // Forgets the chosen row, so that no row looks chosen.
    void clearCurrentRow();
    void addColumn(const QString& caption, int width);
    void deleteColumn(int column);

signals:
    void rowClicked(int row);
};

// Windows colour values are 0x00BBGGRR.
QColor ColorFromBgr(quint32 bgr);

// Gives a tab page its three colours: the first shows as a marker on the tab; all three are kept
// as the tab's data (a list of QColor) so that they can be read back.
void SetTabColours(QTabWidget* tabs, int index, quint32 first, quint32 second, quint32 third);

} // namespace ui
