#include "support/DriveSetup.h"
#include "support/ProgramRun.h"
#include "support/RecordedDrive.h"
#include "support/SampleInstaller.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

using testsupport::ProgramRun;
using testsupport::RecordedDrive;
using testsupport::SampleInstaller;

namespace {

const QString kVolume = QStringLiteral("/Volumes/USB");
const QString kApp = kVolume + QStringLiteral("/Install macOS Mojave.app");

ProgramRun verify(const QStringList &arguments)
{
    return ProgramRun::run(SampleInstaller::buildDirectory() + QStringLiteral("/bin/bootdrive"),
                           QStringList{"verify"} + arguments);
}

QJsonObject lastLine(const ProgramRun &run)
{
    const QList<QJsonObject> lines = run.jsonLines();
    return lines.isEmpty() ? QJsonObject() : lines.last();
}

QStringList paths(const QJsonValue &items)
{
    QStringList out;
    for (const QJsonValue &item : items.toArray())
        out << (item.isObject() ? item["path"].toString() + ": " + item["reason"].toString()
                                : item.toString());
    return out;
}

} // namespace

// A drive as it was made reads intact with its installer and date, in the check and in the list; a file
// added since is listed and harmless; a changed byte and a removed file are named, and the check leaves the
// drive as it found it. Against the installer itself the same drive reads the same way without its record.
TEST(BootDriveVerify, NamesWhatChangedSinceTheDriveWasMade)
{
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "4M"));
    ASSERT_EQ(RecordedDrive::make(installer.path(), "10.14.6", kVolume), "");

    const ProgramRun intact = verify({kVolume, "--json"});
    ASSERT_EQ(intact.exitCode, 0) << intact.describe().toStdString();
    EXPECT_EQ(intact.jsonLines().first()["phase"], "verifying");
    QJsonObject last = lastLine(intact);
    EXPECT_EQ(last["phase"], "intact");
    EXPECT_EQ(last["installer"], "Install macOS Mojave");
    EXPECT_EQ(last["version"], "10.14.6");
    EXPECT_EQ(last["fraction"], 1.0);
    const QString today = QDateTime::currentDateTime().toString("yyyy-MM-dd");
    EXPECT_TRUE(last["message"].toString().startsWith(
        "/Volumes/USB is intact: Install macOS Mojave 10.14.6, made " + today))
        << last["message"].toString().toStdString();
    EXPECT_EQ(verify({kVolume, "--installer", installer.path()}).exitCode, 0);

    const ProgramRun list =
        ProgramRun::run(SampleInstaller::buildDirectory() + "/bin/bootdrive", {"list", "--json"});
    const QJsonObject listed = QJsonDocument::fromJson(list.out).array().first().toObject();
    EXPECT_EQ(listed["record"]["installer"], "Install macOS Mojave") << list.out.toStdString();
    EXPECT_EQ(listed["record"]["version"], "10.14.6");
    EXPECT_TRUE(listed["record"]["made"].toString().endsWith('Z'));
    EXPECT_TRUE(ProgramRun::run(SampleInstaller::buildDirectory() + "/bin/bootdrive", {"list"})
                    .out.contains("Install macOS Mojave 10.14.6, " + today.toUtf8()));

    QFile added(kApp + "/Contents/Resources/notes.txt");
    ASSERT_TRUE(added.open(QIODevice::WriteOnly) && added.write("mine") == 4);
    added.close();
    last = lastLine(verify({kVolume}));
    EXPECT_EQ(last["phase"], "intact");
    EXPECT_EQ(paths(last["added"]), QStringList{"Install macOS Mojave.app/Contents/Resources/notes.txt"});
    EXPECT_TRUE(last["message"].toString().contains("Added since it was made (1;"));

    QFile payload(kApp + "/Contents/SharedSupport/InstallESD.dmg");
    ASSERT_TRUE(payload.open(QIODevice::ReadWrite) && payload.seek(1000) && payload.write("!") == 1);
    payload.close();
    ASSERT_TRUE(QFile::remove(kApp + "/Contents/Resources/InstallAssistant.icns"));
    const QStringList before = RecordedDrive::listing(kVolume);
    const ProgramRun damaged = verify({kVolume, "--json"});
    EXPECT_EQ(damaged.exitCode, 1) << damaged.describe().toStdString();
    last = lastLine(damaged);
    EXPECT_EQ(last["phase"], "damaged");
    EXPECT_EQ(
        paths(last["changed"]),
        QStringList({"Install macOS Mojave.app/Contents/Resources/InstallAssistant.icns: is missing",
                     "Install macOS Mojave.app/Contents/SharedSupport/InstallESD.dmg: has other content"}));
    EXPECT_EQ(last["changed-count"], 2);
    EXPECT_EQ(paths(last["added"]).size(), 1);
    EXPECT_TRUE(
        damaged.err.contains("  Install macOS Mojave.app/Contents/SharedSupport/InstallESD.dmg: has other "
                             "content"))
        << damaged.err.toStdString();
    EXPECT_EQ(RecordedDrive::listing(kVolume), before) << "a check changes nothing on the drive";

    const ProgramRun compared = verify({kVolume, "--installer", installer.path(), "--json"});
    EXPECT_EQ(compared.exitCode, 1) << compared.describe().toStdString();
    EXPECT_EQ(paths(lastLine(compared)["changed"]).value(0),
              "Install macOS Mojave.app/Contents/Resources/InstallAssistant.icns: missing from the drive");
}

