// The drive that is erased is the one the user confirmed, and a job that cannot succeed erases nothing.

#include "WindowFixture.h"
#include "support/DriveSetup.h"
#include "support/FifoTrap.h"
#include "support/GuiWatchdog.h"
#include "support/SampleInstaller.h"
#include "support/ToolsOnPath.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::LoopDrive;
using testsupport::SampleInstaller;
using testsupport::ToolsOnPath;

namespace {

bool writeMarker(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("keep") == 4;
}

bool hasMarker(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == "keep";
}

} // namespace

TEST(DriveSafety, TheConfirmedDriveIsTheOneErased)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "1M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    {
        // Something is mounted elsewhere while the confirmation names B: the list is refilled, B stays
        // chosen, and B is what is erased.
        LoopDrive a("A", 32 * 1024 * 1024), b("B", 32 * 1024 * 1024);
        ASSERT_TRUE(a.isValid() && b.isValid()) << a.error().toStdString() << b.error().toStdString();
        ASSERT_TRUE(writeMarker("/Volumes/A/marker") && writeMarker("/Volumes/B/marker"));
        Window w;
        QMessageBox *confirm = w.openConfirmation(installer.path(), "B");
        ASSERT_TRUE(confirm);
        ASSERT_TRUE(confirm->informativeText().startsWith("【B】"));
        QTemporaryDir elsewhere;
        ASSERT_EQ(::mount("tmpfs", QFile::encodeName(elsewhere.path()).constData(), "tmpfs", 0, nullptr), 0);
        testsupport::spin(500);
        EXPECT_EQ(w.controller.diskModel()->name(), "B");
        ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
        QMessageBox *result = w.anyAlert(120000);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->text(), "macOS引导安装器创建完成") << result->informativeText().toStdString();
        EXPECT_TRUE(hasMarker("/Volumes/A/marker"));
        EXPECT_EQ(b.mountPoint(), "/Volumes/Install macOS Mojave");
        ::umount(QFile::encodeName(elsewhere.path()).constData());
    }
    {
        // The confirmed drive goes away while the confirmation is open: the choice moves on in the pop-up,
        // but nothing is erased.
        LoopDrive a("A", 32 * 1024 * 1024);
        auto b = std::make_unique<LoopDrive>("B", 32 * 1024 * 1024);
        ASSERT_TRUE(a.isValid() && b->isValid());
        ASSERT_TRUE(writeMarker("/Volumes/A/marker"));
        Window w;
        QMessageBox *confirm = w.openConfirmation(installer.path(), "B");
        ASSERT_TRUE(confirm);
        b->unmountAll();
        ASSERT_TRUE(testsupport::waitUntil([&] { return w.controller.diskListPopUpButton->count() == 1; }));
        ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
        QMessageBox *result = w.anyAlert(30000);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->text(), "macOS引导安装器创建失败");
        EXPECT_EQ(result->informativeText(), "找不到驱动器【B】，请重新插入后再试。");
        EXPECT_TRUE(hasMarker("/Volumes/A/marker"));
        EXPECT_EQ(a.mountPoint(), "/Volumes/A");
    }
}

TEST(DriveSafety, ThePopUpFollowsMountsAndUnmounts)
{
    REQUIRE_DRIVES();
    LoopDrive one("ONE", 32 * 1024 * 1024), two("TWO", 32 * 1024 * 1024);
    ASSERT_TRUE(one.isValid() && two.isValid());
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "1M");
    Window w;
    auto &c = w.controller;
    QComboBox *popUp = c.diskListPopUpButton;
    w.chooseInstaller(installer.path());
    w.chooseDrive("TWO");
    two.unmountAll();
    ASSERT_TRUE(testsupport::waitUntil([&] { return popUp->count() == 1 && popUp->itemText(0) == "ONE"; }));
    EXPECT_EQ(c.diskModel()->name(), "ONE") << "the choice moves only when the chosen drive has gone";
    one.unmountAll();
    ASSERT_TRUE(testsupport::waitUntil([&] { return popUp->count() == 0; }));
    EXPECT_FALSE(c.diskModel());
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());

    // Many changes in a row end with the list the system has.
    constexpr int count = 100;
    for (int i = 0; i < count; ++i) {
        const QByteArray point = "/Volumes/T" + QByteArray::number(i);
        ASSERT_EQ(::mkdir(point.constData(), 0755), 0);
        ASSERT_EQ(::mount("tmpfs", point.constData(), "tmpfs", 0, nullptr), 0);
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return popUp->count() == count; }, 20000)) << popUp->count();
    for (int i = 0; i < count; ++i) {
        const QByteArray point = "/Volumes/T" + QByteArray::number(i);
        ASSERT_EQ(::umount(point.constData()), 0);
        ::rmdir(point.constData());
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return popUp->count() == 0; }, 20000)) << popUp->count();
}

