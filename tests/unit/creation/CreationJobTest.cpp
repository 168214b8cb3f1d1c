#include "Creation/DiskutilViewModel.h"
#include "support/EventLoop.h"
#include "support/JobRecorder.h"
#include "support/PrivateMounts.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

using Recorder = testsupport::JobRecorder;
using Kind = DiskutilResult::Kind;

// A folder put first on PATH with a diskutil stand-in made of the given shell body.
class FakeDiskutil
{
public:
    explicit FakeDiskutil(const QByteArray &body)
    {
        const QString path = m_dir.filePath("diskutil");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/bash\n" + body + "\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ":" + m_oldPath);
    }
    ~FakeDiskutil() { qputenv("PATH", m_oldPath); }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

DiskModelPtr diskAt(const QString &volume)
{
    auto disk = std::make_shared<DiskModel>();
    disk->setVolume(volume);
    disk->setName(volume.section('/', -1));
    return disk;
}

} // namespace

TEST(CreationJob, GeneratedNamesAndToolArguments)
{
    const QRegularExpression pattern("^QRT[A-Z]{8}$");
    QSet<QString> seen;
    for (int i = 0; i < 50; ++i) {
        const QString name = DiskutilViewModel::random16BigString();
        EXPECT_TRUE(pattern.match(name).hasMatch()) << name.toStdString();
        seen.insert(name);
    }
    EXPECT_GT(seen.size(), 45);

    MacOSModel elCapitan;
    elCapitan.setName("Install OS X El Capitan");
    elCapitan.setPath("/Applications/Install OS X El Capitan.app");
    elCapitan.setInstallType(1);
    DiskModel disk;
    disk.setVolume("/Volumes/QRTABCDEFGH");
    const QString tool = "/Applications/Install OS X El Capitan.app/Contents/Resources/createinstallmedia";
    EXPECT_EQ(DiskutilViewModel::creationArguments(elCapitan, disk),
              QStringList({tool, "--volume", "/Volumes/QRTABCDEFGH", "--applicationpath",
                           "/Applications/Install OS X El Capitan.app", "--nointeraction"}));
    MacOSModel mojave;
    mojave.setPath("/tmp/Install macOS Mojave.app");
    EXPECT_EQ(DiskutilViewModel::creationArguments(mojave, disk),
              QStringList({"/tmp/Install macOS Mojave.app/Contents/Resources/createinstallmedia", "--volume",
                           "/Volumes/QRTABCDEFGH", "/tmp/Install macOS Mojave.app", "--nointeraction"}));
}

TEST(CreationJob, EraseSucceedsOnlyWithoutErrorTextAndWithStatusZero)
{
    struct Case
    {
        QByteArray body;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"echo \"Started erase on $4\"; echo \"Finished erase on $4\"", true},
        {"echo 'Started erase'; echo 'Error: -69888: Couldn'\\''t unmount disk'; exit 0", false},
        {"printf 'Err'; sleep 0.3; printf 'or: split across pieces\\n'", false},
        {"exit 1", false},
    };
    for (const Case &c : cases) {
        FakeDiskutil fake(c.body);
        auto job = std::make_unique<DiskutilViewModel>();
        auto recorder = std::make_shared<Recorder>();
        recorder->listen(*job);
        auto disk = diskAt("/Volumes/USB");
        job->eraseDiskWithDiskModel(disk);
        ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 10000))
            << c.body.constData();
        ASSERT_EQ(recorder->results.size(), 1u);
        if (c.ok) {
            ASSERT_EQ(recorder->results[0].kind, Kind::Erased) << c.body.constData();
            EXPECT_EQ(recorder->results[0].drive, disk) << "the same record comes back";
            EXPECT_TRUE(QRegularExpression("^/Volumes/QRT[A-Z]{8}$").match(disk->volume()).hasMatch());
            EXPECT_EQ(job->state(), DiskutilState::Erased) << "the run waits for its go-ahead";
        } else {
            EXPECT_EQ(recorder->results[0].kind, Kind::No) << c.body.constData();
            EXPECT_EQ(disk->volume(), "/Volumes/USB") << "a failed erase keeps the old mount path";
            EXPECT_EQ(job->state(), DiskutilState::Idle);
        }
    }
}

