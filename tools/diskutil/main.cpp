// diskutil [--expect-device MAJOR:MINOR] eraseVolume <format> <name> <mount point>
// diskutil mount <device>
// diskutil eject <mount point | device>
//
// The disk utility stand-in. eraseVolume erases the disk behind a volume mounted below /Volumes and mounts
// the new volume at /Volumes/<name> (or "/Volumes/<name> 1", … while that is taken); mount brings a volume
// mounted elsewhere, or not at all, below /Volumes; eject takes every volume of a drive off and says when it
// can be pulled out. All print lines in the macOS tool's style. Callers treat a line beginning with "Error:"
// (and a non-zero exit status) as failure, so every failure prints one and nothing else may contain that
// word.

#include "disklib/Console.h"
#include "disklib/DriveEjector.h"
#include "disklib/Privilege.h"
#include "disklib/VolumeEraser.h"
#include "disklib/VolumeMounter.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

using disktools::Console;
using disktools::Privilege;

namespace {

int usage(const std::string &problem)
{
    Console::error(problem);
    Console::line("Usage:  diskutil eraseVolume <format> <name> <mount point>");
    Console::line("        diskutil mount <device>");
    Console::line("        diskutil eject <mount point | device>");
    Console::line("        format: HFS+ or JHFS+ (ext4 is made where this system has no HFS+)");
    Console::line("        eraseVolume: the mount point is a volume below /Volumes; the new volume is");
    Console::line("        mounted at /Volumes/<name>, or /Volumes/<name> 1, … while that is taken");
    Console::line("        mount: mounts the device's volume at /Volumes/<its label>, taking it off");
    Console::line("        wherever else it is mounted");
    Console::line("        eject: unmounts every volume of the drive (all below /Volumes) and writes out");
    Console::line("        what it caches, so it can be removed");
    return 1;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

struct Options
{
    // The device the caller confirmed ("major:minor"), from --expect-device or BOOTDRIVE_ERASE_DEVICE. When
    // given, a volume at the mount point on any other device is refused: the path alone could have come to
    // name another drive since the user confirmed it.
    std::string expectedDevice;
    // The run that asked pkexec for this one (--parent), which this one must not outlive.
    pid_t parent = 0;
};

// Takes the leading options out of the arguments.
Options leadingOptions(int &argc, char **&argv)
{
    Options options;
    const char *fromEnvironment = std::getenv("BOOTDRIVE_ERASE_DEVICE");
    options.expectedDevice = fromEnvironment ? fromEnvironment : "";
    for (;;) {
        if (argc < 3)
            break;
        const std::string option = argv[1];
        if (option == "--expect-device")
            options.expectedDevice = argv[2];
        else if (option == "--parent")
            options.parent = static_cast<pid_t>(std::strtol(argv[2], nullptr, 10));
        else
            break;
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    return options;
}

// Nothing: this run has the rights. Otherwise the status to end with, after the run through pkexec (or the
// refusal to go there again). `leading` goes before the arguments of the rerun.
std::optional<int> elevated(int argc, char **argv, std::vector<std::string> leading, const std::string &verb,
                            const std::string &unchanged)
{
    if (geteuid() != 0 && Privilege::startedByPkexec()) {
        Console::error("started through pkexec but without administrator rights");
        return 1;
    }
    if (!Privilege::needsElevation())
        return std::nullopt;
    std::vector<char *> rerun{argv[0]};
    for (std::string &option : leading)
        rerun.push_back(option.data());
    rerun.insert(rerun.end(), argv + 1, argv + argc);
    rerun.push_back(nullptr);
    return Privilege::rerunThroughPkexec(static_cast<int>(rerun.size() - 1), rerun.data(), verb, unchanged);
}

int eraseVolume(int argc, char **argv, const std::string &expected)
{
    if (argc != 5)
        return usage("eraseVolume takes exactly three arguments");
    const std::string format = upper(argv[2]);
    if (format != "HFS+" && format != "JHFS+")
        return usage("unsupported format \"" + std::string(argv[2]) + "\"");

    // Check everything a user can see before asking for a password; the privileged run checks again.
    disktools::VolumeEraser eraser;
    std::string error;
    if (!eraser.prepare(argv[4], argv[3], error)) {
        Console::error(error);
        return 1;
    }
    const std::string found =
        std::to_string(major(eraser.device())) + ":" + std::to_string(minor(eraser.device()));
    if (!expected.empty() && expected != found) {
        Console::error("the volume at \"" + std::string(argv[4]) + "\" is now on another disk (" + found +
                       ", expected " + expected + "); nothing was erased");
        return 1;
    }
    // pkexec clears the environment; the confirmed device travels on the command line.
    std::vector<std::string> leading;
    if (!expected.empty())
        leading = {"--expect-device", expected};
    if (const auto status = elevated(argc, argv, leading, "erase", "the volume was not erased"))
        return *status;

    eraser.setJournaled(format == "JHFS+");
    uid_t uid = 0;
    gid_t gid = 0;
    // Whoever asked for the erase may write to the new volume, as on a Mac.
    if (Privilege::invokingUser(uid, gid))
        eraser.setRootOwner(uid, gid);

    const std::string disk = eraser.deviceName();
    Console::line("Started erase on " + disk);
    disktools::VolumeEraser::Observer observer;
    observer.stage = [&](disktools::VolumeEraser::Stage stage) {
        switch (stage) {
        case disktools::VolumeEraser::Stage::Unmounting:
            Console::line("Unmounting disk");
            break;
        case disktools::VolumeEraser::Stage::Erasing:
            Console::line("Erasing");
            break;
        case disktools::VolumeEraser::Stage::Initialized:
            Console::line("Initialized " + eraser.devicePath() + " as a " +
                          disktools::VolumeEraser::sizeText(eraser.deviceBytes()) + " " +
                          eraser.fileSystemType() + " volume");
            break;
        case disktools::VolumeEraser::Stage::Mounting:
            Console::line("Mounting disk");
            break;
        }
    };
    observer.note = [](const std::string &text) { Console::line("Note: " + text); };
    if (!eraser.erase(observer, error)) {
        Console::error(error);
        return 1;
    }
    Console::line("Finished erase on " + disk + " (" + eraser.newName() + ") as " + eraser.fileSystemType() +
                  ", mounted at " + eraser.newMountPoint());
    return 0;
}

int mountVolume(int argc, char **argv)
{
    if (argc != 3)
        return usage("mount takes exactly one device");
    disktools::VolumeMounter mounter;
    std::string error;
    if (!mounter.prepare(argv[2], error)) {
        Console::error(error);
        return 1;
    }
    if (!mounter.listedMountPoint().empty()) {
        Console::line("Volume on " + mounter.deviceName() + " is already mounted at " +
                      mounter.listedMountPoint());
        return 0;
    }
    if (const auto status = elevated(argc, argv, {}, "mount", "nothing was mounted"))
        return *status;
    uid_t uid = 0;
    gid_t gid = 0;
    if (Privilege::invokingUser(uid, gid))
        mounter.setOwner(uid, gid);
    disktools::VolumeMounter::Observer observer;
    observer.unmounting = [&](const std::string &mountPoint) {
        Console::line("Unmounting " + mounter.deviceName() + " from " + mountPoint);
    };
    observer.note = [](const std::string &text) { Console::line("Note: " + text); };
    if (!mounter.mount(observer, error)) {
        Console::error(error);
        return 1;
    }
    Console::line("Volume " + mounter.name() + " on " + mounter.deviceName() + " (" +
                  mounter.fileSystemType() + ") mounted at " + mounter.mountPoint());
    return 0;
}

int ejectDrive(int argc, char **argv)
{
    if (argc != 3)
        return usage("eject takes exactly one mount point or device");
    disktools::DriveEjector ejector;
    std::string error;
    if (!ejector.prepare(argv[2], error)) {
        Console::error(error);
        return 1;
    }
    if (const auto status = elevated(argc, argv, {}, "eject", "the drive was not ejected"))
        return *status;
    disktools::DriveEjector::Observer observer;
    observer.unmounting = [](const std::string &mountPoint) { Console::line("Unmounting " + mountPoint); };
    observer.flushing = [&] { Console::line("Writing out what " + ejector.diskName() + " still caches"); };
    if (!ejector.eject(observer, error)) {
        Console::error(error);
        return 1;
    }
    Console::line("Disk " + ejector.diskName() + " ejected; it can be removed now");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Console::ignoreBrokenPipe();
    const Options options = leadingOptions(argc, argv);
    if (options.parent > 0 && !Privilege::tieToParent(options.parent)) {
        Console::error("the program that asked for this has ended; nothing was changed");
        return 1;
    }
    if (argc < 2)
        return usage("no verb given");
    const std::string verb = argv[1];
    if (verb == "eraseVolume")
        return eraseVolume(argc, argv, options.expectedDevice);
    if (verb == "mount")
        return mountVolume(argc, argv);
    if (verb == "eject")
        return ejectDrive(argc, argv);
    return usage("unknown verb \"" + verb + "\"");
}
