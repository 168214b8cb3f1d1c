#include "disklib/VolumeMounter.h"

#include "Platform/Posix/MountPointLock.h"
#include "Platform/Posix/VolumeMountPoint.h"
#include "disklib/Command.h"
#include "disklib/DiskDevice.h"
#include "disklib/SignalBlocker.h"
#include "disklib/Unmounter.h"
#include "disklib/VolumePath.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace disktools {

namespace {

// Volumes mounted here carry no device nodes and no set-user-ID programs that would act on this system.
constexpr unsigned long volumeFlags = MS_NOSUID | MS_NODEV;

// blkid writes a label's unsafe bytes as \xHH.
std::string decodeEscapes(const std::string &text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            decoded += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

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

VolumeMounter::Probe VolumeMounter::probe(const std::string &node, std::string &error)
{
    Probe probed;
    const std::string blkid = Command::find("blkid");
    if (blkid.empty()) {
        error = "blkid is not installed; it tells what file system " + node + " holds";
        return probed;
    }
    // -p reads the device itself, not a cache that may be out of date.
    const CommandResult result = Command::run({blkid, "-p", "-o", "udev", node});
    if (result.exitStatus == 2) {
        error = "no file system was found on " + node;
        return probed;
    }
    if (result.exitStatus != 0) {
        error = "blkid could not read " + node + " (" + Command::describeEnd(result) + ")";
        return probed;
    }
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals),
                          value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (key == "ID_FS_TYPE")
            probed.type = value;
        else if (key == "ID_FS_USAGE")
            probed.usage = value;
        else if (key == "ID_FS_LABEL_ENC")
            probed.label = decodeEscapes(value);
    }
    if (probed.type.empty())
        error = "no file system was found on " + node;
    return probed;
}

std::string VolumeMounter::mountData(const std::string &type) const
{
    static const char *const ownerless[] = {"vfat", "msdos", "exfat", "ntfs3", "hfsplus", "hfs", "udf"};
    std::string data;
    if (m_owner && std::find(std::begin(ownerless), std::end(ownerless), type) != std::end(ownerless))
        data = "uid=" + std::to_string(m_owner->first) + ",gid=" + std::to_string(m_owner->second);
    // Names on the drive are shown as the desktop shows them.
    if (type == "vfat")
        data += std::string(data.empty() ? "" : ",") + "utf8";
    return data;
}

bool VolumeMounter::mountFresh(const Probe &probed, const Observer &observer, std::string &error)
{
    // The kernel's own NTFS driver is called ntfs3.
    const std::vector<std::string> types = probed.type == "ntfs" ? std::vector<std::string>{"ntfs3", "ntfs"}
                                                                 : std::vector<std::string>{probed.type};
    int code = ENODEV;
    for (const std::string &type : types) {
        const std::string data = mountData(type);
        if (::mount(m_devicePath.c_str(), m_mountPoint.c_str(), type.c_str(), volumeFlags, data.c_str()) ==
            0) {
            m_fileSystemType = type;
            return true;
        }
        code = errno;
        if (code == EROFS || code == EACCES) {
            if (::mount(m_devicePath.c_str(), m_mountPoint.c_str(), type.c_str(), volumeFlags | MS_RDONLY,
                        data.c_str()) == 0) {
                m_fileSystemType = type;
                if (observer.note)
                    observer.note("the drive is write-protected; it was mounted read-only");
                return true;
            }
            code = errno;
        }
        if (code != ENODEV)
            break;
    }
    error = code == ENODEV
                ? "this system cannot mount " + probed.type + " volumes; " + m_devicePath + " was not mounted"
                : "could not mount " + m_devicePath + " (" + probed.type + ") at \"" + m_mountPoint + "\" (" +
                      std::strerror(code) + ")";
    return false;
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
    std::string probeError;
    const Probe probed = probe(m_devicePath, probeError);
    if (m_elsewhere.empty()) {
        if (probed.type.empty()) {
            error = probeError;
            return false;
        }
        if (!probed.usage.empty() && probed.usage != "filesystem") {
            error = m_devicePath + " holds no file system that can be mounted (" + probed.type + ")";
            return false;
        }
    }
    // A volume without a label keeps the name the desktop gave its folder.
    const auto shown =
        std::find_if(m_elsewhere.rbegin(), m_elsewhere.rend(), [](const posix::MountEntry &entry) {
            return lastComponent(entry.mountPoint).rfind('.', 0) != 0;
        });
    m_name = VolumePath::nameFromLabel(
        probed.label, shown != m_elsewhere.rend()
                          ? VolumePath::nameFromLabel(lastComponent(shown->mountPoint), "Untitled")
                          : "Untitled");

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
        const bool mounted =
            m_elsewhere.empty()
                ? mountFresh(probed, observer, error)
                : mountAgain(shown != m_elsewhere.rend() ? *shown : m_elsewhere.back(), error);
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
