#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What a finished drive keeps of itself in its hidden folder, `.BootDrive/record`: which installer was put
// on it, when and by which version of BootDrive, and every item of the installer as the verification saw
// it, so the drive can be checked again later without the installer. The text is versioned and ends with
// a hash of itself, which detects accidental change (a flipped bit, a truncated write), not tampering.
// A record read from a drive is hostile data: every field is checked, and paths stay below the drive's top.
class DriveRecord
{
public:
    static constexpr const char *Folder = ".BootDrive";
    static constexpr const char *FileName = "record";
    // The first line of every record, whatever its version.
    static constexpr std::string_view FirstLine = "BootDrive drive record";
    static constexpr size_t MaxBytes = 16 * 1024 * 1024;
    static constexpr size_t MaxItems = 1000000;

    struct Item
    {
        enum class Kind : char
        {
            Folder = 'd',
            File = 'f',
            Link = 'l',
            Other = 'o', // a device, FIFO or socket: its kind and mode are all there is
        };
        Kind kind = Kind::File;
        unsigned mode = 0;  // permission bits (07777); not kept for a link
        uint64_t size = 0;  // files only
        std::string hash;   // files only: 128-bit XXH3 of the content, 32 lowercase hex digits
        std::string path;   // bytes, relative to the drive's top, "/" between names
        std::string target; // links only
        bool operator==(const Item &) const = default;
    };

    std::string installerName;
    std::string installerVersion;
    std::string installerType;
    std::string made;        // UTC, "2026-12-08T09:30:00Z"
    std::string madeBy;      // BootDrive's version
    std::vector<Item> items; // a folder before what it holds

    enum class Refusal
    {
        None,
        Missing,
        NotOurs,
        Damaged,
        TooLarge,
        UnknownVersion,
        PathOutside,
    };
    struct Read;

    std::string encode() const;
    static Read decode(std::string_view text);
    // The record of the volume open as `top`: its hidden folder and file are neither links nor anything but
    // a folder and a regular file, and the file is read only up to its bound.
    static Read readFrom(int top);
    // A sentence for the refusal, as the command line and the window show it.
    static std::string describe(Refusal refusal);
    // A 128-bit hash as the record writes it: 32 lowercase hex digits, the high half first.
    static std::string hashText(uint64_t high, uint64_t low);
    // Whether the path is one a record may name: relative, "/" between names, none of them empty, "." or
    // "..", no NUL byte, within the system's limits.
    static bool isInsidePath(std::string_view path);
};

struct DriveRecord::Read
{
    std::optional<DriveRecord> record;
    Refusal refusal = Refusal::None;
};

} // namespace platform
