// createinstallmedia [own path] --volume V [--applicationpath P | P] [--nointeraction]
//
// Turns the volume V (mounted below /Volumes) into installer media: erases its disk, mounts the new volume at
// /Volumes/<the installer's display name>, copies the installer bundle onto it and marks it as installer
// media. Progress goes to standard output in the macOS tool's words, one line per stage. Exits 0 only when
// everything is on the drive and written out.

#include "Arguments.h"
#include "InstallerBundle.h"
#include "PercentLine.h"
#include "Platform/Posix/RegularFile.h"
#include "TreeCopier.h"
#include "disklib/Console.h"
#include "disklib/VolumeEraser.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <plist/plist.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

using disktools::Console;

namespace {

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

// A small property list at the volume's top that marks it as installer media made from this bundle.
bool writeMediaMarker(const std::string &volume, const InstallerBundle &bundle, std::string &error)
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
    const std::string path = volume + "/.IAPhysicalMedia";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && write(fd, xml, length) == static_cast<ssize_t>(length);
    const int code = errno;
    plist_to_xml_free(xml);
    if (fd >= 0 && close(fd) != 0 && written) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!written) {
        error = "cannot write " + path + ": " + std::strerror(code);
        return false;
    }
    return true;
}

// The installer's icon becomes the volume's icon.
bool copyVolumeIcon(const std::string &volume, const InstallerBundle &bundle, std::string &error)
{
    if (bundle.iconPath().empty())
        return true;
    // Only a regular file is copied: a FIFO or a device standing in the bundle must not hang the tool.
    const posix::FileDescriptor icon = posix::RegularFile::open(bundle.iconPath());
    const int in = icon.get();
    const std::string path = volume + "/.VolumeIcon.icns";
    const int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    char buffer[65536];
    while (ok) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        ok = n > 0 && write(out, buffer, static_cast<size_t>(n)) == n;
    }
    const int code = errno;
    if (out >= 0 && close(out) != 0)
        ok = false;
    if (!ok)
        error = "cannot write " + path + ": " + std::strerror(code);
    return ok;
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

    if (!arguments.noInteraction && !askToContinue(arguments.volume)) {
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
        line.finish();
    }
    if (!note.empty())
        Console::line("Note: " + note);
    const std::string volume = eraser.newMountPoint();

    struct statvfs space
    {};
    if (statvfs(volume.c_str(), &space) != 0)
        return fail("cannot read the free space of " + volume + ": " + std::strerror(errno));
    const uint64_t available = static_cast<uint64_t>(space.f_bavail) * space.f_frsize;
    if (copier.spaceNeeded(space.f_frsize) > available || copier.entryCount() + 16 > space.f_favail)
        return fail("the volume is too small for " + bundle.folderName() + ": it needs " +
                    mebibytes(copier.spaceNeeded(space.f_frsize)) + ", " + mebibytes(available) +
                    " are free after erasing");

    const std::string target = volume + "/" + bundle.folderName();
    {
        PercentLine line("Copying to disk");
        // CREATEINSTALLMEDIA_RATE_LIMIT (MiB/s) slows the copy to the pace of a slow stick, for
        // demonstrations.
        const double rate = rateLimit();
        const auto started = std::chrono::steady_clock::now();
        const bool copied = copier.copy(
            bundleOnDisk, target,
            [&](uint64_t done, uint64_t total) {
                line.update(total ? static_cast<double>(done) / total : 1);
                if (rate > 0) {
                    const auto due =
                        started + std::chrono::duration<double>(static_cast<double>(done) / rate);
                    std::this_thread::sleep_until(due);
                }
            },
            error);
        if (!copied) {
            line.interrupt();
            TreeCopier::removeTree(target);
            return fail(error);
        }
        line.finish();
    }

    Console::line("Making disk bootable...");
    if (!writeMediaMarker(volume, bundle, error))
        return fail(error);
    Console::line("Copying boot files...");
    if (!copyVolumeIcon(volume, bundle, error))
        return fail(error);

    // Only what has reached the drive counts.
    const int volumeFd = open(volume.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (volumeFd < 0 || syncfs(volumeFd) != 0) {
        const int code = errno;
        if (volumeFd >= 0)
            close(volumeFd);
        return fail("cannot write everything out to " + volume + ": " + std::strerror(code));
    }
    close(volumeFd);
    Console::line("Install media now available at \"" + volume + "\"");
    return 0;
}
