#include "disklib/VolumeMounter.h"

#include "Platform/Posix/MountPointLock.h"
#include "Platform/Posix/VolumeMountPoint.h"
#include "Platform/Posix/VolumeProbe.h"
#include "disklib/BootDriveFolder.h"
#include "disklib/DiskDevice.h"
#include "disklib/SignalBlocker.h"
#include "disklib/Unmounter.h"
#include "disklib/VolumePath.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace disktools {

namespace {

// Volumes mounted here carry no device nodes and no set-user-ID programs that would act on this system.
constexpr unsigned long volumeFlags = MS_NOSUID | MS_NODEV;
constexpr unsigned int volumeAttributes = MOUNT_ATTR_NOSUID | MOUNT_ATTR_NODEV;

std::string lastComponent(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

// Folders a desktop makes for each volume it mounts, and leaves empty when the volume goes.
bool desktopMountFolder(const std::string &path)
{
    return path.rfind("/media/", 0) == 0 || path.rfind("/run/media/", 0) == 0;
}

} // namespace

std::string VolumeMounter::deviceName() const
{
    return DiskDevice::name(m_devicePath);
}

bool VolumeMounter::prepare(const std::string &deviceArgument, std::string &error)
{
    if (deviceArgument.empty()) {
        error = "no device given";
        return false;
    }
    char resolved[PATH_MAX];
    if (!::realpath(deviceArgument.c_str(), resolved)) {
        error = "cannot find \"" + deviceArgument + "\" (" + std::strerror(errno) + ")";
        return false;
    }
    if (!DiskDevice::at(resolved, m_device)) {
        error = "\"" + deviceArgument + "\" is not a block device";
        return false;
    }
    m_devicePath = resolved;
    const auto entries = posix::MountInfo::read();
    if (DiskDevice::onStartupDisk(m_device, entries)) {
        error = "refusing to mount " + m_devicePath + ": it is part of the start-up disk";
        return false;
    }
    m_elsewhere.clear();
    m_listedMountPoint.clear();
    for (const auto &entry : entries) {
        if (!DiskDevice::holdsMount(m_device, entry))
            continue;
        if (VolumePath::isListedMountPoint(entry.mountPoint))
            m_listedMountPoint = entry.mountPoint;
        else
            m_elsewhere.push_back(entry);
    }
    return true;
}

VolumeMounter::Options VolumeMounter::mountOptions(const std::string &type) const
{
    static const char *const ownerless[] = {"vfat", "msdos", "exfat", "ntfs3", "hfsplus", "hfs", "udf"};
    Options options;
    if (m_owner && std::find(std::begin(ownerless), std::end(ownerless), type) != std::end(ownerless))
        options = {{"uid", std::to_string(m_owner->first)}, {"gid", std::to_string(m_owner->second)}};
    // Names on the drive are shown as the desktop shows them.
    if (type == "vfat")
        options.emplace_back("utf8", "");
    return options;
}

posix::FileDescriptor VolumeMounter::mountDetached(const std::string &type, const Observer &observer,
                                                   std::string &error)
{
    auto detached = [&](const std::string &driver, bool readOnly) {
        const posix::FileDescriptor context(::fsopen(driver.c_str(), FSOPEN_CLOEXEC));
        bool configured =
            context &&
            ::fsconfig(context.get(), FSCONFIG_SET_STRING, "source", m_devicePath.c_str(), 0) == 0 &&
            (!readOnly || ::fsconfig(context.get(), FSCONFIG_SET_FLAG, "ro", nullptr, 0) == 0);
        for (const auto &[key, value] : mountOptions(driver))
            configured =
                configured &&
                (value.empty()
                     ? ::fsconfig(context.get(), FSCONFIG_SET_FLAG, key.c_str(), nullptr, 0)
                     : ::fsconfig(context.get(), FSCONFIG_SET_STRING, key.c_str(), value.c_str(), 0)) == 0;
        return posix::FileDescriptor(
            configured && ::fsconfig(context.get(), FSCONFIG_CMD_CREATE, nullptr, nullptr, 0) == 0
                ? ::fsmount(context.get(), FSMOUNT_CLOEXEC,
                            volumeAttributes | (readOnly ? MOUNT_ATTR_RDONLY : 0))
                : -1);
    };
    // The kernel's own NTFS driver is called ntfs3.
    const std::vector<std::string> drivers =
        type == "ntfs" ? std::vector<std::string>{"ntfs3", "ntfs"} : std::vector<std::string>{type};
    int code = ENODEV;
    for (const std::string &driver : drivers) {
        m_fileSystemType = driver;
        if (posix::FileDescriptor mounted = detached(driver, false))
            return mounted;
        code = errno;
        if (code == EROFS || code == EACCES) {
            if (posix::FileDescriptor mounted = detached(driver, true)) {
                if (observer.note)
                    observer.note("the drive is write-protected; it was mounted read-only");
                return mounted;
            }
            code = errno;
        }
        if (code != ENODEV)
            break;
    }
    error = code == ENODEV
                ? "this system cannot mount " + type + " volumes; " + m_devicePath + " was not mounted"
                : "could not mount " + m_devicePath + " (" + type + ") (" + std::strerror(code) + ")";
    return {};
}

bool VolumeMounter::mountAgain(const posix::MountEntry &existing, std::string &error)
{
    m_fileSystemType = existing.fsType;
    const unsigned long readOnly = posix::MountInfo::flagsFromOptions(existing.options) & MS_RDONLY;
    // The whole file system is already mounted there: the same mount is put here too, whatever drives it
    // (a FUSE file system cannot be mounted by its device).
    if (existing.root == "/") {
        if (::mount(existing.mountPoint.c_str(), m_mountPoint.c_str(), nullptr, MS_BIND, nullptr) == 0) {
            if (::mount(nullptr, m_mountPoint.c_str(), nullptr, MS_BIND | MS_REMOUNT | volumeFlags | readOnly,
                        nullptr) == 0)
                return true;
            const int code = errno;
            ::umount2(m_mountPoint.c_str(), UMOUNT_NOFOLLOW);
            errno = code;
        }
    } else if (::mount(m_devicePath.c_str(), m_mountPoint.c_str(), existing.fsType.c_str(),
                       volumeFlags | readOnly, nullptr) == 0) {
        return true;
    }
    error = "could not mount " + m_devicePath + " at \"" + m_mountPoint + "\" (" + std::strerror(errno) + ")";
    return false;
}

bool VolumeMounter::mount(const Observer &observer, std::string &error)
{
    SignalBlocker holdSignals;
    const posix::VolumeProbe::Result probed = posix::VolumeProbe::probe(m_devicePath);
    // A volume without a label keeps the name the desktop gave its folder.
    const auto shown =
        std::find_if(m_elsewhere.rbegin(), m_elsewhere.rend(), [](const posix::MountEntry &entry) {
            return lastComponent(entry.mountPoint).rfind('.', 0) != 0;
        });
    const posix::MountEntry *again = m_elsewhere.empty()           ? nullptr
                                     : shown != m_elsewhere.rend() ? &*shown
                                                                   : &m_elsewhere.back();
    posix::FileDescriptor detached;
    if (!again) {
        if (probed.error != 0) {
            error = "cannot read " + m_devicePath + " (" + std::strerror(probed.error) + ")";
            return false;
        }
        if (!probed.found()) {
            error = "no file system was found on " + m_devicePath;
            return false;
        }
        if (!probed.usage.empty() && probed.usage != "filesystem") {
            error = m_devicePath + " holds no file system that can be mounted (" + probed.type + ")";
            return false;
        }
        if (!(detached = mountDetached(probed.type, observer, error)))
            return false;
    }
    m_name = VolumePath::nameFromLabel(
        probed.label, shown != m_elsewhere.rend()
                          ? VolumePath::nameFromLabel(lastComponent(shown->mountPoint), "Untitled")
                          : "Untitled");
    // The whole file system's top is where a drive BootDrive made keeps its full name; held open only while
    // it is read, as an open folder keeps the volume from being unmounted there.
    std::string full;
    if (!again)
        full = BootDriveFolder::keptName(detached.get(), probed.label);
    else if (again->root == "/")
        full = BootDriveFolder::keptName(
            posix::FileDescriptor(
                ::open(again->mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
                .get(),
            probed.label);
    if (!full.empty())
        m_name = full;

    const std::string root = VolumePath::volumesRoot();
    if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        error = "cannot make " + root + " (" + std::strerror(errno) + ")";
        return false;
    }
    {
        const posix::MountPointLock lock(root);
        int claimError = 0;
        m_mountPoint = posix::VolumeMountPoint::claim(lock, m_name, 0755, claimError);
        if (m_mountPoint.empty()) {
            error = "no mount point is free for \"" + m_name + "\" below /Volumes (" +
                    std::strerror(claimError) + ")";
            return false;
        }
        bool mounted = again ? mountAgain(*again, error)
                             : ::move_mount(detached.get(), "", AT_FDCWD, m_mountPoint.c_str(),
                                            MOVE_MOUNT_F_EMPTY_PATH) == 0;
        if (!again && !mounted)
            error = "could not mount " + m_devicePath + " at \"" + m_mountPoint + "\" (" +
                    std::strerror(errno) + ")";
        if (!mounted) {
            posix::VolumeMountPoint::release(lock, m_mountPoint);
            return false;
        }
    }
    if (m_elsewhere.empty())
        return true;

    std::vector<posix::MountEntry> unmounted;
    if (!Unmounter::unmountAll(m_elsewhere, unmounted, error, observer.unmounting)) {
        // Something holds it there: it stays where it was and nothing else changes.
        ::umount2(m_mountPoint.c_str(), UMOUNT_NOFOLLOW);
        const posix::MountPointLock lock(root);
        posix::VolumeMountPoint::release(lock, m_mountPoint);
        error += "; close what uses it and try again; it was not mounted below /Volumes";
        return false;
    }
    for (const auto &old : unmounted)
        if (desktopMountFolder(old.mountPoint))
            ::rmdir(old.mountPoint.c_str());
    return true;
}

} // namespace disktools
