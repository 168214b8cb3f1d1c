#include "Creation/DiskutilViewModel.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"
#include "support/FakePkexec.h"
#include "support/JobRecorder.h"
#include "support/LoopDrive.h"
#include "support/ProcessTable.h"
#include "support/SampleInstaller.h"
#include "support/ToolsOnPath.h"
#include "support/Unprivileged.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

using testsupport::LoopDrive;
using testsupport::SampleInstaller;
using testsupport::ToolsOnPath;

namespace {

using Recorder = testsupport::JobRecorder;
using Kind = DiskutilResult::Kind;

QByteArray treeDigest(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(root.size());
    files.sort();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &file : files) {
        hash.addData(file.toUtf8());
        QFile f(root + file);
        if (f.open(QIODevice::ReadOnly))
            hash.addData(&f);
    }
    return hash.result().toHex();
}

} // namespace

TEST(CreationJobOnDrive, ErasesThenCreatesTheInstallerDrive)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    DRIVE_AND_INSTALLER(("USB", 96 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "40M"));

    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    auto disk = DiskModel::initWithURL("/Volumes/USB");
    job->eraseDiskWithDiskModel(disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 60000));
    ASSERT_TRUE(recorder->results[0].kind == Kind::Erased);
    EXPECT_TRUE(QRegularExpression("^/Volumes/QRT[A-Z]{8}$").match(disk->volume()).hasMatch());
    EXPECT_EQ(drive.mountPoint(), disk->volume()) << "the drive is mounted under its new name";

    auto macOS = MacOSModel::initWithURL(installer.path());
    ASSERT_TRUE(macOS->installMacOS());
    job->installMacOSWithMacOSModel(macOS, disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->results.size() > 1; }, 180000));
    testsupport::spin(1500);

    ASSERT_EQ(recorder->results.size(), 2u) << "yes arrives once";
    ASSERT_TRUE((recorder->results[1].kind == Kind::Yes || recorder->results[1].kind == Kind::No));
    EXPECT_EQ(recorder->results[1].kind, Kind::Yes);
    ASSERT_FALSE(recorder->progress.empty());
    EXPECT_DOUBLE_EQ(recorder->progress.back(), 1.0);
    for (size_t i = 0; i + 1 < recorder->progress.size(); ++i) {
        EXPECT_LE(recorder->progress[i], recorder->progress[i + 1]);
        EXPECT_LE(recorder->progress[i], 0.99);
    }
    // Ticks come about once a second (the final 1.0 follows the tool's end, not a tick).
    for (size_t i = 1; i + 1 < recorder->progressTimes.size(); ++i)
        EXPECT_NEAR(recorder->progressTimes[i] - recorder->progressTimes[i - 1], 1000, 400);

    const std::vector<DiskutilState> honest = {DiskutilState::Erasing,     DiskutilState::Erased,
                                               DiskutilState::Authorizing, DiskutilState::Creating,
                                               DiskutilState::Verifying,   DiskutilState::Idle};
    EXPECT_EQ(recorder->states, honest);
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Mojave");
    const QString copied = "/Volumes/Install macOS Mojave/Install macOS Mojave.app";
    ASSERT_TRUE(QFileInfo(copied).isDir());
    EXPECT_EQ(treeDigest(copied), treeDigest(installer.path())) << "the drive holds the installer";
}

TEST(CreationJobOnDrive, ADriveTooSmallEndsInNoWithoutHanging)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    DRIVE_AND_INSTALLER(("SMALL", 16 * 1024 * 1024), ("Install macOS Catalina", "10.15", "40M"));
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    auto disk = DiskModel::initWithURL("/Volumes/SMALL");
    job->eraseDiskWithDiskModel(disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 60000));
    ASSERT_TRUE(recorder->results[0].kind == Kind::Erased);
    job->installMacOSWithMacOSModel(MacOSModel::initWithURL(installer.path()), disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->results.size() > 1; }, 120000));
    EXPECT_EQ(recorder->results[1].kind, Kind::No);
    EXPECT_EQ(job->lastFailure().kind, DiskutilViewModel::Failure::Kind::NoSpace)
        << job->lastFailure().detail.toStdString();
    for (double p : recorder->progress)
        EXPECT_LT(p, 1.0);
}

