#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QWidget>

class QMenu;

namespace ui {

struct MainParts;

// Reading and writing a form control by its objectName, whatever its kind (labelled edit box,
// date box, check box, combo box, picture box, plain line edit or label). Missing controls read
// as empty and ignore writes, so a caller never dereferences a null widget.
// Every lookup by name goes through here: a name that resolves to nothing under a root is
// logged and recorded (UnresolvedControlNames), and ends the process when the environment
// variable VELMORA_STRICT_NAMES is set (the test runs set it), so a misspelt name fails loudly.
QWidget* Control(QWidget* root, const QString& name);
// Reports a name that resolves to a control of another kind than the one asked for.
void ReportMisfitControl(QWidget* root, const QString& name, const char* expectedKind);
// A control of kind T: a name that resolves to a control of another kind fails the same way.
template <typename T> T* FindControl(QWidget* root, const QString& name) {
    QWidget* w = Control(root, name);
    T* typed = qobject_cast<T*>(w);
    if (w && !typed)
        ReportMisfitControl(root, name, T::staticMetaObject.className());
    return typed;
}
// For a control that only some windows carry: absence is no error and is neither logged nor
// recorded. The kind is still checked when the name resolves.
QWidget* OptionalControl(QWidget* root, const QString& name);
template <typename T> T* FindOptionalControl(QWidget* root, const QString& name) {
    QWidget* w = OptionalControl(root, name);
    T* typed = qobject_cast<T*>(w);
    if (w && !typed)
        ReportMisfitControl(root, name, T::staticMetaObject.className());
    return typed;
}
// A top-level menu of the main window by caption, checked like a control name: an unknown
// caption is logged, recorded and fatal under VELMORA_STRICT_NAMES, and reads as null otherwise.
QMenu* MainMenu(const MainParts& parts, const QString& caption);
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
