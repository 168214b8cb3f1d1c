#include "Platform/Volumes/FileSystem.h"

#include "Platform/Volumes/MountTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace platform;

namespace {
void writeFile(const QString &path, qint64 size)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
}
} // namespace

TEST(FileSystem, SizesCountItemsBelowWithoutFollowingLinks)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    QDir(root).mkpath("a/b");
    writeFile(root + "/a/one", 1000);
    writeFile(root + "/a/b/two", 24);
    ASSERT_EQ(::symlink("/nonexistent", QFile::encodeName(root + "/dangling").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(root + "/a/one").constData(),
                        QFile::encodeName(root + "/link").constData()),
              0);

    EXPECT_TRUE(FileSystem::exists(root + "/a/one"));
    EXPECT_FALSE(FileSystem::exists(root + "/dangling"));
    EXPECT_FALSE(FileSystem::exists(root + "/missing"));
    EXPECT_EQ(FileSystem::itemSize(root + "/a/one"), 1000);
    EXPECT_EQ(FileSystem::itemSize(root + "/link"), (root + "/a/one").toUtf8().size());
    EXPECT_EQ(FileSystem::itemSize(root + "/missing"), 0);

    const int64_t folders = FileSystem::itemSize(root + "/a") + FileSystem::itemSize(root + "/a/b");
    const int64_t link = FileSystem::itemSize(root + "/link");
    EXPECT_EQ(FileSystem::totalSizeBelow(root), 1000 + 24 + folders + link);
    EXPECT_EQ(FileSystem::totalSizeBelow(root + "/a/one"), 0) << "a plain file has nothing below it";
    EXPECT_EQ(FileSystem::totalSizeBelow(root + "/missing"), 0);
}

TEST(MountTable, ReadsMountInfoWithEscapesInOrderAndKeepsTheBytes)
{
    QTemporaryDir dir;
    QFile info(dir.filePath("mountinfo"));
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("22 1 0:21 / / rw - ext4 /dev/vda rw\n"
               "40 22 7:3 / /Volumes/My\\040Drive\\0401 rw,relatime shared:5 - ext4 /dev/loop3 rw\n"
               "garbage line\n"
               "41 22 7:4 / /Volumes/.hidden rw - ext4 /dev/loop4 rw\n"
               "50 22 7:5 / /Volumes/X\xff\\134 rw - ext4 /dev/loop5 rw\n");
    info.close();
    const auto entries = MountTable::read(info.fileName());
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].mountPoint, "/");
    EXPECT_EQ(entries[1].mountPoint, "/Volumes/My Drive 1");
    EXPECT_EQ(entries[1].source, "/dev/loop3");
    EXPECT_EQ(entries[1].fileSystemType, "ext4");
    EXPECT_EQ(entries[1].device, makedev(7, 3));
    EXPECT_EQ(entries[2].mountPointBytes, "/Volumes/.hidden");
    // A mount point that is not UTF-8 keeps its bytes.
    EXPECT_EQ(entries[3].mountPointBytes, QByteArray("/Volumes/X\xff\\"));
    EXPECT_FALSE(MountTable::read().empty()) << "this process has a root mount";
}
