#include "ToolRun.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"
#include "support/FakePkexec.h"
#include "support/LoopDrive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using testsupport::FakePkexec;
using testsupport::LoopDrive;

namespace {

// Whether the process has left this mount namespace (unshare has done its work and started its program).
bool inOtherNamespace(qint64 pid)
{
    return testsupport::waitUntil(
        [pid] {
            const QString theirs = QFile::symLinkTarget(QStringLiteral("/proc/%1/ns/mnt").arg(pid));
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            return !theirs.isEmpty() && theirs != QFile::symLinkTarget("/proc/self/ns/mnt") &&
                   comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "sleep";
        },
        10000);
}

class DiskutilOnDrive : public ::testing::Test
{
protected:
    void SetUp() override { REQUIRE_DRIVES(); }

    static ToolRun erase(const QString &name, const QString &mountPoint, const QString &format = "HFS+",
                         const QProcessEnvironment &environment = ToolRun::environment())
    {
        return ToolRun::run(ToolRun::tool("diskutil"), {"eraseVolume", format, name, mountPoint},
                            environment);
    }

    static bool hasHfsPlusTools() { return !QStandardPaths::findExecutable("mkfs.hfsplus").isEmpty(); }

    static QString label(const LoopDrive &drive)
    {
        QProcess e2label;
        e2label.start("e2label", {drive.device()});
        e2label.waitForFinished();
        return QString::fromUtf8(e2label.readAllStandardOutput()).trimmed();
    }
};

} // namespace

TEST_F(DiskutilOnDrive, ErasesAndRenamesTheVolume)
{
    LOOP_DRIVE(drive, "Old Disk 2");
    ASSERT_TRUE(writeText("/Volumes/Old Disk 2/notes.txt", "old data"));

    const ToolRun run = erase("QRTABCDEFGH", "/Volumes/Old Disk 2");
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_FALSE(run.says("Error")) << run.output.toStdString();
    EXPECT_TRUE(run.says("Started erase on " + QFileInfo(drive.device()).fileName()))
        << run.output.toStdString();
    EXPECT_TRUE(run.says("Finished erase")) << run.output.toStdString();
    if (!hasHfsPlusTools()) {
        EXPECT_TRUE(run.says("Note: HFS+ is not available")) << run.output.toStdString();
        EXPECT_EQ(drive.fileSystemType(), "ext4");
        EXPECT_EQ(label(drive), "QRTABCDEFGH");
    }
    EXPECT_EQ(drive.mountPoints(), QStringList{"/Volumes/QRTABCDEFGH"});
    EXPECT_FALSE(QFile::exists("/Volumes/QRTABCDEFGH/notes.txt"));
    EXPECT_FALSE(QFileInfo::exists("/Volumes/Old Disk 2")) << "the empty old mount point is removed";

    // A long name is the mount point as given; only the file system label is cut to what ext4 holds.
    const QString longName = "Install macOS High Sierra";
    const ToolRun again = erase(longName, "/Volumes/QRTABCDEFGH", "JHFS+");
    EXPECT_EQ(again.exitCode, 0) << again.output.toStdString();
    EXPECT_EQ(drive.mountPoint(), "/Volumes/" + longName);
    if (!hasHfsPlusTools()) {
        EXPECT_EQ(label(drive), longName.left(16));
    }
}