TEST(DriveSafety, EveryRefusalBeforeTheEraseLeavesTheDriveAsItWas)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    const QString cannotRun = "该安装文件的制作工具无法在本机运行，驱动器未被改动。";
    struct Case
    {
        const char *what;
        QString size;
        std::function<QString(const SampleInstaller &)> prepare; // gives the bundle to pick
        QString refusal;                                         // a prefix of the informative text
    };
    auto writeTool = [](const SampleInstaller &installer, const QByteArray &content) {
        QFile tool(installer.toolPath());
        tool.open(QIODevice::WriteOnly | QIODevice::Truncate);
        tool.write(content);
        tool.close();
        tool.setPermissions(tool.permissions() | QFile::ExeOwner | QFile::ExeOther);
        return installer.path();
    };
    const std::vector<Case> cases = {
        {"installer on the drive", "1M",
         [](const SampleInstaller &installer) {
             const QString copy = "/Volumes/USB/" + installer.name() + ".app";
             QProcess::execute("cp", {"-a", installer.path(), copy});
             return copy;
         },
         "安装文件位于将被格式化的驱动器上，请先将其拷贝到其他位置。"},
        {"tool missing", "1M",
         [](const SampleInstaller &installer) {
             QFile::remove(installer.toolPath());
             return installer.path();
         },
         cannotRun},
        {"a Mac's program", "1M",
         [&](const SampleInstaller &installer) {
             return writeTool(installer,
                              QByteArray("\xcf\xfa\xed\xfe\x07\x00\x00\x01", 8) + QByteArray(4096, 0));
         },
         cannotRun},
        {"missing interpreter", "1M",
         [&](const SampleInstaller &installer) {
             return writeTool(installer, "#!/nonexistent/sh\nexit 0\n");
         },
         cannotRun},
        {"drive too small", "40M", [](const SampleInstaller &installer) { return installer.path(); },
         "驱动器容量不足：需要 "},
    };
    for (const Case &refused : cases) {
        SCOPED_TRACE(refused.what);
        LOOP_DRIVE(drive, "USB", 32 * 1024 * 1024);
        ASSERT_TRUE(writeMarker("/Volumes/USB/marker"));
        SampleInstaller installer("Install macOS Mojave", "10.14.6", refused.size);
        ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
        Window w;
        auto &c = w.controller;
        // The checks run as soon as both are chosen: the start button stays off and says why, and no
        // confirmation is ever offered for a run that cannot go ahead.
        EXPECT_EQ(w.openConfirmation(refused.prepare(installer), "USB"), nullptr);
        EXPECT_FALSE(c.makeMacOSButton->isEnabled());
        EXPECT_TRUE(c.startHintLabel->text().startsWith(refused.refusal))
            << c.startHintLabel->text().toStdString();
        QTest::mouseClick(c.makeMacOSButton, Qt::LeftButton);
        testsupport::spin(100);
        EXPECT_EQ(w.driver.openDialog(), nullptr);
        EXPECT_TRUE(hasMarker("/Volumes/USB/marker"));
        EXPECT_EQ(drive.mountPoint(), "/Volumes/USB");
        EXPECT_TRUE(c.selectMacOSButton->isEnabled());
        if (QString(refused.what) == "drive too small") {
            EXPECT_TRUE(c.startHintLabel->text().endsWith("，该驱动器只有 32.00 MB。"))
                << c.startHintLabel->text().toStdString();
        }
    }
}