TEST(CreationJob, MountPathsReachTheToolWholeAndRunNothing)
{
    QTemporaryDir scratch;
    const QString marker = scratch.filePath("pwned");
    FakeDiskutil fake("printf '%s\\0' \"$@\" > \"$(dirname \"$0\")/args\"");
    const QString hostile =
        QStringLiteral("/Volumes/it's $(touch %1) `touch %1` \"q\"\nline 2 \\ end").arg(marker);
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    job->eraseDiskWithDiskModel(diskAt(hostile));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder->results.empty(); }, 10000));
    QFile args(fake.dir() + "/args");
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    const QList<QByteArray> received = args.readAll().split('\0');
    ASSERT_GE(received.size(), 4);
    EXPECT_EQ(received[0], "eraseVolume");
    EXPECT_EQ(received[1], "HFS+");
    EXPECT_EQ(QString::fromUtf8(received[3]), hostile);
    EXPECT_FALSE(QFile::exists(marker)) << "nothing in the path was run by the shell";
}

TEST(CreationJob, WithoutAReceiverNothingIsReportedAndAGoneJobIsSilent)
{
    FakeDiskutil fake("echo ok");
    auto disk = diskAt("/Volumes/USB");
    {
        auto job = std::make_unique<DiskutilViewModel>();
        job->eraseDiskWithDiskModel(disk);
        testsupport::spin(100);
    }
    testsupport::spin(400);
    EXPECT_EQ(disk->volume(), "/Volumes/USB");
}

namespace {

// An installer bundle whose creation tool is a script: it records its arguments, then writes `steps` chunks
// of the bundle's size / steps into the installer's target folder, one every 0.3 s, and exits with `status`.
class ScriptedInstaller
{
public:
    // Writes into `target`, or a folder of its own.
    ScriptedInstaller(int steps, int status, const QString &name = QStringLiteral("Install macOS Mojave"),
                      const QString &target = QString())
    {
        m_bundle = m_dir.filePath(name + ".app");
        QDir().mkpath(m_bundle + "/Contents/Resources");
        QDir().mkpath(m_bundle + "/Contents/SharedSupport");
        QFile payload(m_bundle + "/Contents/SharedSupport/InstallESD.dmg");
        EXPECT_TRUE(payload.open(QIODevice::WriteOnly));
        payload.write(QByteArray(3 * 1048576, 'p'));
        payload.close();
        m_target = target.isEmpty() ? m_dir.filePath("target") : target;
        const QString tool = m_bundle + "/Contents/Resources/createinstallmedia";
        QFile script(tool);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(
            QStringLiteral(
                "#!/bin/bash\n"
                "printf '%s\\0' \"$0\" \"$@\" > '%1/args'\n"
                "mkdir -p '%2'\n"
                "total=$(du -sb --apparent-size '%3' | cut -f1)\n"
                "for i in $(seq 1 %4); do sleep 0.3; head -c $((total / %4)) /dev/zero > '%2'/part$i; "
                "echo \"Copying to disk: $((i * 100 / %4))%%...\"; done\n"
                "head -c 4096 /dev/zero > '%2'/extra\n"
                "cp -a '%3' '%2'/\n"
                "exit %5\n")
                .arg(m_dir.path(), m_target, m_bundle)
                .arg(steps)
                .arg(status)
                .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile plist(m_bundle + "/Contents/Info.plist");
        EXPECT_TRUE(plist.open(QIODevice::WriteOnly));
        plist.write(QStringLiteral(
                        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleDisplayName</key>"
                        "<string>%1</string></dict></plist>")
                        .arg(name)
                        .toUtf8());
        plist.close();
        m_model = MacOSModel::initWithURL(m_bundle);
        m_model->setVolume(m_target);
    }
    MacOSModelPtr model() const { return m_model; }
    QStringList receivedArguments() const
    {
        QFile f(m_dir.filePath("args"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList out;
        for (const QByteArray &a : f.readAll().split('\0'))
            out << QString::fromUtf8(a);
        out.removeLast();
        return out;
    }

private:
    QTemporaryDir m_dir;
    QString m_bundle;
    QString m_target;
    MacOSModelPtr m_model;
};

} // namespace

TEST(CreationJob, CreateStepRisesBelowFullUntilTheToolSucceedsThenReportsYesOnce)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the creation tool starts directly only as root";
    ScriptedInstaller installer(6, 0);
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    auto disk = diskAt("/Volumes/QRTABCDEFGH");
    job->installMacOSWithMacOSModel(installer.model(), disk);
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->finalResults() > 0; }, 20000));
    testsupport::spin(1500);

    ASSERT_EQ(recorder->results.size(), 1u);
    EXPECT_EQ(recorder->results[0].kind, Kind::Yes);
    ASSERT_GE(recorder->progress.size(), 2u);
    EXPECT_DOUBLE_EQ(recorder->progress.back(), 1.0);
    for (size_t i = 0; i + 1 < recorder->progress.size(); ++i) {
        EXPECT_LE(recorder->progress[i], 0.99) << "never full while the tool runs";
        EXPECT_LE(recorder->progress[i], recorder->progress[i + 1]) << "progress rises";
    }
    EXPECT_FALSE(job->timer()) << "no timer after the end";
    const QString tool = installer.model()->path() + "/Contents/Resources/createinstallmedia";
    EXPECT_EQ(installer.receivedArguments(), QStringList({tool, tool, "--volume", "/Volumes/QRTABCDEFGH",
                                                          installer.model()->path(), "--nointeraction"}));
}

