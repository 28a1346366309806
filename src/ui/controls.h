#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace ui {

// Reading and writing a form control by its objectName, whatever its kind (labelled edit box,
// date box, check box, combo box, picture box, plain line edit or label). Missing controls read
// as empty and ignore writes, so a caller never dereferences a null widget.
// Every lookup by name goes through here: a name that resolves to nothing under a root is
// logged and recorded (UnresolvedControlNames), and ends the process when the environment
// variable VELMORA_STRICT_NAMES is set (the test runs set it), so a misspelt name fails loudly.
QWidget* Control(QWidget* root, const QString& name);
template <typename T> T* FindControl(QWidget* root, const QString& name) {
    return qobject_cast<T*>(Control(root, name));
}
// The names looked up in vain since the start (or the last clear), in order.
QStringList& UnresolvedControlNames();

QString ControlText(QWidget* root, const QString& name); // combo: current text; date: YYYY-MM-DD
void SetControlText(QWidget* root, const QString& name, const QString& text);

QDate ControlDate(QWidget* root, const QString& name);
void SetControlDate(QWidget* root, const QString& name, const QDate& date);

bool ControlChecked(QWidget* root, const QString& name);
void SetControlChecked(QWidget* root, const QString& name, bool checked);

QByteArray ControlImage(QWidget* root, const QString& name);
void SetControlImage(QWidget* root, const QString& name, const QByteArray& bytes);

void SetControlReadOnly(QWidget* root, const QString& name, bool readOnly);

} // namespace ui
