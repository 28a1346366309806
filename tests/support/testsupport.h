#pragma once

#include "store/database.h"
#include "ui/dialogs.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace testing_support {

// Stands in for every message box and file dialog: answers come from scripts, and every text
// shown is recorded in order.
class ScriptedDialogs : public ui::DialogProvider {
public:
    QStringList shown;                        // every message text, in order
    QStringList titles;                       // the title of each message, in the same order
    std::vector<ui::Answer> defaults;         // the button Enter would press, for each message
    std::deque<ui::Answer> answers;           // next answers; when empty: Yes / OK
    std::deque<std::optional<QString>> files; // next file dialog results; when empty: cancel
    QStringList opened;                       // documents and addresses handed to the system
    QStringList notices;                      // texts shown without waiting, in order

    ui::Answer message(QWidget*, const QString& text, ui::Buttons buttons, const QString& title) override;
    ui::Answer messageWithDefault(QWidget*, const QString& text, ui::Buttons buttons, const QString& title,
                                  ui::Answer defaultButton) override;
    std::optional<QString> openFile(QWidget*, const QString&, const QString&, const QString&) override;
    std::optional<QString> saveFile(QWidget*, const QString&, const QString&, const QString&) override;
    bool openExternal(const QString& pathOrUrl) override;
    void notice(QWidget*, const QString& text, const QString&) override { notices << text; }
};

// Gives each test a fresh data directory with a new encrypted database, the dialog layer
// replaced by a script, and the session and clock reset.
class DataDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString dataDir() const { return dir_.path(); }
    QString dbPath() const;
    // A connection of the test's own to the same file.
    store::DatabaseConnection& db();

    ScriptedDialogs dialogs;

private:
    QTemporaryDir dir_;
    std::unique_ptr<store::DatabaseConnection> db_;
};

// Types text into widget as the keyboard would, a key press and release per character.
// QTest::keyClicks sends Latin-1 only; the Chinese characters of plates and names go as key
// events that carry their text.
void TypeText(QWidget* widget, const QString& text);

// Runs action on the next modal widget that appears (a dialog opened with exec()); fails the
// running test when none appears within timeoutMs.
void WhenModal(std::function<void(QWidget*)> action, int timeoutMs = 10000);
// Fails the running test for every WhenModal still waiting, and drops those waits, so that a
// dialog that never opened is reported by the test that expected it and no wait acts on a later
// test's dialog. The test runner calls it at the end of every test.
void FailPendingModalWaits();

} // namespace testing_support
