// createinstallmedia [own path] --volume V [--applicationpath P | P] [--nointeraction]
//
// Turns the volume V (mounted below /Volumes) into installer media: erases its disk, mounts the new volume at
// /Volumes/<the installer's display name> (numbered while that is taken), copies the installer bundle onto
// it and marks it as installer media once everything else is on it. Progress goes to standard output in the
// macOS tool's words, one line per stage. Exits 0 only when everything is on the drive and written out, and
// the drive is still mounted where the user will find it. SIGTERM (how the application stops a job) ends it
// at the next safe point with "Error: cancelled".

#include "Arguments.h"
#include "Cancellation.h"
#include "HeldVolume.h"
#include "InstallerBundle.h"
#include "PercentLine.h"
#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/RegularFile.h"
#include "TreeCopier.h"
#include "disklib/Console.h"
#include "disklib/Privilege.h"
#include "disklib/VolumeEraser.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <plist/plist.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using disktools::Console;

namespace {

// What tells a finished installer drive apart, at the top of the volume.
constexpr const char *mediaMarkerName = ".IAPhysicalMedia";
constexpr const char *volumeIconName = ".VolumeIcon.icns";

int fail(const std::string &message)
{
    Console::error(message);
    return 1;
}

std::string ownPath()
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    buffer[n] = '\0';
    return buffer;
}

std::string mebibytes(uint64_t bytes)
{
    return std::to_string((bytes + 512 * 1024) / (1024 * 1024)) + " MiB";
}

bool askToContinue(const std::string &volume)
{
    Console::line("Ready to start.");
    Console::line("To continue we need to erase the volume at " + volume + ".");
    Console::write("If you wish to continue type (Y) then press return: ");
    std::string answer;
    const bool answered = static_cast<bool>(std::getline(std::cin, answer));
    // A terminal echoes the return key; a pipe does not, and the next line must not run on.
    if (!isatty(STDIN_FILENO))
        Console::write("\n");
    if (!answered)
        return false;
    answer.erase(
        std::remove_if(answer.begin(), answer.end(), [](unsigned char c) { return std::isspace(c); }),
        answer.end());
    return answer == "Y" || answer == "y";
}

