#include "ToolRun.h"
#include "support/DriveSetup.h"
#include "support/FakePkexec.h"
#include "support/LoopDrive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::FakePkexec;
using testsupport::LoopDrive;

namespace {

// Drives mounted the way a desktop mounts them, below /media/<user>, on a tmpfs of the test's own mount
// namespace: nothing of it reaches the host.
class MountAndEject : public ::testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_DRIVES();
        if (!QFileInfo("/media").isDir())
            GTEST_SKIP() << "this system has no /media folder to mount a private one over";
        ASSERT_EQ(::mount("bootdrive-test", "/media", "tmpfs", 0, "mode=0755"), 0);
        m_media = true;
    }
    void TearDown() override
    {
        if (m_media)
            ::umount2("/media", MNT_DETACH);
    }

    static bool mountElsewhere(const LoopDrive &drive, const QString &path)
    {
        return QDir().mkpath(path) && ::mount(QFile::encodeName(drive.device()).constData(),
                                              QFile::encodeName(path).constData(), "ext4", 0, nullptr) == 0;
    }

    static ToolRun diskutil(const QStringList &arguments,
                            const QProcessEnvironment &environment = ToolRun::environment())
    {
        return ToolRun::run(ToolRun::tool("diskutil"), arguments, environment);
    }

    static QString startupDevice() { return QString::fromUtf8(QStorageInfo::root().device()); }

private:
    bool m_media = false;
};

} // namespace

