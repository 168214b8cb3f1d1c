#include "UI/DriveItemDelegate.h"
#include "WindowFixture.h"
#include "support/RecordedDrive.h"
#include "support/ToolsOnPath.h"

#include <QAction>
#include <QDateTime>
#include <QEnterEvent>

using testsupport::RecordedDrive;
using testsupport::SampleInstaller;
using testsupport::ToolsOnPath;

namespace {

QAction *verifyAction(MainViewController &controller)
{
    for (QAction *action : controller.diskListPopUpButton->actions())
        if (action->text() == "校验驱动器")
            return action;
    return nullptr;
}

} // namespace

// The pop-up's row says which installer a drive was made with and when; "Verify Drive" ends in the alert
// that it is intact, and once a byte changed, in one that names the file.
TEST(VerifyDrive, SaysTheDriveIsIntactOrNamesWhatChanged)
{
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "2M"));
    ASSERT_EQ(RecordedDrive::make(installer.path(), "10.14.6", "/Volumes/USB"), "");
    Window w;
    auto &c = w.controller;
    w.chooseDrive("USB");
    QComboBox *popUp = c.diskListPopUpButton;
    const QString made =
        "Install macOS Mojave 10.14.6，" + QDateTime::currentDateTime().toString("yyyy-MM-dd");
    EXPECT_TRUE(testsupport::waitUntil([&] {
        return popUp->itemData(popUp->findText("USB"), DriveItemDelegate::SecondaryTextRole)
            .toString()
            .startsWith(made);
    })) << popUp->itemData(0, DriveItemDelegate::SecondaryTextRole).toString().toStdString();
    EXPECT_TRUE(popUp->itemData(popUp->findText("USB"), DriveItemDelegate::SecondaryTextRole)
                    .toString()
                    .contains(drive.device()))
        << "the device still tells the drives apart";

    QAction *verify = verifyAction(c);
    ASSERT_TRUE(verify && verify->isEnabled());
    verify->trigger();
    QMessageBox *intact = w.alertWithText("驱动器完好", 30000);
    ASSERT_TRUE(intact);
    const QString named = "驱动器【USB（" + drive.device() + "）】";
    EXPECT_TRUE(intact->informativeText().startsWith(named + "上的 " + made.section("，", 0, 0) + " 与 " +
                                                     made.section("，", 1)))
        << intact->informativeText().toStdString();
    EXPECT_EQ(c.circularProgress->progress(), 1.0);
    ASSERT_TRUE(WindowDriver::clickButton(intact, "确定"));
    EXPECT_TRUE(c.selectMacOSButton->isEnabled() && popUp->isEnabled() && verify->isEnabled());

    QFile payload("/Volumes/USB/Install macOS Mojave.app/Contents/SharedSupport/InstallESD.dmg");
    ASSERT_TRUE(payload.open(QIODevice::ReadWrite) && payload.seek(100) && payload.write("!") == 1);
    payload.close();
    verify->trigger();
    QMessageBox *changed = w.alertWithText("驱动器已被改动", 30000);
    ASSERT_TRUE(changed);
    EXPECT_TRUE(
        changed->informativeText().startsWith(named) &&
        changed->informativeText().endsWith("有 1 项缺失或不同：\nInstall macOS "
                                            "Mojave.app/Contents/SharedSupport/InstallESD.dmg（内容不同）"))
        << changed->informativeText().toStdString();
    EXPECT_TRUE(c.circularProgress->isHidden());
    ASSERT_TRUE(WindowDriver::clickButton(changed, "确定"));
}

