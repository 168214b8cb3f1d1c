// A success is reported only for a drive that was read back and found the same, and a running job can be
// stopped from the ring or by closing the window.

#include "WindowFixture.h"
#include "support/DriveSetup.h"
#include "support/ProcessTable.h"
#include "support/SampleInstaller.h"
#include "support/ToolsOnPath.h"

#include <QEnterEvent>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

using testsupport::LoopDrive;
using testsupport::SampleInstaller;
using testsupport::ToolsOnPath;

namespace {

// Puts a script in place of the bundle's creation tool that runs the real one, then does `after`.
void wrapTool(const SampleInstaller &installer, const QByteArray &after)
{
    ASSERT_TRUE(QFile::rename(installer.toolPath(), installer.toolPath() + ".real"));
    QFile wrapper(installer.toolPath());
    ASSERT_TRUE(wrapper.open(QIODevice::WriteOnly));
    wrapper.write(
        "#!/bin/bash\nshift\n\"$(dirname \"$0\")/createinstallmedia.real\" \"$@\" || exit $?\n"
        "f='/Volumes/Install macOS Mojave/Install macOS Mojave.app/Contents/SharedSupport/InstallESD.dmg'\n"
        "old=$(dd if=\"$f\" bs=1 skip=4100 count=1 2>/dev/null | od -An -tu1 | tr -d ' ')\n"
        // The changed byte travels as an octal escape: as a byte, a newline, a NUL or a % would be lost on
        // the way (command substitution, printf's format) and the drive left as it was.
        "new=$(printf '\\\\%03o' $(( (old + 1) % 256 )))\n" +
        after + "\nexit 0\n");
    wrapper.close();
    wrapper.setPermissions(wrapper.permissions() | QFile::ExeOwner | QFile::ExeOther);
}

// Starts the run on the drive "USB" from the window and waits for its result alert; null when none came.

} // namespace

// What the tool wrote is compared with the installer as the drive gives it back: a byte changed after the
// copy, or a write the drive lost while the kernel still holds the written page.
TEST(HonestCompletion, VerificationNamesTheFileTheDriveGotWrong)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    struct Case
    {
        const char *what;
        QByteArray after;
    };
    const QList<Case> cases = {
        {"a byte changed on the drive",
         "printf \"$new\" | dd of=\"$f\" bs=1 seek=4100 conv=notrunc 2>/dev/null"},
        {"a write lost under the cache",
         "dev=$(findmnt -n -o SOURCE --target \"$f\")\n"
         "at=$(filefrag -v -b512 \"$f\" | awk '$1 == \"0:\" { p = $4; sub(/\\.\\./, \"\", p); print p; exit "
         "}')\n"
         "printf \"$new\" | dd of=\"$dev\" bs=1 seek=$(( at * 512 + 4100 )) conv=notrunc,fsync 2>/dev/null"},
    };
    for (const Case &wrong : cases) {
        SCOPED_TRACE(wrong.what);
        DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "8M"));
        wrapTool(installer, wrong.after);
        Window w;
        QMessageBox *result = w.runToResult(installer.path(), "USB");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->text(), "macOS引导安装器创建失败");
        EXPECT_EQ(
            result->informativeText(),
            "校验发现驱动器上的“Install macOS Mojave.app/Contents/SharedSupport/InstallESD.dmg”与安装文件"
            "不一致。\n驱动器【USB（" +
                drive.device() + "）】上的安装器不完整，需要重新创建。");
        // Nor does the drive look finished: the pop-up marks it, without the installer's icon.
        EXPECT_FALSE(QFileInfo::exists("/Volumes/Install macOS Mojave/.IAPhysicalMedia"));
        EXPECT_FALSE(QFileInfo::exists("/Volumes/Install macOS Mojave/.VolumeIcon.icns"));
        EXPECT_FALSE(w.controller.circularProgress->isFinished()) << "no checkmark for a drive that differs";
        EXPECT_TRUE(testsupport::waitUntil([&] {
            return w.controller.diskListPopUpButton->findText("Install macOS Mojave（未完成）") >= 0;
        }));
    }
}

// A verified drive whose record cannot be written (a file stands where its folder goes) is still a finished
// drive: the success alert keeps its texts, and the status line says the drive cannot be re-checked later.
TEST(HonestCompletion, ADriveWhoseRecordCannotBeWrittenIsFinishedAndSaysSo)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "8M"));
    const QString inTheWay = "/Volumes/Install macOS Mojave/.BootDrive";
    wrapTool(installer, "rm -rf '" + inTheWay.toUtf8() + "'\necho x > '" + inTheWay.toUtf8() + "'");
    Window w;
    QMessageBox *result = w.runToResult(installer.path(), "USB");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text(), "macOS引导安装器创建完成") << result->informativeText().toStdString();
    EXPECT_EQ(result->informativeText(), "是否打开安装教程，开始安装系统");
    ASSERT_TRUE(WindowDriver::clickButton(result, "暂不安装"));
    EXPECT_EQ(w.controller.statusLabel->text(),
              "驱动器【Install macOS Mojave】已制作完成，但未能在其上保存校验记录，以后无法重新检查。"
              "请先推出驱动器，再将其拔出。");
    QFile left(inTheWay);
    ASSERT_TRUE(left.open(QIODevice::ReadOnly));
    EXPECT_EQ(left.readAll(), "x\n") << "what stood there is left as it was";
}