TEST(CreationJobOnDrive, AnEraseThatFailsKeepsTheDrive)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    // Nothing is mounted there: the disk utility says "Error:" and exits non-zero.
    auto disk = std::make_shared<DiskModel>();
    disk->setName("GONE");
    disk->setVolume("/Volumes/GONE");
    job->eraseDiskWithDiskModel(disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 30000));
    EXPECT_EQ(recorder->results[0].kind, Kind::No);
    EXPECT_EQ(disk->volume(), "/Volumes/GONE");
    EXPECT_EQ(job->lastFailure().kind, DiskutilViewModel::Failure::Kind::ToolError);
    EXPECT_TRUE(job->lastFailure().detail.startsWith("Error: ")) << job->lastFailure().detail.toStdString();
}

TEST(CreationJobOnDrive, AQuoteAndCommandTextInTheMountPathRunNothing)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    // A name holds no "/", so the injected commands would write into the shell's working directory.
    QTemporaryDir scratch;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(scratch.path()));
    const QString name = QStringLiteral("it's $(touch ran) `touch ran`");
    LOOP_DRIVE(drive, "QUOTE", 32 * 1024 * 1024, false);
    ASSERT_TRUE(drive.mountAt("/Volumes/" + name)) << drive.error().toStdString();
    const QString marker = scratch.filePath("ran");
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    auto disk = DiskModel::initWithURL(drive.mountPoint());
    EXPECT_EQ(disk->volume(), "/Volumes/" + name);
    job->eraseDiskWithDiskModel(disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 60000));
    EXPECT_TRUE(recorder->results[0].kind == Kind::Erased) << "the erase itself works";
    EXPECT_FALSE(QFile::exists(marker));
    QDir::setCurrent(before);
}

// A mount path that is not valid UTF-8 names that volume and no other: as text it would read as the path of
// the second drive here, and that one would be erased.
TEST(CreationJobOnDrive, AMountPathThatIsNotUtf8IsErasedExactly)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    const QByteArray rawPath("/Volumes/X\xff"), lookalikePath("/Volumes/X\xef\xbf\xbd");
    LoopDrive raw("RAW", 32 * 1024 * 1024, false), lookalike("LOOKALIKE", 32 * 1024 * 1024, false);
    ASSERT_TRUE(raw.mountAtBytes(rawPath)) << raw.error().toStdString();
    ASSERT_TRUE(lookalike.mountAtBytes(lookalikePath)) << lookalike.error().toStdString();
    QFile marker(QFile::decodeName(lookalikePath + "/marker"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly) && marker.write("keep") == 4);
    marker.close();

    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    job->diskutilList();
    DiskModelPtr chosen;
    for (const DiskModelPtr &disk : recorder->lastList)
        if (disk->volumePath() == rawPath)
            chosen = disk;
    ASSERT_TRUE(chosen) << "the drive is listed with its exact path";
    EXPECT_EQ(chosen->name(), QString::fromUtf8("X\xef\xbf\xbd")) << "and shown with a readable name";
    job->eraseDiskWithDiskModel(chosen);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 60000));
    ASSERT_TRUE(recorder->results[0].kind == Kind::Erased) << job->lastFailure().detail.toStdString();
    EXPECT_TRUE(raw.mountPoint().startsWith("/Volumes/QRT"));
    ASSERT_TRUE(marker.open(QIODevice::ReadOnly));
    EXPECT_EQ(marker.readAll(), "keep");
}

// An ordinary user's create step: a dismissed or denied credentials dialog ends the step with no, and
// nothing is measured.
TEST(CreationJobOnDrive, ACancelledOrDeniedAuthorizationReportsNo)
{
    using testsupport::FakePkexec;
    BOOTDRIVE_RUN_BODY_UNPRIVILEGED();
    for (FakePkexec::Mode mode : {FakePkexec::Mode::Dismiss, FakePkexec::Mode::Deny}) {
        FakePkexec fake(mode);
        fake.putFirstOnPath();
        auto macOS = std::make_shared<MacOSModel>();
        macOS->setName("Install macOS Mojave");
        macOS->setPath("/tmp/Install macOS Mojave.app");
        macOS->setVolume("/Volumes/Install macOS Mojave");
        auto disk = std::make_shared<DiskModel>();
        disk->setVolume("/Volumes/QRTAAAAAAAA");
        auto job = std::make_unique<DiskutilViewModel>();
        auto recorder = std::make_shared<Recorder>();
        recorder->listen(*job);
        job->installMacOSWithMacOSModel(macOS, disk);
        ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 20000));
        testsupport::spin(1300);
        ASSERT_EQ(recorder->results.size(), 1u);
        EXPECT_EQ(recorder->results[0].kind, Kind::No);
        EXPECT_EQ(job->lastFailure().kind, DiskutilViewModel::Failure::Kind::AuthorizationRefused);
        EXPECT_TRUE(recorder->progress.empty()) << "no timer after a refused launch";
        EXPECT_FALSE(job->timer());
        EXPECT_EQ(fake.calls().size(), 1);
    }
}