TEST_F(DiskutilOnDrive, RefusesEverythingOutsideVolumesAndKeepsTheDriveIntact)
{
    LOOP_DRIVE(drive, "Keep Me");
    ASSERT_TRUE(writeText("/Volumes/Keep Me/data", "precious"));
    QTemporaryDir outside;
    ASSERT_TRUE(QFile::link(outside.path(), "/Volumes/Sneaky"));
    ASSERT_TRUE(QDir().mkpath("/Volumes/Not Mounted"));

    const QList<QPair<QStringList, QString>> refused = {
        {{"QRTAAAAAAAA", "/tmp"}, "only volumes mounted below /Volumes"},
        {{"QRTAAAAAAAA", "/"}, "start-up volume"},
        {{"QRTAAAAAAAA", "/Volumes/Keep Me/../../tmp"}, "only volumes mounted below /Volumes"},
        {{"QRTAAAAAAAA", "/Volumes/Sneaky"}, "only volumes mounted below /Volumes"},
        {{"QRTAAAAAAAA", "/Volumes"}, "only volumes mounted below /Volumes"},
        {{"QRTAAAAAAAA", "/Volumes/Not Mounted"}, "no volume is mounted"},
        {{"QRTAAAAAAAA", "/Volumes/Nowhere"}, "cannot find a volume"},
        {{"", "/Volumes/Keep Me"}, "invalid volume name"},
        {{"..", "/Volumes/Keep Me"}, "invalid volume name"},
        {{"a/b", "/Volumes/Keep Me"}, "invalid volume name"},
        {{"line\nbreak", "/Volumes/Keep Me"}, "invalid volume name"},
        {{QString(256, 'x'), "/Volumes/Keep Me"}, "too long"},
    };
    for (const auto &[arguments, reason] : refused) {
        const ToolRun run = erase(arguments[0], arguments[1]);
        EXPECT_NE(run.exitCode, 0) << arguments.join(' ').toStdString();
        ASSERT_FALSE(run.errorLines().isEmpty()) << run.output.toStdString();
        EXPECT_TRUE(run.errorLines().first().contains(reason)) << run.output.toStdString();
    }
    // The confirmed drive is named by its device; a volume of another device at the path is not erased.
    QProcessEnvironment elsewhere = ToolRun::environment();
    elsewhere.insert("BOOTDRIVE_ERASE_DEVICE", "1:99");
    const ToolRun other = erase("QRTAAAAAAAA", "/Volumes/Keep Me", "HFS+", elsewhere);
    EXPECT_NE(other.exitCode, 0);
    EXPECT_TRUE(other.errorLines().value(0).contains("now on another disk")) << other.output.toStdString();
    // Only the one verb and its exact form.
    for (const QStringList &arguments : QList<QStringList>{
             {},
             {"eraseDisk", "HFS+", "X", "/Volumes/Keep Me"},
             {"eraseVolume", "HFS+", "X"},
             {"eraseVolume", "HFS+", "X", "/Volumes/Keep Me", "extra"},
             {"eraseVolume", "APFS", "X", "/Volumes/Keep Me"},
         }) {
        const ToolRun run = ToolRun::run(ToolRun::tool("diskutil"), arguments);
        EXPECT_NE(run.exitCode, 0) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.output.startsWith("Error: ")) << run.output.toStdString();
        EXPECT_TRUE(run.says("Usage:")) << run.output.toStdString();
    }
    EXPECT_EQ(drive.mountPoints(), QStringList{"/Volumes/Keep Me"});
    QFile data("/Volumes/Keep Me/data");
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    EXPECT_EQ(data.readAll(), "precious");
    QFile::remove("/Volumes/Sneaky");
}

TEST_F(DiskutilOnDrive, RefusesTheStartUpDiskAndGivesATakenNameAMountPointOfItsOwn)
{
    // The start-up file system seen again below /Volumes.
    ASSERT_TRUE(QDir().mkpath("/Volumes/Startup"));
    ASSERT_EQ(mount("/", "/Volumes/Startup", nullptr, MS_BIND, nullptr), 0);
    const ToolRun startup = erase("QRTBBBBBBBB", "/Volumes/Startup");
    EXPECT_NE(startup.exitCode, 0);
    EXPECT_FALSE(startup.errorLines().isEmpty()) << startup.output.toStdString();
    EXPECT_TRUE(QFileInfo("/Volumes/Startup/proc").isDir()) << "still mounted";
    umount2("/Volumes/Startup", MNT_DETACH);

    // A name another volume has, a folder, a link or a file has: the new volume gets the next number, and
    // what was there stays as it was.
    LoopDrive first("First");
    LoopDrive second("Second");
    ASSERT_TRUE(first.isValid() && second.isValid())
        << first.error().toStdString() << second.error().toStdString();
    ASSERT_TRUE(writeText("/Volumes/Second/data", "second's"));
    ASSERT_TRUE(QDir().mkpath("/Volumes/Second 1") && writeText("/Volumes/Second 1/kept", "a folder's"));
    ASSERT_TRUE(QFile::link("/Volumes/Second", "/Volumes/Second 2"));
    const ToolRun taken = erase("Second", "/Volumes/First");
    EXPECT_EQ(taken.exitCode, 0) << taken.output.toStdString();
    EXPECT_TRUE(taken.errorLines().isEmpty()) << taken.output.toStdString();
    EXPECT_TRUE(taken.says("mounted at /Volumes/Second 3")) << taken.output.toStdString();
    EXPECT_EQ(first.mountPoints(), QStringList{"/Volumes/Second 3"});
    EXPECT_EQ(second.mountPoints(), QStringList{"/Volumes/Second"});
    EXPECT_EQ(readText("/Volumes/Second/data"), "second's");
    EXPECT_EQ(readText("/Volumes/Second 1/kept"), "a folder's");
    EXPECT_EQ(QFileInfo("/Volumes/Second 2").symLinkTarget(), "/Volumes/Second");
    EXPECT_FALSE(QFileInfo::exists("/Volumes/First")) << "the erased volume's old mount point went with it";

    // Its own old name is free again once it is erased.
    const ToolRun again = erase("Second 3", "/Volumes/Second 3");
    EXPECT_EQ(again.exitCode, 0) << again.output.toStdString();
    EXPECT_EQ(first.mountPoints(), QStringList{"/Volumes/Second 3"});
    QFile::remove("/Volumes/Second 2");
    QFile::remove("/Volumes/Second 1/kept");
    QDir().rmdir("/Volumes/Second 1");
}