// A stick the desktop mounted below /media comes to /Volumes under its label, with its data, and leaves no
// folder behind; one that is not mounted is mounted there; a name that is taken gets the next number. What
// cannot be mounted, or must not be, is refused with one "Error:" line and changes nothing.
TEST_F(MountAndEject, MountBringsAVolumeBelowVolumesFromWhereverItIs)
{
    LOOP_DRIVE(stick, "My Stick", 64 * 1024 * 1024, false);
    ASSERT_TRUE(mountElsewhere(stick, "/media/tester/My Stick"));
    ASSERT_TRUE(writeText("/media/tester/My Stick/notes.txt", "kept"));

    const ToolRun moved = diskutil({"mount", stick.device()});
    EXPECT_EQ(moved.exitCode, 0) << moved.output.toStdString();
    EXPECT_FALSE(moved.says("Error")) << moved.output.toStdString();
    const QString name = QFileInfo(stick.device()).fileName();
    EXPECT_TRUE(moved.says("Unmounting " + name + " from /media/tester/My Stick"))
        << moved.output.toStdString();
    EXPECT_TRUE(moved.says("Volume My Stick on " + name + " (ext4) mounted at /Volumes/My Stick"))
        << moved.output.toStdString();
    EXPECT_EQ(stick.mountPoints(), QStringList{"/Volumes/My Stick"});
    EXPECT_EQ(readText("/Volumes/My Stick/notes.txt"), "kept");
    EXPECT_FALSE(QFileInfo::exists("/media/tester/My Stick")) << "the desktop's emptied folder stays behind";

    // Already there: said so, nothing asked for.
    const ToolRun again = diskutil({"mount", stick.device()});
    EXPECT_EQ(again.exitCode, 0) << again.output.toStdString();
    EXPECT_TRUE(again.says("already mounted at /Volumes/My Stick")) << again.output.toStdString();

    // Not mounted at all, under a label another volume has: the next number.
    LOOP_DRIVE(twin, "My Stick", 64 * 1024 * 1024, false);
    const ToolRun fresh = diskutil({"mount", twin.device()});
    EXPECT_EQ(fresh.exitCode, 0) << fresh.output.toStdString();
    EXPECT_EQ(twin.mountPoints(), QStringList{"/Volumes/My Stick 1"});
    EXPECT_EQ(stick.mountPoints(), QStringList{"/Volumes/My Stick"});

    // A device without a file system, something that is no block device, and the start-up disk.
    LOOP_DRIVE(blank, "Blank", 16 * 1024 * 1024, false);
    {
        QFile device(blank.device());
        ASSERT_TRUE(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        ASSERT_EQ(device.write(QByteArray(2 * 1024 * 1024, '\0')), 2 * 1024 * 1024);
    }
    QList<QPair<QString, QString>> refused = {
        {blank.device(), "no file system was found"},
        {"/tmp", "is not a block device"},
        {"/dev/null", "is not a block device"},
        {"/dev/nowhere", "cannot find"},
    };
    if (startupDevice().startsWith("/dev/"))
        refused.append({startupDevice(), "start-up disk"});
    for (const auto &[device, reason] : refused) {
        const ToolRun run = diskutil({"mount", device});
        EXPECT_EQ(run.exitCode, 1) << device.toStdString();
        EXPECT_EQ(run.errorLines().size(), 1) << run.output.toStdString();
        EXPECT_TRUE(run.errorLines().value(0).contains(reason)) << run.output.toStdString();
    }
    EXPECT_TRUE(blank.mountPoints().isEmpty());
    EXPECT_FALSE(QFileInfo::exists("/Volumes/Blank") || QFileInfo::exists("/Volumes/Untitled"))
        << "no mount point was left behind";
}

// A drive keeps on itself the full name its ext4 label cannot hold, and "mount" names it so, from where a
// desktop mounted it or fresh. What is kept there is read as anything on a drive is read: a name its label
// does not begin, one longer than a name can be, and a link or a FIFO in its place are passed over, and "/"
// and control characters become "_".
TEST_F(MountAndEject, MountNamesADriveByTheFullNameKeptOnIt)
{
    LOOP_DRIVE(drive, "Install macOS Mo", 64 * 1024 * 1024, false);
    const QString top = "/media/tester/Install macOS Mo";
    const QString kept = top + "/.BootDrive/name";
    const QList<QPair<std::function<bool()>, QString>> cases = {
        {[&] { return writeText(kept, "Install macOS Mojave"); }, "Install macOS Mojave"},
        {[&] { return writeText(kept, "Install macOS Mo/jave\x01\n"); }, "Install macOS Mo_jave__"},
        {[&] { return writeText(kept, "Another Drive"); }, "Install macOS Mo"},
        {[&] { return writeText(kept, "Install macOS Mo" + QByteArray(300, 'x')); }, "Install macOS Mo"},
        {[&] { return writeText(top + "/real", "Install macOS Mojave") && QFile::link("../real", kept); },
         "Install macOS Mo"},
        {[&] { return ::mkfifo(QFile::encodeName(kept).constData(), 0644) == 0; }, "Install macOS Mo"},
    };
    for (qsizetype i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(mountElsewhere(drive, top));
        QFile::remove(kept);
        ASSERT_TRUE(QDir().mkpath(top + "/.BootDrive") && cases[i].first());
        // The first from where the desktop has it, the others not mounted.
        if (i > 0) {
            ASSERT_TRUE(drive.unmountAll());
        }
        const ToolRun run = diskutil({"mount", drive.device()});
        EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
        EXPECT_EQ(drive.mountPoints(), QStringList{"/Volumes/" + cases[i].second});
        ASSERT_TRUE(drive.unmountAll());
    }
}

// A volume the user still has open below /media stays there, as it was, and is not mounted below /Volumes.
TEST_F(MountAndEject, MountLeavesAVolumeThatIsInUseWhereItIs)
{
    LOOP_DRIVE(busy, "Busy", 64 * 1024 * 1024, false);
    ASSERT_TRUE(mountElsewhere(busy, "/media/tester/Busy"));
    const int held = ::open("/media/tester/Busy/open.txt", O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(held, 0);
    const ToolRun run = diskutil({"mount", busy.device()});
    ::close(held);
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.errorLines().size(), 1) << run.output.toStdString();
    EXPECT_TRUE(run.errorLines().first().contains("could not unmount \"/media/tester/Busy\""))
        << run.output.toStdString();
    EXPECT_EQ(busy.mountPoints(), QStringList{"/media/tester/Busy"});
    EXPECT_TRUE(QFile::exists("/media/tester/Busy/open.txt"));
    EXPECT_FALSE(QFileInfo::exists("/Volumes/Busy"));
}

// Eject takes every volume of the drive off /Volumes, removes their folders and then says the drive can be
// removed; a drive with a volume elsewhere, the start-up disk, or one in use is left as it was.
TEST_F(MountAndEject, EjectUnmountsTheWholeDriveAndSaysWhenItCanBeRemoved)
{
    LOOP_DRIVE(drive, "Ejectable", 64 * 1024 * 1024);
    ASSERT_TRUE(drive.mountAt("/Volumes/Also Here"));
    ASSERT_TRUE(writeText("/Volumes/Ejectable/data", "written"));

    // In use: everything is put back.
    const int held = ::open("/Volumes/Ejectable/data", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    const ToolRun busy = diskutil({"eject", "/Volumes/Also Here"});
    ::close(held);
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_TRUE(busy.errorLines().value(0).contains("was not ejected")) << busy.output.toStdString();
    EXPECT_EQ(drive.mountPoints(), (QStringList{"/Volumes/Ejectable", "/Volumes/Also Here"}));

    const ToolRun run = diskutil({"eject", "/Volumes/Also Here"});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_FALSE(run.says("Error")) << run.output.toStdString();
    EXPECT_TRUE(run.output.endsWith("Disk " + QFileInfo(drive.device()).fileName() +
                                    " ejected; it can be removed now\n"))
        << run.output.toStdString();
    EXPECT_TRUE(run.says("Unmounting /Volumes/Ejectable") && run.says("Unmounting /Volumes/Also Here"));
    EXPECT_TRUE(drive.mountPoints().isEmpty());
    EXPECT_FALSE(QFileInfo::exists("/Volumes/Ejectable"));
    EXPECT_FALSE(QFileInfo::exists("/Volumes/Also Here"));
    ASSERT_TRUE(drive.mountAt("/Volumes/Ejectable"));
    EXPECT_EQ(readText("/Volumes/Ejectable/data"), "written") << "the data reached the disk";

    // Also mounted outside /Volumes: refused, by mount point or by device.
    ASSERT_TRUE(mountElsewhere(drive, "/media/tester/Ejectable"));
    QList<QPair<QString, QString>> refused = {
        {"/Volumes/Ejectable", "outside /Volumes"},
        {drive.device(), "outside /Volumes"},
        {"/media/tester/Ejectable", "only volumes mounted below /Volumes can be ejected"},
        {"/Volumes", "only volumes mounted below /Volumes"},
    };
    if (startupDevice().startsWith("/dev/"))
        refused.append({startupDevice(), "start-up disk"});
    for (const auto &[argument, reason] : refused) {
        const ToolRun refusal = diskutil({"eject", argument});
        EXPECT_EQ(refusal.exitCode, 1) << argument.toStdString();
        EXPECT_TRUE(refusal.errorLines().value(0).contains(reason)) << refusal.output.toStdString();
    }
    EXPECT_EQ(drive.mountPoints(), (QStringList{"/Volumes/Ejectable", "/media/tester/Ejectable"}));
}

// Both need administrator rights as the erase does: without them the tool asks pkexec to run it again,
// and the answer decides.
TEST_F(MountAndEject, MountAndEjectAskForAdministratorRights)
{
    LOOP_DRIVE(drive, "Rights", 64 * 1024 * 1024, false);
    FakePkexec fake(FakePkexec::Mode::Deny);
    ASSERT_TRUE(fake.isValid());
    auto environment = ToolRun::environment();
    environment.insert("PATH", fake.pathWithFakeFirst());
    environment.insert("BOOTDRIVE_DISKUTIL_ASSUME_USER", "1");

    const ToolRun denied = diskutil({"mount", drive.device()}, environment);
    EXPECT_EQ(denied.exitCode, 1);
    EXPECT_TRUE(denied.errorLines().value(0).contains("not authorized to mount volumes; nothing was mounted"))
        << denied.output.toStdString();
    EXPECT_TRUE(drive.mountPoints().isEmpty());

    fake.setMode(FakePkexec::Mode::Allow);
    const ToolRun mounted = diskutil({"mount", drive.device()}, environment);
    EXPECT_EQ(mounted.exitCode, 0) << mounted.output.toStdString();
    EXPECT_EQ(drive.mountPoints(), QStringList{"/Volumes/Rights"});

    fake.setMode(FakePkexec::Mode::Dismiss);
    const ToolRun dismissed = diskutil({"eject", "/Volumes/Rights"}, environment);
    EXPECT_EQ(dismissed.exitCode, 1);
    EXPECT_TRUE(dismissed.errorLines().value(0).contains("dismissed; the drive was not ejected"))
        << dismissed.output.toStdString();
    EXPECT_EQ(drive.mountPoints(), QStringList{"/Volumes/Rights"});

    fake.setMode(FakePkexec::Mode::Allow);
    const ToolRun ejected = diskutil({"eject", "/Volumes/Rights"}, environment);
    EXPECT_EQ(ejected.exitCode, 0) << ejected.output.toStdString();
    EXPECT_TRUE(drive.mountPoints().isEmpty());
    const QList<FakePkexec::Call> calls = fake.calls();
    ASSERT_EQ(calls.size(), 4);
    EXPECT_EQ(calls.last().arguments.mid(1, 1), QStringList{"--parent"});
    EXPECT_EQ(calls.last().arguments.mid(3), (QStringList{"eject", "/Volumes/Rights"}));
}
