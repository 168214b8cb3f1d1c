#include "Platform/Posix/ExecutableFormat.h"

#include "Platform/Posix/RegularFile.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <elf.h>
#include <sys/stat.h>

namespace posix {

namespace {

// Scripts may name a script as their interpreter; the kernel follows a few levels, so do we.
constexpr int kMaxInterpreterDepth = 4;

struct ElfIdentity
{
    unsigned char elfClass = 0;
    unsigned char data = 0;
    uint16_t machine = 0;
};

bool elfIdentity(const std::string &header, ElfIdentity &identity)
{
    if (header.size() < sizeof(Elf32_Ehdr) || std::memcmp(header.data(), ELFMAG, SELFMAG) != 0)
        return false;
    identity.elfClass = static_cast<unsigned char>(header[EI_CLASS]);
    identity.data = static_cast<unsigned char>(header[EI_DATA]);
    // e_machine sits at the same offset in both classes; it is stored in the file's own byte order.
    const auto *bytes =
        reinterpret_cast<const unsigned char *>(header.data()) + offsetof(Elf32_Ehdr, e_machine);
    identity.machine = identity.data == ELFDATA2MSB ? static_cast<uint16_t>(bytes[0] << 8 | bytes[1])
                                                    : static_cast<uint16_t>(bytes[1] << 8 | bytes[0]);
    return true;
}

const ElfIdentity &ownIdentity()
{
    static const ElfIdentity identity = [] {
        ElfIdentity own;
        if (const auto header = RegularFile::readPrefix("/proc/self/exe", sizeof(Elf64_Ehdr)))
            elfIdentity(*header, own);
        return own;
    }();
    return identity;
}

bool isMachO(const std::string &header)
{
    if (header.size() < 4)
        return false;
    const auto *b = reinterpret_cast<const unsigned char *>(header.data());
    const uint32_t big = static_cast<uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
    const uint32_t little = static_cast<uint32_t>(b[3]) << 24 | b[2] << 16 | b[1] << 8 | b[0];
    for (uint32_t magic : {big, little})
        if (magic == 0xfeedface || magic == 0xfeedfacf || magic == 0xcafebabe)
            return true;
    return false;
}

std::string check(const std::string &path, int depth)
{
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0)
        return path + ": " + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return path + " is not a regular file";
    if ((info.st_mode & 0111) == 0)
        return path + " is not executable";
    const auto header = RegularFile::readPrefix(path, 256);
    if (!header) {
        // Unreadable to us but perhaps not to root: the privileged start decides.
        return errno == EACCES ? std::string() : path + ": " + std::strerror(errno);
    }
    if (header->compare(0, 2, "#!") == 0) {
        if (depth >= kMaxInterpreterDepth)
            return path + ": too many levels of interpreters";
        const size_t end = header->find('\n');
        if (end == std::string::npos && header->size() >= 256)
            return path + ": its interpreter line is too long";
        std::string line = header->substr(2, end == std::string::npos ? std::string::npos : end - 2);
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos)
            return path + " names no interpreter";
        line = line.substr(start);
        const std::string interpreter = line.substr(0, line.find_first_of(" \t\r"));
        const std::string why = check(interpreter, depth + 1);
        return why.empty() ? std::string() : "its interpreter " + why;
    }
    ElfIdentity identity;
    if (elfIdentity(*header, identity)) {
        const ElfIdentity &own = ownIdentity();
        if (identity.elfClass != own.elfClass || identity.data != own.data || identity.machine != own.machine)
            return path + " is a program for another kind of processor";
        return {};
    }
    if (isMachO(*header))
        return path + " is a macOS program";
    return path + " is not in a format this system can run";
}

} // namespace

std::string ExecutableFormat::whyCannotRun(const std::string &path)
{
    return check(path, 0);
}

} // namespace posix
