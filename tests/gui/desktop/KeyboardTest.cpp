// The whole flow from the keyboard alone, in English: Tab between the controls, Space and Return to press,
// typing in the picker, arrows in the pop-up, Escape and Return in the alerts: Return takes the default
// button, except that nothing but "Create Now" itself erases a drive, and Escape the choice that changes
// nothing. Every phase shows its English text, and the focus goes where the next step is.

#include "Platform/Text/Localization.h"
#include "WindowFixture.h"
#include "support/ChildRun.h"
#include "support/DriveSetup.h"
#include "support/SampleInstaller.h"
#include "support/ToolsOnPath.h"

#include <QLineEdit>
#include <QTemporaryDir>

using testsupport::LoopDrive;
using testsupport::SampleInstaller;
using testsupport::ToolsOnPath;

namespace {

// A key pressed as the window system delivers it: to the active window, which hands it to its focus.
void press(Qt::Key key)
{
    ASSERT_TRUE(QApplication::activeWindow());
    QTest::keyClick(QApplication::activeWindow()->windowHandle(), key);
}

// Presses Tab until the widget has the focus; false when a round of the window does not reach it.
bool tabTo(QWidget *target)
{
    for (int i = 0; i < 40 && target->window()->focusWidget() != target; ++i)
        press(Qt::Key_Tab);
    return target->window()->focusWidget() == target;
}

// Once a dialog has closed, a window manager gives the activation back to the window it belonged to; the
// offscreen platform leaves it nowhere, so the test does it.
bool backToWindow(Window &w)
{
    if (!testsupport::waitUntil([&] { return !w.driver.openDialog(); }))
        return false;
    w.controller.activateWindow();
    return testsupport::waitUntil([&] { return QApplication::activeWindow() == &w.controller; }, 3000);
}

} // namespace