TEST(DriveSafety, AFailedCreationSaysWhy)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    LoopDrive drive("USB", 32 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid());
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "1M");
    QFile tool(installer.toolPath());
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly | QIODevice::Truncate));
    tool.write("#!/bin/sh\necho 'Copying to disk: 0%...'\necho 'Error: the disk could not be made "
               "bootable'\nexit 1\n");
    tool.close();
    Window w;
    QMessageBox *confirm = w.openConfirmation(installer.path(), "USB");
    ASSERT_TRUE(confirm);
    ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
    QMessageBox *result = w.anyAlert(60000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text(), "macOS引导安装器创建失败");
    // The cause, then what it means for the drive, which was erased: one sentence each, the drive named as
    // the user confirmed it rather than by the name the erase gave it.
    const QStringList lines = result->informativeText().split('\n');
    ASSERT_EQ(lines.size(), 2) << result->informativeText().toStdString();
    EXPECT_EQ(lines[0], "制作工具报告错误：“the disk could not be made bootable”。");
    EXPECT_EQ(lines[1], "驱动器【USB（" + drive.device() + "）】上的安装器不完整，需要重新创建。");
}

// Files on drives and in bundles that are FIFOs, or links to an endless device, where the window reads icons
// and property lists: at start, when the drive mounts, in the picker.
TEST(DriveSafety, HostileFilesNeverBlockTheWindow)
{
    REQUIRE_DRIVES();
    LoopDrive drive("FIFO", 32 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid());
    ASSERT_EQ(::mkfifo("/Volumes/FIFO/.VolumeIcon.icns", 0644), 0);
    testsupport::GuiWatchdog watchdog;
    Window w;
    EXPECT_TRUE(
        testsupport::waitUntil([&] { return w.controller.diskListPopUpButton->findText("FIFO") >= 0; }));
    drive.unmountAll();
    ASSERT_TRUE(drive.mountAt(QStringLiteral("/Volumes/FIFO")));
    testsupport::spin(300);
    EXPECT_LT(watchdog.longestStallMs(), 1000);

    QTemporaryDir desktop;
    struct Case
    {
        const char *file;
        bool fifo; // else a link to /dev/zero
        bool usable;
    };
    for (const Case &hostile : {Case{"Info.plist", true, false}, Case{"Info.plist", false, false},
                                Case{"Resources/Icon.icns", true, true}}) {
        SCOPED_TRACE(std::string(hostile.file) + (hostile.fifo ? " FIFO" : " link to /dev/zero"));
        const QString bundle = makeBundle(desktop.path(), "Install macOS Mojave");
        QFile plist(bundle + "/Contents/Info.plist");
        ASSERT_TRUE(plist.open(QIODevice::ReadWrite));
        QByteArray text =
            plist.readAll().replace("</dict>", "<key>CFBundleIconFile</key><string>Icon</string></dict>");
        plist.resize(0);
        plist.write(text);
        plist.close();
        const QByteArray path = QFile::encodeName(bundle + "/Contents/" + hostile.file);
        ::unlink(path.constData());
        ASSERT_EQ(hostile.fifo ? ::mkfifo(path.constData(), 0644) : ::symlink("/dev/zero", path.constData()),
                  0);
        watchdog.reset();
        w.chooseInstaller(bundle);
        if (!hostile.usable) {
            QMessageBox *alert = w.alert();
            ASSERT_TRUE(alert);
            EXPECT_EQ(alert->informativeText(), "系统安装文件不可用");
            WindowDriver::clickButton(alert, "确定");
        } else {
            EXPECT_EQ(w.controller.macOSInfoLabel->text(), "Install macOS Mojave 10.14.6");
        }
        testsupport::spin(100);
        EXPECT_LT(watchdog.longestStallMs(), 1000);
        QDir(bundle).removeRecursively();
    }
}

