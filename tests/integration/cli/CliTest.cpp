#include "Cli/CommandLine.h"
#include "Platform/Volumes/DriveRecord.h"
#include "Platform/Volumes/MountTable.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"
#include "support/FakePkexec.h"
#include "support/LoopDrive.h"
#include "support/ProcessTable.h"
#include "support/ProgramRun.h"
#include "support/SampleInstaller.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/mount.h>

using testsupport::LoopDrive;
using testsupport::ProgramRun;
using testsupport::SampleInstaller;
using testsupport::Unprivileged;

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

namespace {

bool writeMarkerAt(const QByteArray &volume)
{
    return writeMarker(QFile::decodeName(volume));
}

QByteArray markerAt(const QByteArray &volume)
{
    return readMarker(QFile::decodeName(volume));
}

// Starts "create" at the pace of a slow stick (4 MiB/s, so a 40 MiB copy takes about ten seconds), answers
// the confirmation, and returns its output once the copy is measurably under way; empty when it never is.
QByteArray startCopying(QProcess &process, const SampleInstaller &installer, const QString &volume,
                        const QByteArray &typed)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
    process.setProcessEnvironment(environment);
    process.start(bootdrive(), {"create", "--installer", installer.path(), "--volume", volume});
    if (!process.waitForStarted())
        return {};
    process.write(typed);
    QByteArray out;
    auto copying = [&] {
        for (const QByteArray &line : out.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object["phase"].toString() == "creating" && object["fraction"].toDouble() > 0)
                return true;
        }
        return false;
    };
    QElapsedTimer clock;
    clock.start();
    while (!copying() && clock.elapsed() < 120000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        out += process.readAllStandardOutput();
    }
    return copying() ? out : QByteArray();
}

