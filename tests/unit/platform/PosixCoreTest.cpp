#include "Platform/Posix/ExecutableFormat.h"
#include "Platform/Posix/RegularFile.h"
#include "Platform/Posix/VolumeSpace.h"
#include "Platform/Values/PropertyList.h"

#include <QFile>
#include <QTemporaryDir>
#include <elf.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using posix::ExecutableFormat;
using posix::RegularFile;
using posix::VolumeSpace;

namespace {

std::string make(const QTemporaryDir &dir, const char *name, const QByteArray &content, int mode = 0644)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    file.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
    return path.toStdString();
}

} // namespace

// Files from drives and bundles are read only when they are regular files, never opened otherwise, and
// never beyond the cap; every call here returns at once.
TEST(RegularFile, ReadsOnlyRegularFilesWithinTheCap)
{
    QTemporaryDir dir;
    const std::string plain = make(dir, "plain", "hello");
    const std::string fifo = dir.filePath("fifo").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string zero = dir.filePath("zero").toStdString();
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    const std::string link = dir.filePath("link").toStdString();
    ASSERT_EQ(::symlink(plain.c_str(), link.c_str()), 0);

    EXPECT_EQ(RegularFile::read(plain, 5), "hello");
    EXPECT_EQ(RegularFile::read(link, 5), "hello") << "a link to a regular file is followed";
    EXPECT_FALSE(RegularFile::read(plain, 4)) << "larger than the cap";
    EXPECT_FALSE(RegularFile::read(fifo, 1 << 20));
    EXPECT_FALSE(RegularFile::read(zero, 1 << 20));
    EXPECT_FALSE(RegularFile::read(dir.path().toStdString(), 1 << 20));
    EXPECT_FALSE(RegularFile::read(dir.filePath("missing").toStdString(), 1 << 20));
    EXPECT_EQ(RegularFile::readPrefix(plain, 2), "he");
    EXPECT_FALSE(platform::PropertyList::readFile(QString::fromStdString(fifo)));
}

TEST(ExecutableFormat, TellsWhatCannotRunHere)
{
    QTemporaryDir dir;
    // This machine's own kind of program, with another processor's number in its header.
    QFile self("/proc/self/exe");
    ASSERT_TRUE(self.open(QIODevice::ReadOnly));
    QByteArray foreign = self.read(4096);
    auto *header = reinterpret_cast<Elf64_Ehdr *>(foreign.data());
    header->e_machine = header->e_machine == EM_AARCH64 ? EM_X86_64 : EM_AARCH64;

    struct Case
    {
        std::string path;
        bool runs;
    };
    const std::vector<Case> cases = {
        {"/bin/sh", true},
        {make(dir, "script", "#!/bin/sh\nexit 0\n", 0755), true},
        {make(dir, "script-with-argument", "#! /usr/bin/env sh -e\nexit 0\n", 0755), true},
        {make(dir, "missing-interpreter", "#!/nonexistent/sh\n", 0755), false},
        {make(dir, "not-executable", "#!/bin/sh\n", 0644), false},
        {make(dir, "mach-o", QByteArray("\xcf\xfa\xed\xfe\x07\x00\x00\x01", 8) + QByteArray(64, 0), 0755),
         false},
        {make(dir, "universal", QByteArray("\xca\xfe\xba\xbe", 4) + QByteArray(64, 0), 0755), false},
        {make(dir, "other-processor", foreign, 0755), false},
        {make(dir, "text", "just words", 0755), false},
        {dir.filePath("missing").toStdString(), false},
        {dir.path().toStdString(), false},
    };
    for (const Case &program : cases)
        EXPECT_EQ(ExecutableFormat::whyCannotRun(program.path).empty(), program.runs)
            << program.path << ": " << ExecutableFormat::whyCannotRun(program.path);
}

// The bound on what a new file system keeps lies above what mkfs.ext4 -m 0 was measured to keep.
TEST(VolumeSpace, FormatOverheadBoundsTheMeasuredFileSystems)
{
    constexpr uint64_t MiB = 1024 * 1024;
    const std::vector<std::pair<uint64_t, uint64_t>> measured = {
        {32 * MiB, 7775232},      {64 * MiB, 11082752},      {128 * MiB, 16900096},
        {256 * MiB, 31562752},    {512 * MiB, 36757504},     {1024 * MiB, 69840896},
        {2048 * MiB, 123912192},  {4096 * MiB, 168091648},   {8192 * MiB, 256438272},
        {16384 * MiB, 466776064}, {65536 * MiB, 1686614016}, {262144 * MiB, 5467234304},
    };
    for (const auto &[capacity, overhead] : measured)
        EXPECT_GE(VolumeSpace::formatOverhead(capacity), overhead) << capacity / MiB << " MiB";

    VolumeSpace space;
    struct stat file
    {};
    file.st_mode = S_IFREG | 0644;
    file.st_size = 40 * MiB;
    space.add(file);
    const uint64_t needed = space.capacityNeeded();
    EXPECT_TRUE(space.fitsOn(needed));
    EXPECT_FALSE(space.fitsOn(needed - MiB));
    EXPECT_GE(needed - VolumeSpace::formatOverhead(needed), space.needed(4096));
}
