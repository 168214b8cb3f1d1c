// diskutil [--expect-device MAJOR:MINOR] eraseVolume <format> <name> <mount point>
//
// Erases the disk behind a volume mounted below /Volumes and mounts the new volume at /Volumes/<name> (or
// "/Volumes/<name> 1", … while that is taken), printing progress lines in the macOS tool's style. Callers
// treat a line beginning with "Error:" (and a non-zero exit status) as failure, so every failure prints one
// and nothing else may contain that word.

#include "disklib/Console.h"
#include "disklib/Privilege.h"
#include "disklib/VolumeEraser.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

using disktools::Console;

namespace {

int usage(const std::string &problem)
{
    Console::error(problem);
    Console::line("Usage:  diskutil eraseVolume <format> <name> <mount point>");
    Console::line("        format: HFS+ or JHFS+ (ext4 is made where this system has no HFS+)");
    Console::line("        mount point: a volume mounted below /Volumes; the new volume is mounted at");
    Console::line("        /Volumes/<name>, or /Volumes/<name> 1, … while that is taken");
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

} // namespace

int main(int argc, char **argv)
{
    Console::ignoreBrokenPipe();
    const Options options = leadingOptions(argc, argv);
    const std::string &expected = options.expectedDevice;
    if (options.parent > 0 && !disktools::Privilege::tieToParent(options.parent)) {
        Console::error("the program that asked for this erase has ended; nothing was erased");
        return 1;
    }
    if (argc < 2)
        return usage("no verb given");
    const std::string verb = argv[1];
    if (verb != "eraseVolume")
        return usage("unknown verb \"" + verb + "\"");
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
    if (geteuid() != 0 && disktools::Privilege::startedByPkexec()) {
        Console::error("started through pkexec but without administrator rights");
        return 1;
    }
    if (disktools::Privilege::needsElevation()) {
        // pkexec clears the environment; the confirmed device travels on the command line.
        std::vector<char *> rerun{argv[0]};
        std::string option = "--expect-device";
        if (!expected.empty())
            rerun.insert(rerun.end(), {option.data(), const_cast<char *>(expected.c_str())});
        rerun.insert(rerun.end(), argv + 1, argv + argc);
        rerun.push_back(nullptr);
        return disktools::Privilege::rerunThroughPkexec(static_cast<int>(rerun.size() - 1), rerun.data());
    }

    eraser.setJournaled(format == "JHFS+");
    uid_t uid = 0;
    gid_t gid = 0;
    // Whoever asked for the erase may write to the new volume, as on a Mac.
    if (disktools::Privilege::invokingUser(uid, gid))
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