QJsonObject listed(const QByteArray &name)
{
    const ProgramRun run = cli({"list", "--json"});
    for (const QJsonValue &drive : QJsonDocument::fromJson(run.out).array())
        if (drive["name"].toString() == QString::fromUtf8(name))
            return drive.toObject();
    return {};
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
        {{"list", "--all", "--json"}, Command::List},
        {{"create", "--all", "--installer", "I.app", "--volume", "/Volumes/U"}, Command::Invalid},
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
    EXPECT_TRUE(CommandLine::parse({"list", "-a"}).all);
    EXPECT_FALSE(CommandLine::parse({"list"}).all);
    // A platform named on the command line needs no display found in the environment.
    EXPECT_TRUE(CommandLine::parse({"-style", "fusion", "-platform", "offscreen"}).platformNamed);
    EXPECT_TRUE(CommandLine::parse({"--platform=xcb"}).platformNamed);
    EXPECT_FALSE(CommandLine::parse({"-style", "fusion"}).platformNamed);
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

// Without a display the window cannot open: the command says so and names what works without one, instead
// of the toolkit aborting.
TEST(BootDriveCli, WithoutADisplayTheWindowSaysWhatWorksInstead)
{
    const ProgramRun run = cli({}, {}, {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
    EXPECT_EQ(run.exitCode, 69) << run.describe().toStdString();
    EXPECT_TRUE(run.err.startsWith("bootdrive: there is no display")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("bootdrive list") && run.err.contains("bootdrive create"))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(cli({"--help"}).out.contains("69 no display")) << "the status is documented";
}

TEST(BootDriveCli, ListShowsAFreshDrive)
{
    REQUIRE_DRIVES();
    LOOP_DRIVE(drive, "FRESH", 48 * 1024 * 1024);
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

// A removable drive mounted outside /Volumes, and one not mounted, are named with why by "list --all" and
// nowhere else, and "create" given the first one's mount path says where it is and how to mount it; the
// disk utility's mount brings one into the list, its eject takes it out again. Loop devices are never
// removable to the kernel, so the test names them removable; without that they are not listed at all.
TEST(BootDriveCli, ListAllNamesDrivesOutsideVolumesUntilTheyAreMountedThere)
{
    REQUIRE_DRIVES();
    QTemporaryDir elsewhere;
    LoopDrive stick("STICK", 48 * 1024 * 1024, false), loose("LOOSE", 48 * 1024 * 1024, false);
    ASSERT_TRUE(stick.isValid() && loose.isValid())
        << stick.error().toStdString() << loose.error().toStdString();
    const QString desktopMount = elsewhere.path() + "/STICK";
    ASSERT_TRUE(QDir().mkpath(desktopMount));
    ASSERT_EQ(::mount(QFile::encodeName(stick.device()).constData(),
                      QFile::encodeName(desktopMount).constData(), "ext4", 0, nullptr),
              0);
    const QStringList removable = {"BOOTDRIVE_REMOVABLE_DEVICES=" + stick.device() + " " + loose.device()};
    auto entries = [&](const QStringList &arguments) {
        QHash<QString, QJsonObject> byDevice;
        for (const QJsonValue &drive : QJsonDocument::fromJson(cli(arguments, {}, removable).out).array())
            byDevice.insert(drive["device"].toString(), drive.toObject());
        return byDevice;
    };

    auto all = entries({"list", "--all", "--json"});
    EXPECT_EQ(all[stick.device()],
              (QJsonObject{{"name", "STICK"},
                           {"device", stick.device()},
                           {"capacity", stick.bytes()},
                           {"mounted", desktopMount},
                           {"offered", false},
                           {"reason", "mounted-elsewhere"},
                           {"message", "mounted at " + desktopMount + ", outside /Volumes"}}));
    EXPECT_EQ(all[loose.device()]["reason"], "not-mounted");
    EXPECT_EQ(all[loose.device()]["name"], "LOOSE") << "not mounted, named by its label";
    EXPECT_TRUE(all[loose.device()]["mounted"].isNull());
    EXPECT_FALSE(entries({"list", "--json"}).contains(stick.device())) << "only --all names it";
    const QByteArray table = cli({"list", "--all"}, {}, removable).out;
    EXPECT_TRUE(table.contains("No drive is mounted under /Volumes.")) << table.toStdString();
    EXPECT_TRUE(table.contains(("mounted at " + desktopMount + ", outside /Volumes").toUtf8()) &&
                table.contains("not mounted") && table.contains("/diskutil mount DEVICE"))
        << table.toStdString();
    EXPECT_FALSE(cli({"list", "--all", "--json"}).out.contains(stick.device().toUtf8()))
        << "a loop device is not removable unless named so";

    SampleInstaller installer("Install macOS Mojave", "10.14.6", "1M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    ASSERT_TRUE(writeMarker(desktopMount));
    const ProgramRun refused =
        cli({"create", "--installer", installer.path(), "--volume", desktopMount + "/", "--yes", "--json"},
            {}, removable);
    EXPECT_EQ(refused.exitCode, 2) << refused.describe().toStdString();
    EXPECT_TRUE(refused.err.contains(
        ("STICK (" + stick.device() + ") is mounted at " + desktopMount + ", outside /Volumes").toUtf8()))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(("/diskutil mount " + stick.device() + "\"").toUtf8()))
        << refused.err.toStdString();
    EXPECT_EQ(readMarker(desktopMount), "the old data");

    const QString diskutil = SampleInstaller::buildDirectory() + "/bin/diskutil";
    const ProgramRun mounted = ProgramRun::run(diskutil, {"mount", stick.device()});
    ASSERT_EQ(mounted.exitCode, 0) << mounted.describe().toStdString();
    all = entries({"list", "--all", "--json"});
    EXPECT_EQ(all[stick.device()]["volume"], "/Volumes/STICK");
    EXPECT_EQ(all[stick.device()]["offered"], true);
    EXPECT_TRUE(entries({"list", "--json"}).contains(stick.device()));

    const ProgramRun ejected = ProgramRun::run(diskutil, {"eject", "/Volumes/STICK"});
    ASSERT_EQ(ejected.exitCode, 0) << ejected.describe().toStdString();
    EXPECT_EQ(entries({"list", "--all", "--json"})[stick.device()]["reason"], "not-mounted");
}

// A label keeps its bytes: "list --all" shows one that is not UTF-8 with a replacement character, and the
// disk utility mounts the volume under the bytes themselves. An ordinary user, who may not read the device,
// gets it listed by its device and size with why its label is unknown.
TEST(BootDriveCli, ListAllNamesAStickByItsLabelsBytesOrSaysWhyItCannot)
{
    REQUIRE_DRIVES();
    LOOP_DRIVE(stick, "ODD", 48 * 1024 * 1024, false);
    const QString e2label = QStandardPaths::findExecutable("e2label", {"/usr/sbin", "/sbin"});
    const ProgramRun relabelled = ProgramRun::runWithBytes(e2label, {stick.device().toUtf8(), "\xff"
                                                                                              "ODD"});
    ASSERT_EQ(relabelled.exitCode, 0) << relabelled.describe().toStdString();
    const QStringList removable = {"BOOTDRIVE_REMOVABLE_DEVICES=" + stick.device()};
    auto entry = [&](const ProgramRun &run) {
        for (const QJsonValue &drive : QJsonDocument::fromJson(run.out).array())
            if (drive["device"] == stick.device())
                return drive.toObject();
        return QJsonObject();
    };
    const QJsonObject listed = entry(cli({"list", "--all", "--json"}, {}, removable));
    EXPECT_EQ(listed["name"], QString(QChar::ReplacementCharacter) + "ODD");
    EXPECT_FALSE(listed.contains("label-unknown"));

    if (const QString reason = Unprivileged::skipReason() + Unprivileged::unreachableForOthers(bootdrive());
        reason.isEmpty()) {
        const ProgramRun run = ProgramRun::run(
            "setpriv",
            {"--reuid=65534", "--regid=65534", "--clear-groups", bootdrive(), "list", "--all", "--json"},
            removable);
        const QJsonObject unread = entry(run);
        EXPECT_EQ(unread["name"], "") << run.describe().toStdString();
        EXPECT_EQ(unread["capacity"], stick.bytes());
        EXPECT_EQ(unread["label-unknown"], "label unknown: not allowed to read " + stick.device());
    } else {
        std::cout << "not run as an ordinary user: " << reason.toStdString() << std::endl;
    }

    const ProgramRun mounted =
        ProgramRun::run(SampleInstaller::buildDirectory() + "/bin/diskutil", {"mount", stick.device()});
    ASSERT_EQ(mounted.exitCode, 0) << mounted.describe().toStdString();
    QByteArray mountPoint;
    for (const auto &entry : platform::MountTable::read())
        if (entry.device == stick.deviceNumber())
            mountPoint = entry.mountPointBytes;
    EXPECT_EQ(mountPoint, QByteArray("/Volumes/\xff"
                                     "ODD"));
    EXPECT_EQ(entry(cli({"list", "--json"}))["volume"], "file:///Volumes/%FFODD");
}

TEST(BootDriveCli, CreateMakesAVerifiedInstallerDrive)
{
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "8M"));

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

// A verified drive keeps its record, written by the helper that ran the creation tool, so pkexec is asked
// no more often than before (once, for the erase here). A drive whose record cannot be written, or that
// was not verified, is still made, and the output says it cannot be re-checked later.
TEST(BootDriveCli, AVerifiedDriveKeepsItsRecordOrSaysItCannotBeRecheckedLater)
{
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "8M"));
    testsupport::FakePkexec pkexec;
    ASSERT_TRUE(pkexec.isValid());
    const QString made = "/Volumes/Install macOS Mojave";
    const auto create = [&](const QStringList &extra) {
        if (drive.mountPoint() != "/Volumes/USB") {
            EXPECT_TRUE(drive.unmountAll() && drive.format("USB") && drive.mountAt("/Volumes/USB"));
        }
        const ProgramRun run =
            cli(QStringList{"create", "--installer", installer.path(), "--volume", "/Volumes/USB", "--yes"} +
                    extra,
                {}, {"PATH=" + pkexec.pathWithFakeFirst(), "BOOTDRIVE_DISKUTIL_ASSUME_USER=1"});
        EXPECT_EQ(run.exitCode, 0) << run.describe().toStdString();
        return run.jsonLines().value(run.jsonLines().size() - 1)["message"].toString();
    };
    const auto recordOnDrive = [&] {
        const int top = ::open(QFile::encodeName(made).constData(), O_RDONLY | O_DIRECTORY);
        const auto read = platform::DriveRecord::readFrom(top);
        ::close(top);
        return read;
    };

    EXPECT_FALSE(create({}).contains("re-checked"));
    EXPECT_EQ(pkexec.calls().size(), 1);
    const auto read = recordOnDrive();
    ASSERT_TRUE(read.record) << platform::DriveRecord::describe(read.refusal);
    EXPECT_EQ(read.record->installerName, "Install macOS Mojave");
    EXPECT_EQ(read.record->installerVersion, "10.14.6");
    EXPECT_TRUE(QRegularExpression("^20\\d\\d-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")
                    .match(QString::fromStdString(read.record->made))
                    .hasMatch())
        << read.record->made;
    ASSERT_FALSE(read.record->items.empty());
    EXPECT_EQ(read.record->items.front().path, "Install macOS Mojave.app");
    // Checked again from its record alone, as a user would months later.
    const ProgramRun checked = cli({"verify", made, "--json"});
    EXPECT_EQ(checked.exitCode, 0) << checked.describe().toStdString();
    EXPECT_EQ(checked.jsonLines().value(checked.jsonLines().size() - 1)["phase"], "intact");

    // The creation tool leaves a link where the record's folder goes: the record tool refuses it.
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::rename(installer.toolPath(), installer.toolPath() + ".real"));
    QFile wrapper(installer.toolPath());
    ASSERT_TRUE(wrapper.open(QIODevice::WriteOnly));
    wrapper.write("#!/bin/sh\nshift\n\"$0.real\" \"$@\" || exit $?\n"
                  "rm -rf '/Volumes/Install macOS Mojave/.BootDrive'\n"
                  "ln -s '" +
                  QFile::encodeName(elsewhere.path()) + "' '/Volumes/Install macOS Mojave/.BootDrive'\n");
    wrapper.close();
    wrapper.setPermissions(wrapper.permissions() | QFile::ExeOwner | QFile::ExeOther);
    EXPECT_TRUE(create({}).endsWith("(verified); its record could not be written on it, so it cannot be "
                                    "re-checked later"));
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty()) << "nothing was written where the link leads";

    EXPECT_TRUE(
        create({"--no-verify"})
            .endsWith("(not verified); nothing was recorded on it, so it cannot be re-checked later"));
    EXPECT_EQ(recordOnDrive().refusal, platform::DriveRecord::Refusal::Missing);
    EXPECT_EQ(pkexec.calls().size(), 3);
}

