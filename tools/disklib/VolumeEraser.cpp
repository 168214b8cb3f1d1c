#include "disklib/VolumeEraser.h"

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/MountPointLock.h"
#include "Platform/Posix/VolumeMountPoint.h"
#include "disklib/BootDriveFolder.h"
#include "disklib/Command.h"
#include "disklib/DiskDevice.h"
#include "disklib/SignalBlocker.h"
#include "disklib/Unmounter.h"
#include "disklib/VolumePath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace disktools {

namespace {

// New volumes carry no device nodes and no set-user-ID programs that would act on this system.
constexpr unsigned long newVolumeFlags = MS_NOSUID | MS_NODEV;

std::string oneLine(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    for (char &c : text)
        if (c == '\n')
            c = ' ';
    return text;
}

} // namespace

std::string VolumeEraser::sizeText(uint64_t bytes)
{
    const double mb = static_cast<double>(bytes) / 1e6;
    if (mb >= 1000)
        return std::to_string(static_cast<uint64_t>(mb / 1000 + 0.5)) + " GB";
    return std::to_string(static_cast<uint64_t>(mb + 0.5)) + " MB";
}

std::string VolumeEraser::deviceName() const
{
    return m_devicePath.substr(m_devicePath.rfind('/') + 1);
}

bool VolumeEraser::prepare(const std::string &mountPointArgument, const std::string &newName,
                           std::string &error)
{
    if (!VolumePath::validateName(newName, error))
        return false;
    if (!VolumePath::resolveMountPoint(mountPointArgument, m_mountPoint, error))
        return false;
    m_newName = newName;

    const auto entries = posix::MountInfo::read();
    const auto entry = posix::MountInfo::at(entries, m_mountPoint);
    if (!entry) {
        error = "no volume is mounted at \"" + mountPointArgument + "\"";
        return false;
    }
    m_devicePath = DiskDevice::nodeOfMount(*entry, m_device);
    if (m_devicePath.empty()) {
        error = "\"" + mountPointArgument + "\" is not on a disk (its file system is " + entry->fsType + ")";
        return false;
    }
    if (const auto root = posix::MountInfo::at(entries, "/");
        root && DiskDevice::holdsMount(m_device, *root)) {
        error = "refusing to erase " + m_devicePath + ": it holds the start-up volume";
        return false;
    }

    m_mounts.clear();
    const std::string volumes = VolumePath::volumesRoot() + "/";
    for (const auto &candidate : entries) {
        if (!DiskDevice::holdsMount(m_device, candidate))
            continue;
        if (candidate.mountPoint.compare(0, volumes.size(), volumes) != 0) {
            error = "refusing to erase " + m_devicePath + ": it is also mounted at \"" +
                    candidate.mountPoint + "\", outside /Volumes";
            return false;
        }
        m_mounts.push_back(candidate);
    }

    // A name that is taken gets a numbered mount point of its own; only when every one is taken is there
    // nowhere to put the new volume, and then nothing is erased.
    std::vector<std::string> freed;
    for (const auto &mount : m_mounts)
        freed.push_back(mount.mountPoint);
    m_newMountPoint = posix::VolumeMountPoint::predict(VolumePath::volumesRoot(), newName, freed);
    if (m_newMountPoint.empty()) {
        error = "no mount point is free for \"" + newName + "\" below /Volumes";
        return false;
    }

    if (Command::find("mkfs.ext4").empty() && Command::find("mkfs.hfsplus").empty()) {
        error = "neither mkfs.ext4 nor mkfs.hfsplus is installed";
        return false;
    }

    m_deviceBytes = DiskDevice::size(m_devicePath, m_device);
    if (m_deviceBytes == 0) {
        error = "cannot read the size of " + m_devicePath;
        return false;
    }
    return true;
}

void VolumeEraser::removeOldMountPoints(const posix::MountPointLock &)
{
    // Whoever made them, they were this disk's, and the volume they held is gone: they go with it (only when
    // empty: a folder with content stays).
    for (const auto &old : m_unmounted)
        rmdir(old.mountPoint.c_str());
    m_unmounted.clear();
}

bool VolumeEraser::mountNew(const char *type, int &mountErrno)
{
    const posix::MountPointLock lock(VolumePath::volumesRoot());
    // The old mount points go first, so the new volume can take its old name again.
    removeOldMountPoints(lock);
    // Claimed by creating its folder: never a folder, link or mount that was there before, nor one that
    // another volume made at the same moment is taking.
    const std::string claimed = posix::VolumeMountPoint::claim(lock, m_newName, 0755, mountErrno);
    if (claimed.empty())
        return false;
    m_newMountPoint = claimed;
    if (mount(m_devicePath.c_str(), m_newMountPoint.c_str(), type, newVolumeFlags, nullptr) != 0) {
        mountErrno = errno;
        posix::VolumeMountPoint::release(lock, m_newMountPoint);
        return false;
    }
    return true;
}

