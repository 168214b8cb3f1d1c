#include "Platform/Posix/VolumeProbe.h"

#include "Platform/Posix/FileDescriptor.h"

#include <blkid/blkid.h>
#include <cerrno>
#include <fcntl.h>
#include <memory>

namespace posix {

bool VolumeProbe::Result::gone() const
{
    return error == ENOENT || error == ENXIO || error == ENODEV || error == ENOMEDIUM;
}

VolumeProbe::Result VolumeProbe::probe(const std::string &node)
{
    Result result;
    // Opened here rather than by libblkid, so that a refusal keeps its errno. O_NONBLOCK: an optical drive
    // without a disc answers at once instead of waiting for one.
    const FileDescriptor device(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    const std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(blkid_new_probe(),
                                                                                 blkid_free_probe);
    if (!device || !probe) {
        result.error = device ? ENOMEM : errno;
        return result;
    }
    if (blkid_probe_set_device(probe.get(), device.get(), 0, 0) != 0) {
        result.error = errno ? errno : EIO;
        return result;
    }
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(),
                                      BLKID_SUBLKS_LABEL | BLKID_SUBLKS_TYPE | BLKID_SUBLKS_USAGE);
    errno = 0;
    // 1: nothing found; -2: two file systems claim the device, and neither is trusted.
    const int found = blkid_do_safeprobe(probe.get());
    if (found == -1) {
        result.error = errno ? errno : EIO;
        return result;
    }
    auto value = [&](const char *name) {
        const char *data = nullptr;
        return found == 0 && blkid_probe_lookup_value(probe.get(), name, &data, nullptr) == 0 && data
                   ? std::string(data)
                   : std::string();
    };
    result.type = value("TYPE");
    result.usage = value("USAGE");
    result.label = value("LABEL");
    return result;
}

} // namespace posix