TEST(CreationJob, ATypeOneInstallerGetsTheApplicationPathOption)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the creation tool starts directly only as root";
    ScriptedInstaller installer(1, 0, "Install OS X El Capitan");
    ASSERT_EQ(installer.model()->installType(), 1);
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    job->installMacOSWithMacOSModel(installer.model(), diskAt("/Volumes/QRTABCDEFGH"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->finalResults() > 0; }, 20000));
    const QString tool = installer.model()->path() + "/Contents/Resources/createinstallmedia";
    EXPECT_EQ(installer.receivedArguments(),
              QStringList({tool, tool, "--volume", "/Volumes/QRTABCDEFGH", "--applicationpath",
                           installer.model()->path(), "--nointeraction"}));
}

TEST(CreationJob, AFailingToolReportsNoAndStopsMeasuring)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the creation tool starts directly only as root";
    ScriptedInstaller installer(8, 1); // writes more than the bundle, then fails
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    job->installMacOSWithMacOSModel(installer.model(), diskAt("/Volumes/QRTABCDEFGH"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->finalResults() > 0; }, 20000));
    const size_t progressAtEnd = recorder->progress.size();
    testsupport::spin(2200);
    ASSERT_EQ(recorder->results.size(), 1u);
    EXPECT_EQ(recorder->results[0].kind, Kind::No);
    EXPECT_EQ(recorder->progress.size(), progressAtEnd) << "no tick after the failure";
    for (double p : recorder->progress)
        EXPECT_LE(p, 0.99);
}

TEST(CreationJob, CompletionArrivesWithoutAProgressCallback)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the creation tool starts directly only as root";
    ScriptedInstaller installer(2, 0);
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>(false);
    recorder->listen(*job);
    job->installMacOSWithMacOSModel(installer.model(), diskAt("/Volumes/QRTABCDEFGH"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->finalResults() > 0; }, 20000));
    EXPECT_TRUE(recorder->progress.empty());
    EXPECT_TRUE(recorder->lastIs(Kind::Yes));
}

namespace {

// A volume of its own below /Volumes, for the checks before the erase to find: a tmpfs in the tests' private
// mount namespace.
class ScratchVolume
{
public:
    explicit ScratchVolume(const QString &path) : m_path(path)
    {
        QDir().mkpath(path);
        m_mounted = ::mount("tmpfs", path.toUtf8().constData(), "tmpfs", 0, "size=64m") == 0;
    }
    ~ScratchVolume()
    {
        if (m_mounted)
            ::umount2(m_path.toUtf8().constData(), MNT_DETACH);
        QDir().rmdir(m_path);
    }
    bool isMounted() const { return m_mounted; }

private:
    QString m_path;
    bool m_mounted = false;
};

#define REQUIRE_PRIVATE_MOUNTS()                                                                             \
    if (!testsupport::PrivateMounts::ready())                                                                \
    GTEST_SKIP() << testsupport::PrivateMounts::skipReason().toStdString()

} // namespace