TEST_F(DiskutilOnDrive, AFailedUnmountLeavesEveryMountAsItWas)
{
    LOOP_DRIVE(drive, "Busy");
    ASSERT_TRUE(drive.mountAt("/Volumes/Busy Too"));
    // An open file keeps the first mount busy; the second comes off first and must be put back.
    const int open = ::open("/Volumes/Busy/held", O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(open, 0);
    const ToolRun run = erase("QRTCCCCCCCC", "/Volumes/Busy");
    ::close(open);
    EXPECT_NE(run.exitCode, 0);
    ASSERT_FALSE(run.errorLines().isEmpty()) << run.output.toStdString();
    EXPECT_TRUE(run.errorLines().first().contains("could not unmount")) << run.output.toStdString();
    EXPECT_TRUE(run.says("mounted again at \"/Volumes/Busy Too\"")) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoints(), (QStringList{"/Volumes/Busy", "/Volumes/Busy Too"}));
    EXPECT_TRUE(QFile::exists("/Volumes/Busy Too/held"));
}

// A formatter that fails leaves the disk unmounted; its old mount point goes all the same, as after an erase
// that succeeds: an empty folder left there would give the next volume of that name "… 1".
// A formatter that fails leaves no folder behind. What the disk utility runs keeps the terminal's signals
// ignored when the utility was started with them ignored (as BootDrive starts it, so that only BootDrive
// acts on the terminal's keys), and has their default handling otherwise.
TEST_F(DiskutilOnDrive, AFailedFormatLeavesNoEmptyMountPoint)
{
    QTemporaryDir tools;
    const QString ignored = tools.filePath("ignored");
    ASSERT_TRUE(writeScript(tools.filePath("mkfs.hfsplus"),
                            "#!/bin/sh\nawk '/^SigIgn/ { print $2 }' /proc/self/status > \"" +
                                QFile::encodeName(ignored) + "\"\necho 'no space on device' >&2\nexit 1\n"));
    for (const bool fromBootDrive : {false, true}) {
        LOOP_DRIVE(drive, "Failing");
        auto environment = ToolRun::environment();
        environment.insert("PATH", tools.path() + ":" + environment.value("PATH"));
        const QStringList arguments = {"eraseVolume", "HFS+", "QRTIIIIIIII", "/Volumes/Failing"};
        const ToolRun run = fromBootDrive
                                ? ToolRun::run("/bin/sh",
                                               QStringList{"-c", "trap '' INT HUP QUIT; exec \"$0\" \"$@\"",
                                                           ToolRun::tool("diskutil")} +
                                                   arguments,
                                               environment)
                                : ToolRun::run(ToolRun::tool("diskutil"), arguments, environment);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.errorLines().value(0).contains("the disk is left unmounted"))
            << run.output.toStdString();
        EXPECT_TRUE(drive.mountPoints().isEmpty());
        EXPECT_FALSE(QFileInfo::exists("/Volumes/Failing"));
        QFile mask(ignored);
        ASSERT_TRUE(mask.open(QIODevice::ReadOnly));
        // SIGHUP, SIGINT and SIGQUIT are the lowest three bits.
        EXPECT_EQ(mask.readAll().trimmed().toULongLong(nullptr, 16) & 0x7, fromBootDrive ? 0x7u : 0u);
    }
}

