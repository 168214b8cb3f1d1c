#include "UI/VectorImage.h"
#include "WindowFixture.h"
#include "support/DriveSetup.h"
#include "support/SampleInstaller.h"
#include "support/ToolsOnPath.h"

#include <cmath>
#include <sys/mount.h>

using testsupport::LoopDrive;
using testsupport::SampleInstaller;
using testsupport::ToolsOnPath;

TEST(MainWindow, TheWholeFlowOnALoopDrive)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    LinkCatcher links;
    DRIVE_AND_INSTALLER(("USB", 96 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "24M"));

    Window w;
    auto &c = w.controller;
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());
    w.chooseInstaller(installer.path());
    EXPECT_EQ(c.macOSInfoLabel->text(), "Install macOS Mojave 10.14.6");
    w.chooseDrive("USB");
    ASSERT_TRUE(c.makeMacOSButton->isEnabled());

    QTest::mouseClick(c.makeMacOSButton, Qt::LeftButton);
    QMessageBox *confirm = w.alert();
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->text(), "温馨提示");
    // What will be erased: the drive's name, then its device and capacity.
    EXPECT_EQ(confirm->informativeText(),
              "【USB】驱动器即将被格式化，数据将丢失!\n" + drive.device() + " · 96.00 MB");
    ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
    // The erase phase starts at once.
    EXPECT_FALSE(c.selectMacOSButton->isEnabled());
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());
    EXPECT_FALSE(c.diskListPopUpButton->isEnabled());
    EXPECT_EQ(c.makeMacOSButton->text(), "正在创建...");
    EXPECT_EQ(c.tipsLabel->text(), "正在格式化驱动器，请耐心等待...");

    bool sawRing = false;
    QStringList tips;
    QMessageBox *result = nullptr;
    ASSERT_TRUE(WindowDriver::waitFor(
        [&] {
            if (!c.tipsLabel->text().isEmpty() && !tips.contains(c.tipsLabel->text()))
                tips << c.tipsLabel->text();
            // The ring spins while nothing can be measured; a measured share replaces the tips text.
            if (c.circularProgress->isVisible() && !c.circularProgress->isIndeterminate()) {
                sawRing = true;
                EXPECT_TRUE(c.tipsLabel->text().isEmpty());
            }
            result = qobject_cast<QMessageBox *>(w.driver.openDialog());
            return result != nullptr;
        },
        180000));
    // Each phase's line in turn; waiting for authorization lasts a moment only for a run as root.
    tips.removeAll("等待授权...");
    EXPECT_EQ(tips.join(" | "), "正在格式化驱动器，请耐心等待... | 正在校验...");
    EXPECT_TRUE(sawRing);
    EXPECT_EQ(result->text(), "macOS引导安装器创建完成");
    EXPECT_EQ(result->informativeText(), "是否打开安装教程，开始安装系统");
    // The finished phase.
    EXPECT_TRUE(c.macOSInfoLabel->text().isEmpty());
    EXPECT_TRUE(c.tipsLabel->text().isEmpty());
    EXPECT_TRUE(c.selectMacOSButton->isEnabled());
    EXPECT_TRUE(c.diskListPopUpButton->isEnabled());
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());
    EXPECT_EQ(c.makeMacOSButton->text(), "开始创建");
    EXPECT_FALSE(c.macOSModel());
    EXPECT_FALSE(c.diskModel());
    ASSERT_TRUE(WindowDriver::clickButton(result, "打开"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !links.opened.isEmpty(); }, 2000));
    EXPECT_FALSE(c.circularProgress->isVisible()) << "the finished ring steps aside for the controls";
    EXPECT_EQ(links.opened.first(), MainViewController::tutorialUrl());
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Mojave");
}