TEST(BootDriveCli, EachRefusalExitsWith2AndLeavesTheDriveAlone)
{
    REQUIRE_DRIVES();
    LOOP_DRIVE(drive, "USB", 64 * 1024 * 1024);
    LOOP_DRIVE(small, "SMALL", 16 * 1024 * 1024);
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
    DRIVE_AND_INSTALLER(("USB", 96 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "40M"));

    QProcess process;
    // Confirmed by typing the volume's name.
    QByteArray out = startCopying(process, installer, "/Volumes/USB/", "USB\n");
    ASSERT_FALSE(out.isEmpty());
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
    EXPECT_TRUE(lines.last()["message"].toString().contains("holds no complete installer"))
        << lines.last()["message"].toString().toStdString();

    // The half-made drive is not taken for a finished one in the next list.
    const QJsonObject left = listed("Install macOS Mojave");
    EXPECT_EQ(left["volume"].toString(), "/Volumes/Install macOS Mojave");
    EXPECT_TRUE(left["incomplete"].toBool()) << QJsonDocument(left).toJson().toStdString();
    EXPECT_TRUE(cli({"list"}).out.contains("Install macOS Mojave (incomplete)"));
    EXPECT_FALSE(QFileInfo::exists("/Volumes/Install macOS Mojave/.IAPhysicalMedia"));
}

