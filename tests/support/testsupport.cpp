#include "testsupport.h"

#include "store/schema.h"
#include "store/session.h"
#include "store/target.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace testing_support {

ui::Answer ScriptedDialogs::message(QWidget* parent, const QString& text, ui::Buttons buttons, const QString& title) {
    const bool question = buttons == ui::Buttons::YesNo || buttons == ui::Buttons::YesNoCancel;
    return messageWithDefault(parent, text, buttons, title, question ? ui::Answer::Yes : ui::Answer::Ok);
}

ui::Answer ScriptedDialogs::messageWithDefault(QWidget*, const QString& text, ui::Buttons buttons, const QString& title,
                                               ui::Answer defaultButton) {
    defaults.push_back(defaultButton);
    shown << text;
    titles << title;
    if (!answers.empty()) {
        const ui::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    switch (buttons) {
    case ui::Buttons::YesNo:
    case ui::Buttons::YesNoCancel:
        return ui::Answer::Yes;
    default:
        return ui::Answer::Ok;
    }
}

std::optional<QString> ScriptedDialogs::openFile(QWidget*, const QString&, const QString&, const QString&) {
    if (files.empty())
        return std::nullopt;
    const bool chosen = files.front().has_value();
    const QString path = chosen ? *files.front() : QString();
    files.pop_front();
    if (!chosen)
        return std::nullopt;
    return path;
}

std::optional<QString> ScriptedDialogs::saveFile(QWidget* w, const QString& c, const QString& d, const QString& f) {
    return openFile(w, c, d, f);
}

bool ScriptedDialogs::openExternal(const QString& pathOrUrl) {
    opened << pathOrUrl;
    return true;
}

void DataDirTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    qputenv("VELMORA_DATA_DIR", dir_.path().toLocal8Bit());
    qunsetenv("VELMORA_DATABASE");
    QString error;
    if (onServer()) {
        QString why;
        cluster_ = TestCluster(&why);
        if (!cluster_)
            GTEST_SKIP() << "server engine not tested: " << why.toStdString();
        serverDatabase_ = cluster_->CreateEmptyDatabase();
        ASSERT_FALSE(serverDatabase_.isEmpty());
        ASSERT_TRUE(store::CreateServerDatabase(target(), &error)) << error.toStdString();
        qputenv("VELMORA_DATABASE", target().toUtf8());
    } else {
        ASSERT_TRUE(store::CreateDatabase(dbPath(), &error)) << error.toStdString();
    }
    store::ResetSession();
    store::SetToday({});
    ui::SetDialogProvider(&dialogs);
}

void DataDirTest::TearDown() {
    ui::SetDialogProvider(nullptr);
    store::DatabaseConnection::SetStatementLogging(false);
    store::DatabaseConnection::ClearStatementLog();
    store::SetToday({});
    db_.reset();
    qunsetenv("VELMORA_DATA_DIR");
    qunsetenv("VELMORA_DATABASE");
    if (cluster_)
        cluster_->DropDatabase(serverDatabase_);
}

QString DataDirTest::target() const {
    return onServer() ? cluster_->SocketTarget(serverDatabase_) : dbPath();
}

QString DataDirTest::dbPath() const {
    return QDir(dir_.path()).filePath(store::kDatabaseFileName);
}

store::DatabaseConnection& DataDirTest::db() {
    if (!db_) {
        db_ = std::make_unique<store::DatabaseConnection>();
        EXPECT_TRUE(store::OpenTarget(*db_, target())) << db_->LastError().toStdString();
    }
    return *db_;
}

void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

namespace {

// The waits armed and not yet answered, oldest first.
std::vector<QTimer*>& pendingWaits() {
    static std::vector<QTimer*> waits;
    return waits;
}

void endWait(QTimer* timer) {
    timer->stop();
    timer->deleteLater();
    auto& waits = pendingWaits();
    waits.erase(std::remove(waits.begin(), waits.end(), timer), waits.end());
}

} // namespace

void WhenModal(std::function<void(QWidget*)> action, int timeoutMs) {
    // A dialog the test waits for that never opens fails the test instead of leaving the timer
    // to act on some later test's dialog.
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    pendingWaits().push_back(timer);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, waited, timeoutMs, action = std::move(action)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            endWait(timer);
            action(modal);
        } else if (waited->elapsed() > timeoutMs) {
            endWait(timer);
            ADD_FAILURE() << "no modal dialog appeared within " << timeoutMs << " ms";
        }
    });
    timer->start();
}

void FailPendingModalWaits() {
    std::vector<QTimer*> left;
    left.swap(pendingWaits());
    for (QTimer* timer : left)
        delete timer;
    if (!left.empty())
        ADD_FAILURE() << left.size() << " awaited modal dialog(s) had not appeared when the test ended";
}

} // namespace testing_support
