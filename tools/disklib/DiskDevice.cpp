#include "disklib/DiskDevice.h"

#include <algorithm>
#include <blkid/blkid.h>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace disktools {

namespace {

std::string sysfsFolder(dev_t device)
{
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

dev_t numberIn(const std::string &file)
{
    std::ifstream text(file);
    unsigned high = 0, low = 0;
    char colon = 0;
    return text >> high >> colon >> low && colon == ':' ? makedev(high, low) : 0;
}

// The disks a device's data lies on: its own, or for a mapped device (LVM, encryption) those below it,
// which libblkid does not follow but the kernel lists beside the device's attributes.
void disksBelow(dev_t device, std::vector<dev_t> &disks, int depth = 0)
{
    bool below = false;
    const std::string slaves = sysfsFolder(device) + "/slaves";
    if (DIR *dir = depth < 8 ? ::opendir(slaves.c_str()) : nullptr) {
        while (const dirent *entry = ::readdir(dir))
            if (const dev_t lower =
                    entry->d_name[0] != '.' ? numberIn(slaves + "/" + entry->d_name + "/dev") : 0) {
                below = true;
                disksBelow(lower, disks, depth + 1);
            }
        ::closedir(dir);
    }
    if (!below)
        disks.push_back(DiskDevice::diskOf(device));
}

} // namespace

bool DiskDevice::at(const std::string &path, dev_t &rdev)
{
    struct stat info
    {};
    if (path.empty() || path[0] != '/' || ::stat(path.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return false;
    rdev = info.st_rdev;
    return true;
}

std::string DiskDevice::nodeOf(dev_t device)
{
    if (major(device) == 0)
        return {};
    const std::unique_ptr<char, decltype(&std::free)> found(blkid_devno_to_devname(device), std::free);
    dev_t rdev = 0;
    return found && at(found.get(), rdev) && rdev == device ? std::string(found.get()) : std::string();
}

std::string DiskDevice::nodeOfMount(const posix::MountEntry &entry, dev_t &rdev)
{
    if (at(entry.source, rdev))
        return entry.source;
    const std::string node = nodeOf(entry.device);
    if (!node.empty())
        rdev = entry.device;
    return node;
}

uint64_t DiskDevice::size(const std::string &node, dev_t device)
{
    std::ifstream sectors(sysfsFolder(device) + "/size");
    uint64_t count = 0;
    if (sectors >> count && count > 0)
        return count * 512;
    uint64_t bytes = 0;
    const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0)
        bytes = 0;
    ::close(fd);
    return bytes;
}

bool DiskDevice::holdsMount(dev_t device, const posix::MountEntry &entry)
{
    if (entry.device == device)
        return true;
    dev_t rdev = 0;
    return at(entry.source, rdev) && rdev == device;
}

dev_t DiskDevice::diskOf(dev_t device)
{
    dev_t disk = 0;
    return major(device) != 0 && blkid_devno_to_wholedisk(device, nullptr, 0, &disk) == 0 && disk != 0
               ? disk
               : device;
}

bool DiskDevice::onStartupDisk(dev_t device, const std::vector<posix::MountEntry> &entries)
{
    const auto root = posix::MountInfo::at(entries, "/");
    dev_t rootDevice = 0;
    if (!root || nodeOfMount(*root, rootDevice).empty())
        return false;
    std::vector<dev_t> startup, ours;
    disksBelow(rootDevice, startup);
    disksBelow(device, ours);
    return std::any_of(ours.begin(), ours.end(), [&](dev_t disk) {
        return disk != 0 && std::find(startup.begin(), startup.end(), disk) != startup.end();
    });
}

std::string DiskDevice::name(const std::string &node)
{
    return node.substr(node.rfind('/') + 1);
}

} // namespace disktools