// Creates a file at the top of the held volume and lets `fill` write it. The name is only ever looked up
// there, never through the mount point path.
bool writeTopFile(const HeldVolume &volume, const char *name, const std::function<bool(int)> &fill,
                  std::string &error)
{
    posix::FileDescriptor out(
        openat(volume.fd(), name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (out && fill(out.get()) && ::close(out.release()) == 0)
        return true;
    error = "cannot write " + volume.mountPoint() + "/" + name + ": " + std::strerror(errno);
    return false;
}

// A small property list at the volume's top that marks it as installer media made from this bundle.
bool writeMediaMarker(const HeldVolume &volume, const InstallerBundle &bundle, std::string &error)
{
    plist_t marker = plist_new_dict();
    plist_dict_set_item(marker, "AppName", plist_new_string(bundle.folderName().c_str()));
    plist_dict_set_item(marker, "DisplayName", plist_new_string(bundle.displayName().c_str()));
    plist_dict_set_item(marker, "ProductVersion", plist_new_string(bundle.version().c_str()));
    plist_dict_set_item(marker, "CreatedBy", plist_new_string("BootDrive createinstallmedia"));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(marker, &xml, &length);
    plist_free(marker);
    const bool written = writeTopFile(
        volume, mediaMarkerName, [&](int out) { return posix::FileDescriptor::writeAll(out, xml, length); },
        error);
    plist_to_xml_free(xml);
    return written;
}

// The installer's icon becomes the volume's icon.
bool copyVolumeIcon(const HeldVolume &volume, const InstallerBundle &bundle, std::string &error)
{
    if (bundle.iconPath().empty())
        return true;
    // Only a regular file is copied: a FIFO or a device standing in the bundle must not hang the tool.
    const posix::FileDescriptor icon = posix::RegularFile::open(bundle.iconPath());
    return writeTopFile(
        volume, volumeIconName,
        [&](int out) {
            char buffer[65536];
            for (bool ok = icon.isValid(); ok;) {
                const ssize_t n = read(icon.get(), buffer, sizeof buffer);
                if (n == 0)
                    return true;
                ok = (n < 0 && errno == EINTR) ||
                     (n > 0 && posix::FileDescriptor::writeAll(out, buffer, static_cast<size_t>(n)));
            }
            return false;
        },
        error);
}

// Whether the work may go on: no request to stop, and the volume is still where the user will look for it.
bool mayGoOn(const HeldVolume &volume, std::string &error)
{
    if (cancellation::requested()) {
        error = "cancelled";
        return false;
    }
    return volume.stillMounted(error);
}

} // namespace

static double rateLimit()
{
    const char *text = std::getenv("CREATEINSTALLMEDIA_RATE_LIMIT");
    if (!text || !*text)
        return 0;
    char *end = nullptr;
    const double mebibytesPerSecond = std::strtod(text, &end);
    return end && *end == '\0' && mebibytesPerSecond > 0 ? mebibytesPerSecond * 1048576.0 : 0;
}

int main(int argc, char **argv)
{
    Console::ignoreBrokenPipe();
    cancellation::install();
    const std::string self = ownPath();
    const Arguments arguments = Arguments::parse(argc, argv, self);
    if (!arguments.error.empty()) {
        Console::error(arguments.error);
        Console::write(Arguments::usage());
        return 1;
    }
    if (geteuid() != 0) {
        Console::line("This tool needs to be run as root.");
        return 1;
    }

    std::string bundlePath = arguments.applicationPath;
    if (bundlePath.empty()) {
        bundlePath = InstallerBundle::containing(self);
        if (bundlePath.empty())
            return fail("no installer application given, and this tool is not inside one");
    }
    InstallerBundle bundle;
    std::string error;
    if (!bundle.load(bundlePath, error))
        return fail(error);

    disktools::VolumeEraser eraser;
    if (!eraser.prepare(arguments.volume, bundle.displayName(), error))
        return fail(error);
    uid_t uid = 0;
    gid_t gid = 0;
    // Whoever asked for the drive may change its top folder, as on a Mac, where a drive's ownership is
    // ignored: the application marks a drive it could not finish.
    if (disktools::Privilege::invokingUser(uid, gid))
        eraser.setRootOwner(uid, gid);

    // The installer must not live on the disk that is about to be erased.
    char resolvedBundle[PATH_MAX];
    struct stat bundleInfo
    {};
    if (!realpath(bundle.path().c_str(), resolvedBundle) || stat(resolvedBundle, &bundleInfo) != 0)
        return fail(bundle.path() + " does not appear to be a valid OS installer application.");
    const std::string bundleOnDisk = resolvedBundle;
    if (bundleInfo.st_dev == eraser.device() || bundleOnDisk.rfind(eraser.mountPoint() + "/", 0) == 0)
        return fail("the installer application is on the volume to be erased; copy it elsewhere first");

    TreeCopier copier;
    if (!copier.plan(bundleOnDisk, error))
        return fail(error);
    if (!copier.space().fitsOn(eraser.deviceBytes()))
        return fail("the volume is too small for " + bundle.folderName() + ": it needs a disk of " +
                    mebibytes(copier.space().capacityNeeded()) + ", this disk holds " +
                    mebibytes(eraser.deviceBytes()) + "; nothing was erased");

    if (cancellation::requested())
        return fail("cancelled");
    if (!arguments.noInteraction && !askToContinue(arguments.volume)) {
        if (cancellation::requested())
            return fail("cancelled");
        Console::line("Aborted; the volume was not erased.");
        return 1;
    }

    std::string note;
    {
        PercentLine line("Erasing disk");
        disktools::VolumeEraser::Observer observer;
        observer.stage = [&](disktools::VolumeEraser::Stage stage) {
            switch (stage) {
            case disktools::VolumeEraser::Stage::Unmounting:
                break;
            case disktools::VolumeEraser::Stage::Erasing:
                line.update(0.2);
                break;
            case disktools::VolumeEraser::Stage::Initialized:
                line.update(0.8);
                break;
            case disktools::VolumeEraser::Stage::Mounting:
                line.update(0.9);
                break;
            }
        };
        observer.note = [&](const std::string &text) { note = text; };
        if (!eraser.erase(observer, error)) {
            line.interrupt();
            return fail(error);
        }
        // A request to stop that came while the disk was formatted was held back until now.
        if (cancellation::requested()) {
            line.interrupt();
            return fail("cancelled");
        }
        line.finish();
    }
    if (!note.empty())
        Console::line("Note: " + note);

    HeldVolume volume;
    // The drive is erased and mounted from here on; a run that ends because it was taken away (ejected,
    // pulled out) leaves no empty folder of ours behind.
    auto failOnDrive = [&](const std::string &why) {
        volume.removeFolderIfLeft();
        return fail(why);
    };
    if (!volume.open(eraser.newMountPoint(), eraser.device(), error))
        return failOnDrive(error);
    struct statvfs space
    {};
    if (fstatvfs(volume.fd(), &space) != 0)
        return failOnDrive("cannot read the free space of " + volume.mountPoint() + ": " +
                           std::strerror(errno));
    const uint64_t available = static_cast<uint64_t>(space.f_bavail) * space.f_frsize;
    if (copier.spaceNeeded(space.f_frsize) > available || copier.entryCount() + 16 > space.f_favail)
        return failOnDrive("the volume is too small for " + bundle.folderName() + ": it needs " +
                           mebibytes(copier.spaceNeeded(space.f_frsize)) + ", " + mebibytes(available) +
                           " are free after erasing");

    {
        PercentLine line("Copying to disk");
        // CREATEINSTALLMEDIA_RATE_LIMIT (MiB/s) slows the copy to the pace of a slow stick, for
        // demonstrations.
        const double rate = rateLimit();
        const auto started = std::chrono::steady_clock::now();
        const bool copied = copier.copy(
            bundleOnDisk, volume.fd(), bundle.folderName(),
            [&](uint64_t done, uint64_t total, std::string &why) {
                line.update(total ? static_cast<double>(done) / total : 1);
                if (!mayGoOn(volume, why))
                    return false;
                if (rate <= 0)
                    return true;
                cancellation::sleepUntil(
                    started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(static_cast<double>(done) / rate)));
                return mayGoOn(volume, why);
            },
            error);
        if (!copied) {
            line.interrupt();
            TreeCopier::removeTree(volume.fd(), bundle.folderName());
            return failOnDrive(error);
        }
        line.finish();
    }

    if (!mayGoOn(volume, error))
        return failOnDrive(error);
    Console::line("Making disk bootable...");
    if (!copyVolumeIcon(volume, bundle, error))
        return failOnDrive(error);
    if (!mayGoOn(volume, error))
        return failOnDrive(error);
    // The marker says the drive is finished installer media, so it comes last, once everything else is on
    // the drive, and goes again if the drive does not end up finished after all.
    Console::line("Copying boot files...");
    if (syncfs(volume.fd()) != 0)
        return failOnDrive("cannot write everything out to " + volume.mountPoint() + ": " +
                           std::strerror(errno));
    auto unfinished = [&](const std::string &why) {
        unlinkat(volume.fd(), mediaMarkerName, 0);
        unlinkat(volume.fd(), volumeIconName, 0);
        syncfs(volume.fd());
        return failOnDrive(why);
    };
    if (!writeMediaMarker(volume, bundle, error))
        return unfinished(error);
    // Only what has reached the drive counts, on the drive that is still where the user will find it.
    if (syncfs(volume.fd()) != 0)
        return unfinished("cannot write everything out to " + volume.mountPoint() + ": " +
                          std::strerror(errno));
    if (!mayGoOn(volume, error))
        return unfinished(error);
    Console::line("Install media now available at \"" + volume.mountPoint() + "\"");
    return 0;
}
