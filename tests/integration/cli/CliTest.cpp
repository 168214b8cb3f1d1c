#include "Cli/CommandLine.h"
#include "support/EventLoop.h"
#include "support/LoopDrive.h"
#include "support/ProcessTable.h"
#include "support/ProgramRun.h"
#include "support/SampleInstaller.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

using testsupport::LoopDrive;
using testsupport::ProgramRun;
using testsupport::SampleInstaller;

namespace {

QString bootdrive()
{
    return SampleInstaller::buildDirectory() + QStringLiteral("/bin/bootdrive");
}

ProgramRun cli(const QStringList &arguments, const QByteArray &input = {},
               const QStringList &environment = {})
{
    return ProgramRun::run(bootdrive(), arguments, environment, input);
}

#define REQUIRE_DRIVES()                                                                                     \
    if (const QString reason = LoopDrive::skipReason(); !reason.isEmpty())                                   \
    GTEST_SKIP() << reason.toStdString()

bool writeMarker(const QString &volume)
{
    QFile marker(volume + QStringLiteral("/marker.txt"));
    return marker.open(QIODevice::WriteOnly) && marker.write("the old data") == 12;
}

QByteArray readMarker(const QString &volume)
{
    QFile marker(volume + QStringLiteral("/marker.txt"));
    return marker.open(QIODevice::ReadOnly) ? marker.readAll() : QByteArray();
}

} // namespace

TEST(CommandLine, TellsTheWindowTheCommandsAndBadArgumentsApart)
{
    using Command = CommandLine::Command;
    const struct
    {
        QByteArrayList arguments;
        Command command;
    } cases[] = {
        {{}, Command::Window},
        {{"-platform", "offscreen"}, Command::Window},
        {{"--style=fusion", "-reverse", "-qwindowtitle", "x"}, Command::Window},
        {{"-platform"}, Command::Invalid},
        {{"-reverse=1"}, Command::Invalid},
        {{"--help"}, Command::Help},
        {{"create", "-h"}, Command::Help},
        {{"--version"}, Command::Version},
        {{"--version", "list"}, Command::Invalid},
        {{"list"}, Command::List},
        {{"list", "--yes"}, Command::Invalid},
        {{"create", "--installer", "I.app", "--volume=/Volumes/U", "-y", "--no-verify", "--json"},
         Command::Create},
        {{"create", "--installer", "I.app"}, Command::Invalid},
        {{"create", "--installer=", "--volume", "/Volumes/U"}, Command::Invalid},
        {{"create", "--installer", "a", "--installer", "b", "--volume", "v"}, Command::Invalid},
        {{"create", "--volume"}, Command::Invalid},
        {{"frobnicate"}, Command::Invalid},
        {{"-platform", "offscreen", "list"}, Command::Invalid},
    };
    for (const auto &c : cases) {
        const CommandLine line = CommandLine::parse(c.arguments);
        EXPECT_EQ(line.command, c.command) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(line.error.isEmpty(), c.command != Command::Invalid) << c.arguments.join(' ').toStdString();
    }
    const CommandLine create =
        CommandLine::parse({"create", "--installer", "I.app", "--volume=/Volumes/U", "-y", "--no-verify"});
    EXPECT_EQ(create.installer, "I.app");
    EXPECT_EQ(create.volume, "/Volumes/U");
    // Paths keep the file system's bytes, valid UTF-8 or not.
    const CommandLine bytes =
        CommandLine::parse({"create", "--installer=I\xff.app", "--volume", "/Volumes/X\xff"});
    EXPECT_EQ(bytes.installer, QByteArray("I\xff.app"));
    EXPECT_EQ(bytes.volume, QByteArray("/Volumes/X\xff"));
    EXPECT_TRUE(create.yes);
    EXPECT_FALSE(create.verify);
    EXPECT_FALSE(create.json);
}