TEST_F(DiskutilOnDrive, ADiskStillMountedInAnotherNamespaceIsMountedAgain)
{
    LOOP_DRIVE(drive, "Shared");
    ASSERT_TRUE(writeText("/Volumes/Shared/data", "still here"));
    // A process in a mount namespace of its own keeps a copy of the mount: the disk stays in use.
    QProcess holder;
    holder.start("unshare", {"--mount", "--propagation", "private", "sleep", "60"});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(inOtherNamespace(holder.processId()));
    const ToolRun run = erase("QRTDDDDDDDD", "/Volumes/Shared");
    holder.kill();
    holder.waitForFinished();
    EXPECT_NE(run.exitCode, 0);
    ASSERT_FALSE(run.errorLines().isEmpty()) << run.output.toStdString();
    EXPECT_TRUE(run.errorLines().first().contains("in use elsewhere")) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoints(), QStringList{"/Volumes/Shared"});
    QFile data("/Volumes/Shared/data");
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    EXPECT_EQ(data.readAll(), "still here");
}

TEST_F(DiskutilOnDrive, MountPathsReachTheShellAsPlainText)
{
    QTemporaryDir scratch;
    const QString marker = scratch.filePath("touched");
    // The path the application hands to bash -c between single quotes, with the quotes escaped as it must.
    const QString mountPoint =
        QStringLiteral("/Volumes/Bob's disk $(touch %1) `touch %1`; touch %1 \"x\"\nline two").arg(marker);
    LOOP_DRIVE(drive, "Bob", 64 * 1024 * 1024, false);
    ASSERT_TRUE(drive.mountAt(mountPoint)) << drive.error().toStdString();

    const QString command = QStringLiteral("diskutil eraseVolume HFS+ %1 '%2'")
                                .arg("QRTEEEEEEEE", ToolRun::singleQuoted(mountPoint));
    const ToolRun run = ToolRun::run("/bin/bash", {"-c", command});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_FALSE(run.says("Error")) << run.output.toStdString();
    EXPECT_TRUE(run.says("Finished erase")) << run.output.toStdString();
    EXPECT_FALSE(QFile::exists(marker)) << "a command inside the path ran";
    EXPECT_EQ(drive.mountPoints(), QStringList{"/Volumes/QRTEEEEEEEE"});
}

