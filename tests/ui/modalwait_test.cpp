// The tests' wait for a modal dialog: it answers the dialog that opens, and a dialog that never
// opens fails the test that waited for it, after the timeout or at the latest when it ends.

#include "support/testsupport.h"

#include <QDialog>
#include <QTest>
#include <QTimer>

#include <gtest/gtest-spi.h>

using namespace Qt::StringLiterals;

TEST(ModalWait, AnswersTheDialogThatOpens) {
    QString seen;
    testing_support::WhenModal([&seen](QWidget* modal) {
        seen = modal->objectName();
        static_cast<QDialog*>(modal)->done(7);
    });
    QDialog dialog;
    dialog.setObjectName(u"对话框_询问"_s);
    EXPECT_EQ(dialog.exec(), 7);
    EXPECT_EQ(seen, u"对话框_询问"_s);
    // Answered: nothing left waiting, so the end of this test finds no fault either.
    testing_support::FailPendingModalWaits();
}

TEST(ModalWait, FailsWithATimeoutMessageWhenNoDialogOpensInTime) {
    EXPECT_NONFATAL_FAILURE(
        {
            testing_support::WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); }, 50);
            QTest::qWait(400);
        },
        "no modal dialog appeared within 50 ms");
}

TEST(ModalWait, AWaitStillOpenWhenTheTestEndsFailsThatTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            testing_support::WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
            testing_support::WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
            testing_support::FailPendingModalWaits();
        },
        "2 awaited modal dialog(s) had not appeared when the test ended");
    // The waits are gone: a dialog opened now is not answered by them.
    QDialog dialog;
    QTimer::singleShot(300, &dialog, [&dialog] { dialog.done(3); });
    EXPECT_EQ(dialog.exec(), 3);
}
