#include "disklib/DiskDevice.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace disktools {

namespace {

std::string numberText(dev_t device)
{
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// The device's sysfs folder with links resolved; empty when there is none.
std::string sysfsFolder(dev_t device)
{
    if (major(device) == 0)
        return {};
    char resolved[PATH_MAX];
    const std::string link = "/sys/dev/block/" + numberText(device);
    return ::realpath(link.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool exists(const std::string &path)
{
    struct stat info
    {};
    return ::stat(path.c_str(), &info) == 0;
}

dev_t numberIn(const std::string &folder)
{
    std::ifstream file(folder + "/dev");
    unsigned high = 0, low = 0;
    char colon = 0;
    if (file >> high >> colon >> low && colon == ':')
        return makedev(high, low);
    return 0;
}

std::vector<std::string> entries(const std::string &folder)
{
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The disks a device's data lies on: its own, or for a mapped device (LVM, encryption) those below it.
void disksBelow(const std::string &folder, std::vector<dev_t> &disks, int depth = 0)
{
    const std::vector<std::string> below = entries(folder + "/slaves");
    if (below.empty() || depth > 8) {
        const std::string disk = exists(folder + "/partition") ? folder.substr(0, folder.rfind('/')) : folder;
        disks.push_back(numberIn(disk));
        return;
    }
    for (const std::string &name : below) {
        char resolved[PATH_MAX];
        const std::string link = folder + "/slaves/" + name;
        if (::realpath(link.c_str(), resolved))
            disksBelow(resolved, disks, depth + 1);
    }
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
    const std::string folder = sysfsFolder(device);
    if (folder.empty())
        return {};
    const std::string node = "/dev/" + folder.substr(folder.rfind('/') + 1);
    dev_t rdev = 0;
    return at(node, rdev) && rdev == device ? node : std::string();
}

std::string DiskDevice::nodeOfMount(const posix::MountEntry &entry, dev_t &rdev)
{
    if (at(entry.source, rdev))
        return entry.source;
    const std::string node = nodeOf(entry.device());
    if (!node.empty())
        rdev = entry.device();
    return node;
}

uint64_t DiskDevice::size(const std::string &node, dev_t device)
{
    std::ifstream sectors("/sys/dev/block/" + numberText(device) + "/size");
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
    if (entry.device() == device)
        return true;
    dev_t rdev = 0;
    return at(entry.source, rdev) && rdev == device;
}

dev_t DiskDevice::diskOf(dev_t device)
{
    const std::string folder = sysfsFolder(device);
    if (folder.empty() || !exists(folder + "/partition"))
        return device;
    const dev_t disk = numberIn(folder.substr(0, folder.rfind('/')));
    return disk != 0 ? disk : device;
}

std::vector<dev_t> DiskDevice::devicesOfDisk(dev_t disk)
{
    std::vector<dev_t> devices{disk};
    const std::string folder = sysfsFolder(disk);
    if (folder.empty())
        return devices;
    for (const std::string &name : entries(folder))
        if (exists(folder + "/" + name + "/partition"))
            if (const dev_t partition = numberIn(folder + "/" + name))
                devices.push_back(partition);
    return devices;
}

bool DiskDevice::onStartupDisk(dev_t device, const std::vector<posix::MountEntry> &entries)
{
    const auto root = posix::MountInfo::at(entries, "/");
    dev_t rootDevice = 0;
    if (!root || nodeOfMount(*root, rootDevice).empty())
        return false;
    std::vector<dev_t> startup, ours;
    disksBelow(sysfsFolder(rootDevice), startup);
    if (const std::string folder = sysfsFolder(device); !folder.empty())
        disksBelow(folder, ours);
    else
        ours.push_back(device);
    return std::any_of(ours.begin(), ours.end(), [&](dev_t disk) {
        return disk != 0 && std::find(startup.begin(), startup.end(), disk) != startup.end();
    });
}

std::string DiskDevice::name(const std::string &node)
{
    return node.substr(node.rfind('/') + 1);
}

} // namespace disktools