bool VolumeEraser::format(const Observer &observer, bool &oldVolumeIntact, std::string &error)
{
    auto note = [&](const std::string &text) {
        if (observer.note)
            observer.note(text);
    };
    // Makes the file system and mounts it; `mountErrno` says why when only the mount failed.
    int mountErrno = 0;
    auto make = [&](const std::string &type, const std::vector<std::string> &arguments) {
        oldVolumeIntact = false;
        const CommandResult made = Command::run(arguments);
        if (made.exitStatus != 0) {
            error = "mkfs." + type + " failed on " + m_devicePath + " (" + Command::describeEnd(made) + ")" +
                    (made.output.empty() ? "" : ": " + oneLine(made.output));
            return false;
        }
        m_fileSystemType = type;
        if (observer.stage) {
            observer.stage(Stage::Initialized);
            observer.stage(Stage::Mounting);
        }
        if (mountNew(type.c_str(), mountErrno))
            return true;
        error = "the disk was erased but could not be mounted at \"" + m_newMountPoint + "\" (" +
                std::strerror(mountErrno) + ")";
        return false;
    };
    if (const std::string mkfsHfs = Command::find("mkfs.hfsplus"); !mkfsHfs.empty()) {
        std::vector<std::string> arguments{mkfsHfs};
        if (m_journaled)
            arguments.push_back("-J");
        arguments.insert(arguments.end(), {"-v", m_newName, m_devicePath});
        if (make("hfsplus", arguments))
            return true;
        if (mountErrno != ENODEV)
            return false;
        note("this system cannot mount HFS+ volumes; formatting as ext4 instead");
    } else {
        note("HFS+ is not available on this system (no mkfs.hfsplus); formatting as ext4 instead");
    }

    const std::string mkfsExt4 = Command::find("mkfs.ext4");
    if (mkfsExt4.empty()) {
        error = "mkfs.ext4 was not found";
        return false;
    }
    // -F: a whole disk without a partition table is what we mean to format. -m 0: a data volume reserves
    // nothing for root.
    return make("ext4",
                {mkfsExt4, "-F", "-q", "-m", "0", "-L", VolumePath::ext4Label(m_newName), m_devicePath});
}

bool VolumeEraser::erase(const Observer &observer, std::string &error)
{
    SignalBlocker holdSignals;
    if (observer.stage)
        observer.stage(Stage::Unmounting);
    std::vector<posix::MountEntry> unmounted;
    if (!Unmounter::unmountAll(m_mounts, unmounted, error))
        return false;

    // Nothing else may hold the disk: not a mount in another namespace, not another formatter.
    const int exclusive = open(m_devicePath.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
    if (exclusive < 0) {
        const int code = errno;
        error = m_devicePath + " is in use elsewhere (" + std::strerror(code) + ")" +
                Unmounter::remount(unmounted);
        return false;
    }
    close(exclusive);

    if (observer.stage)
        observer.stage(Stage::Erasing);
    bool oldVolumeIntact = true;
    m_unmounted = unmounted;
    if (!format(observer, oldVolumeIntact, error)) {
        if (oldVolumeIntact) {
            error += Unmounter::remount(unmounted);
        } else {
            const posix::MountPointLock lock(VolumePath::volumesRoot());
            removeOldMountPoints(lock);
            error += "; the disk is left unmounted";
        }
        return false;
    }
    if (m_owner && chown(m_newMountPoint.c_str(), m_owner->first, m_owner->second) != 0) {
        error = "could not give the new volume to its owner (" + std::string(std::strerror(errno)) + ")";
        return false;
    }
    if (m_fileSystemType != "ext4" || VolumePath::ext4Label(m_newName) == m_newName)
        return true;
    // The label holds the name's first 16 bytes; the drive keeps the rest for when it comes back.
    const posix::FileDescriptor top(
        open(m_newMountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info
    {};
    if (!top || fstat(top.get(), &info) != 0 || info.st_dev != m_device) {
        error = "the new volume is no longer mounted at \"" + m_newMountPoint + "\"";
        return false;
    }
    return BootDriveFolder::keepName(top.get(), m_newName, error);
}

} // namespace disktools