namespace {

// An installer in a folder anyone may enter, whose creation tool is a script that starts a child of its
// own, as a tool does that copies a large installer. The marker in the child's command line finds whatever
// is left of it.
struct ScriptedInstaller
{
    QTemporaryDir folder;
    QByteArray marker = QFile::encodeName(folder.path()) + "/still-running";
    MacOSModelPtr macOS = std::make_shared<MacOSModel>();
    DiskModelPtr disk = std::make_shared<DiskModel>();

    // `rest` follows the start of the child.
    explicit ScriptedInstaller(const QByteArray &rest)
    {
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                 QFile::ReadOther | QFile::ExeOther);
        const QString bundle = folder.path() + "/Install macOS Mojave.app";
        QDir().mkpath(bundle + "/Contents/Resources");
        QFile tool(bundle + "/Contents/Resources/createinstallmedia");
        if (tool.open(QIODevice::WriteOnly))
            tool.write("#!/bin/sh\nsh -c 'while :; do sleep 0.2; done' '" + marker + "' &\n" + rest);
        tool.close();
        tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                            QFile::ExeOther);
        macOS->setName("Install macOS Mojave");
        macOS->setPath(bundle);
        macOS->setVolume(folder.path() + "/target");
        disk->setVolume(folder.path() + "/QRTAAAAAAAA");
    }
};

void cancelARunningTool()
{
    ScriptedInstaller scripted("echo 'Copying to disk: 0%...'\nwait\n");
    const QByteArray &marker = scripted.marker;
    const QString bundle = scripted.macOS->path();
    const MacOSModelPtr &macOS = scripted.macOS;
    const DiskModelPtr &disk = scripted.disk;

    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    job->installMacOSWithMacOSModel(macOS, disk);
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return !testsupport::processesMentioning(marker).isEmpty(); }, 20000))
        << "the tool started";
    ASSERT_TRUE(testsupport::waitUntil([&] { return job->state() == DiskutilState::Creating; }, 5000));
    QElapsedTimer clock;
    clock.start();
    job->cancel();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 8000));
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(recorder->results[0].kind, Kind::No);
    EXPECT_EQ(job->lastFailure().kind, DiskutilViewModel::Failure::Kind::Cancelled);
    EXPECT_TRUE(testsupport::processesMentioning(marker).isEmpty()) << "no process of the job is left";
    EXPECT_TRUE(testsupport::processesMentioning(QFile::encodeName(bundle)).isEmpty());
    EXPECT_EQ(job->state(), DiskutilState::Idle);
}

} // namespace

// The tool runs as root; the application may not be able to signal it. The stop goes through the privileged
// helper either way: as root, and for an ordinary user through pkexec.
TEST(CreationJobOnDrive, ACancelStopsTheCreationToolAndAllItStarted)
{
    cancelARunningTool();
}

TEST(CreationJobOnDrive, ACancelStopsTheCreationToolForAnOrdinaryUser)
{
    BOOTDRIVE_RUN_BODY_UNPRIVILEGED();
    testsupport::FakePkexec fake(testsupport::FakePkexec::Mode::Allow);
    fake.putFirstOnPath();
    cancelARunningTool();
}

TEST(CreationJobOnDrive, ACancelDuringTheVerificationEndsTheRunCancelled)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "8M"));
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->onState = [](DiskutilViewModel &running, DiskutilState phase) {
        if (phase == DiskutilState::Verifying)
            running.cancel();
    };
    recorder->listen(*job);
    auto disk = DiskModel::initWithURL("/Volumes/USB");
    job->eraseDiskWithDiskModel(disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 60000));
    job->installMacOSWithMacOSModel(MacOSModel::initWithURL(installer.path()), disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->results.size() > 1; }, 120000));
    EXPECT_EQ(recorder->results[1].kind, Kind::No);
    EXPECT_EQ(job->lastFailure().kind, DiskutilViewModel::Failure::Kind::Cancelled);
    for (double p : recorder->progress)
        EXPECT_LT(p, 1.0) << "a cancelled run never shows a full ring";
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Mojave") << "the drive stays mounted";
}

