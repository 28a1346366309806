#include "controls.h"

#include "mainparts.h"
#include "widgets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

namespace ui {

QStringList& UnresolvedControlNames() {
    static QStringList names;
    return names;
}

namespace {

// One way for every failed lookup: logged, recorded, and fatal in a strict run.
void reportUnresolved(const QString& name, const QByteArray& problem, const QString& where) {
    UnresolvedControlNames() << name;
    qWarning("%s %s under %s", problem.constData(), qUtf8Printable(name), qUtf8Printable(where));
    if (qEnvironmentVariableIsSet("VELMORA_STRICT_NAMES"))
        qFatal("%s %s under %s", problem.constData(), qUtf8Printable(name), qUtf8Printable(where));
}

} // namespace

QWidget* Control(QWidget* root, const QString& name) {
    if (!root)
        return nullptr;
    QWidget* w = root->findChild<QWidget*>(name);
    if (!w)
        reportUnresolved(name, "unknown control name", root->objectName());
    return w;
}

QWidget* OptionalControl(QWidget* root, const QString& name) {
    return root ? root->findChild<QWidget*>(name) : nullptr;
}

void ReportMisfitControl(QWidget* root, const QString& name, const char* expectedKind) {
    const QString where = root ? root->objectName() : QString();
    reportUnresolved(name, QByteArray("no ") + expectedKind + " named", where);
}

QMenu* MainMenu(const MainParts& parts, const QString& caption) {
    QMenu* menu = parts.menus.value(caption);
    if (!menu)
        reportUnresolved(caption, "unknown menu", parts.window ? parts.window->objectName() : QString());
    return menu;
}

QAction* MainParts::action(const QString& caption) const {
    QAction* item = actions.value(caption);
    if (!item)
        reportUnresolved(caption, "unknown menu item", window ? window->objectName() : QString());
    return item;
}

QPushButton* MainParts::button(const QString& name) const {
    QPushButton* b = buttons.value(name);
    if (!b)
        reportUnresolved(name, "unknown tool button", window ? window->objectName() : QString());
    return b;
}

QString ControlText(QWidget* root, const QString& name) {
    QWidget* w = Control(root, name);
    if (auto* e = qobject_cast<LabeledEdit*>(w))
        return e->text();
    if (auto* d = qobject_cast<QDateEdit*>(w))
        return d->date().toString(Qt::ISODate);
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* l = qobject_cast<QLineEdit*>(w))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    return {};
}

void SetControlText(QWidget* root, const QString& name, const QString& text) {
    QWidget* w = Control(root, name);
    if (auto* e = qobject_cast<LabeledEdit*>(w))
        e->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setCurrentText(text);
    else if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
}

QDate ControlDate(QWidget* root, const QString& name) {
    if (auto* d = qobject_cast<QDateEdit*>(Control(root, name)))
        return d->date();
    return {};
}

void SetControlDate(QWidget* root, const QString& name, const QDate& date) {
    if (auto* d = qobject_cast<QDateEdit*>(Control(root, name)))
        d->setDate(date.isValid() ? date : kUnsetDate);
}

bool ControlChecked(QWidget* root, const QString& name) {
    auto* b = qobject_cast<QAbstractButton*>(Control(root, name));
    return b && b->isChecked();
}

void SetControlChecked(QWidget* root, const QString& name, bool checked) {
    if (auto* b = qobject_cast<QAbstractButton*>(Control(root, name)))
        b->setChecked(checked);
}

QByteArray ControlImage(QWidget* root, const QString& name) {
    auto* p = qobject_cast<PictureBox*>(Control(root, name));
    return p ? p->imageBytes() : QByteArray();
}

void SetControlImage(QWidget* root, const QString& name, const QByteArray& bytes) {
    if (auto* p = qobject_cast<PictureBox*>(Control(root, name)))
        p->setImageBytes(bytes);
}

void SetControlReadOnly(QWidget* root, const QString& name, bool readOnly) {
    QWidget* w = Control(root, name);
    if (auto* e = qobject_cast<LabeledEdit*>(w))
        e->setReadOnly(readOnly);
    else if (auto* l = qobject_cast<QLineEdit*>(w))
        l->setReadOnly(readOnly);
    else if (auto* d = qobject_cast<QDateEdit*>(w))
        d->setReadOnly(readOnly);
}

} // namespace ui