TEST(MainWindow, InstallerChecksByNameAndPlace)
{
    REQUIRE_DRIVES(); // the checks need bundles below /Applications, which only a private mount can give
    ASSERT_TRUE(QDir().mkpath("/Applications"));
    ASSERT_EQ(::mount("tmpfs", "/Applications", "tmpfs", 0, nullptr), 0);
    QDir().mkpath("/Applications Copy");
    ASSERT_EQ(::mount("tmpfs", "/Applications Copy", "tmpfs", 0, nullptr), 0);
    QTemporaryDir desktop;
    LOOP_DRIVE(drive, "USB", 32 * 1024 * 1024);

    struct Case
    {
        QString bundle;
        QString refusal;     // empty: accepted
        QString detail = {}; // how the detail of an application that is no installer begins
    };
    const QString noPlist = desktop.path() + "/No Plist.app";
    QDir().mkpath(noPlist + "/Contents/Resources");
    const std::vector<Case> cases = {
        {makeBundle("/Applications", "Install macOS Mojave"),
         "系统安装文件不能在Applications目录下，您可以将系统安装文件拷贝至桌面"},
        {makeBundle("/Applications Copy", "Install macOS High Sierra"),
         "系统安装文件不能在Applications目录下，您可以将系统安装文件拷贝至桌面"},
        {makeBundle(desktop.path(), "Install OS X El Capitan"), "请将系统安装文件拷贝在Applications目录下"},
        {makeBundle(desktop.path(), "Install macOS Big Sur"), "系统安装文件不可用",
         "“Install macOS Big Sur”不是可以制作启动盘的安装程序。"},
        // Without a display name the bundle is named by its file name, and the detail says what is missing.
        {makeBundle(desktop.path(), "Nameless", "10.14.6", ""), "系统安装文件不可用",
         "“Nameless.app”不是 macOS 安装程序：它的 Contents/Info.plist "
         "中没有显示名称（CFBundleDisplayName）。"},
        {noPlist, "系统安装文件不可用",
         "“No Plist.app”不是 macOS 安装程序：其中没有 Contents/Info.plist 文件。"},
        {makeBundle("/Applications", "Install macOS Sierra"), ""},
        {makeBundle(desktop.path(), "Install macOS Catalina"), ""},
    };
    for (const Case &check : cases) {
        Window w;
        auto &c = w.controller;
        w.chooseDrive("USB");
        w.chooseInstaller(check.bundle);
        const QString name = QFileInfo(check.bundle).completeBaseName();
        if (check.refusal.isEmpty()) {
            EXPECT_EQ(w.driver.openDialog(), nullptr) << name.toStdString();
            EXPECT_TRUE(c.macOSInfoLabel->text().startsWith(name)) << name.toStdString();
            EXPECT_TRUE(c.makeMacOSButton->isEnabled()) << name.toStdString();
            continue;
        }
        QMessageBox *alert = w.alert();
        ASSERT_TRUE(alert) << name.toStdString();
        // Named by its display name, or by its file name when it has none.
        const bool nameless = !check.detail.isEmpty() && !check.detail.startsWith("“" + name + "”");
        EXPECT_EQ(alert->text(), nameless ? QFileInfo(check.bundle).fileName() : name);
        EXPECT_EQ(alert->informativeText(), check.refusal);
        // An application that is no installer at all is told apart, with what to pick instead.
        auto *detail = alert->findChild<QLabel *>("alertDetailLabel");
        if (!check.detail.isEmpty()) {
            ASSERT_TRUE(detail);
            EXPECT_TRUE(detail->isVisible());
            EXPECT_TRUE(detail->text().startsWith(check.detail)) << detail->text().toStdString();
            EXPECT_TRUE(detail->text().contains("Install OS X El Capitan"));
        } else {
            EXPECT_FALSE(detail) << "the refusal's own text says what to do";
        }
        WindowDriver::clickButton(alert, "确定");
        // A refused installer is not chosen: picking the drive again cannot enable the start button.
        EXPECT_TRUE(c.macOSInfoLabel->text().isEmpty());
        c.selectDiskAction();
        EXPECT_FALSE(c.makeMacOSButton->isEnabled()) << name.toStdString();
        EXPECT_FALSE(c.macOSModel());
    }
    ::umount("/Applications Copy");
    ::umount("/Applications");
    // Only empty folders go; on a machine with a real Applications folder rmdir leaves it alone.
    QDir().rmdir("/Applications Copy");
    QDir().rmdir("/Applications");
}

TEST(MainWindow, AConfirmedDriveThatWentAwayIsNotErasedAndTheChoicesStay)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "1M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    auto drive = std::make_unique<LoopDrive>("GONE", 32 * 1024 * 1024);
    ASSERT_TRUE(drive->isValid()) << drive->error().toStdString();
    Window w;
    auto &c = w.controller;
    w.chooseInstaller(installer.path());
    w.chooseDrive("GONE");
    QTest::mouseClick(c.makeMacOSButton, Qt::LeftButton);
    QMessageBox *confirm = w.alert();
    drive.reset(); // the drive goes away while the confirmation is open: nothing is erased
    ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
    QMessageBox *failure = nullptr;
    ASSERT_TRUE(WindowDriver::waitFor(
        [&] { return (failure = qobject_cast<QMessageBox *>(w.driver.openDialog())) != nullptr; }, 30000));
    EXPECT_EQ(failure->text(), "macOS引导安装器创建失败");
    EXPECT_EQ(failure->informativeText(), "找不到驱动器【GONE】，请重新插入后再试。");
    EXPECT_TRUE(c.macOSModel());
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());
    EXPECT_EQ(c.makeMacOSButton->text(), "开始创建");
    EXPECT_TRUE(c.selectMacOSButton->isEnabled());
    WindowDriver::clickButton(failure, "确定");
    // The installer stays chosen; the drive that went is no longer the choice, whenever the list learns it
    // went, and the start button says what is missing.
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return c.diskListPopUpButton->count() == 0 && !c.diskModel() && !c.checkingChoices(); }, 5000));
    EXPECT_TRUE(c.macOSModel());
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());
    EXPECT_EQ(c.startHintLabel->text(), "请先插入并装载一个 U 盘。");
    // Another drive comes: it is listed, but no drive the user never picked is chosen or offered to erase.
    LOOP_DRIVE(other, "OTHER", 32 * 1024 * 1024);
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.diskListPopUpButton->findText("OTHER") >= 0; }, 5000));
    w.settle();
    EXPECT_FALSE(c.diskModel());
    EXPECT_EQ(c.diskListPopUpButton->currentIndex(), -1);
    EXPECT_EQ(c.diskListPopUpButton->placeholderText(), "请选择目标驱动器");
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());
    w.chooseDrive("OTHER");
    EXPECT_TRUE(c.makeMacOSButton->isEnabled());
}

