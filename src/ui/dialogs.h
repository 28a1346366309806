#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace store {
class DatabaseConnection;
}

namespace ui {

enum class Buttons { Ok, OkExclamation, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// Every modal message box and file dialog of the program goes through this interface, so that
// tests can script the answers and read back every text shown.
class DialogProvider {
public:
    virtual ~DialogProvider() = default;
    virtual Answer message(QWidget* parent, const QString& text, Buttons buttons, const QString& title) = 0;
    // The same with the button that Enter presses named. Questions that destroy data name No or
    // Cancel, so that Enter never deletes. The plain form defaults to the first button (Yes / OK).
    virtual Answer messageWithDefault(QWidget* parent, const QString& text, Buttons buttons, const QString& title,
                                      Answer /*defaultButton*/) {
        return message(parent, text, buttons, title);
    }
    // Returns the chosen path, or nothing when the operator cancels.
    virtual std::optional<QString> openFile(QWidget* parent, const QString& caption, const QString& directory,
                                            const QString& filter) = 0;
    virtual std::optional<QString> saveFile(QWidget* parent, const QString& caption, const QString& defaultPath,
                                            const QString& filter) = 0;
    // Opens a document or address with the system's viewer; false when nothing could open it.
    virtual bool openExternal(const QString& pathOrUrl) = 0;
    // A message that does not wait for the operator: shown, and the caller goes on at once.
    virtual void notice(QWidget* parent, const QString& text, const QString& title) = 0;
};

// Replaces the provider (nullptr restores the real dialogs). The caller keeps ownership.
void SetDialogProvider(DialogProvider* provider);
DialogProvider& dialogs();

// Shorthands: no title unless one is given, as most of the program's messages have none.
Answer MessageBox(const QString& text, Buttons buttons = Buttons::Ok, const QString& title = {},
                  QWidget* parent = nullptr);
// A question whose Enter key gives defaultButton (No or Cancel for destructive questions).
Answer AskWithDefault(const QString& text, Buttons buttons, Answer defaultButton, const QString& title = {},
                      QWidget* parent = nullptr);

// Opens a window's own connection to the program's database file, reporting a missing file
// ("数据库丢失！") and a failed open ("数据库打开失败！") the way every data window does. The window
// stays usable with a closed connection; its queries then fail with their own messages.
// The first time in the process that it opens a file still in the old table layout, it says
// (without waiting) that velmora-cli upgrade makes the program faster.
bool OpenWindowDatabase(store::DatabaseConnection& db);

// The text of that notice.
QString OldLayoutNotice();

} // namespace ui