// The whole run through the job's one continuation: the checks, the erase, the create step and the
// verification follow each other without anyone relaying the erased drive, and each state comes once, in
// order.
TEST(CreationJob, AWholeRunGoesThroughItsStatesInOrder)
{
    REQUIRE_PRIVATE_MOUNTS();
    FakeDiskutil fake("echo \"Finished erase on $4\"");
    ScratchVolume volume("/Volumes/SCRATCH");
    ASSERT_TRUE(volume.isMounted());
    ScriptedInstaller installer(2, 0, "Install macOS Mojave", "/Volumes/SCRATCH");
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);
    auto disk = DiskModel::initWithURL("/Volumes/SCRATCH");
    job->createInstallerDrive(installer.model(), disk, DiskutilViewModel::AfterErase::Continue);
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->finalResults() > 0; }, 30000));
    ASSERT_EQ(recorder->results.size(), 2u);
    EXPECT_EQ(recorder->results[0].kind, Kind::Erased);
    EXPECT_EQ(recorder->results[0].drive, disk);
    EXPECT_EQ(recorder->results[1].kind, Kind::Yes) << job->lastFailure().detail.toStdString();
    const std::vector<DiskutilState> path = {
        DiskutilState::Checking, DiskutilState::Erasing,   DiskutilState::Erased, DiskutilState::Authorizing,
        DiskutilState::Creating, DiskutilState::Verifying, DiskutilState::Idle};
    EXPECT_EQ(recorder->states, path);
    EXPECT_GT(job->lastCheck().installerBytes, 3 * 1048576) << "the checks measured the installer";
    EXPECT_EQ(disk->volume(), "/Volumes/SCRATCH") << "followed by its device";
}

// A run that cannot go ahead, or is stopped before anything was written, erases nothing; a run under way
// refuses another.
TEST(CreationJob, ARefusedOrStoppedRunChangesNothing)
{
    REQUIRE_PRIVATE_MOUNTS();
    QTemporaryDir scratch;
    const QString ran = scratch.filePath("erased");
    FakeDiskutil fake("touch '" + ran.toUtf8() + "'; echo ok");
    ScratchVolume volume("/Volumes/SCRATCH");
    ASSERT_TRUE(volume.isMounted());
    ScriptedInstaller installer(1, 0);
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<Recorder>();
    recorder->listen(*job);

    // Refused by the checks: the drive is no longer mounted where it was confirmed.
    auto gone = std::make_shared<DiskModel>(*DiskModel::initWithURL("/Volumes/SCRATCH"));
    gone->setVolume("/Volumes/GONE");
    job->createInstallerDrive(installer.model(), gone, DiskutilViewModel::AfterErase::Continue);
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->finalResults() == 1; }, 10000));
    EXPECT_TRUE(recorder->lastIs(Kind::No));
    EXPECT_EQ(job->lastFailure().kind, DiskutilViewModel::Failure::Kind::Refused);
    EXPECT_EQ(job->lastFailure().check.refusal, CreationPreflight::Refusal::DriveGone);
    EXPECT_FALSE(job->lastFailure().driveIncomplete);
    EXPECT_EQ(recorder->states, (std::vector<DiskutilState>{DiskutilState::Checking, DiskutilState::Idle}));

    // Cancelled while the checks run.
    auto disk = DiskModel::initWithURL("/Volumes/SCRATCH");
    job->createInstallerDrive(installer.model(), disk, DiskutilViewModel::AfterErase::Continue);
    job->cancel();
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->finalResults() == 2; }, 10000));
    EXPECT_EQ(job->lastFailure().kind, DiskutilViewModel::Failure::Kind::Cancelled);
    EXPECT_FALSE(QFile::exists(ran)) << "nothing was erased";

    // Erased and waiting for the go-ahead: another run is refused, a cancel ends this one.
    job->createInstallerDrive(installer.model(), disk, DiskutilViewModel::AfterErase::WaitForGoAhead);
    ASSERT_TRUE(testsupport::waitUntil([&] { return job->state() == DiskutilState::Erased; }, 10000));
    job->eraseDiskWithDiskModel(disk);
    job->installMacOSWithMacOSModel(installer.model(), std::make_shared<DiskModel>(*disk));
    testsupport::spin(200);
    EXPECT_EQ(job->state(), DiskutilState::Erased) << "a run under way refuses another";
    job->cancel();
    EXPECT_EQ(job->state(), DiskutilState::Idle);
    EXPECT_TRUE(recorder->lastIs(Kind::No));
    EXPECT_EQ(job->lastFailure().kind, DiskutilViewModel::Failure::Kind::Cancelled);
    EXPECT_TRUE(job->lastFailure().driveIncomplete) << "the drive was erased";
}