// A mount path that is not valid UTF-8 (/Volumes/X\xff) beside one that merely looks the same once decoded
// (/Volumes/X\uFFFD): every way of naming a drive on the command line erases exactly the one named — its
// bytes as given (with a trailing slash), the form "list --json" gives back — and anything that cannot be
// matched exactly is refused before anything is erased.
TEST(BootDriveCli, OnlyTheDriveNamedIsErasedWhateverTheBytesOfItsPath)
{
    REQUIRE_DRIVES();
    const QByteArray rawPath("/Volumes/X\xff"), lookalikePath("/Volumes/X\xef\xbf\xbd");
    LoopDrive raw("RAW", 64 * 1024 * 1024, false), lookalike("LOOKALIKE", 64 * 1024 * 1024, false);
    ASSERT_TRUE(raw.mountAtBytes(rawPath)) << raw.error().toStdString();
    ASSERT_TRUE(lookalike.mountAtBytes(lookalikePath)) << lookalike.error().toStdString();
    ASSERT_TRUE(writeMarkerAt(lookalikePath));
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "4M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    const QByteArray link = "/Volumes/Link";
    ASSERT_TRUE(QFile::link(QFile::decodeName(lookalikePath), QFile::decodeName(link)));

    // The list names each drive so that create takes it back exactly.
    const ProgramRun list = cli({"list", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.describe().toStdString();
    QStringList volumes;
    for (const QJsonValue &drive : QJsonDocument::fromJson(list.out).array())
        volumes << drive["volume"].toString();
    EXPECT_TRUE(volumes.contains("file:///Volumes/X%FF")) << list.out.toStdString();
    EXPECT_TRUE(volumes.contains(QString::fromUtf8(lookalikePath))) << list.out.toStdString();

    // Refused, with status 2 and nothing erased.
    const struct
    {
        const char *what;
        QByteArray installer;
        QByteArray volume;
        const char *said;
    } refused[] = {
        {"a link below /Volumes", QFile::encodeName(installer.path()), link, "is a symbolic link"},
        {"a path no drive is mounted at", QFile::encodeName(installer.path()), "/Volumes/X",
         "is not a drive"},
        {"a URL without a path", QFile::encodeName(installer.path()), "file://Volumes/X%FF", "file:///"},
        {"an installer path that is not UTF-8", "/tmp/Install macOS Mojave\xff.app", rawPath,
         "not valid UTF-8"},
    };
    for (const auto &c : refused) {
        const ProgramRun run = ProgramRun::runWithBytes(
            bootdrive(), {"create", "--installer", c.installer, "--volume", c.volume, "--yes", "--json"});
        EXPECT_EQ(run.exitCode, 2) << c.what << "\n" << run.describe().toStdString();
        EXPECT_TRUE(run.err.contains(c.said)) << c.what << "\n" << run.err.toStdString();
        EXPECT_EQ(raw.mountPoints(), QStringList{QFile::decodeName(rawPath)}) << c.what;
        EXPECT_EQ(markerAt(lookalikePath), "the old data") << c.what;
    }

    // The path's own bytes, with a trailing slash; then the list's form of it, on a drive mounted there
    // again.
    for (const QByteArray &named : {rawPath + "/", QByteArray("file:///Volumes/X%FF")}) {
        SCOPED_TRACE(named.toStdString());
        const ProgramRun run = ProgramRun::runWithBytes(
            bootdrive(),
            {"create", "--installer", QFile::encodeName(installer.path()), "--volume", named, "--yes"});
        ASSERT_EQ(run.exitCode, 0) << run.describe().toStdString();
        EXPECT_EQ(raw.mountPoint(), "/Volumes/Install macOS Mojave");
        EXPECT_EQ(lookalike.mountPoints(), QStringList{QFile::decodeName(lookalikePath)});
        EXPECT_EQ(markerAt(lookalikePath), "the old data");
        ASSERT_TRUE(raw.unmountAll() && raw.format("RAW") && raw.mountAtBytes(rawPath));
    }
    QFile::remove(QFile::decodeName(link));
}

// A second installer drive made while the first is still mounted where the new one would go, past a folder
// and a link that hold the next names: the new drive gets a mount point of its own, is verified there, and
// the first one, the folder and the link stay as they were. Two drives made at the same time end the same
// way, each at a mount point of its own.
TEST(BootDriveCli, ATakenNameGivesTheNewDriveAMountPointOfItsOwn)
{
    REQUIRE_DRIVES();
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "4M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    LoopDrive first("FIRST", 64 * 1024 * 1024, false);
    ASSERT_TRUE(first.mountAt("/Volumes/Install macOS Mojave")) << first.error().toStdString();
    ASSERT_TRUE(writeMarker("/Volumes/Install macOS Mojave"));
    ASSERT_TRUE(QDir().mkpath("/Volumes/Install macOS Mojave 1") &&
                writeMarker("/Volumes/Install macOS Mojave 1"));
    ASSERT_TRUE(QFile::link("/Volumes/Install macOS Mojave", "/Volumes/Install macOS Mojave 2"));
    {
        LOOP_DRIVE(second, "USB", 64 * 1024 * 1024);
        const ProgramRun run =
            cli({"create", "--installer", installer.path(), "--volume", "/Volumes/USB", "--yes"});
        ASSERT_EQ(run.exitCode, 0) << run.describe().toStdString();
        EXPECT_TRUE(run.jsonLines().last()["message"].toString().contains(
            "ready at /Volumes/Install macOS Mojave 3 (verified)"))
            << run.out.toStdString();
        EXPECT_EQ(second.mountPoint(), "/Volumes/Install macOS Mojave 3");
        EXPECT_TRUE(QFileInfo::exists(
            "/Volumes/Install macOS Mojave 3/Install macOS Mojave.app/Contents/Info.plist"));
        EXPECT_EQ(first.mountPoints(), QStringList{"/Volumes/Install macOS Mojave"});
        EXPECT_EQ(readMarker("/Volumes/Install macOS Mojave"), "the old data");
        EXPECT_EQ(readMarker("/Volumes/Install macOS Mojave 1"), "the old data");
        EXPECT_EQ(QFileInfo("/Volumes/Install macOS Mojave 2").symLinkTarget(),
                  "/Volumes/Install macOS Mojave");
    }
    QFile::remove("/Volumes/Install macOS Mojave 2");
    QFile::remove("/Volumes/Install macOS Mojave 1/marker.txt");
    QDir().rmdir("/Volumes/Install macOS Mojave 1");
    ASSERT_TRUE(first.unmountAll());

    LoopDrive a("A", 64 * 1024 * 1024), b("B", 64 * 1024 * 1024);
    ASSERT_TRUE(a.isValid() && b.isValid());
    QProcess runA, runB;
    for (auto [process, volume] : {std::pair{&runA, "/Volumes/A"}, std::pair{&runB, "/Volumes/B"}})
        process->start(bootdrive(), {"create", "--installer", installer.path(), "--volume", volume, "--yes"});
    for (QProcess *process : {&runA, &runB}) {
        ASSERT_TRUE(process->waitForFinished(180000));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardOutput().toStdString()
                                          << process->readAllStandardError().toStdString();
    }
    QStringList made = {a.mountPoint(), b.mountPoint()};
    made.sort();
    EXPECT_EQ(made, (QStringList{"/Volumes/Install macOS Mojave", "/Volumes/Install macOS Mojave 1"}));
}

// The command line killed outright in the middle of the copy: its helper sees its input end and stops the
// creation tool, so no process of the job is left.
TEST(BootDriveCli, AKilledCommandLeavesNoProcessOfTheJobBehind)
{
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 96 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "40M"));
    QProcess process;
    ASSERT_FALSE(startCopying(process, installer, "/Volumes/USB", "USB\n").isEmpty());
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return testsupport::processesMentioning(QFile::encodeName(installer.path())).isEmpty(); },
        8000))
        << "a process of the job is still running";
}