// While the tool copies, the ring's cancel button and closing the window both offer to stop; after
// "取消创建" no process of the job is left within 6 s and the drive stays mounted.
TEST(HonestCompletion, ARunningJobCanBeCancelled)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    // A pace at which the copy lasts long enough to be stopped in the middle.
    qputenv("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "40M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    for (const bool byClosing : {false, true}) {
        SCOPED_TRACE(byClosing ? "closing the window" : "the ring's cancel button");
        LOOP_DRIVE(drive, "USB", 96 * 1024 * 1024);
        Window w;
        auto &c = w.controller;
        QMessageBox *confirm = w.openConfirmation(installer.path(), "USB");
        ASSERT_TRUE(confirm);
        ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
        ASSERT_TRUE(WindowDriver::waitFor(
            [&] { return c.circularProgress->isVisible() && c.circularProgress->progress() > 0.0; }, 60000))
            << "the copy is under way";
        if (byClosing) {
            c.close();
        } else {
            const QPointF centre(c.circularProgress->width() / 2.0, c.circularProgress->height() / 2.0);
            QEnterEvent enter(centre, centre, c.circularProgress->mapToGlobal(centre));
            QApplication::sendEvent(c.circularProgress, &enter);
            ASSERT_TRUE(
                testsupport::waitUntil([&] { return c.circularProgress->cancelButton()->isVisible(); }));
            QTest::mouseClick(c.circularProgress->cancelButton(), Qt::LeftButton);
        }
        QMessageBox *ask = w.alertWithText("确定要取消创建吗？", 5000);
        ASSERT_TRUE(ask);
        const QString named = "USB（" + drive.device() + "）";
        EXPECT_EQ(ask->informativeText(), "驱动器【" + named + "】上的内容将不完整，需要重新创建。");
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(WindowDriver::clickButton(ask, "取消创建"));
        if (byClosing) {
            ASSERT_TRUE(testsupport::waitUntil([&] { return !c.isVisible(); }, 8000)) << "the window closes";
        } else {
            QMessageBox *cancelled = w.alertWithText("已取消创建", 8000);
            ASSERT_TRUE(cancelled);
            EXPECT_EQ(cancelled->informativeText(),
                      "驱动器【" + named + "】上的安装器不完整，可重新开始创建。");
            EXPECT_TRUE(c.circularProgress->isCancelled());
            EXPECT_TRUE(c.macOSModel() && c.diskModel()) << "the choices stay";
            // The drive the run left says it is half-made; starting again takes a pick.
            EXPECT_TRUE(testsupport::waitUntil(
                [&] { return c.diskListPopUpButton->currentText() == "Install macOS Mojave（未完成）"; }));
            w.settle();
            EXPECT_FALSE(c.makeMacOSButton->isEnabled());
            EXPECT_EQ(c.startHintLabel->text(), "选择驱动器或安装文件后可重新开始。");
            w.chooseDrive("Install macOS Mojave（未完成）");
            EXPECT_TRUE(c.makeMacOSButton->isEnabled());
        }
        EXPECT_LT(clock.elapsed(), 6000);
        // The privileged helper's command line names the tool too.
        EXPECT_TRUE(testsupport::processesMentioning(QFile::encodeName(installer.toolPath())).isEmpty());
        EXPECT_FALSE(drive.mountPoint().isEmpty()) << "the drive stays mounted";

        // The half-made drive does not pass for a finished installer drive in the next drive list.
        Window next;
        QComboBox *popUp = next.controller.diskListPopUpButton;
        EXPECT_TRUE(testsupport::waitUntil(
            [&] { return popUp->findText("Install macOS Mojave（未完成）") >= 0; }, 5000))
            << "listed as " << popUp->itemText(0).toStdString();
        EXPECT_EQ(popUp->findText("Install macOS Mojave"), -1);
        for (const DiskModelPtr &listed : next.controller.dataArray()) {
            if (listed->deviceNumber() == drive.deviceNumber()) {
                EXPECT_TRUE(listed->isIncompleteInstaller());
            }
        }
    }
    qunsetenv("CREATEINSTALLMEDIA_RATE_LIMIT");
}
