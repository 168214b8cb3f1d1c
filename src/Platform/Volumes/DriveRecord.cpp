#include "Platform/Volumes/DriveRecord.h"

#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Posix/RegularFile.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

namespace platform {

namespace {

constexpr std::string_view Magic = DriveRecord::FirstLine;
constexpr std::string_view Version = "1";
constexpr size_t MaxField = 4096;

// Every field is one token: bytes outside printable ASCII, the space and "%" are written as %XX, and an
// empty field as "-" (a field that is "-" itself is written %2D).
std::string escaped(std::string_view bytes)
{
    if (bytes.empty())
        return "-";
    if (bytes == "-")
        return "%2D";
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || byte == '%') {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> unescaped(std::string_view token)
{
    if (token == "-")
        return std::string();
    std::string out;
    for (size_t i = 0; i < token.size(); ++i) {
        if (token[i] != '%') {
            out += token[i];
            continue;
        }
        if (i + 2 >= token.size())
            return std::nullopt;
        const int high = hexDigit(token[i + 1]), low = hexDigit(token[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (out.size() > MaxField || out.find('\0') != std::string::npos)
        return std::nullopt;
    return out;
}

std::string hashOf(std::string_view text)
{
    const XXH128_hash_t hash = XXH3_128bits(text.data(), text.size());
    return DriveRecord::hashText(hash.high64, hash.low64);
}

bool isHash(std::string_view text)
{
    return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::vector<std::string_view> tokens(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t at = 0;
    while (at <= line.size()) {
        const size_t space = std::min(line.find(' ', at), line.size());
        out.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    return out;
}

template <typename Number> std::optional<Number> number(std::string_view text, int base = 10)
{
    Number value{};
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Reads the lines of a record one at a time; the text has been checked to end with a newline.
class Lines
{
public:
    explicit Lines(std::string_view text) : m_text(text) {}
    std::optional<std::string_view> next()
    {
        if (m_at >= m_text.size())
            return std::nullopt;
        const size_t end = m_text.find('\n', m_at);
        const std::string_view line = m_text.substr(m_at, end - m_at);
        m_at = end + 1;
        return line;
    }
    // "key value" with one escaped value.
    std::optional<std::string> field(std::string_view key)
    {
        const auto line = next();
        if (!line)
            return std::nullopt;
        const auto parts = tokens(*line);
        if (parts.size() != 2 || parts[0] != key)
            return std::nullopt;
        return unescaped(parts[1]);
    }

private:
    std::string_view m_text;
    size_t m_at = 0;
};

using Refusal = DriveRecord::Refusal;
using Item = DriveRecord::Item;

std::optional<Item> parseItem(std::string_view line, Refusal &refusal)
{
    refusal = Refusal::Damaged;
    const auto parts = tokens(line);
    if (parts.size() != 5 && parts.size() != 6)
        return std::nullopt;
    Item item;
    if (parts[0].size() != 1)
        return std::nullopt;
    switch (parts[0][0]) {
    case 'd':
    case 'f':
    case 'l':
    case 'o':
        item.kind = static_cast<Item::Kind>(parts[0][0]);
        break;
    default:
        return std::nullopt;
    }
    const bool file = item.kind == Item::Kind::File, link = item.kind == Item::Kind::Link;
    if (parts.size() != (link ? 6u : 5u))
        return std::nullopt;
    if (link) {
        if (parts[1] != "-")
            return std::nullopt;
    } else {
        const auto mode = number<unsigned>(parts[1], 8);
        if (!mode || *mode > 07777)
            return std::nullopt;
        item.mode = *mode;
    }
    if (file) {
        const auto size = number<uint64_t>(parts[2]);
        if (!size || *size > static_cast<uint64_t>(INT64_MAX) || !isHash(parts[3]))
            return std::nullopt;
        item.size = *size;
        item.hash = std::string(parts[3]);
    } else if (parts[2] != "-" || parts[3] != "-") {
        return std::nullopt;
    }
    auto path = unescaped(parts[4]);
    if (!path)
        return std::nullopt;
    if (!DriveRecord::isInsidePath(*path)) {
        refusal = Refusal::PathOutside;
        return std::nullopt;
    }
    item.path = std::move(*path);
    if (link) {
        auto target = unescaped(parts[5]);
        if (!target || target->empty())
            return std::nullopt;
        item.target = std::move(*target);
    }
    refusal = Refusal::None;
    return item;
}

} // namespace

std::string DriveRecord::hashText(uint64_t high, uint64_t low)
{
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(high),
                  static_cast<unsigned long long>(low));
    return text;
}

bool DriveRecord::isInsidePath(std::string_view path)
{
    if (path.empty() || path.size() > PATH_MAX - 1 || path.find('\0') != std::string_view::npos)
        return false;
    size_t at = 0;
    while (at <= path.size()) {
        const size_t slash = std::min(path.find('/', at), path.size());
        const std::string_view name = path.substr(at, slash - at);
        if (name.empty() || name == "." || name == ".." || name.size() > NAME_MAX)
            return false;
        at = slash + 1;
    }
    return true;
}

std::string DriveRecord::encode() const
{
    std::string text;
    text.append(Magic).append("\nversion ").append(Version).append("\n");
    const auto field = [&text](const char *key, const std::string &value) {
        text.append(key).append(" ").append(escaped(value)).append("\n");
    };
    field("installer", installerName);
    field("installer-version", installerVersion);
    field("installer-type", installerType);
    field("made", made);
    field("made-by", madeBy);
    text.append("items ").append(std::to_string(items.size())).append("\n");
    for (const Item &item : items) {
        const bool file = item.kind == Item::Kind::File, link = item.kind == Item::Kind::Link;
        char mode[8] = "-";
        if (!link)
            std::snprintf(mode, sizeof mode, "%04o", item.mode & 07777);
        text += static_cast<char>(item.kind);
        text.append(" ").append(mode).append(" ");
        text.append(file ? std::to_string(item.size) : "-").append(" ");
        text.append(file ? item.hash : "-").append(" ");
        text.append(escaped(item.path));
        if (link)
            text.append(" ").append(escaped(item.target));
        text.append("\n");
    }
    const std::string hash = hashOf(text);
    text.append("hash ").append(hash).append("\n");
    return text;
}

DriveRecord::Read DriveRecord::decode(std::string_view text)
{
    const auto refused = [](Refusal refusal) { return Read{std::nullopt, refusal}; };
    if (text.size() > MaxBytes)
        return refused(Refusal::TooLarge);
    if (text.substr(0, Magic.size() + 1) != std::string(Magic) + "\n")
        return refused(Refusal::NotOurs);
    // The last line holds the hash of all before it: a record cut short or changed stops here.
    if (text.back() != '\n')
        return refused(Refusal::Damaged);
    const size_t last = text.rfind('\n', text.size() - 2);
    const std::string_view body = text.substr(0, last + 1);
    const std::string_view hashLine = text.substr(last + 1, text.size() - last - 2);
    if (hashLine.substr(0, 5) != "hash " || hashLine.substr(5) != hashOf(body))
        return refused(Refusal::Damaged);

    Lines lines(body);
    lines.next(); // the magic line
    const auto version = lines.next();
    if (!version || version->substr(0, 8) != "version ")
        return refused(Refusal::Damaged);
    if (version->substr(8) != Version)
        return refused(Refusal::UnknownVersion);
    DriveRecord record;
    for (auto [key, value] : {std::pair{"installer", &record.installerName},
                              {"installer-version", &record.installerVersion},
                              {"installer-type", &record.installerType},
                              {"made", &record.made},
                              {"made-by", &record.madeBy}}) {
        auto read = lines.field(key);
        if (!read)
            return refused(Refusal::Damaged);
        *value = std::move(*read);
    }
    const auto countLine = lines.next();
    const auto count = countLine && countLine->substr(0, 6) == "items " ? number<size_t>(countLine->substr(6))
                                                                        : std::nullopt;
    if (!count || *count > MaxItems)
        return refused(Refusal::Damaged);
    record.items.reserve(*count);
    // Every item's folder comes before it, once; so a check can never be led outside what was recorded.
    std::set<std::string_view> folders, seen;
    for (size_t i = 0; i < *count; ++i) {
        const auto line = lines.next();
        if (!line)
            return refused(Refusal::Damaged);
        Refusal refusal = Refusal::None;
        auto item = parseItem(*line, refusal);
        if (!item)
            return refused(refusal);
        record.items.push_back(std::move(*item));
        const std::string_view path = record.items.back().path;
        const size_t slash = path.rfind('/');
        if ((slash != std::string_view::npos && !folders.count(path.substr(0, slash))) ||
            !seen.insert(path).second)
            return refused(Refusal::Damaged);
        if (record.items.back().kind == Item::Kind::Folder)
            folders.insert(path);
    }
    if (lines.next())
        return refused(Refusal::Damaged);
    return Read{std::move(record), Refusal::None};
}

DriveRecord::Read DriveRecord::readFrom(int top)
{
    const posix::FileDescriptor folder(
        ::openat(top, Folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info
    {};
    if (!folder || ::fstatat(folder.get(), FileName, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return Read{std::nullopt, Refusal::Missing};
    // A link, FIFO or device in its place is not a record of ours, and is never opened.
    if (!S_ISREG(info.st_mode))
        return Read{std::nullopt, Refusal::NotOurs};
    if (static_cast<uint64_t>(info.st_size) > MaxBytes)
        return Read{std::nullopt, Refusal::TooLarge};
    const posix::FileDescriptor file = posix::RegularFile::openIn(folder.get(), FileName);
    // Grown since, or unreadable: either way not the record that was written.
    const auto text = file ? posix::RegularFile::readAll(file.get(), MaxBytes) : std::nullopt;
    if (!text)
        return Read{std::nullopt, Refusal::Damaged};
    return decode(*text);
}

std::string DriveRecord::describe(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return {};
    case Refusal::Missing:
        return "the drive has no record";
    case Refusal::NotOurs:
        return "the drive's record is not BootDrive's";
    case Refusal::Damaged:
        return "the drive's record is damaged";
    case Refusal::TooLarge:
        return "the drive's record is too large";
    case Refusal::UnknownVersion:
        return "the drive's record is of an unknown version";
    case Refusal::PathOutside:
        return "the drive's record names a path outside the drive";
    }
    return {};
}

} // namespace platform
