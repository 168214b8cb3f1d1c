#include "Platform/Posix/MountInfo.h"

#include <libmount/libmount.h>
#include <memory>

namespace posix {

namespace {

std::string text(const char *value)
{
    return value ? value : "";
}

} // namespace

std::vector<MountEntry> MountInfo::read(const std::string &path)
{
    const std::unique_ptr<libmnt_table, decltype(&mnt_unref_table)> table(mnt_new_table(), mnt_unref_table);
    const std::unique_ptr<libmnt_iter, decltype(&mnt_free_iter)> iterator(mnt_new_iter(MNT_ITER_FORWARD),
                                                                          mnt_free_iter);
    std::vector<MountEntry> entries;
    // A line libmount cannot parse is skipped, as the kernel never writes one.
    if (!table || !iterator || mnt_table_parse_file(table.get(), path.c_str()) != 0)
        return entries;
    libmnt_fs *fs = nullptr;
    while (mnt_table_next_fs(table.get(), iterator.get(), &fs) == 0) {
        MountEntry entry;
        entry.id = mnt_fs_get_id(fs);
        entry.device = mnt_fs_get_devno(fs);
        entry.root = text(mnt_fs_get_root(fs));
        entry.mountPoint = text(mnt_fs_get_target(fs));
        entry.options = text(mnt_fs_get_vfs_options(fs));
        entry.fsType = text(mnt_fs_get_fstype(fs));
        entry.source = text(mnt_fs_get_source(fs));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<MountEntry> MountInfo::at(const std::vector<MountEntry> &entries, const std::string &mountPoint)
{
    std::optional<MountEntry> found;
    for (const auto &entry : entries)
        if (entry.mountPoint == mountPoint)
            found = entry;
    return found;
}

unsigned long MountInfo::flagsFromOptions(const std::string &options)
{
    unsigned long flags = 0;
    // Only the options that are mount(2) flags count; "rw" and the like set none.
    if (mnt_optstr_get_flags(options.c_str(), &flags, mnt_get_builtin_optmap(MNT_LINUX_MAP)) != 0)
        return 0;
    return flags;
}

} // namespace posix
