#pragma once

#include "pgserver.h"
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

// Gives each test a fresh data directory with a new encrypted database (or, for a test on the
// server engine, a new database on the test cluster, which the program then opens through
// VELMORA_DATABASE), the dialog layer replaced by a script, and the session and clock reset.
class DataDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The engine the test runs on; EngineTest's parameter decides. VELMORA_TEST_ENGINE=server
    // runs the file tests on the server too (a look for differences; the file's own checks fail).
    virtual Engine engine() const { return DefaultEngine(); }
    bool onServer() const { return engine() == Engine::Server; }

    QString dataDir() const { return dir_.path(); }
    QString dbPath() const;
    // What the program opens: the file's path, or the server database's connection text.
    QString target() const;
    // The test's server database (empty on the file) and its cluster.
    QString serverDatabase() const { return serverDatabase_; }
    PgCluster* cluster() const { return cluster_; }
    // A connection of the test's own to the same database.
    store::DatabaseConnection& db();

    ScriptedDialogs dialogs;

private:
    QTemporaryDir dir_;
    std::unique_ptr<store::DatabaseConnection> db_;
    PgCluster* cluster_ = nullptr;
    QString serverDatabase_;
};

// The fixture of the tests that run on both engines, one instance per engine:
//   INSTANTIATE_TEST_SUITE_P(Engines, MyTest, BothEngines(), EngineParamName);
// A server instance skips, saying so, only when the PostgreSQL server programs are missing.
class EngineTest : public DataDirTest, public ::testing::WithParamInterface<Engine> {
protected:
    Engine engine() const override { return GetParam(); }
};

inline auto BothEngines() {
    return ::testing::Values(Engine::File, Engine::Server);
}
inline std::string EngineParamName(const ::testing::TestParamInfo<Engine>& info) {
    return EngineName(info.param);
}

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
