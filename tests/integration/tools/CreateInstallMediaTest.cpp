#include "ToolRun.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"
#include "support/LoopDrive.h"
#include "support/SampleInstaller.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <cstddef>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <plist/plist.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using testsupport::LoopDrive;
using testsupport::SampleInstaller;

namespace {

class CreateInstallMedia : public ::testing::Test
{
protected:
    void SetUp() override { REQUIRE_DRIVES(); }

    static QString fileText(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

// The percentages on the line that starts with the title ("Copying to disk: 0%... 10%... 100%"); empty when
// there is no such line or it has another form.
QList<int> percentages(const QString &output, const QString &title)
{
    static const QRegularExpression form(QStringLiteral("^[^:]+: 0%(\\.\\.\\. \\d+%)*$"));
    for (const QString &line : output.split('\n')) {
        if (!line.startsWith(title + ": "))
            continue;
        if (!form.match(line).hasMatch())
            return {};
        QList<int> values;
        for (const QString &part : line.mid(title.size() + 2).split("... "))
            values << part.chopped(1).toInt();
        return values;
    }
    return {};
}

bool strictlyRisingTo100(const QList<int> &values)
{
    for (qsizetype i = 1; i < values.size(); ++i)
        if (values[i] <= values[i - 1])
            return false;
    return values.size() >= 2 && values.first() == 0 && values.last() == 100;
}

#if defined(__x86_64__)
constexpr __u32 filteredArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr __u32 filteredArchitecture = AUDIT_ARCH_AARCH64;
#else
constexpr __u32 filteredArchitecture = 0;
#endif

// Run in the tool's process before it starts: from then on copy_file_range, splice and sendfile fail with
// EPERM, as under a container's system-call policy. A filter that does not take ends the process.
void refuseInKernelCopies()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, filteredArchitecture, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_copy_file_range, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_splice, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_sendfile, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        _exit(126);
}

} // namespace

TEST_F(CreateInstallMedia, PutsTheWholeBundleOnTheRenamedVolume)
{
    LOOP_DRIVE(drive, "USB Drive", 96 * 1024 * 1024);
    ASSERT_TRUE(writeText("/Volumes/USB Drive/old.txt", "old"));
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "40M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();

    // As the application runs it: the tool's own path again first, the installer as a bare path.
    const ToolRun run =
        ToolRun::run(installer.toolPath(), {installer.toolPath(), "--volume", "/Volumes/USB Drive",
                                            installer.path(), "--nointeraction"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(run.errorLines().isEmpty()) << run.output.toStdString();
    EXPECT_TRUE(strictlyRisingTo100(percentages(run.output, "Erasing disk"))) << run.output.toStdString();
    EXPECT_TRUE(strictlyRisingTo100(percentages(run.output, "Copying to disk"))) << run.output.toStdString();
    const qsizetype copying = run.output.indexOf("Copying to disk: ");
    const qsizetype bootable = run.output.indexOf("\nMaking disk bootable...\n");
    const qsizetype available =
        run.output.indexOf("\nInstall media now available at \"/Volumes/Install macOS Mojave\"\n");
    EXPECT_TRUE(run.output.indexOf("Erasing disk: ") < copying && copying < bootable && bootable < available)
        << run.output.toStdString();

    const QString volume = "/Volumes/Install macOS Mojave";
    EXPECT_EQ(drive.mountPoints(), QStringList{volume});
    EXPECT_FALSE(QFile::exists(volume + "/old.txt"));
    const QString copy = volume + "/Install macOS Mojave.app";
    EXPECT_EQ(treeDifferences(installer.path(), copy), QString());
    EXPECT_TRUE(fileText(volume + "/.IAPhysicalMedia").contains("<string>Install macOS Mojave.app</string>"));
    EXPECT_EQ(fileText(volume + "/.VolumeIcon.icns"),
              fileText(installer.path() + "/Contents/Resources/InstallAssistant.icns"));

    // What was reported as done is on the disk, not only in memory of this mount.
    ASSERT_TRUE(drive.unmountAll());
    ASSERT_TRUE(drive.mountAt("/Volumes/Check")) << drive.error().toStdString();
    EXPECT_EQ(treeDifferences(installer.path(), "/Volumes/Check/Install macOS Mojave.app"), QString());

    // Plugged in again, the drive comes back under its full name, more than an ext4 label holds.
    ASSERT_TRUE(drive.detach() && drive.attach()) << drive.error().toStdString();
    const ToolRun replugged = ToolRun::run(ToolRun::tool("diskutil"), {"mount", drive.device()});
    EXPECT_EQ(replugged.exitCode, 0) << replugged.output.toStdString();
    EXPECT_EQ(drive.mountPoints(), QStringList{volume});
}

TEST_F(CreateInstallMedia, KeepsLinksModesTimesAndSpecialFiles)
{
    DRIVE_AND_INSTALLER(("Links", 48 * 1024 * 1024), ("Install macOS Catalina", "10.15", "3M"));
    const QString extra = installer.path() + "/Contents/Extra";
    ASSERT_TRUE(QDir().mkpath(extra + "/Locked/Inner"));
    ASSERT_TRUE(writeText(extra + "/Locked/Inner/secret", "x"));
    ASSERT_TRUE(writeText(extra + "/private", "p"));
    ASSERT_EQ(chmod(QFile::encodeName(extra + "/private").constData(), 0600), 0);
    ASSERT_EQ(chmod(QFile::encodeName(extra + "/Locked").constData(), 0500), 0);
    ASSERT_EQ(link(QFile::encodeName(extra + "/private").constData(),
                   QFile::encodeName(extra + "/hard").constData()),
              0);
    ASSERT_TRUE(QFile::link("../SharedSupport", extra + "/support"));
    ASSERT_TRUE(QFile::link("/nonexistent/target", extra + "/dangling"));
    ASSERT_EQ(mkfifo(QFile::encodeName(extra + "/pipe").constData(), 0640), 0);
    ASSERT_EQ(chown(QFile::encodeName(extra + "/private").constData(), 65534, 65534), 0);
    ASSERT_TRUE(writeText(extra + "/empty", ""));

    const ToolRun run = ToolRun::run(installer.toolPath(), {"--volume", "/Volumes/Links", "--nointeraction"});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    const QString copy = "/Volumes/Install macOS Catalina/Install macOS Catalina.app";
    EXPECT_EQ(treeDifferences(installer.path(), copy), QString());
    struct stat a
    {
    }, b{};
    ASSERT_EQ(stat(QFile::encodeName(copy + "/Contents/Extra/private").constData(), &a), 0);
    ASSERT_EQ(stat(QFile::encodeName(copy + "/Contents/Extra/hard").constData(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino) << "hard links stay one file";
    EXPECT_EQ(a.st_nlink, 2u);
    chmod(QFile::encodeName(extra + "/Locked").constData(), 0700);
}

TEST_F(CreateInstallMedia, AcceptsEveryFormTheSystemPassesAndRefusesTheRest)
{
    DRIVE_AND_INSTALLER(("Target", 48 * 1024 * 1024), ("Install OS X El Capitan", "10.11", "4M"));
    const QString tool = installer.toolPath();
    const QString volume = "/Volumes/Install OS X El Capitan";

    // The older installers' form: --applicationpath before the bundle.
    ToolRun run = ToolRun::run(tool, {tool, "--volume", "/Volumes/Target", "--applicationpath",
                                      installer.path(), "--nointeraction"});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoint(), volume);
    // No bundle named: the one the tool lives in. The volume already has the display name.
    run = ToolRun::run(tool, {"--volume", volume, "--nointeraction"});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoint(), volume);

    // A binary Info.plist says the same.
    const QString plistPath = installer.path() + "/Contents/Info.plist";
    QFile plistFile(plistPath);
    ASSERT_TRUE(plistFile.open(QIODevice::ReadOnly));
    const QByteArray xml = plistFile.readAll();
    plistFile.close();
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    ASSERT_TRUE(root);
    char *binary = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &binary, &length);
    plist_free(root);
    ASSERT_TRUE(plistFile.open(QIODevice::WriteOnly));
    plistFile.write(binary, length);
    plistFile.close();
    plist_to_bin_free(binary);
    run = ToolRun::run(tool, {"--volume", volume, installer.path(), "--nointeraction"});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoint(), volume);
    EXPECT_EQ(treeDifferences(installer.path(), volume + "/Install OS X El Capitan.app"), QString());

    struct Refusal
    {
        QString program;
        QStringList arguments;
        QString reason;
    };
    QDir().mkpath(installer.folder() + "/Empty.app/Contents");
    const QList<Refusal> refusals = {
        {tool, {"--volume"}, "--volume needs a path"},
        {tool, {installer.path(), "--nointeraction"}, "no volume given"},
        {tool, {"--volume", volume, "--downloadassets"}, "unknown option"},
        {tool, {"--volume", volume, "--volume", volume}, "more than one volume"},
        {tool, {"--volume", volume, installer.path(), installer.path()}, "more than one installer"},
        {ToolRun::tool("createinstallmedia"), {"--volume", volume, "--nointeraction"}, "not inside one"},
        {tool,
         {"--volume", volume, installer.folder() + "/Empty.app", "--nointeraction"},
         "does not appear to be a valid OS installer application."},
        {tool, {"--volume", "/tmp", "--nointeraction"}, "only volumes mounted below /Volumes"},
        {tool, {"--volume", "/", "--nointeraction"}, "start-up volume"},
        {tool,
         {"--volume", volume, volume + "/Install OS X El Capitan.app", "--nointeraction"},
         "on the volume to be erased"},
    };
    for (const auto &refusal : refusals) {
        run = ToolRun::run(refusal.program, refusal.arguments);
        EXPECT_NE(run.exitCode, 0) << refusal.arguments.join(' ').toStdString();
        ASSERT_FALSE(run.errorLines().isEmpty()) << run.output.toStdString();
        EXPECT_TRUE(run.errorLines().first().contains(refusal.reason)) << run.output.toStdString();
    }
    EXPECT_EQ(drive.mountPoint(), volume);
    EXPECT_EQ(treeDifferences(installer.path(), volume + "/Install OS X El Capitan.app"), QString())
        << "refused runs change nothing";
}

TEST_F(CreateInstallMedia, RunsOnlyAsRoot)
{
    if (const QString missing = ToolRun::setprivMissing(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    DRIVE_AND_INSTALLER(("Nobody's", 48 * 1024 * 1024), ("Install macOS Mojave", "10.14", "2M"));
    const ToolRun run = ToolRun::runAsNobody(
        installer.toolPath(), {"--volume", "/Volumes/Nobody's", installer.path(), "--nointeraction"},
        ToolRun::environment());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "This tool needs to be run as root.\n");
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Nobody's");
}

TEST_F(CreateInstallMedia, AsksBeforeErasingWithoutNoInteraction)
{
    LOOP_DRIVE(drive, "Ask Me", 48 * 1024 * 1024);
    ASSERT_TRUE(writeText("/Volumes/Ask Me/data", "keep"));
    SampleInstaller installer("Install macOS Mojave", "10.14", "2M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    const QStringList arguments{"--volume", "/Volumes/Ask Me", installer.path()};

    for (const QByteArray &answer : {QByteArray("n\n"), QByteArray("yes\n"), QByteArray()}) {
        const ToolRun run = ToolRun::run(installer.toolPath(), arguments, ToolRun::environment(), answer);
        EXPECT_NE(run.exitCode, 0) << answer.constData();
        EXPECT_TRUE(run.says("If you wish to continue type (Y) then press return: "))
            << run.output.toStdString();
        EXPECT_TRUE(run.says("\nAborted; the volume was not erased.\n")) << run.output.toStdString();
        EXPECT_FALSE(run.says("Erasing disk"));
        EXPECT_EQ(fileText("/Volumes/Ask Me/data"), "keep");
    }
    const ToolRun run = ToolRun::run(installer.toolPath(), arguments, ToolRun::environment(), "Y\n");
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Mojave");
}

TEST_F(CreateInstallMedia, FailsCleanlyOnADriveTooSmall)
{
    SampleInstaller installer("Install macOS Mojave", "10.14", "40M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    // Clearly too small, and larger than the bundle but not once the new file system has taken its share:
    // both are refused before anything is erased.
    for (const qint64 mebibytes : {16, 41}) {
        const QString name = QStringLiteral("Small%1").arg(mebibytes);
        LOOP_DRIVE(drive, name, mebibytes * 1024 * 1024);
        ASSERT_TRUE(writeText("/Volumes/" + name + "/data", "keep"));
        const ToolRun run =
            ToolRun::run(installer.toolPath(), {"--volume", "/Volumes/" + name, "--nointeraction"},
                         ToolRun::environment(), {}, 60000);
        ASSERT_TRUE(run.finished) << "it hung";
        EXPECT_NE(run.exitCode, 0);
        ASSERT_EQ(run.errorLines().size(), 1) << run.output.toStdString();
        EXPECT_TRUE(run.errorLines().first().contains("too small")) << run.output.toStdString();
        EXPECT_TRUE(run.errorLines().first().contains("nothing was erased")) << run.output.toStdString();
        EXPECT_EQ(fileText("/Volumes/" + name + "/data"), "keep");
    }
}

// Refused every way of copying inside the kernel, the tool copies through its own buffer: files of several
// pieces, ending inside one, arrive byte for byte.
TEST_F(CreateInstallMedia, CopiesThroughItsOwnBufferWhereTheKernelRefusesToCopy)
{
    if (filteredArchitecture == 0)
        GTEST_SKIP() << "no system-call filter for this processor";
    DRIVE_AND_INSTALLER(("Confined", 48 << 20), ("Install macOS Mojave", "10.14", "6M"));
    const ToolRun run =
        ToolRun::run(installer.toolPath(), {"--volume", drive.mountPoint(), "--nointeraction"},
                     ToolRun::environment(), {}, 120000, refuseInKernelCopies);
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(treeDifferences(installer.path(), "/Volumes/Install macOS Mojave/Install macOS Mojave.app"),
              QString());
}

// Where the tool reads the bundle's own files, a FIFO or a link to an endless device stands instead: the tool
// neither hangs nor exhausts its memory. Without a property list it stops before touching the drive; an
// icon it cannot read is left out.
TEST_F(CreateInstallMedia, HostileBundleFilesNeitherHangNorExhaustIt)
{
    LOOP_DRIVE(drive, "Hostile", 32 * 1024 * 1024);
    ASSERT_TRUE(writeText("/Volumes/Hostile/data", "keep"));
    struct Case
    {
        QString file;
        bool fifo; // else a link to /dev/zero
        bool fails;
    };
    const QList<Case> cases = {
        {"Contents/Info.plist", true, true},
        {"Contents/Info.plist", false, true},
        {"Contents/Resources/InstallAssistant.icns", true, false},
    };
    for (const Case &hostile : cases) {
        SampleInstaller installer("Install macOS Mojave", "10.14", "1M");
        ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
        const QByteArray path = QFile::encodeName(installer.path() + "/" + hostile.file);
        ASSERT_EQ(::unlink(path.constData()), 0);
        ASSERT_EQ(hostile.fifo ? ::mkfifo(path.constData(), 0644) : ::symlink("/dev/zero", path.constData()),
                  0);
        const QString volume = drive.mountPoint();
        const ToolRun run = ToolRun::run(installer.toolPath(), {"--volume", volume, "--nointeraction"},
                                         ToolRun::environment(), {}, 30000);
        ASSERT_TRUE(run.finished) << hostile.file.toStdString() << ": it hung";
        if (hostile.fails) {
            EXPECT_NE(run.exitCode, 0);
            EXPECT_EQ(run.errorLines().size(), 1) << run.output.toStdString();
            EXPECT_EQ(fileText("/Volumes/Hostile/data"), "keep");
        } else {
            EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
        }
    }
}

// Disturbances in the middle of a copy that takes seconds (a 40 MiB file at 4 MiB/s: a pause of a quarter
// second after each 1 MiB piece). Each ends the run with one error line, never a success: the drive pulled or
// ejected (a lazy unmount, after which the mount point path leads into the bare folder below it), the file
// being copied rewritten in place, and a stop request sent to the tool's process group as the application
// sends it.
TEST_F(CreateInstallMedia, FailsHonestlyWhenDisturbedDuringTheCopy)
{
    const QString volume = "/Volumes/Install macOS Mojave";
    const QString big = "Contents/SharedSupport/Big.dmg";
    struct Case
    {
        QString what;
        std::function<bool(RunningTool &, const QString &bundle)> disturb;
        QString error;
    };
    const QList<Case> cases = {
        {"ejected",
         [&](RunningTool &, const QString &) {
             return umount2(QFile::encodeName(volume).constData(), MNT_DETACH) == 0;
         },
         "Error: the volume at \"" + volume + "\" was unmounted or replaced"},
        {"rewritten",
         [&](RunningTool &, const QString &bundle) {
             QFile file(bundle + "/" + big);
             return file.open(QIODevice::ReadWrite) && file.seek(36 << 20) &&
                    file.write(QByteArray(1 << 20, 'x')) == 1 << 20;
         },
         "Error: the installer changed during the copy: " + big},
        {"cancelled", [](RunningTool &tool, const QString &) { return tool.signalGroup(SIGTERM); },
         "Error: cancelled"},
    };
    for (const Case &disturbance : cases) {
        SCOPED_TRACE(disturbance.what.toStdString());
        DRIVE_AND_INSTALLER(("Slow " + disturbance.what, 96 << 20), ("Install macOS Mojave", "10.14", "1M"));
        ASSERT_TRUE(writeText(installer.path() + "/" + big, QByteArray(40 << 20, 'b')));
        auto environment = ToolRun::environment();
        environment.insert("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
        RunningTool tool(installer.toolPath(), {"--volume", drive.mountPoint(), "--nointeraction"},
                         environment);
        // At 30 % the big file is being copied, whichever comes first, and its last piece is still ahead.
        ASSERT_TRUE(tool.waitForOutput("Copying to disk: 0%... 10%... 20%... 30%"));

        ASSERT_TRUE(disturbance.disturb(tool, installer.path()));
        QElapsedTimer sinceDisturbed;
        sinceDisturbed.start();
        const ToolRun run = tool.finish(60000);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
        EXPECT_EQ(run.errorLines().size(), 1) << run.output.toStdString();
        EXPECT_TRUE(run.errorLines().value(0).startsWith(disturbance.error)) << run.output.toStdString();
        if (disturbance.what == "ejected") {
            const QStringList stray =
                QDir(volume).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            EXPECT_TRUE(stray.isEmpty())
                << "written into the bare mount point folder: " << stray.join(", ").toStdString();
            EXPECT_FALSE(QFileInfo::exists(volume)) << "the folder the tool made outlived its volume";
            QDir().rmdir(volume);
        } else {
            EXPECT_EQ(drive.mountPoint().toStdString(), volume.toStdString());
        }
        if (disturbance.what == "cancelled") {
            EXPECT_LT(sinceDisturbed.elapsed(), 1000) << "a stop request must end the copy at once";
        }
    }
}

// A mount point folder the tools made is theirs to reuse once its volume has gone: the folder a cancelled
// run's drive leaves when something else unmounts it (a desktop, the user) goes to the next drive of that
// name. The user's own folders stay: one made by hand under the installer's name, and one of the tools' that
// something was put in after its drive went, even once emptied again.
TEST_F(CreateInstallMedia, TheNextDriveTakesTheFolderAnEndedRunLeft)
{
    const QString users = "/Volumes/Install macOS Mojave";
    const QString left = users + " 1";
    ASSERT_TRUE(QDir().mkpath(users));
    DRIVE_AND_INSTALLER(("Leftover", 64 << 20), ("Install macOS Mojave", "10.14", "8M"));
    const auto arguments = [&] { return QStringList{"--volume", drive.mountPoint(), "--nointeraction"}; };
    const auto unmountAndMountAgain = [&] {
        return umount2(QFile::encodeName(drive.mountPoint()).constData(), 0) == 0 &&
               drive.mountAt("/Volumes/Leftover");
    };

    auto slow = ToolRun::environment();
    slow.insert("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
    RunningTool cancelled(installer.toolPath(), arguments(), slow);
    ASSERT_TRUE(cancelled.waitForOutput("Copying to disk: 0%"));
    ASSERT_TRUE(cancelled.signalGroup(SIGTERM));
    EXPECT_EQ(cancelled.finish().exitCode, 1);
    ASSERT_EQ(drive.mountPoint().toStdString(), left.toStdString());
    ASSERT_TRUE(unmountAndMountAgain()) << drive.error().toStdString();
    ToolRun run = ToolRun::run(installer.toolPath(), arguments());
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoint().toStdString(), left.toStdString());

    ASSERT_TRUE(unmountAndMountAgain()) << drive.error().toStdString();
    ASSERT_TRUE(writeText(left + "/notes", "mine now"));
    run = ToolRun::run(installer.toolPath(), arguments());
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoint().toStdString(), (users + " 2").toStdString());
    EXPECT_EQ(readText(left + "/notes"), "mine now");
    ASSERT_TRUE(QFile::remove(left + "/notes"));
    run = ToolRun::run(installer.toolPath(), arguments());
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(drive.mountPoint().toStdString(), (users + " 2").toStdString());
    EXPECT_TRUE(QFileInfo(users).isDir());
    EXPECT_TRUE(QFileInfo(left).isDir());
    QDir().rmdir(users);
    QDir().rmdir(left);
}

// A stop request while the disk is formatted waits for the formatter, which runs apart from the tool's
// process group: a format cut short leaves a disk that holds nothing usable. A slow fake mkfs.hfsplus stands
// in front of the ext4 fallback, so this runs where the kernel cannot mount HFS+.
TEST_F(CreateInstallMedia, LetsAFormatFinishBeforeItStops)
{
    if (ToolRun::kernelMountsHfsPlus())
        GTEST_SKIP() << "this kernel mounts HFS+";
    QTemporaryDir tools;
    const QString log = tools.filePath("mkfs.log");
    ASSERT_TRUE(
        writeScript(tools.filePath("mkfs.hfsplus"),
                    QStringLiteral("#!/bin/sh\necho started >> '%1'\nsleep 1\necho finished >> '%1'\n")
                        .arg(log)
                        .toUtf8()));
    DRIVE_AND_INSTALLER(("Formatting", 48 << 20), ("Install macOS Mojave", "10.14", "2M"));
    auto environment = ToolRun::environment();
    environment.insert("PATH", tools.path() + ":" + environment.value("PATH"));

    RunningTool tool(installer.toolPath(), {"--volume", "/Volumes/Formatting", "--nointeraction"},
                     environment);
    ASSERT_TRUE(testsupport::waitUntil([&] { return fileText(log) == "started\n"; }, 30000));
    ASSERT_TRUE(tool.signalGroup(SIGTERM));
    const ToolRun run = tool.finish(60000);
    EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
    EXPECT_EQ(run.errorLines().join('\n').toStdString(), "Error: cancelled") << run.output.toStdString();
    EXPECT_EQ(fileText(log).toStdString(), "started\nfinished\n") << "the formatter was cut short";
    EXPECT_EQ(drive.mountPoint().toStdString(), "/Volumes/Install macOS Mojave");
}
