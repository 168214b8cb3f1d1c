#include "Platform/Posix/VolumeSpace.h"

namespace posix {

namespace {

constexpr uint64_t MiB = 1024 * 1024;
constexpr uint64_t GiB = 1024 * MiB;

uint64_t blocks(uint64_t bytes, uint64_t blockSize)
{
    return (bytes + blockSize - 1) / blockSize;
}

// overhead = fixed + capacity × permille / 1000 within [from, to). Every piece lies above the measured
// overhead at both of its ends; usable space (capacity − overhead) only grows with capacity.
struct Piece
{
    uint64_t from;
    uint64_t to;
    uint64_t fixed;
    uint64_t permille;
};
constexpr Piece pieces[] = {
    {0, 512 * MiB, 4 * MiB, 120},         // small file systems: 1 KiB blocks, an inode per 4 KiB
    {512 * MiB, 4 * GiB, 16 * MiB, 65},   // 4 KiB blocks, journal up to 64 MiB
    {4 * GiB, UINT64_MAX, 128 * MiB, 26}, // journal of 128 MiB to 1 GiB, inode tables about 2.4 %
};

} // namespace

void VolumeSpace::add(const struct stat &info)
{
    if (S_ISDIR(info.st_mode)) {
        ++m_directories;
    } else if (S_ISREG(info.st_mode)) {
        const auto size = static_cast<uint64_t>(info.st_size);
        ++m_files;
        m_fileBytes += size;
        m_blocks4k += blocks(size, 4096);
        m_blocks1k += blocks(size, 1024);
    } else {
        ++m_others;
    }
}

uint64_t VolumeSpace::needed(uint64_t blockSize) const
{
    if (blockSize == 0)
        blockSize = 4096;
    uint64_t count = m_directories + m_others;
    if (blockSize == 4096)
        count += m_blocks4k;
    else if (blockSize == 1024)
        count += m_blocks1k;
    else
        count += blocks(m_fileBytes, blockSize) + m_files;
    count += count / 100 + 16;
    return count * blockSize;
}

uint64_t VolumeSpace::formatOverhead(uint64_t capacity)
{
    for (const Piece &piece : pieces)
        if (capacity >= piece.from && capacity < piece.to)
            return piece.fixed + capacity / 1000 * piece.permille;
    return 0;
}

uint64_t VolumeSpace::capacityNeeded() const
{
    const uint64_t payload = needed(4096);
    // Within each piece capacity − overhead is linear, so the smallest capacity that fits is solved directly;
    // the first piece whose solution lies inside it wins.
    for (const Piece &piece : pieces) {
        const uint64_t wanted = (payload + piece.fixed) / (1000 - piece.permille) * 1000 + 1000;
        const uint64_t capacity = wanted < piece.from ? piece.from : wanted;
        if (capacity < piece.to && capacity - formatOverhead(capacity) >= payload)
            return capacity;
    }
    return UINT64_MAX;
}

} // namespace posix