TEST(MainWindow, TheRingShowsOnlyForProgressAboveTheThresholdUpToOne)
{
    Window w;
    auto &c = w.controller;
    struct Case
    {
        double value;
        bool shown;
    };
    const std::vector<Case> cases = {{0.0001, false}, {0.00011, true},      {0.5, true},
                                     {1.0, true},     {1.0000001, false},   {1.7, false},
                                     {-0.3, false},   {std::nan(""), false}};
    for (const Case &check : cases) {
        c.tipsLabel->setText("等待授权...");
        c.jobProgressed(check.value);
        EXPECT_EQ(c.circularProgress->isVisible(), check.shown) << check.value;
        EXPECT_EQ(c.tipsLabel->text().isEmpty(), check.shown) << check.value;
    }
    // The verification after the copy has no share to show: the ring spins and the tips say so.
    c.jobProgressed(0.86);
    c.jobStateChanged(DiskutilState::Verifying);
    EXPECT_EQ(c.tipsLabel->text(), "正在校验...");
    EXPECT_TRUE(c.circularProgress->isVisible());
    EXPECT_TRUE(c.circularProgress->isIndeterminate());
    EXPECT_TRUE(c.circularProgress->progressLabel()->isHidden())
        << "no percentage of the copy while checking";
}

// The placeholder is drawn at build time; the window shows the artwork's own pixels at its size.
TEST(MainWindow, TheFirstFrameShowsTheAddArtwork)
{
    Window w;
    const QPixmap shown = w.controller.addImageView->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.deviceIndependentSize(), QSizeF(112, 112));
    const QImage artwork = VectorImage::image(":/images/add.svg", shown.size());
    EXPECT_EQ(shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
              artwork.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST(MainWindow, AVolumeMountedWhileTheWindowIsOpenAppearsInThePopUp)
{
    REQUIRE_DRIVES();
    Window w;
    EXPECT_EQ(w.controller.diskListPopUpButton->findText("LATE"), -1);
    LOOP_DRIVE(drive, "LATE", 32 * 1024 * 1024);
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return w.controller.diskListPopUpButton->findText("LATE") >= 0; }, 5000));
}

TEST(MainWindow, PopUpItemsPickTheDriveTheyStandFor)
{
    Window w;
    auto &c = w.controller;
    auto unnamed = std::make_shared<DiskModel>();
    unnamed->setVolume("/Volumes/x");
    auto a = std::make_shared<DiskModel>();
    a->setName("A");
    a->setVolume("/Volumes/A");
    auto b = std::make_shared<DiskModel>();
    b->setName("B");
    b->setVolume("/Volumes/B");
    c.jobCompleted({DiskutilResult::Kind::Drives, {unnamed, a, b}, {}});
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.diskListPopUpButton->count() == 2; }, 2000));
    c.diskListPopUpButton->setCurrentIndex(1);
    c.selectDiskAction();
    EXPECT_EQ(c.diskModel(), b) << "the second item is B, whatever stands before it in the list";
    // A new list keeps the chosen drive wherever it now stands; when it has gone the choice moves to the
    // first drive, and an empty list leaves nothing to choose.
    auto b2 = std::make_shared<DiskModel>(*b);
    c.jobCompleted({DiskutilResult::Kind::Drives, {a, unnamed, b2}, {}});
    EXPECT_EQ(c.diskModel(), b2);
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.diskListPopUpButton->count() == 2; }, 2000));
    EXPECT_EQ(c.diskListPopUpButton->currentText(), "B");
    c.jobCompleted({DiskutilResult::Kind::Drives, {a}, {}});
    EXPECT_EQ(c.diskModel(), a);
    c.jobCompleted({DiskutilResult::Kind::Drives, {}, {}});
    testsupport::spin(50);
    EXPECT_EQ(c.diskListPopUpButton->count(), 0);
    EXPECT_FALSE(c.diskModel());
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());
}