// Without root the tool asks pkexec to run it again; each answer ends in an "Error:" line and a failure
// status, and a pkexec that does not make it root cannot send it round again.
TEST_F(DiskutilOnDrive, AsAnOrdinaryUserItGoesThroughPkexec)
{
    if (const QString missing = ToolRun::setprivMissing(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    LOOP_DRIVE(drive, "Users Disk");
    const QString diskutil = QFileInfo(ToolRun::tool("diskutil")).canonicalFilePath();
    const QStringList arguments{"eraseVolume", "HFS+", "QRTFFFFFFFF", "/Volumes/Users Disk"};

    const QList<QPair<FakePkexec::Mode, QString>> answers = {
        {FakePkexec::Mode::Dismiss, "dismissed"},
        {FakePkexec::Mode::Deny, "not authorized"},
        {FakePkexec::Mode::Allow, "without administrator rights"},
    };
    for (const auto &[mode, reason] : answers) {
        FakePkexec fake(mode);
        ASSERT_TRUE(fake.isValid());
        auto environment = ToolRun::environment();
        environment.insert("PATH", fake.pathWithFakeFirst());
        const ToolRun run = ToolRun::runAsNobody(diskutil, arguments, environment);
        EXPECT_TRUE(run.finished);
        EXPECT_NE(run.exitCode, 0) << run.output.toStdString();
        ASSERT_FALSE(run.errorLines().isEmpty()) << run.output.toStdString();
        EXPECT_TRUE(run.errorLines().last().contains(reason)) << run.output.toStdString();
        const auto calls = fake.calls();
        ASSERT_EQ(calls.size(), 1) << run.output.toStdString();
        EXPECT_EQ(calls.first().uid, 65534u);
        // The privileged run is told which run asked for it, so that it does not outlive that one.
        const QStringList called = calls.first().arguments;
        ASSERT_EQ(called.size(), arguments.size() + 3) << called.join(' ').toStdString();
        EXPECT_EQ(called.mid(0, 2), (QStringList{diskutil, "--parent"}));
        EXPECT_GT(called[2].toInt(), 1);
        EXPECT_EQ(called.mid(3), arguments);
    }

    // No pkexec at all.
    QTemporaryDir empty;
    auto environment = ToolRun::environment();
    environment.insert("PATH", empty.path());
    const ToolRun run = ToolRun::runAsNobody(diskutil, arguments, environment);
    EXPECT_NE(run.exitCode, 0);
    ASSERT_FALSE(run.errorLines().isEmpty()) << run.output.toStdString();
    EXPECT_TRUE(run.errorLines().first().contains("pkexec is not available")) << run.output.toStdString();

    // Problems the user can see are reported before anyone is asked for a password.
    FakePkexec fake(FakePkexec::Mode::Allow);
    environment.insert("PATH", fake.pathWithFakeFirst());
    const ToolRun early = ToolRun::runAsNobody(diskutil, {"eraseVolume", "HFS+", "Q", "/tmp"}, environment);
    EXPECT_NE(early.exitCode, 0);
    EXPECT_TRUE(fake.calls().isEmpty());

    EXPECT_EQ(drive.mountPoints(), QStringList{"/Volumes/Users Disk"}) << "nothing was erased";
}

// The same path when authorization succeeds: the test runs as root and asks the tool to act as a user, so
// the fake pkexec hands back a process that really has the rights (a real pkexec cannot be scripted here).
TEST_F(DiskutilOnDrive, AnAuthorizedRunThroughPkexecErases)
{
    LOOP_DRIVE(drive, "Authorized");
    FakePkexec fake(FakePkexec::Mode::Allow);
    auto environment = ToolRun::environment();
    environment.insert("PATH", fake.pathWithFakeFirst());
    environment.insert("BOOTDRIVE_DISKUTIL_ASSUME_USER", "1");
    const ToolRun run = erase("QRTGGGGGGGG", "/Volumes/Authorized", "HFS+", environment);
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(run.says("Finished erase")) << run.output.toStdString();
    EXPECT_FALSE(run.says("Error")) << run.output.toStdString();
    ASSERT_EQ(fake.calls().size(), 1) << "pkexec's clean environment ends the hand-over after one round";
    EXPECT_EQ(fake.calls().first().arguments.first(),
              QFileInfo(ToolRun::tool("diskutil")).canonicalFilePath());
    EXPECT_EQ(drive.mountPoint(), "/Volumes/QRTGGGGGGGG");
}

// Where mkfs.hfsplus exists but the kernel cannot mount HFS+, the volume is made as ext4 and the output
// says so without the word that means failure.
TEST_F(DiskutilOnDrive, FallsBackToExt4WhenHfsPlusCannotBeMounted)
{
    if (ToolRun::kernelMountsHfsPlus())
        GTEST_SKIP() << "this kernel mounts HFS+";
    QTemporaryDir tools;
    const QString log = tools.filePath("mkfs.log");
    ASSERT_TRUE(writeScript(tools.filePath("mkfs.hfsplus"),
                            QStringLiteral("#!/bin/sh\nprintf '%s|' \"$@\" >> '%1'\n").arg(log).toUtf8()));

    LOOP_DRIVE(drive, "Mac Disk");
    auto environment = ToolRun::environment();
    environment.insert("PATH", tools.path() + ":" + environment.value("PATH"));
    const ToolRun run = erase("QRTHHHHHHHH", "/Volumes/Mac Disk", "JHFS+", environment);
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_FALSE(run.says("Error")) << run.output.toStdString();
    EXPECT_TRUE(run.says("Note: this system cannot mount HFS+ volumes; formatting as ext4 instead"))
        << run.output.toStdString();
    QFile calls(log);
    ASSERT_TRUE(calls.open(QIODevice::ReadOnly));
    EXPECT_EQ(calls.readAll(), ("-J|-v|QRTHHHHHHHH|" + drive.device() + "|").toUtf8());
    EXPECT_EQ(drive.fileSystemType(), "ext4");
    EXPECT_EQ(drive.mountPoint(), "/Volumes/QRTHHHHHHHH");
}
