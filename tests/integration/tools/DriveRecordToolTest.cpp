#include "Platform/Volumes/BlockDevice.h"
#include "Platform/Volumes/DriveRecord.h"
#include "ToolRun.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::DriveRecord;

namespace {

QByteArray sampleRecord(const std::string &version)
{
    DriveRecord record;
    record.installerName = "Install macOS Mojave";
    record.installerVersion = version;
    record.made = "2026-12-08T09:30:00Z";
    record.items = {{DriveRecord::Item::Kind::Folder, 0755, 0, {}, "Install macOS Mojave.app", {}}};
    return QByteArray::fromStdString(record.encode());
}

// Every name below the folder with its kind and size, so a refusal that wrote anything shows.
QStringList tree(const QString &root)
{
    QStringList names;
    for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QFileInfo info(it.next());
        names << QStringLiteral("%1 %2 %3").arg(info.filePath()).arg(info.isSymLink()).arg(info.size());
    }
    names.sort();
    return names;
}

DriveRecord::Read recordAt(const QString &volume)
{
    const int top = ::open(QFile::encodeName(volume).constData(), O_RDONLY | O_DIRECTORY);
    const DriveRecord::Read read = DriveRecord::readFrom(top);
    ::close(top);
    return read;
}

} // namespace

// The record tool writes a record only into its own folder at the top of the volume the device holds, and
// refuses every other place, device and input with status 2 before anything changes.
TEST(DriveRecordTool, WritesOnlyARecordAtTheTopOfTheDevicesVolume)
{
    REQUIRE_DRIVES();
    LOOP_DRIVE(drive, "USB");
    LOOP_DRIVE(other, "OTHER");
    ASSERT_TRUE(QDir().mkpath("/Volumes/USB/inner") && QDir().mkpath("/Volumes/OTHER/target"));
    ASSERT_TRUE(QDir().mkpath("/Volumes/plain"));
    const QString device = platform::BlockDevice::numberText(drive.deviceNumber());
    struct stat volumes
    {};
    ASSERT_EQ(::stat("/Volumes", &volumes), 0);
    const QString volumesDevice = platform::BlockDevice::numberText(volumes.st_dev);
    const QByteArray record = sampleRecord("10.14.6");
    const auto write = [&](const QString &volume, const QString &number, const QByteArray &input) {
        return ToolRun::run(ToolRun::tool("bootdrive-record"), {"--volume", volume, "--device", number},
                            ToolRun::environment(), input);
    };
    const auto nothing = [] {};
    const struct
    {
        const char *what;
        QString volume;
        QString device;
        QByteArray input;
        std::function<void()> prepare;
    } refusals[] = {
        {"a folder on the drive", "/Volumes/USB/inner", device, record, nothing},
        {"a path outside /Volumes", "/tmp", device, record, nothing},
        {"a path with ..", "/Volumes/../Volumes/USB", device, record, nothing},
        {"another device's volume", "/Volumes/OTHER", device, record, nothing},
        {"a folder that is no volume's top", "/Volumes/plain", volumesDevice, record, nothing},
        {"no device number", "/Volumes/USB", "USB", record, nothing},
        {"input that is not a record", "/Volumes/USB", device, "hello\n", nothing},
        {"a record that is too large", "/Volumes/USB", device,
         record + QByteArray(int(DriveRecord::MaxBytes) - record.size() + 1, 'x'), nothing},
        {"a link in the folder's place", "/Volumes/USB", device, record,
         [] { QFile::link("/Volumes/OTHER/target", "/Volumes/USB/.BootDrive"); }},
        {"a file in the folder's place", "/Volumes/USB", device, record,
         [] {
             QFile::remove("/Volumes/USB/.BootDrive");
             writeText("/Volumes/USB/.BootDrive", "x");
         }},
    };
    for (const auto &refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        refusal.prepare();
        const QStringList before = tree("/Volumes");
        const ToolRun run = write(refusal.volume, refusal.device, refusal.input);
        EXPECT_EQ(run.exitCode, 2) << run.output.toStdString();
        EXPECT_EQ(run.errorLines().size(), 1) << run.output.toStdString();
        EXPECT_EQ(tree("/Volumes"), before) << "nothing was written";
    }

    QFile::remove("/Volumes/USB/.BootDrive");
    for (const std::string version : {"10.14.5", "10.14.6"}) {
        const ToolRun run = write("/Volumes/USB", device, sampleRecord(version));
        ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
        const DriveRecord::Read read = recordAt("/Volumes/USB");
        ASSERT_TRUE(read.record) << DriveRecord::describe(read.refusal);
        EXPECT_EQ(read.record->installerVersion, version) << "a new record replaces the old";
    }
    EXPECT_EQ(
        QDir("/Volumes/USB/.BootDrive").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"record"});
    struct stat info
    {};
    ASSERT_EQ(::stat("/Volumes/USB/.BootDrive/record", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    ASSERT_EQ(::stat("/Volumes/USB/.BootDrive", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
}

namespace {

// The privileged helper started as the application starts it, with its input open until the test acts.
class StayingHelper
{
public:
    explicit StayingHelper(const QString &tool)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(ToolRun::tool("bootdrive-privileged-exec"), {"--stay", "--", tool});
    }
    // Waits for the helper's line on the program's end.
    bool waitForEnd()
    {
        return testsupport::waitUntil(
            [&] {
                m_output += m_process.readAll();
                return m_output.contains("\nbootdrive-privileged-exec: ended ") && m_output.endsWith('\n');
            },
            20000);
    }
    QProcess &process() { return m_process; }
    // The exit status once the helper has ended; -1 when it did not within the time.
    int finish()
    {
        if (!m_process.waitForFinished(20000))
            return -1;
        m_output += m_process.readAll();
        return m_process.exitCode();
    }
    const QByteArray &output() const { return m_output; }

private:
    QProcess m_process;
    QByteArray m_output;
};

} // namespace

// After the program's end the helper tells its status and waits for one request: every way of letting it go
// or stopping it ends it with the program's status at once, and a record request runs our record tool and
// ends with the tool's status.
TEST(PrivilegedHelper, StaysAfterTheProgramForOneRequestAndEndsOnAnyStop)
{
    QTemporaryDir dir;
    const QString tool = dir.filePath("Tool.app/Contents/Resources/createinstallmedia");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(tool).path()));
    ASSERT_TRUE(writeScript(tool, "#!/bin/sh\necho copied\nprintf 'no line end'\nexit 3\n"));
    const std::vector<std::pair<const char *, std::function<void(QProcess &)>>> stops = {
        {"done", [](QProcess &helper) { helper.write("done\n"); }},
        {"cancel", [](QProcess &helper) { helper.write("cancel\n"); }},
        {"the end of its input", [](QProcess &helper) { helper.closeWriteChannel(); }},
        {"SIGTERM", [](QProcess &helper) { ::kill(pid_t(helper.processId()), SIGTERM); }},
    };
    for (const auto &[what, stop] : stops) {
        SCOPED_TRACE(what);
        StayingHelper helper(tool);
        ASSERT_TRUE(helper.waitForEnd()) << helper.output().toStdString();
        testsupport::spin(100);
        EXPECT_EQ(helper.process().state(), QProcess::Running) << "it waits for its request";
        stop(helper.process());
        EXPECT_EQ(helper.finish(), 3) << helper.output().toStdString();
        EXPECT_TRUE(helper.output().endsWith("copied\nno line end\nbootdrive-privileged-exec: ended 3\n"))
            << helper.output().toStdString();
    }

    StayingHelper recording(tool);
    ASSERT_TRUE(recording.waitForEnd());
    recording.process().write("record 6 7:0 /Volumes/GONE\nhello\n");
    EXPECT_EQ(recording.finish(), 2) << "the record tool's refusal";
    EXPECT_TRUE(recording.output().contains("ended 3\nError: ")) << recording.output().toStdString();
    StayingHelper garbled(tool);
    ASSERT_TRUE(garbled.waitForEnd());
    garbled.process().write("record -6 7:0 /Volumes/GONE\nhello\n");
    EXPECT_EQ(garbled.finish(), 2);
    EXPECT_FALSE(garbled.output().contains("Error: ")) << "nothing ran";
}