// A record that is gone, cut short, edited without its hash or naming a path outside the drive is refused
// with its reason, and so is a volume that is not a drive below /Volumes; wrong arguments are usage errors.
TEST(BootDriveVerify, RefusesWhatCannotBeCheckedWithItsReason)
{
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "2M"));
    ASSERT_EQ(RecordedDrive::make(installer.path(), "10.14.6", kVolume), "");
    const std::string record = RecordedDrive::recordText(kVolume);
    std::string edited = record;
    edited[edited.find("10.14.6")] = '9';
    std::string outside = record;
    const std::string plist = "Install%20macOS%20Mojave.app/Contents/Info.plist";
    outside.replace(outside.find(plist), plist.size(), "../x");

    const struct
    {
        const char *what;
        std::string text; // empty: no record at all
        QString said;
    } cases[] = {
        {"removed", {}, "the drive has no record"},
        {"truncated", record.substr(0, record.size() / 2), "the drive's record is damaged"},
        {"edited without its hash", edited, "the drive's record is damaged"},
        {"naming ../x", RecordedDrive::resealed(outside),
         "the drive's record names a path outside the drive"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(RecordedDrive::recordPath(kVolume));
        if (!c.text.empty()) {
            ASSERT_TRUE(RecordedDrive::writeRecord(kVolume, c.text));
        }
        const ProgramRun run = verify({kVolume, "--json"});
        EXPECT_EQ(run.exitCode, 2) << run.describe().toStdString();
        EXPECT_EQ(lastLine(run)["phase"], "refused");
        EXPECT_TRUE(lastLine(run)["message"].toString().startsWith(c.said)) << run.err.toStdString();
    }

    for (const QString &volume : {QStringLiteral("/Volumes/NOPE"), QStringLiteral("/tmp")}) {
        const ProgramRun run = verify({volume});
        EXPECT_EQ(run.exitCode, 2) << run.describe().toStdString();
        EXPECT_TRUE(run.err.contains("is not a drive mounted below /Volumes")) << run.err.toStdString();
    }
    EXPECT_EQ(verify({kVolume, "--installer", installer.folder() + "/None.app"}).exitCode, 2);
    for (const QStringList &arguments :
         QList<QStringList>{{}, {kVolume, "/Volumes/Other"}, {kVolume, "--yes"}})
        EXPECT_EQ(verify(arguments).exitCode, 64) << arguments.join(' ').toStdString();
}

// Ctrl-C in the middle of reading stops the check with status 3, and the drive is as it was.
TEST(BootDriveVerify, ASigintStopsTheCheckAndChangesNothing)
{
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "2M"));
    ASSERT_EQ(RecordedDrive::make(installer.path(), "10.14.6", kVolume), "");
    ASSERT_TRUE(RecordedDrive::addSparseFile(
        kVolume, "Install macOS Mojave.app/Contents/SharedSupport/Huge.dmg", 256ull << 30));
    const QStringList before = RecordedDrive::listing(kVolume);

    QProcess process;
    process.start(SampleInstaller::buildDirectory() + "/bin/bootdrive", {"verify", kVolume, "--json"});
    ASSERT_TRUE(process.waitForStarted());
    QByteArray out;
    const auto reading = [&] {
        for (const QByteArray &line : out.split('\n'))
            if (const QJsonObject object = QJsonDocument::fromJson(line).object();
                object["phase"] == "verifying" && object["fraction"].toDouble() > 0)
                return true;
        return false;
    };
    QElapsedTimer clock;
    clock.start();
    while (!reading() && process.state() == QProcess::Running && clock.elapsed() < 60000) {
        process.waitForReadyRead(200);
        out += process.readAllStandardOutput();
    }
    ASSERT_TRUE(reading()) << out.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    out += process.readAllStandardOutput();
    EXPECT_EQ(process.exitCode(), 3) << out.toStdString();
    ProgramRun run;
    run.out = out;
    EXPECT_EQ(lastLine(run)["phase"], "cancelled");
    EXPECT_EQ(RecordedDrive::listing(kVolume), before);
}