// A helper that dies without a chance to clean up (SIGKILL, the out-of-memory killer) takes the creation tool
// and whatever the tool started with it, and the job reports the failure only once none of them runs:
// never a failure alert while a root process still writes to the drive.
TEST(CreationJobOnDrive, AKilledHelperLeavesNoProcessOfTheJobBehind)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    auto killHelperOnceCopying = [](DiskutilViewModel &job, Recorder &recorder, const QByteArray &marker) {
        ASSERT_TRUE(testsupport::waitUntil(
            [&] {
                return job.state() == DiskutilState::Creating && !recorder.progress.empty() &&
                       !testsupport::processesMentioning(marker).isEmpty();
            },
            60000))
            << "the tool is copying";
        ASSERT_GT(job.task()->processIdentifier(), 0);
        ASSERT_EQ(::kill(job.task()->processIdentifier(), SIGKILL), 0);
        ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder.results.empty(); }, 30000));
        EXPECT_TRUE(testsupport::processesMentioning(marker).isEmpty())
            << "the failure is reported only once nothing of the job runs";
        ASSERT_TRUE((recorder.results.back().kind == Kind::Yes || recorder.results.back().kind == Kind::No));
        EXPECT_EQ(recorder.results.back().kind, Kind::No);
        EXPECT_NE(job.lastFailure().kind, DiskutilViewModel::Failure::Kind::ToolStillRunning);
        EXPECT_TRUE(job.lastFailure().driveIncomplete);
    };

    {
        SCOPED_TRACE("the creation tool copying onto a drive");
        DRIVE_AND_INSTALLER(("USB", 96 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "40M"));
        qputenv("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
        auto job = std::make_unique<DiskutilViewModel>();
        auto recorder = std::make_shared<Recorder>();
        recorder->listen(*job);
        auto disk = DiskModel::initWithURL("/Volumes/USB");
        job->eraseDiskWithDiskModel(disk);
        ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 60000));
        recorder->results.clear();
        job->installMacOSWithMacOSModel(MacOSModel::initWithURL(installer.path()), disk);
        killHelperOnceCopying(*job, *recorder, QFile::encodeName(installer.path()));
        qunsetenv("CREATEINSTALLMEDIA_RATE_LIMIT");
        EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Mojave");
        EXPECT_FALSE(QFileInfo::exists("/Volumes/Install macOS Mojave/.IAPhysicalMedia"));
    }
    {
        SCOPED_TRACE("a tool with a child of its own");
        ScriptedInstaller scripted("while :; do echo 'Copying to disk: 0%...'; sleep 0.2; done\n");
        auto job = std::make_unique<DiskutilViewModel>();
        auto recorder = std::make_shared<Recorder>();
        recorder->listen(*job);
        job->installMacOSWithMacOSModel(scripted.macOS, scripted.disk);
        const QByteArray &marker = scripted.marker;
        killHelperOnceCopying(*job, *recorder, marker);
    }
}

// The erase's generated name already taken below /Volumes (here by a folder the disk utility finds there):
// the erased volume gets a numbered mount point, and the job follows the drive there by its device, through
// the creation and the verification.
TEST(CreationJobOnDrive, AGeneratedNameThatIsTakenIsFollowedByDevice)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    QTemporaryDir shims;
    QFile shim(shims.filePath("diskutil"));
    ASSERT_TRUE(shim.open(QIODevice::WriteOnly));
    shim.write("#!/bin/sh\nmkdir -p \"/Volumes/$3\"\nexec '" +
               QFile::encodeName(SampleInstaller::buildDirectory()) + "/bin/diskutil' \"$@\"\n");
    shim.close();
    shim.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(shims.path()) + ':' + path);

    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "8M"));
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    auto disk = DiskModel::initWithURL("/Volumes/USB");
    job->eraseDiskWithDiskModel(disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 60000));
    qputenv("PATH", path);
    ASSERT_TRUE(recorder->results[0].kind == Kind::Erased) << job->lastFailure().detail.toStdString();
    EXPECT_TRUE(QRegularExpression("^/Volumes/QRT[A-Z]{8} 1$").match(disk->volume()).hasMatch())
        << disk->volume().toStdString();
    EXPECT_EQ(drive.mountPoint(), disk->volume());
    const QString taken = disk->volume().chopped(2);

    job->installMacOSWithMacOSModel(MacOSModel::initWithURL(installer.path()), disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->results.size() > 1; }, 120000));
    EXPECT_EQ(recorder->results[1].kind, Kind::Yes) << job->lastFailure().detail.toStdString();
    EXPECT_EQ(disk->volume(), "/Volumes/Install macOS Mojave") << "the record names the finished drive";
    EXPECT_TRUE(QDir().rmdir(taken)) << "the folder that held the name is still there";
}
