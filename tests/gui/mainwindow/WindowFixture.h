#pragma once

#include "Common/CircularProgress/CircularProgress.h"
#include "UI/MainViewController.h"
#include "UI/OpenPanel.h"
#include "WindowDriver.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"
#include "support/LoopDrive.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

// The real main window, shown under the offscreen platform, and the means to use it as a person would.

// Receives the links the window hands to the user's default handler.
class LinkCatcher : public QObject
{
    Q_OBJECT
public:
    LinkCatcher()
    {
        QDesktopServices::setUrlHandler("https", this, "open");
        QDesktopServices::setUrlHandler("http", this, "open");
    }
    ~LinkCatcher() override
    {
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("http");
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

struct Window
{
    MainViewController controller;
    WindowDriver driver{controller};
    Window()
    {
        controller.resize(920, 580);
        controller.viewDidLoad();
        controller.show();
        testsupport::spin(50);
    }
    ~Window()
    {
        // Take down whatever dialog is still up so the next test starts clean. A message box without an
        // escape button refuses to close, so it is deleted.
        for (int i = 0; i < 10; ++i) {
            QWidget *dialog = driver.openDialog();
            if (!dialog)
                break;
            dialog->hide();
            delete dialog;
        }
    }
    // Picks the installer through the real picker.
    void chooseInstaller(const QString &path)
    {
        QTest::mouseClick(controller.selectMacOSButton, Qt::LeftButton);
        ASSERT_TRUE(WindowDriver::chooseInPicker(driver.waitForPicker(), path, QStringLiteral("选择")));
        testsupport::spin(100);
        settle();
    }
    // Waits until the checks of the chosen installer and drive have answered.
    void settle()
    {
        testsupport::waitUntil([&] { return !controller.checkingChoices(); }, 10000);
    }
    // Picks the drive by keyboard in the pop-up.
    void chooseDrive(const QString &name)
    {
        QComboBox *popUp = controller.diskListPopUpButton;
        ASSERT_TRUE(testsupport::waitUntil([&] { return popUp->findText(name) >= 0; }, 3000));
        const int target = popUp->findText(name);
        popUp->setFocus();
        if (popUp->currentIndex() == target && popUp->count() > 1)
            QTest::keyClick(popUp, target == 0 ? Qt::Key_Down : Qt::Key_Up);
        while (popUp->currentIndex() != target)
            QTest::keyClick(popUp, popUp->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
        if (popUp->count() == 1)
            controller.selectDiskAction();
        settle();
    }
    QMessageBox *alert() { return driver.waitForAlert(); }
    // The alert with this headline, once it is up; none when it does not come in time.
    // Picks the installer and the drive and presses the start button: the confirmation, or none when the
    // start button stayed disabled.
    QMessageBox *openConfirmation(const QString &installer, const QString &drive)
    {
        chooseInstaller(installer);
        chooseDrive(drive);
        if (!controller.makeMacOSButton->isEnabled())
            return nullptr;
        QTest::mouseClick(controller.makeMacOSButton, Qt::LeftButton);
        return alert();
    }
    // Starts a run on the drive and confirms it: the run's result alert, or none.
    QMessageBox *runToResult(const QString &installer, const QString &drive)
    {
        QMessageBox *confirm = openConfirmation(installer, drive);
        if (!confirm || !WindowDriver::clickButton(confirm, QStringLiteral("立刻创建")))
            return nullptr;
        return anyAlert(120000);
    }
    // The next alert of the run, whatever it says (its result).
    QMessageBox *anyAlert(int timeoutMs)
    {
        QMessageBox *found = nullptr;
        WindowDriver::waitFor(
            [&] { return (found = qobject_cast<QMessageBox *>(driver.openDialog())) != nullptr; }, timeoutMs);
        return found;
    }
    QMessageBox *alertWithText(const QString &text, int timeoutMs)
    {
        QMessageBox *found = nullptr;
        WindowDriver::waitFor(
            [&] {
                found = qobject_cast<QMessageBox *>(driver.openDialog());
                return found && found->text() == text;
            },
            timeoutMs);
        return found && found->text() == text ? found : nullptr;
    }
};

// An installer bundle of our own at a chosen place (only Info.plist matters for the checks).
inline QString makeBundle(const QString &folder, const QString &name, const QString &version = "10.14.6",
                          const QString &displayName = {})
{
    const QString bundle = folder + "/" + name + ".app";
    QDir().mkpath(bundle + "/Contents/Resources");
    // A creation tool that can run here, so the checks before the erase let the installer through.
    QFile tool(bundle + "/Contents/Resources/createinstallmedia");
    if (tool.open(QIODevice::WriteOnly) && tool.write("#!/bin/sh\nexit 1\n") > 0)
        tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile plist(bundle + "/Contents/Info.plist");
    if (plist.open(QIODevice::WriteOnly))
        plist.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                                   "<key>CFBundleDisplayName</key><string>%1</string>"
                                   "<key>DTPlatformVersion</key><string>%2</string></dict></plist>")
                        .arg((displayName.isNull() ? name : displayName).toHtmlEscaped(), version)
                        .toUtf8());
    return bundle;
}