// While a check reads, nothing can be started or chosen, an update notice waits and closing the window
// asks first; the ring's cancel button asks too, and stopping leaves the drive as it was.
TEST(VerifyDrive, WhileItReadsTheControlsWaitAndItCanBeStopped)
{
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "2M"));
    ASSERT_EQ(RecordedDrive::make(installer.path(), "10.14.6", "/Volumes/USB"), "");
    ASSERT_TRUE(RecordedDrive::addSparseFile(
        "/Volumes/USB", "Install macOS Mojave.app/Contents/SharedSupport/Huge.dmg", 256ull << 30));
    const QStringList before = RecordedDrive::listing("/Volumes/USB");
    Window w;
    auto &c = w.controller;
    w.chooseInstaller(installer.path());
    w.chooseDrive("USB");
    ASSERT_TRUE(c.makeMacOSButton->isEnabled());
    verifyAction(c)->trigger();
    ASSERT_TRUE(WindowDriver::waitFor([&] { return c.circularProgress->progress() > 0; }, 30000));
    EXPECT_TRUE(c.isCheckingDrive());
    EXPECT_FALSE(c.makeMacOSButton->isEnabled() || c.selectMacOSButton->isEnabled() ||
                 c.diskListPopUpButton->isEnabled() || verifyAction(c)->isEnabled());
    EXPECT_TRUE(c.statusLabel->text().startsWith("正在校验驱动器 ")) << c.statusLabel->text().toStdString();
    EXPECT_TRUE(c.cancelRunButton->isVisible());
    EXPECT_EQ(c.cancelRunButton->text(), "停止校验");
    c.showUpdateNotice("https://example.com/new");
    EXPECT_FALSE(w.driver.openDialog()) << "the notice waits";

    c.close();
    QMessageBox *ask = w.alertWithText("确定要停止校验吗？", 5000);
    ASSERT_TRUE(ask);
    ASSERT_TRUE(WindowDriver::clickButton(ask, "继续校验"));
    testsupport::spin(200);
    EXPECT_TRUE(c.isVisible() && c.isCheckingDrive());

    const QPointF centre(c.circularProgress->width() / 2.0, c.circularProgress->height() / 2.0);
    QEnterEvent enter(centre, centre, c.circularProgress->mapToGlobal(centre));
    QApplication::sendEvent(c.circularProgress, &enter);
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.circularProgress->cancelButton()->isVisible(); }));
    QTest::mouseClick(c.circularProgress->cancelButton(), Qt::LeftButton);
    ask = w.alertWithText("确定要停止校验吗？", 5000);
    ASSERT_TRUE(ask);
    ASSERT_TRUE(WindowDriver::clickButton(ask, "停止校验"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !c.isCheckingDrive(); }, 10000));
    EXPECT_TRUE(c.makeMacOSButton->isEnabled() && c.diskListPopUpButton->isEnabled());
    EXPECT_TRUE(c.statusLabel->text().isEmpty());
    EXPECT_FALSE(c.cancelRunButton->isVisible());
    EXPECT_EQ(c.cancelRunButton->text(), "取消创建");
    // The held notice comes once the check is over.
    EXPECT_TRUE(w.alertWithText("温馨提示", 5000));
    EXPECT_EQ(RecordedDrive::listing("/Volumes/USB"), before);
}

// A drive the window made carries its own record, and the window finds it intact from that record alone.
TEST(VerifyDrive, ADriveTheWindowMadeIsFoundIntactFromItsRecord)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "4M"));
    Window w;
    QMessageBox *result = w.runToResult(installer.path(), "USB");
    ASSERT_TRUE(result);
    ASSERT_EQ(result->text(), "macOS引导安装器创建完成") << result->informativeText().toStdString();
    ASSERT_TRUE(WindowDriver::clickButton(result, "暂不安装"));
    // The installer is moved away: the record is all the check has.
    ASSERT_TRUE(QFile::rename(installer.path(), installer.path() + ".gone"));
    w.chooseDrive("Install macOS Mojave");
    QAction *verify = verifyAction(w.controller);
    ASSERT_TRUE(verify && verify->isEnabled());
    verify->trigger();
    QMessageBox *intact = w.alertWithText("驱动器完好", 30000);
    ASSERT_TRUE(intact)
        << (w.driver.openDialog()
                ? qobject_cast<QMessageBox *>(w.driver.openDialog())->informativeText().toStdString()
                : std::string("no alert"));
    EXPECT_TRUE(intact->informativeText().contains("Install macOS Mojave 10.14.6"))
        << intact->informativeText().toStdString();
    ASSERT_TRUE(WindowDriver::clickButton(intact, "确定"));
    QFile::rename(installer.path() + ".gone", installer.path());
}
