#include "Platform/Posix/MountInfo.h"

#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <sys/sysmacros.h>

namespace posix {

dev_t MountEntry::device() const
{
    return makedev(major, minor);
}

std::string MountInfo::decode(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            bool octal = digits.size() == 3;
            for (char d : digits)
                octal = octal && d >= '0' && d <= '7';
            if (octal) {
                out.push_back(
                    static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<MountEntry> MountInfo::parse(std::string_view text)
{
    std::vector<MountEntry> entries;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        std::vector<std::string_view> fields;
        size_t start = 0;
        while (start <= line.size()) {
            size_t end = line.find(' ', start);
            if (end == std::string_view::npos)
                end = line.size();
            fields.push_back(line.substr(start, end - start));
            start = end + 1;
        }
        // id parent major:minor root mount-point options [optional fields…] - fstype source super-options
        size_t separator = 0;
        for (size_t i = 6; i < fields.size(); ++i) {
            if (fields[i] == "-") {
                separator = i;
                break;
            }
        }
        if (separator == 0 || separator + 2 >= fields.size())
            continue;
        MountEntry entry;
        try {
            entry.id = std::stoi(std::string(fields[0]));
            entry.parentId = std::stoi(std::string(fields[1]));
            const std::string numbers(fields[2]);
            const size_t colon = numbers.find(':');
            if (colon == std::string::npos)
                continue;
            entry.major = static_cast<unsigned>(std::stoul(numbers.substr(0, colon)));
            entry.minor = static_cast<unsigned>(std::stoul(numbers.substr(colon + 1)));
        } catch (const std::exception &) {
            continue;
        }
        entry.root = decode(fields[3]);
        entry.mountPoint = decode(fields[4]);
        entry.options = std::string(fields[5]);
        entry.fsType = decode(fields[separator + 1]);
        entry.source = decode(fields[separator + 2]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<MountEntry> MountInfo::read(const std::string &path)
{
    std::ifstream file(path);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return parse(text.str());
}

std::optional<MountEntry> MountInfo::at(const std::vector<MountEntry> &entries, const std::string &mountPoint)
{
    std::optional<MountEntry> found;
    for (const auto &entry : entries)
        if (entry.mountPoint == mountPoint)
            found = entry;
    return found;
}

std::vector<MountEntry> MountInfo::ofDevice(const std::vector<MountEntry> &entries, dev_t device)
{
    std::vector<MountEntry> found;
    for (const auto &entry : entries)
        if (entry.device() == device)
            found.push_back(entry);
    return found;
}

unsigned long MountInfo::flagsFromOptions(const std::string &options)
{
    unsigned long flags = 0;
    std::istringstream list(options);
    std::string option;
    while (std::getline(list, option, ',')) {
        if (option == "ro")
            flags |= MS_RDONLY;
        else if (option == "nosuid")
            flags |= MS_NOSUID;
        else if (option == "nodev")
            flags |= MS_NODEV;
        else if (option == "noexec")
            flags |= MS_NOEXEC;
        else if (option == "noatime")
            flags |= MS_NOATIME;
        else if (option == "nodiratime")
            flags |= MS_NODIRATIME;
        else if (option == "relatime")
            flags |= MS_RELATIME;
        else if (option == "strictatime")
            flags |= MS_STRICTATIME;
        else if (option == "sync")
            flags |= MS_SYNCHRONOUS;
        else if (option == "dirsync")
            flags |= MS_DIRSYNC;
    }
    return flags;
}

} // namespace posix