TEST(BootDriveCli, BadArgumentsGetAMessageAndStatus64)
{
    for (const QStringList &arguments : QList<QStringList>{
             {"frobnicate"}, {"list", "--bogus"}, {"create", "--installer", "x.app"}, {"--version", "now"}}) {
        const ProgramRun run = cli(arguments);
        EXPECT_EQ(run.exitCode, 64) << run.describe().toStdString();
        EXPECT_TRUE(run.err.startsWith("bootdrive: ") && run.err.contains("--help")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    const ProgramRun help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("bootdrive create --installer PATH")) << help.out.toStdString();
    const ProgramRun version = cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("BootDrive ")) << version.out.toStdString();
    // In the build tree the tools sit beside the executable.
    EXPECT_TRUE(version.out.contains("Tools: " + QFileInfo(bootdrive()).canonicalPath().toUtf8()))
        << version.out.toStdString();
}

TEST(BootDriveCli, ListShowsAFreshDrive)
{
    REQUIRE_DRIVES();
    LoopDrive drive("FRESH", 48 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid()) << drive.error().toStdString();
    const ProgramRun run = cli({"list", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.describe().toStdString();
    const QJsonDocument document = QJsonDocument::fromJson(run.out);
    ASSERT_TRUE(document.isArray()) << run.out.toStdString();
    const QJsonObject expected{{"name", "FRESH"},
                               {"volume", "/Volumes/FRESH"},
                               {"device", drive.device()},
                               {"capacity", drive.bytes()},
                               {"incomplete", false}};
    EXPECT_TRUE(document.array().contains(expected)) << run.out.toStdString();

    const ProgramRun table = cli({"list"});
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_TRUE(table.out.contains("/Volumes/FRESH") && table.out.contains(drive.device().toUtf8()))
        << table.out.toStdString();
}

TEST(BootDriveCli, CreateMakesAVerifiedInstallerDrive)
{
    REQUIRE_DRIVES();
    LoopDrive drive("USB", 64 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid()) << drive.error().toStdString();
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "8M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();

    // Not a terminal: one JSON object per line without asking for it.
    const ProgramRun run =
        cli({"create", "--installer", installer.path(), "--volume", "/Volumes/USB", "--yes"});
    ASSERT_EQ(run.exitCode, 0) << run.describe().toStdString();
    const QList<QJsonObject> lines = run.jsonLines();
    ASSERT_FALSE(lines.isEmpty());
    QStringList phases;
    for (const QJsonObject &line : lines) {
        for (const char *key : {"phase", "fraction", "bytes", "message"})
            EXPECT_TRUE(line.contains(key)) << key;
        if (phases.isEmpty() || phases.last() != line["phase"].toString())
            phases << line["phase"].toString();
    }
    EXPECT_EQ(phases, QStringList({"checking", "erasing", "authorizing", "creating", "verifying", "done"}));
    const QJsonObject last = lines.last();
    EXPECT_EQ(last["fraction"].toDouble(), 1.0);
    EXPECT_GT(last["bytes"].toInteger(), 8 * 1000 * 1000);
    EXPECT_TRUE(last["message"].toString().contains("(verified)"));
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Mojave");
    EXPECT_TRUE(
        QFileInfo("/Volumes/Install macOS Mojave/Install macOS Mojave.app/Contents/Info.plist").isFile());
}

TEST(BootDriveCli, EachRefusalExitsWith2AndLeavesTheDriveAlone)
{
    REQUIRE_DRIVES();
    LoopDrive drive("USB", 64 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid()) << drive.error().toStdString();
    LoopDrive small("SMALL", 16 * 1024 * 1024);
    ASSERT_TRUE(small.isValid()) << small.error().toStdString();
    ASSERT_TRUE(writeMarker("/Volumes/USB") && writeMarker("/Volumes/SMALL"));

    SampleInstaller good("Install macOS Mojave", "10.14.6", "2M");
    SampleInstaller large("Install macOS Mojave", "10.14.6", "24M");
    SampleInstaller unsupported("Install macOS Big Sur", "11.0", "1M");
    // Type-1 installers must lie in /Applications.
    SampleInstaller sierra("Install macOS Sierra", "10.12.6", "1M");
    SampleInstaller toolless("Install macOS Mojave", "10.14.6", "1M");
    for (const SampleInstaller *i : {&good, &large, &unsupported, &sierra, &toolless})
        ASSERT_TRUE(i->isValid()) << i->error().toStdString();
    ASSERT_TRUE(QFile::remove(toolless.toolPath()));
    const QString onDrive = "/Volumes/USB/Install macOS Mojave.app";
    ASSERT_EQ(QProcess::execute("cp", {"-a", good.path(), onDrive}), 0);

    const struct
    {
        const char *what;
        QString installer;
        QString volume;
        bool yes;
        QByteArray typed; // what the user types when not --yes (nothing: the input just ends)
        const char *said;
    } cases[] = {
        {"unsupported installer",
         unsupported.path(),
         "/Volumes/USB",
         true,
         {},
         "is not an installer BootDrive"},
        {"type 1 outside /Applications",
         sierra.path(),
         "/Volumes/USB",
         true,
         {},
         "must lie in /Applications"},
        {"no installer there",
         good.folder() + "/Nothing.app",
         "/Volumes/USB",
         true,
         {},
         "no installer application"},
        {"volume not listed", good.path(), "/Volumes/NOPE", true, {}, "is not a drive BootDrive can use"},
        {"installer on the drive", onDrive, "/Volumes/USB", true, {}, "lies on the drive"},
        {"tool cannot run", toolless.path(), "/Volumes/USB", true, {}, "cannot run on this machine"},
        {"drive too small", large.path(), "/Volumes/SMALL", true, {}, "too small"},
        {"wrong name typed", good.path(), "/Volumes/USB", false, "USB2\n", "the name typed is not \"USB\""},
        {"nothing typed", good.path(), "/Volumes/USB", false, {}, "no confirmation"},
    };
    for (const auto &c : cases) {
        QStringList arguments = {"create", "--installer", c.installer, "--volume", c.volume, "--json"};
        if (c.yes)
            arguments << "--yes";
        const ProgramRun run = cli(arguments, c.typed);
        EXPECT_EQ(run.exitCode, 2) << c.what << "\n" << run.describe().toStdString();
        const QList<QJsonObject> lines = run.jsonLines();
        ASSERT_FALSE(lines.isEmpty()) << c.what;
        EXPECT_EQ(lines.last()["phase"].toString(), "refused") << c.what;
        EXPECT_TRUE(lines.last()["message"].toString().contains(c.said))
            << c.what << ": " << lines.last()["message"].toString().toStdString();
        EXPECT_TRUE(run.err.contains(c.said)) << c.what;
        for (const QJsonObject &line : lines)
            EXPECT_NE(line["phase"].toString(), "erasing") << c.what;
        EXPECT_EQ(readMarker("/Volumes/USB"), "the old data") << c.what;
        EXPECT_EQ(readMarker("/Volumes/SMALL"), "the old data") << c.what;
    }
    EXPECT_EQ(drive.mountPoint(), "/Volumes/USB");
    EXPECT_EQ(small.mountPoint(), "/Volumes/SMALL");
}

TEST(BootDriveCli, ASigintDuringTheCopyCancelsAndLeavesNoJobProcess)
{
    REQUIRE_DRIVES();
    LoopDrive drive("USB", 96 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid()) << drive.error().toStdString();
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "40M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // 4 MiB/s: the copy takes about ten seconds.
    environment.insert("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
    process.setProcessEnvironment(environment);
    process.start(bootdrive(), {"create", "--installer", installer.path(), "--volume", "/Volumes/USB/"});
    ASSERT_TRUE(process.waitForStarted());
    // Confirmed by typing the volume's name.
    process.write("USB\n");
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    auto copying = [&] {
        for (const QByteArray &line : out.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object["phase"].toString() == "creating" && object["fraction"].toDouble() > 0)
                return true;
        }
        return false;
    };
    while (!copying() && clock.elapsed() < 120000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        out += process.readAllStandardOutput();
    }
    ASSERT_TRUE(copying()) << out.toStdString() << process.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    out += process.readAllStandardOutput();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 3) << out.toStdString() << process.readAllStandardError().toStdString();
    ProgramRun run;
    run.out = out;
    const QList<QJsonObject> lines = run.jsonLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last()["phase"].toString(), "cancelled");
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return testsupport::processesMentioning(installer.path().toUtf8()).isEmpty(); }, 6000))
        << "a process of the job is still running";
}
