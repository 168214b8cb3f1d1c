#include "InstallerBundle.h"

#include "Platform/Posix/RegularFile.h"

#include <cstdlib>
#include <memory>
#include <plist/plist.h>
#include <sys/stat.h>

namespace {

std::string stringValue(plist_t dictionary, const char *key)
{
    plist_t node = plist_dict_get_item(dictionary, key);
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return {};
    char *value = nullptr;
    plist_get_string_val(node, &value);
    std::string text = value ? value : "";
    std::free(value);
    return text;
}

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

std::string InstallerBundle::containing(const std::string &toolPath)
{
    const std::string folder = toolPath.substr(0, toolPath.rfind('/'));
    const std::string resources = "/Contents/Resources";
    if (!endsWith(folder, resources))
        return {};
    const std::string bundle = folder.substr(0, folder.size() - resources.size());
    return bundle.empty() ? std::string() : bundle;
}

std::string InstallerBundle::folderName() const
{
    return m_path.substr(m_path.rfind('/') + 1);
}

bool InstallerBundle::load(const std::string &path, std::string &error)
{
    m_path = path;
    while (m_path.size() > 1 && m_path.back() == '/')
        m_path.pop_back();
    error = m_path + " does not appear to be a valid OS installer application.";
    struct stat info
    {};
    if (stat(m_path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    // A FIFO or a link to a device in place of the property list must neither hang nor exhaust the tool.
    const auto read = posix::RegularFile::read(m_path + "/Contents/Info.plist", 16 * 1024 * 1024);
    if (!read || read->empty())
        return false;
    const std::string &data = *read;
    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
    const std::unique_ptr<void, void (*)(plist_t)> owner(root, plist_free);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return false;
    m_displayName = stringValue(root, "CFBundleDisplayName");
    if (m_displayName.empty())
        return false;
    m_version = stringValue(root, "DTPlatformVersion");
    std::string icon = stringValue(root, "CFBundleIconFile");
    if (!icon.empty() && icon.find('/') == std::string::npos) {
        if (icon.find('.') == std::string::npos)
            icon += ".icns";
        const std::string iconPath = m_path + "/Contents/Resources/" + icon;
        if (posix::RegularFile::open(iconPath))
            m_iconPath = iconPath;
    }
    error.clear();
    return true;
}