TEST(Keyboard, TheWholeFlowInEnglishWithoutAMouse)
{
    REQUIRE_DRIVES();
    // A copy slow enough to reach the ring while it runs.
    BOOTDRIVE_RUN_BODY_IN_CHILD("LANG=en_US.UTF-8", "CREATEINSTALLMEDIA_RATE_LIMIT=4");
    ASSERT_TRUE(platform::Localization::installInterfaceTranslations());
    ToolsOnPath tools;
    LinkCatcher links;
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "8M"));
    Window w;
    auto &c = w.controller;
    c.activateWindow();
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.isActiveWindow(); }, 3000));
    EXPECT_EQ(c.makeMacOSButton->text(), "Start Creating");

    // The picker: Return on its button, the bundle's path typed, Return. An application that is no installer
    // first: Return takes its refusal's only button.
    QTemporaryDir desktop;
    const QString other = makeBundle(desktop.path(), "TextEdit");
    for (const QString &bundle : {other, installer.path()}) {
        ASSERT_TRUE(tabTo(c.selectMacOSButton));
        press(Qt::Key_Return);
        OpenPanel *panel = w.driver.waitForPicker();
        ASSERT_TRUE(panel);
        auto *name = panel->findChild<QLineEdit *>("fileNameEdit");
        ASSERT_TRUE(name);
        ASSERT_TRUE(testsupport::waitUntil([&] { return QApplication::activeWindow() == panel; }, 3000));
        EXPECT_EQ(panel->focusWidget(), name) << "the picker opens in its name field";
        QTest::keyClicks(name, bundle);
        press(Qt::Key_Return);
        if (bundle == other) {
            QMessageBox *refusal = w.alertWithText("TextEdit", 5000);
            ASSERT_TRUE(refusal);
            ASSERT_TRUE(
                testsupport::waitUntil([&] { return QApplication::activeWindow() == refusal; }, 3000));
            press(Qt::Key_Return);
            ASSERT_TRUE(backToWindow(w));
        }
    }
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return c.macOSInfoLabel->text() == "Install macOS Mojave 10.14.6"; }));
    ASSERT_TRUE(backToWindow(w));

    // The drive: the pop-up with the arrows.
    ASSERT_TRUE(tabTo(c.diskListPopUpButton));
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.diskListPopUpButton->findText("USB") >= 0; }));
    press(Qt::Key_End);
    while (c.diskListPopUpButton->currentText() != "USB" && c.diskListPopUpButton->currentIndex() > 0)
        press(Qt::Key_Up);
    ASSERT_EQ(c.diskListPopUpButton->currentText(), "USB");
    ASSERT_TRUE(c.makeMacOSButton->isEnabled());

    // The confirmation: neither Escape nor Return erases anything; the erasing button has to be chosen.
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        ASSERT_TRUE(tabTo(c.makeMacOSButton));
        press(Qt::Key_Space);
        QMessageBox *confirm = w.alertWithText("Please Note", 5000);
        ASSERT_TRUE(confirm);
        ASSERT_TRUE(testsupport::waitUntil([&] { return QApplication::activeWindow() == confirm; }, 3000));
        EXPECT_TRUE(confirm->informativeText().startsWith(
            "The drive “USB” is about to be erased. Its data will be lost!"));
        press(key);
        ASSERT_TRUE(backToWindow(w));
        EXPECT_TRUE(c.selectMacOSButton->isEnabled()) << "answers Cancel";
        EXPECT_EQ(c.makeMacOSButton->text(), "Start Creating");
    }
    ASSERT_TRUE(tabTo(c.makeMacOSButton));
    press(Qt::Key_Space);
    QMessageBox *confirm = w.alertWithText("Please Note", 5000);
    ASSERT_TRUE(confirm);
    ASSERT_TRUE(testsupport::waitUntil([&] { return QApplication::activeWindow() == confirm; }, 3000));
    ASSERT_EQ(qobject_cast<QAbstractButton *>(confirm->focusWidget())->text(), "Cancel");
    for (int i = 0; i < 6 && qobject_cast<QAbstractButton *>(confirm->focusWidget())->text() != "Create Now";
         ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(qobject_cast<QAbstractButton *>(confirm->focusWidget())->text(), "Create Now");
    press(Qt::Key_Space);
    EXPECT_EQ(c.makeMacOSButton->text(), "Creating...");
    EXPECT_EQ(c.tipsLabel->text(), "Erasing the drive, please wait...");
    ASSERT_TRUE(backToWindow(w));

    // While it runs the ring is the place to stop it from: Tab reaches it and shows its cancel button.
    QStringList tips;
    bool ringFocused = false;
    QMessageBox *result = nullptr;
    ASSERT_TRUE(WindowDriver::waitFor(
        [&] {
            if (!c.tipsLabel->text().isEmpty() && !tips.contains(c.tipsLabel->text()))
                tips << c.tipsLabel->text();
            if (!ringFocused && c.circularProgress->isVisible() && c.circularProgress->progress() > 0.0 &&
                !w.driver.openDialog()) {
                ringFocused = tabTo(c.circularProgress);
                EXPECT_TRUE(testsupport::waitUntil(
                    [&] { return c.circularProgress->cancelButton()->isVisible(); }, 2000));
                // Return on the ring asks to stop; Escape answers "Continue".
                press(Qt::Key_Return);
                QMessageBox *ask = w.alertWithText("Stop creating the installer?", 5000);
                EXPECT_TRUE(ask);
                if (ask && testsupport::waitUntil([&] { return QApplication::activeWindow() == ask; }, 3000))
                    press(Qt::Key_Escape);
                EXPECT_TRUE(backToWindow(w));
                return false;
            }
            result = qobject_cast<QMessageBox *>(w.driver.openDialog());
            return result != nullptr;
        },
        180000));
    EXPECT_TRUE(ringFocused);
    // The tips line names each phase, in the order they come; waiting for authorization may be too short to
    // see when no one has to be asked.
    tips.removeAll("Waiting for authorization...");
    EXPECT_EQ(tips.join(" | "), "Erasing the drive, please wait... | Verifying...");
    EXPECT_EQ(result->text(), "The macOS boot installer is ready");
    EXPECT_EQ(result->informativeText(), "Open the installation tutorial and start installing macOS?");
    EXPECT_EQ(c.makeMacOSButton->text(), "Start Creating");

    // Escape answers "Not Now"; the next thing to do is to eject the drive, where the focus now is.
    ASSERT_TRUE(testsupport::waitUntil([&] { return QApplication::activeWindow() == result; }, 3000));
    press(Qt::Key_Escape);
    ASSERT_TRUE(backToWindow(w));
    testsupport::spin(100);
    EXPECT_TRUE(links.opened.isEmpty());
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Mojave");
    EXPECT_EQ(QApplication::focusWidget(), c.ejectButton);
}
