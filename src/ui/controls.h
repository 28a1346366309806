#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

class QWidget;

namespace ui {

// Reading and writing a form control by its objectName, whatever its kind (labelled edit box,
// date box, check box, combo box, picture box, plain line edit or label). Missing controls read
// as empty and ignore writes, so a caller never dereferences a null widget.
QWidget* Control(QWidget* root, const QString& name);

QString ControlText(QWidget* root, const QString& name);        // combo: current text; date: YYYY-MM-DD
void SetControlText(QWidget* root, const QString& name, const QString& text);

QDate ControlDate(QWidget* root, const QString& name);
void SetControlDate(QWidget* root, const QString& name, const QDate& date);

bool ControlChecked(QWidget* root, const QString& name);
void SetControlChecked(QWidget* root, const QString& name, bool checked);

QByteArray ControlImage(QWidget* root, const QString& name);
void SetControlImage(QWidget* root, const QString& name, const QByteArray& bytes);

void SetControlReadOnly(QWidget* root, const QString& name, bool readOnly);

}  // namespace ui