// Markup in a drive's or a bundle's name is shown as the characters it is: read as markup, it would make the
// window load the image it names, which for a FIFO freezes the window for good.
TEST(DriveSafety, NamesFromDrivesAndBundlesAreNeverMarkup)
{
    REQUIRE_DRIVES();
    testsupport::FifoTrap trap;
    ASSERT_TRUE(trap.isValid());
    testsupport::GuiWatchdog watchdog;
    // A mount folder's name holds no slash, so the drive's markup leaves its tags open.
    const QString driveName = R"(<img src="FIFO"><b>x)";
    LoopDrive drive("X", 32 * 1024 * 1024, false);
    ASSERT_TRUE(drive.isValid() && drive.mountAt("/Volumes/" + driveName)) << drive.error().toStdString();
    QTemporaryDir desktop;
    const QString installer = makeBundle(desktop.path(), "Install macOS Mojave");
    Window w;
    auto &c = w.controller;
    w.chooseInstaller(installer);
    w.chooseDrive(driveName);
    EXPECT_TRUE(trap.markupShownIn(&c).isEmpty()) << trap.markupShownIn(&c).join(" | ").toStdString();
    QTest::mouseClick(c.makeMacOSButton, Qt::LeftButton);
    QMessageBox *confirm = w.alert();
    ASSERT_TRUE(confirm);
    EXPECT_TRUE(confirm->informativeText().startsWith("【" + driveName + "】"));
    EXPECT_TRUE(trap.markupShownIn(confirm).isEmpty())
        << trap.markupShownIn(confirm).join(" | ").toStdString();
    ASSERT_TRUE(WindowDriver::clickButton(confirm, "取消"));

    const QString bundleName = R"(<img src="FIFO"><b>x</b>)";
    w.chooseInstaller(makeBundle(desktop.path(), "Hostile", "10.14.6", bundleName));
    QMessageBox *refusal = w.alert();
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text(), bundleName);
    EXPECT_TRUE(trap.markupShownIn(refusal).isEmpty())
        << trap.markupShownIn(refusal).join(" | ").toStdString();
    testsupport::spin(200);
    EXPECT_FALSE(trap.wasOpened());
    EXPECT_LT(watchdog.longestStallMs(), 1000);
}

TEST(DriveSafety, ThirtyPlainRunsInARowAllSucceed)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    // The mount monitor makes the window refresh its list while the tools erase and remount the drive.
    LoopDrive drive("USB", 32 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid());
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "1M");
    ASSERT_TRUE(installer.isValid());
    Window w;
    for (int run = 0; run < 30; ++run) {
        SCOPED_TRACE(run);
        QMessageBox *confirm = w.openConfirmation(installer.path(), QFileInfo(drive.mountPoint()).fileName());
        ASSERT_TRUE(confirm);
        ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
        QMessageBox *result = w.anyAlert(120000);
        ASSERT_TRUE(result);
        ASSERT_EQ(result->text(), "macOS引导安装器创建完成") << result->informativeText().toStdString();
        ASSERT_TRUE(WindowDriver::clickButton(result, "暂不安装"));
        testsupport::spin(50);
    }
}

// Through a run with another drive plugged in, listed first: the drive box shows the drive being written,
// under each name the tools give it, and never the other drive; after the success no drive is chosen, so
// the start button cannot offer to erase the other one.
TEST(DriveSafety, TheChoiceFollowsTheDriveBeingWritten)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    LoopDrive other("AAA", 64 * 1024 * 1024);
    LoopDrive drive("USB", 64 * 1024 * 1024);
    ASSERT_TRUE(other.isValid() && drive.isValid())
        << other.error().toStdString() << drive.error().toStdString();
    ASSERT_TRUE(writeMarker("/Volumes/AAA/marker"));
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "8M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    Window w;
    auto &c = w.controller;
    QMessageBox *confirm = w.openConfirmation(installer.path(), "USB");
    ASSERT_TRUE(confirm);
    QStringList shown;
    std::set<dev_t> chosen;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (c.diskModel())
            chosen.insert(c.diskModel()->deviceNumber());
        if (shown.isEmpty() || shown.last() != c.diskListPopUpButton->currentText())
            shown << c.diskListPopUpButton->currentText();
    });
    sampler.start(10);
    ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
    QMessageBox *result = w.anyAlert(120000);
    sampler.stop();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text(), "macOS引导安装器创建完成") << result->informativeText().toStdString();
    EXPECT_EQ(chosen, std::set<dev_t>{drive.deviceNumber()}) << "only the drive being written was chosen";
    EXPECT_FALSE(shown.contains("AAA")) << shown.join(", ").toStdString();
    EXPECT_TRUE(shown.contains("Install macOS Mojave"))
        << "its new name shows: " << shown.join(", ").toStdString();

    EXPECT_TRUE(testsupport::waitUntil([&] { return c.diskListPopUpButton->currentIndex() == -1; }, 3000))
        << "no drive shows as chosen after the success, not "
        << c.diskListPopUpButton->currentText().toStdString();
    EXPECT_FALSE(c.diskModel());
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());
    EXPECT_TRUE(hasMarker("/Volumes/AAA/marker"));
    EXPECT_EQ(other.mountPoints(), QStringList{"/Volumes/AAA"});
}
